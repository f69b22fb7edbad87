// pagesim's runs through the engine against the engine's own record loop,
// and the what-if clocks at 20 frames against both, on every workload.
#include "tools/pagestat/pagesim_runs.hpp"

#include <gtest/gtest.h>

#include "memory/engine.hpp"
#include "policies/what_if.hpp"
#include "tools/trace_workloads.hpp"

namespace {

struct Totals {
  int64_t records, tlb_misses, page_faults, dirty_writes;
  bool operator==(const Totals&) const = default;
};

// The seam's loop over the records as read, which is pagesim's run.
Totals engine_totals(const std::vector<TraceRecord>& records, int32_t mode) {
  start_engine(mode);
  for (const TraceRecord& record : records) {
    ++sim.record_number;
    const int32_t fields[kRecordFields] = {record.proc, record.first, record.second};
    process_record(fields);
    (void)take_events();
    (void)take_messages();
  }
  return {sim.record_number, sim.tlb_misses, sim.page_faults, sim.dirty_writes};
}

TEST(PagesimRuns, EveryWorkloadRunsAsPagesimAndTheClocksAgreeAtTwentyFrames) {
  const struct {
    Workload workload;
    int records;  // mixed alternates every 50,000 records
  } cases[] = {
      {Workload::kUniform, 40'000}, {Workload::kLocal, 60'000}, {Workload::kMixed, 130'000}};
  for (const auto& c : cases) {
    for (const uint64_t seed : {1, 2}) {
      TraceGenerator generator(c.workload, seed);
      std::vector<TraceRecord> records;
      ReferenceTrace trace;
      for (int r = 0; r < c.records; ++r) {
        records.push_back(generator.next());
        trace.add_record(records.back().proc, records.back().first, records.back().second);
      }
      ASSERT_FALSE(trace.names_process_minus_one());
      const std::vector<uint64_t> ends = trace.interval_ends(1000);
      const WhatIfRun clocks[] = {{Policy::kClock, 20}, {Policy::kCleanFirst, 20}};
      const std::vector<WhatIfResult> what_if = run_what_if(trace, clocks);
      for (int32_t mode = 0; mode < 2; ++mode) {
        const std::string where = "workload " + std::to_string(static_cast<int>(c.workload)) +
                                  " seed " + std::to_string(seed) + " mode " + std::to_string(mode);
        const PagesimRun run = run_pagesim(trace, mode, ends);
        const Totals expected = engine_totals(records, mode);
        EXPECT_EQ((Totals{run.records, run.tlb_misses, run.page_faults, run.dirty_writes}),
                  expected)
            << where;
        EXPECT_EQ(what_if[mode].totals.faults, expected.page_faults) << where;
        EXPECT_EQ(what_if[mode].totals.dirty_writes, expected.dirty_writes) << where;
        // Every count is someone's, and every interval's.
        ProcessCounts sum;
        for (const ProcessCounts& counts : run.processes) {
          sum.tlb_misses += counts.tlb_misses;
          sum.page_faults += counts.page_faults;
          sum.dirty_writes += counts.dirty_writes;
        }
        EXPECT_EQ((Totals{run.records, sum.tlb_misses, sum.page_faults, sum.dirty_writes}),
                  expected)
            << where;
        int64_t interval_misses = 0, interval_faults = 0;
        for (size_t i = 0; i < ends.size(); ++i) {
          interval_misses += run.interval_tlb_misses[i];
          interval_faults += run.interval_faults[i];
        }
        EXPECT_EQ(interval_misses, expected.tlb_misses) << where;
        EXPECT_EQ(interval_faults, expected.page_faults) << where;
      }
    }
  }
}

TEST(PagesimRuns, TotalsAreTextAsPagesimPrintsThem) {
  ReferenceTrace trace;
  trace.add_record(7, 3000, 3100);
  trace.add_record(7, 0, 0);
  const PagesimRun run = run_pagesim(trace, 1, trace.interval_ends(1));
  EXPECT_EQ(run.totals_text,
            "2 steps were executed\nThere were 2 TLB misses\nThere were 2 page faults\n"
            "There were 0 dirty pages written to disk\n");
  EXPECT_EQ(run.interval_faults, (std::vector<int64_t>{2, 0}));
}

TEST(PagesimRuns, ADirtyEvictionIsChargedToTheProcessWhosePageLeft) {
  ReferenceTrace trace;
  for (int32_t page = 0; page < kFrames; ++page)  // process 1 fills every frame, dirty
    trace.add_record(1, page * kPageSize + 1, page * kPageSize + 1);
  trace.add_record(2, 40 * kPageSize, 40 * kPageSize);  // evicts one of them
  const PagesimRun run = run_pagesim(trace, 0, {});
  ASSERT_EQ(run.dirty_writes, 1);
  EXPECT_EQ(run.evictions, 1);
  EXPECT_EQ(run.processes[0].dirty_writes, 1);  // process 1
  EXPECT_EQ(run.processes[1].dirty_writes, 0);  // process 2
  EXPECT_EQ(run.processes[1].page_faults, 1);
  EXPECT_EQ(run.processes[0].page_faults, kFrames);
}

TEST(PagesimRuns, TheRecordWherePagesimEndsOnAnInconsistentEntryIsFound) {
  ReferenceTrace trace;
  trace.add_record(5, 100, 100);
  trace.add_record(-1, -1024, -1024);  // a TLB entry for a free frame, then a hit on it
  trace.add_record(5, 200, 200);
  EXPECT_EQ(find_inconsistent_record(trace, 0), 2);
  const PagesimRun run = run_pagesim(trace, 0, {}, 2);
  EXPECT_EQ(run.records, 1);
  EXPECT_EQ(run.ended_at_record, 2);
  ReferenceTrace clean;
  clean.add_record(-1, 100, 100);  // process -1 alone need not end the run
  EXPECT_EQ(find_inconsistent_record(clean, 1), std::nullopt);
}

}  // namespace
