// The one-pass curves against a run per frame count, on strings worked by
// hand and on random traces, across the word of frames and the log grid.
#include "policies/curve.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "policies/clock.hpp"
#include "policies/fifo.hpp"
#include "policies/frame_table.hpp"
#include "policies/lru.hpp"
#include "policies/next_use.hpp"
#include "policies/opt.hpp"
#include "policies/random_trace.hpp"
#include "policies/test_traces.hpp"
#include "policies/wide_machine.hpp"

namespace {

ReferenceTrace trace_of(const std::string& references) {
  ReferenceTrace trace;
  add_references(trace, references);
  return trace;
}

const std::vector<PolicyCounts>& of(const Curve& curve, Policy policy) {
  return curve[static_cast<size_t>(policy)];
}

TEST(CurveFrameCounts, EveryCountToSixtyFourThenEightPerDoubling) {
  const std::vector<int> small = curve_frame_counts(10, kMaxFrames);
  EXPECT_EQ(small, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(curve_frame_counts(0, kMaxFrames), std::vector<int>{1});
  EXPECT_EQ(curve_frame_counts(500, 30).back(), 30);
  const std::vector<int> counts = curve_frame_counts(1'000'000, kMaxFrames);
  EXPECT_EQ(counts[63], 64);
  EXPECT_EQ(counts.back(), kMaxFrames);
  for (size_t i = 64; i < counts.size(); ++i) EXPECT_GT(counts[i], counts[i - 1]);
  // At least 8 more counts up to every doubling that the grid reaches.
  for (size_t i = 63; i < counts.size() && 2 * counts[i] <= kMaxFrames; ++i) {
    const auto doubled = std::upper_bound(counts.begin(), counts.end(), 2 * counts[i]);
    EXPECT_GE(doubled - counts.begin() - static_cast<ptrdiff_t>(i) - 1, 8) << counts[i];
  }
}

TEST(Curve, HandWorkedStrings) {
  // The textbook string and Belady's string, whose FIFO faults rise from 9
  // at three frames to 10 at four.
  const Curve textbook = compute_curve(trace_of("7 0 1 2 0 3 0 4 2 3 0 3 2 1 2 0 1 7 0 1"), 4);
  EXPECT_EQ(of(textbook, Policy::kFifo)[2].faults, 15);
  EXPECT_EQ(of(textbook, Policy::kLru)[2].faults, 12);
  EXPECT_EQ(of(textbook, Policy::kOpt)[2].faults, 9);
  EXPECT_EQ(of(textbook, Policy::kFifo)[3].faults, 10);
  EXPECT_EQ(of(textbook, Policy::kLru)[3].faults, 8);
  EXPECT_EQ(of(textbook, Policy::kOpt)[3].faults, 8);
  const Curve belady = compute_curve(trace_of("1 2 3 4 1 2 5 1 2 3 4 5"), 6);
  const int64_t fifo[] = {12, 12, 9, 10, 5, 5};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(of(belady, Policy::kFifo)[k].faults, fifo[k]) << k + 1;
  EXPECT_EQ(of(belady, Policy::kOpt)[2].faults, 7);
  EXPECT_EQ(of(belady, Policy::kOpt)[3].faults, 6);
}

TEST(Curve, CyclicScanOfOneMorePageThanFramesFaultsEveryTimeButUnderOpt) {
  // 101 pages in turn, 20 times, on 100 frames: past the word of frames.
  std::string scan;
  for (int turn = 0; turn < 20; ++turn)
    for (int page = 0; page <= 100; ++page) scan += std::to_string(page) + (page % 3 ? " " : "w ");
  const ReferenceTrace trace = trace_of(scan);
  const std::vector<int> frames = {99, 100, 101};
  const Curve curve = compute_curve(trace, frames);
  for (const Policy policy : {Policy::kLru, Policy::kFifo})
    EXPECT_EQ(of(curve, policy)[1].faults, 2020) << policy_name(policy);
  EXPECT_LT(of(curve, Policy::kOpt)[1].faults, 2020 / 10);
  for (const Policy policy : kPolicies) EXPECT_EQ(of(curve, policy)[2].faults, 101);
}

TEST(Curve, OnePassEqualsARunAtEachCount) {
  // 3 x 40 pages: the counts run past 64 on the log grid.
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    const ReferenceTrace trace =
        random_trace(seed, {.records = 4000, .processes = 3, .pages = 40, .end_one_in = 90});
    const std::vector<int> frames = curve_frame_counts(trace.pages(), kMaxFrames);
    ASSERT_GT(frames.back(), kMaxWhatIfFrames);
    const Curve curve = compute_curve(trace, frames);
    for (const Policy policy : kPolicies) {
      const std::vector<PolicyCounts> runs = policy_runs(trace, policy, frames);
      for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(of(curve, policy)[i], runs[i])
            << policy_name(policy) << " at " << frames[i] << ", seed " << seed;
    }
  }
}

TEST(Curve, OptsDirtyWritesWhenAnEndFreesAPageTheStackHadChosenInstead) {
  // Pages 0.1 and 1.1 are written and never used again. 2.1 evicts 0.1,
  // the lower frame; the end of process 0 then frees nothing, and 2.2
  // evicts the dirty 1.1: two dirty pages written at two frames.
  const Curve curve = compute_curve(trace_of("1w 1.1w 2.1 end0 2.2 2.1"), 2);
  EXPECT_EQ(of(curve, Policy::kOpt)[1], (PolicyCounts{4, 2}));
}

TEST(Curve, OnePassEqualsARunAtEachCountWhenProcessesEndOften) {
  // Many small processes that end often: pages never used again, of
  // several processes, are OPT's choices all the time, with one dirty bit
  // (every reference writes) or both.
  for (const int write_one_in : {1, 2}) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
      const ReferenceTrace trace = random_trace(seed, {.records = 3000,
                                                       .processes = 6,
                                                       .pages = 8,
                                                       .end_one_in = 10,
                                                       .write_one_in = write_one_in});
      const std::vector<int> frames = curve_frame_counts(trace.pages(), kMaxFrames);
      const Curve curve = compute_curve(trace, frames);
      for (const Policy policy : kPolicies) {
        const std::vector<PolicyCounts> runs = policy_runs(trace, policy, frames);
        for (size_t i = 0; i < frames.size(); ++i)
          EXPECT_EQ(of(curve, policy)[i], runs[i])
              << policy_name(policy) << " at " << frames[i] << ", seed " << seed << ", writes 1 in "
              << write_one_in;
      }
    }
  }
}

