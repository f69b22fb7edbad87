// Each policy on reference strings worked by hand, at small frame counts.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "policies/test_traces.hpp"
#include "policies/what_if.hpp"

namespace {

struct HandWorked {
  const char* name;
  const char* references;
  int frames;
  // Faults and dirty pages written per policy in kPolicies order, where
  // worked out.
  std::optional<PolicyCounts> expected[kPolicyCount];
};

const HandWorked kCases[] = {
    // The classic string: FIFO 15, LRU 12, OPT 9; the clock worked step by step.
    {"textbook",
     "7 0 1 2 0 3 0 4 2 3 0 3 2 1 2 0 1 7 0 1",
     3,
     {PolicyCounts{14, 0}, PolicyCounts{14, 0}, PolicyCounts{15, 0}, PolicyCounts{12, 0},
      PolicyCounts{9, 0}}},
    // Belady's anomaly: FIFO faults more with four frames than with three.
    {"belady_3", "1 2 3 4 1 2 5 1 2 3 4 5", 3, {{}, {}, PolicyCounts{9, 0}, {}, {}}},
    {"belady_4", "1 2 3 4 1 2 5 1 2 3 4 5", 4, {{}, {}, PolicyCounts{10, 0}, {}, {}}},
    // Clean-first passes the dirty pages by; OPT's "never again" tie goes to
    // the lowest frame, the clean page 2, then page 4.
    {"dirty_pages",
     "1w 2 3w 4 5 1",
     3,
     {PolicyCounts{6, 2}, PolicyCounts{5, 0}, PolicyCounts{6, 2}, PolicyCounts{6, 2},
      PolicyCounts{5, 0}}},
    // Every frame dirty: clean-first takes the frame at the hand after two turns.
    {"all_dirty",
     "1w 2w 3 4w 5",
     2,
     {PolicyCounts{5, 2}, PolicyCounts{5, 2}, PolicyCounts{5, 2}, PolicyCounts{5, 2},
      PolicyCounts{5, 2}}},
    // The end of process 0 frees its dirty frames unwritten; the next faults
    // fill them without evicting.
    {"termination_frees",
     "0.1w 1.1 0.2w end0 1.2 1.3 1.4",
     3,
     {PolicyCounts{6, 0}, PolicyCounts{6, 0}, PolicyCounts{6, 0}, PolicyCounts{6, 0},
      PolicyCounts{6, 0}}},
    // Faults into freed frames leave the hand where the last eviction put it.
    {"hand_stays",
     "0.1 0.2 0.3 end0 1.1 1.2 1.3 1.2 1.1",
     2,
     {PolicyCounts{8, 0}, PolicyCounts{8, 0}, PolicyCounts{7, 0}, PolicyCounts{7, 0},
      PolicyCounts{7, 0}}},
    // Page 0.1 is referenced again only after its process ends: OPT counts it
    // as never used again and evicts it first.
    {"opt_end_before_reuse",
     "0.1 1.1 1.2 end0 0.1 1.1",
     2,
     {PolicyCounts{5, 0}, PolicyCounts{5, 0}, PolicyCounts{5, 0}, PolicyCounts{5, 0},
      PolicyCounts{4, 0}}},
};

void PrintTo(const HandWorked& worked, std::ostream* out) {
  *out << worked.name;
}

class HandWorkedTest : public testing::TestWithParam<HandWorked> {};

TEST_P(HandWorkedTest, EachPolicyGivesTheWorkedCounts) {
  const HandWorked& worked = GetParam();
  ReferenceTrace trace;
  add_references(trace, worked.references);
  for (int p = 0; p < kPolicyCount; ++p) {
    if (!worked.expected[p]) continue;
    const PolicyCounts counts = run_policy(trace, kPolicies[p], worked.frames);
    EXPECT_EQ(counts.faults, worked.expected[p]->faults) << policy_name(kPolicies[p]);
    EXPECT_EQ(counts.dirty_writes, worked.expected[p]->dirty_writes) << policy_name(kPolicies[p]);
  }
}

INSTANTIATE_TEST_SUITE_P(Strings, HandWorkedTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
