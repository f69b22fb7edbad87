// Interval rows run again a stretch at a time against the rows of the first
// runs, which hold every interval.
#include "tools/pagestat/interval_stream.hpp"

#include <gtest/gtest.h>

#include <random>

#include "tools/pagestat/pagesim_runs.hpp"

namespace {

// Random records of a few processes; one in `minus_one_in` (when not 0)
// names process -1 and one in 40 ends its process.
ReferenceTrace random_records(uint32_t seed, int records, int minus_one_in) {
  std::mt19937 random(seed);
  ReferenceTrace trace;
  for (int r = 0; r < records; ++r) {
    if (minus_one_in > 0 && random() % minus_one_in == 0) {
      // A TLB entry for a free frame, which a later hit finds inconsistent.
      trace.add_record(-1, -1024, -1024);
      continue;
    }
    const auto address = [&] {
      return static_cast<int32_t>(random() % (random() % 2 ? 8192 : 65536));
    };
    const int32_t proc = static_cast<int32_t>(random() % 3);
    trace.add_record(proc, random() % 40 == 0 ? 0 : address(), address());
  }
  return trace;
}

std::vector<IntervalRow> held_rows(const ReferenceTrace& trace, int frames, int64_t interval,
                                   const std::array<std::optional<int64_t>, 2>& stop_before) {
  const std::vector<uint64_t> ends = trace.interval_ends(interval);
  std::vector<IntervalRow> rows(ends.size());
  for (int32_t mode = 0; mode < 2; ++mode) {
    const PagesimRun run = run_pagesim(trace, mode, ends, stop_before[mode]);
    for (size_t i = 0; i < ends.size(); ++i) {
      rows[i][2 * mode] = run.interval_tlb_misses[i];
      rows[i][2 * mode + 1] = run.interval_faults[i];
    }
  }
  std::vector<WhatIfRun> runs;
  for (const Policy policy : kPolicies) runs.push_back({policy, frames});
  const std::vector<WhatIfResult> what_if = run_what_if(trace, runs, ends);
  for (size_t i = 0; i < ends.size(); ++i)
    for (size_t p = 0; p < what_if.size(); ++p) rows[i][4 + p] = what_if[p].interval_faults[i];
  return rows;
}

TEST(IntervalStream, RowsEqualTheHeldRowsWhateverTheStretch) {
  const struct {
    const char* name;
    int records;
    int minus_one_in;  // 0: never
    int frames;
    int64_t interval;
    size_t stretch;
  } cases[] = {
      {"one record per interval", 3000, 0, 20, 1, 64},
      {"a short last interval", 3001, 0, 7, 10, 3},
      {"one stretch holds all", 500, 0, 64, 9, 4096},
      {"process -1, runs that end early", 3000, 25, 20, 4, 50},
      {"intervals across trace blocks", 530'000, 0, 20, 7, 4096},
  };
  for (const auto& c : cases) {
    const ReferenceTrace trace = random_records(11, c.records, c.minus_one_in);
    std::array<std::optional<int64_t>, 2> stop_before;
    if (c.minus_one_in > 0) {
      for (int32_t mode = 0; mode < 2; ++mode)
        stop_before[mode] = find_inconsistent_record(trace, mode);
      EXPECT_TRUE(stop_before[0] || stop_before[1]) << c.name << ": the trace ends no run";
    }
    std::vector<IntervalRow> streamed;
    size_t calls = 0;
    stream_interval_rows(trace, c.frames, c.interval, stop_before, c.stretch,
                         [&](std::span<const IntervalRow> rows) {
                           EXPECT_LE(rows.size(), c.stretch) << c.name;
                           streamed.insert(streamed.end(), rows.begin(), rows.end());
                           ++calls;
                           return true;
                         });
    const std::vector<IntervalRow> held = held_rows(trace, c.frames, c.interval, stop_before);
    EXPECT_EQ(calls, (held.size() + c.stretch - 1) / c.stretch) << c.name;
    EXPECT_TRUE(streamed == held) << c.name;
  }
}

TEST(IntervalStream, EmitReturningFalseStopsTheRun) {
  const ReferenceTrace trace = random_records(3, 100, 0);
  int calls = 0;
  stream_interval_rows(trace, 20, 1, {}, 10, [&](std::span<const IntervalRow>) {
    ++calls;
    return false;
  });
  EXPECT_EQ(calls, 1);
}

}  // namespace
