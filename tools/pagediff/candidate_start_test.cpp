#include "tools/pagediff/candidate_start.hpp"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tools/pagediff/mistake_reach.hpp"
#include "variants/text.hpp"

namespace {

using Trace = std::vector<std::array<int32_t, 3>>;

// A quiet start of in-range reads and writes, then terminations, negative
// addresses and pages at and past the last mixed in.
Trace trace_with_triggers(uint32_t seed) {
  std::mt19937 random(seed);
  const auto quiet = static_cast<int>(random() % 40);
  Trace trace;
  for (int i = 0; i < 400; ++i) {
    const auto proc = static_cast<int32_t>(random() % 4);
    auto address = [&] {
      const uint32_t pick = i < quiet ? 99 : random() % 100;
      if (pick < 4) return -static_cast<int32_t>(random() % 3000);
      if (pick < 8) return static_cast<int32_t>(64 * 1024 + random() % 2048);
      return static_cast<int32_t>(random() % (24 * 1024)) + 1;
    };
    const bool termination = i >= quiet && random() % 25 == 0;
    trace.push_back({proc, termination ? 0 : address(), address()});
  }
  return trace;
}

struct Outcome {
  variants::TextSink text;
  variants::MachineState state;
  int64_t started_at = 0;  ///< the record the candidate's machine first ran, from 1
};

Outcome from_the_start(const variants::Variant& variant, const Trace& trace) {
  Outcome run;
  variants::Machine machine(variant);
  for (const auto& record : trace) machine.run_record(record.data(), run.text);
  run.state = machine.state();
  run.started_at = 1;
  return run;
}

// As the comparison runs it: the base alone until a record has the
// candidate's trigger, then the candidate from a copy of the base's state.
Outcome started_late(const variants::Variant& candidate, const variants::Variant& base,
                     const Trace& trace) {
  const TriggerSet wanted = trigger_bit(start_trigger(candidate, base));
  Outcome run;
  variants::Machine pagesim(base);
  std::optional<variants::Machine> late;
  for (size_t r = 0; r < trace.size(); ++r) {
    if (!late && (record_triggers(wanted, base, trace[r].data(), pagesim.state()) & wanted) != 0) {
      late.emplace(candidate, pagesim.state());
      run.started_at = static_cast<int64_t>(r) + 1;
    }
    (late ? *late : pagesim).run_record(trace[r].data(), run.text);
  }
  run.state = (late ? *late : pagesim).state();
  return run;
}

// Each lazily started mistake, against bases in both modes, with few frames
// (early evictions) and with another mistake already applied: the candidate
// started at its trigger prints and ends exactly as one run from the start.
TEST(CandidateStart, ALateStartGivesTheLinesOfARunFromTheStart) {
  std::vector<variants::Variant> bases(5);
  bases[1].mode = 1;
  bases[2] = variants::apply_id(bases[1], "frames-4").value();
  bases[3] = variants::apply_id(bases[0], "termination-keeps-frames").value();
  bases[4] = variants::apply_id(bases[2], "negative-address-floor").value();
  // For each mistake, over every base: whether some trace started it after the
  // first record, and whether some trace made it print otherwise than its base.
  std::map<std::string, std::pair<bool, bool>> exercised;
  for (const variants::Variant& base : bases) {
    for (const variants::Hypothesis& hypothesis : variants::catalogue(base)) {
      if (!can_differ(hypothesis.variant, base, Compared{true}) ||
          start_trigger(hypothesis.variant, base) == StartTrigger::kFirstRecord)
        continue;
      SCOPED_TRACE(hypothesis.id + " in mode " + std::to_string(base.mode) + " on " +
                   std::to_string(base.geometry.frames) + " frames");
      auto& [started_late_once, differed_once] = exercised[hypothesis.id];
      for (uint32_t seed = 1; seed <= 12; ++seed) {
        const Trace trace = trace_with_triggers(seed);
        const Outcome eager = from_the_start(hypothesis.variant, trace);
        const Outcome lazy_run = started_late(hypothesis.variant, base, trace);
        ASSERT_EQ(lazy_run.text.event_log, eager.text.event_log) << "seed " << seed;
        ASSERT_EQ(lazy_run.text.console, eager.text.console) << "seed " << seed;
        ASSERT_EQ(lazy_run.text.errors, eager.text.errors) << "seed " << seed;
        ASSERT_EQ(lazy_run.state, eager.state) << "seed " << seed;
        started_late_once |= lazy_run.started_at > 1;
        const Outcome alone = from_the_start(base, trace);
        differed_once |= alone.text.event_log != eager.text.event_log ||
                         alone.text.console != eager.text.console ||
                         variants::totals_text(alone.state) != variants::totals_text(eager.state);
      }
    }
  }
  // Else the traces would prove nothing about the triggers.
  EXPECT_GE(exercised.size(), 10u);
  for (const auto& [id, seen] : exercised) {
    EXPECT_TRUE(seen.first) << id << " always started at the first record";
    EXPECT_TRUE(seen.second) << id << " never printed otherwise than its base";
  }
}

}  // namespace
