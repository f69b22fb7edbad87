// The grouped runs against a run per frame count, over random traces whose
// shapes reach every path: counts that mostly fault and mostly hit, frame
// bits in one word and in several, more counts than one pass holds, and
// processes that end often, leaving free frames and holes in FIFO's ring.
#include "policies/run_group.hpp"

#include <gtest/gtest.h>

#include "policies/curve.hpp"
#include "policies/random_trace.hpp"

namespace {

struct Shape {
  const char* name;
  RandomTraceShape trace;
  std::vector<int> frames;
};

std::vector<int> one_to(int last) {
  std::vector<int> frames;
  for (int k = 1; k <= last; ++k) frames.push_back(k);
  return frames;
}

TEST(GroupedRuns, EqualARunAtEachCount) {
  const std::vector<Shape> shapes = {
      {"few frames, mostly faults",
       {.records = 3000, .processes = 3, .pages = 60},
       {1, 2, 3, 5, 8}},
      {"more counts than one pass",
       {.records = 4000, .processes = 3, .pages = 30, .end_one_in = 200},
       one_to(70)},
      {"frame bits across words",
       {.records = 6000, .processes = 4, .pages = 64, .end_one_in = 400},
       {63, 64, 65, 100, 127, 128, 129, 200}},
      {"processes end often",
       {.records = 4000, .processes = 5, .pages = 20, .end_one_in = 8},
       {1, 4, 16, 33, 64, 65, 90}},
      {"reads only", {.records = 3000, .pages = 30, .write_one_in = 1000}, {1, 7, 30, 66}},
      {"writes only", {.records = 3000, .pages = 30, .write_one_in = 1}, {1, 7, 30, 66}},
  };
  for (const Shape& shape : shapes) {
    for (uint32_t seed = 1; seed <= 2; ++seed) {
      const ReferenceTrace trace = random_trace(seed, shape.trace);
      for (const Policy policy : {Policy::kClock, Policy::kCleanFirst, Policy::kFifo}) {
        const std::vector<PolicyCounts> grouped = grouped_runs(trace, policy, shape.frames);
        const std::vector<PolicyCounts> runs = policy_runs(trace, policy, shape.frames);
        ASSERT_EQ(grouped.size(), runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
          EXPECT_EQ(grouped[i], runs[i]) << shape.name << ", " << policy_name(policy) << " at "
                                         << shape.frames[i] << ", seed " << seed;
        }
      }
    }
  }
}

}  // namespace
