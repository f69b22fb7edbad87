// Faults and dirty pages written of every policy at every frame count from
// 1 up: LRU from its stack distances in one pass, the others by a run per
// frame count, all runs of a policy advancing together over the trace.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "policies/what_if.hpp"

/// Frame counts of the miss-ratio curve: 1..kCurveFrames.
inline constexpr int kCurveFrames = 64;

/// counts[policy index][frames - 1], policies in kPolicies order.
using Curve = std::array<std::vector<PolicyCounts>, kPolicyCount>;

/// One policy at each of `frame_counts` (1..kMaxWhatIfFrames each), by a run
/// per count, the runs together; results in the same order.
std::vector<PolicyCounts> policy_runs(const ReferenceTrace& trace, Policy policy,
                                      std::span<const int> frame_counts);

/// One policy over 1..max_frames frames; entry k-1 is for k frames.
/// REQUIRES: 1 <= max_frames <= kMaxWhatIfFrames.
std::vector<PolicyCounts> policy_curve(const ReferenceTrace& trace, Policy policy,
                                       int max_frames = kCurveFrames);

/// Every policy over 1..max_frames. REQUIRES: as policy_curve.
Curve compute_curve(const ReferenceTrace& trace, int max_frames = kCurveFrames);