// A run of one machine over the whole trace, with next uses.
template <class Machine>
PolicyCounts run_machine(const ReferenceTrace& trace, int frames) {
  Machine machine(frames, trace);
  NextUse next_use(trace);
  for (size_t b = 0; b < trace.blocks(); ++b) {
    const std::span<const uint32_t> next = next_use.next_block();
    const uint64_t first = b * trace.block_events();
    for (size_t j = 0; j < next.size(); ++j) {
      const uint32_t event = trace.held_event(first + j);
      machine.run({&event, 1}, &next[j]);
    }
  }
  return machine.counts();
}

TEST(WideMachine, EqualsTheOneWordMachineUpToSixtyFourFrames) {
  const ReferenceTrace trace =
      random_trace(11, {.records = 3000, .processes = 3, .pages = 30, .end_one_in = 70});
  for (const int frames : {1, 2, 5, 17, 40, 63, 64}) {
    EXPECT_EQ(run_machine<WideMachine<WideSecondChance>>(trace, frames),
              run_machine<PolicyMachine<SecondChance>>(trace, frames))
        << frames;
    EXPECT_EQ(run_machine<WideMachine<WideCleanFirst>>(trace, frames),
              run_machine<PolicyMachine<CleanFirst>>(trace, frames))
        << frames;
    EXPECT_EQ(run_machine<WideMachine<WideFirstInFirstOut>>(trace, frames),
              run_machine<PolicyMachine<FirstInFirstOut>>(trace, frames))
        << frames;
    EXPECT_EQ(run_machine<WideMachine<WideLeastRecentlyUsed>>(trace, frames),
              run_machine<PolicyMachine<LeastRecentlyUsed>>(trace, frames))
        << frames;
    EXPECT_EQ(run_machine<WideMachine<WideOptimal>>(trace, frames),
              run_machine<PolicyMachine<Optimal>>(trace, frames))
        << frames;
  }
}

}  // namespace
