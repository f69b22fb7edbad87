// Properties over random traces: what holds for every trace, at every frame
// count, and the batched runs against runs one at a time.
#include <gtest/gtest.h>

#include <algorithm>

#include "policies/curve.hpp"
#include "policies/random_trace.hpp"

namespace {

constexpr int kFrames = 30;

TEST(Properties, OptNeverFaultsMoreThanAnyPolicy) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const Curve curve = compute_curve(random_trace(seed), kFrames);
    const auto& opt = curve[static_cast<size_t>(Policy::kOpt)];
    for (const Policy policy : kPolicies) {
      for (int k = 0; k < kFrames; ++k) {
        EXPECT_LE(opt[k].faults, curve[static_cast<size_t>(policy)][k].faults)
            << policy_name(policy) << " at " << k + 1 << " frames, seed " << seed;
      }
    }
  }
}

TEST(Properties, LruAndOptNeverFaultMoreWithMoreFrames) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const Curve curve = compute_curve(random_trace(seed), kFrames);
    for (const Policy policy : {Policy::kLru, Policy::kOpt}) {
      const auto& counts = curve[static_cast<size_t>(policy)];
      for (int k = 1; k < kFrames; ++k) {
        EXPECT_LE(counts[k].faults, counts[k - 1].faults)
            << policy_name(policy) << " at " << k + 1 << " frames, seed " << seed;
      }
    }
  }
}

TEST(Properties, CurveRunsTogetherGiveWhatRunsAloneGive) {
  const ReferenceTrace trace = random_trace(7);
  const Curve curve = compute_curve(trace, kFrames);
  for (const Policy policy : kPolicies) {
    for (const int frames : {1, 2, 7, 20, kFrames}) {
      EXPECT_EQ(curve[static_cast<size_t>(policy)][frames - 1], run_policy(trace, policy, frames))
          << policy_name(policy) << " at " << frames;
    }
  }
}

// OPT by its definition: at each eviction, the next use of every page in a
// frame looked up by scanning ahead.
PolicyCounts plain_optimal(const ReferenceTrace& trace, int frames) {
  const auto next_use = [&trace](uint64_t from, uint32_t page) {
    for (uint64_t i = from; i < trace.events(); ++i) {
      const uint32_t event = trace.held_event(i);
      if (is_termination_event(event) && terminated_process(event) == trace.process_of(page))
        return UINT64_MAX;  // the process ends first
      if (!is_termination_event(event) && referenced_page(event) == page) return i;
    }
    return UINT64_MAX;
  };
  std::vector<int64_t> page_in(static_cast<size_t>(frames), -1);  // -1: free
  std::vector<bool> dirty(static_cast<size_t>(frames), false);
  PolicyCounts counts;
  for (uint64_t i = 0; i < trace.events(); ++i) {
    const uint32_t event = trace.held_event(i);
    if (is_termination_event(event)) {
      for (int64_t& page : page_in)
        if (page >= 0 && trace.process_of(static_cast<uint32_t>(page)) == terminated_process(event))
          page = -1;
      continue;
    }
    const auto page = static_cast<int64_t>(referenced_page(event));
    auto frame =
        static_cast<size_t>(std::find(page_in.begin(), page_in.end(), page) - page_in.begin());
    if (frame == page_in.size()) {
      ++counts.faults;
      frame = static_cast<size_t>(std::find(page_in.begin(), page_in.end(), -1) - page_in.begin());
      if (frame == page_in.size()) {
        uint64_t farthest = 0;
        for (size_t f = 0; f < page_in.size(); ++f) {
          const uint64_t next = next_use(i + 1, static_cast<uint32_t>(page_in[f]));
          if (f == 0 || next > farthest) frame = f, farthest = next;  // ties: the lowest frame
        }
        counts.dirty_writes += dirty[frame];
      }
      page_in[frame] = page;
      dirty[frame] = false;
    }
    dirty[frame] = dirty[frame] || is_write_event(event);
  }
  return counts;
}

TEST(Properties, OptIsTheFarthestNextUseWithTheLowestFrameAmongNever) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    const ReferenceTrace trace =
        random_trace(seed, {.records = 1500, .processes = 4, .pages = 16, .end_one_in = 30});
    for (const int frames : {1, 3, 8, 13, 32}) {
      EXPECT_EQ(run_policy(trace, Policy::kOpt, frames), plain_optimal(trace, frames))
          << frames << " frames, seed " << seed;
    }
  }
}

TEST(Properties, IntervalFaultsAreThoseOfEachStretchOfRecords) {
  // Records through add_record, so that intervals count records.
  std::mt19937 random(3);
  ReferenceTrace whole, first_part;
  constexpr int kRecords = 5000, kInterval = 700;
  for (int r = 0; r < kRecords; ++r) {
    const int32_t proc = static_cast<int32_t>(random() % 3);
    const int32_t read = random() % 40 == 0 ? 0 : static_cast<int32_t>(random() % 30000) + 1;
    const int32_t write = static_cast<int32_t>(random() % 30000);
    whole.add_record(proc, read, write);
    if (r < 2 * kInterval) first_part.add_record(proc, read, write);
  }
  const std::vector<uint64_t> ends = whole.interval_ends(kInterval);
  ASSERT_EQ(ends.size(), size_t{(kRecords + kInterval - 1) / kInterval});
  std::vector<WhatIfRun> runs;
  for (const Policy policy : kPolicies) runs.push_back({policy, 5});
  const std::vector<WhatIfResult> results = run_what_if(whole, runs, ends);
  for (size_t r = 0; r < runs.size(); ++r) {
    ASSERT_EQ(results[r].interval_faults.size(), ends.size());
    int64_t sum = 0;
    for (const int64_t faults : results[r].interval_faults) sum += faults;
    EXPECT_EQ(sum, results[r].totals.faults);
    // Faults do not depend on the future except for OPT, which sees past the
    // second interval in the whole trace.
    if (runs[r].policy == Policy::kOpt) continue;
    EXPECT_EQ(results[r].interval_faults[0] + results[r].interval_faults[1],
              run_policy(first_part, runs[r].policy, 5).faults)
        << policy_name(runs[r].policy);
  }
}

}  // namespace
