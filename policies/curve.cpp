#include "policies/curve.hpp"

#include "policies/lru_stack.hpp"

std::vector<PolicyCounts> policy_runs(const ReferenceTrace& trace, Policy policy,
                                      std::span<const int> frame_counts) {
  std::vector<WhatIfRun> runs;
  for (const int frames : frame_counts) runs.push_back({policy, frames});
  std::vector<PolicyCounts> counts;
  for (const WhatIfResult& result : run_what_if(trace, runs)) counts.push_back(result.totals);
  return counts;
}

std::vector<PolicyCounts> policy_curve(const ReferenceTrace& trace, Policy policy, int max_frames) {
  if (policy == Policy::kLru) return lru_curve(trace, max_frames);
  std::vector<int> frame_counts;
  for (int frames = 1; frames <= max_frames; ++frames) frame_counts.push_back(frames);
  return policy_runs(trace, policy, frame_counts);
}

Curve compute_curve(const ReferenceTrace& trace, int max_frames) {
  Curve curve;
  for (size_t p = 0; p < kPolicies.size(); ++p)
    curve[p] = policy_curve(trace, kPolicies[p], max_frames);
  return curve;
}
