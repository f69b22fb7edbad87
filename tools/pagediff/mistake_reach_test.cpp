#include "tools/pagediff/mistake_reach.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "variants/machine.hpp"
#include "variants/text.hpp"

namespace {

// What a run prints: its log, and its standard output with the totals.
struct Printed {
  std::string log;
  std::string out;
};

Printed run(const variants::Variant& variant, const std::vector<std::array<int32_t, 3>>& trace) {
  variants::Machine machine(variant);
  variants::TextSink text;
  for (const auto& record : trace) machine.run_record(record.data(), text);
  return {text.event_log, text.console + variants::totals_text(machine.state())};
}

// Records that reach every rule: many processes and pages, terminations,
// negative addresses and page 64.
std::vector<std::array<int32_t, 3>> varied_trace(uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::array<int32_t, 3>> trace;
  for (int i = 0; i < 6000; ++i) {
    const auto proc = static_cast<int32_t>(random() % 4);
    auto address = [&] {
      const uint32_t pick = random() % 100;
      if (pick < 3) return -static_cast<int32_t>(random() % 3000);
      if (pick < 6) return static_cast<int32_t>(64 * 1024 + random() % 1024);
      return static_cast<int32_t>(random() % (30 * 1024)) + 1;
    };
    trace.push_back({proc, random() % 50 == 0 ? 0 : address(), address()});
  }
  return trace;
}

// A candidate that is not run must print exactly what pagesim's machine
// prints in every output compared: else a real cause would go unnamed.
TEST(MistakeReach, ACandidateLeftOutPrintsWhatPagesimPrints) {
  const auto trace = varied_trace(7);
  for (const int32_t mode : {0, 1}) {
    variants::Variant base;
    base.mode = mode;
    const Printed pagesim = run(base, trace);
    for (const bool with_stdout : {false, true}) {
      for (const variants::Hypothesis& hypothesis : variants::catalogue(base)) {
        if (can_differ(hypothesis.variant, base, Compared{with_stdout})) continue;
        SCOPED_TRACE(hypothesis.id + " in mode " + std::to_string(mode));
        const Printed candidate = run(hypothesis.variant, trace);
        EXPECT_EQ(candidate.log, pagesim.log);
        if (with_stdout) {
          EXPECT_EQ(candidate.out, pagesim.out);
        }
      }
    }
  }
}

}  // namespace
