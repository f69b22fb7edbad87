// The one-pass LRU curve against a run of LRU at each frame count.
#include "policies/lru_stack.hpp"

#include <gtest/gtest.h>

#include "policies/random_trace.hpp"
#include "policies/test_traces.hpp"
#include "policies/what_if.hpp"

namespace {

TEST(LruCurve, MatchesARunAtEveryFrameCount) {
  const RandomTraceShape shapes[] = {
      {},  // terminations now and then
      {.records = 4000, .processes = 2, .pages = 60, .end_one_in = 1'000'000},  // none
      {.records = 3000, .processes = 8, .pages = 12, .end_one_in = 8},  // many, frames left free
      {.records = 3000, .processes = 4, .pages = 64, .end_one_in = 40, .write_one_in = 7}};
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    for (const RandomTraceShape& shape : shapes) {
      const ReferenceTrace trace = random_trace(seed, shape);
      const std::vector<PolicyCounts> curve = lru_curve(trace, kMaxWhatIfFrames);
      ASSERT_EQ(curve.size(), size_t{kMaxWhatIfFrames});
      for (int frames = 1; frames <= kMaxWhatIfFrames; ++frames) {
        ASSERT_EQ(curve[frames - 1], run_policy(trace, Policy::kLru, frames))
            << "seed " << seed << ", " << shape.processes << " processes, " << frames << " frames";
      }
    }
  }
}

TEST(LruCurve, DeepReferencesBeyondTheLargestRunStillFault) {
  // 70 pages in a loop: deeper than the stack keeps, a fault at every size.
  ReferenceTrace trace;
  for (int round = 0; round < 3; ++round)
    for (int page = 0; page < 70; ++page) trace.add_reference(0, page, page % 3 == 0);
  const std::vector<PolicyCounts> curve = lru_curve(trace, kMaxWhatIfFrames);
  for (int frames = 1; frames <= kMaxWhatIfFrames; ++frames) {
    EXPECT_EQ(curve[frames - 1].faults, 210) << frames;
    EXPECT_EQ(curve[frames - 1], run_policy(trace, Policy::kLru, frames)) << frames;
  }
}

}  // namespace
