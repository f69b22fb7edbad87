// Faults and dirty pages written of every policy over a range of frame
// counts: LRU and OPT from their stacks in one pass each, the clocks and
// FIFO with the counts side by side in a few passes over the trace.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "policies/what_if.hpp"

/// Every frame count of a miss-ratio curve is listed up to this one; past
/// it, counts grow by at most an eighth of a doubling.
inline constexpr int kCurveDenseFrames = 64;

struct Curve {
  std::vector<int> frames;  ///< increasing
  /// counts[policy index][i] at frames[i], policies in kPolicies order.
  std::array<std::vector<PolicyCounts>, kPolicyCount> counts;
  const std::vector<PolicyCounts>& operator[](size_t policy) const { return counts[policy]; }
};

/// The curve's frame counts for a trace of `pages` distinct pages: 1 up to
/// the pages (past them every policy has only first faults), at most
/// `frames_max` and kMaxFrames; every count to kCurveDenseFrames, then a
/// log-spaced grid of at least 8 counts per doubling ending at the last.
std::vector<int> curve_frame_counts(uint32_t pages, int frames_max);

/// One policy at each of `frame_counts` by a run per count, the runs
/// together; results in the same order. REQUIRES: 1..kMaxFrames each.
std::vector<PolicyCounts> policy_runs(const ReferenceTrace& trace, Policy policy,
                                      std::span<const int> frame_counts);

/// Tasks that fill `curve` for `frame_counts` (increasing) when each has
/// run once, longest first. FIFO's and the clocks' tasks wait for the
/// second: run them in order, on any number of threads, each thread taking
/// the next task when it is free. `trace` and `curve` must outlive them.
std::vector<std::function<void()>> curve_tasks(const ReferenceTrace& trace,
                                               std::span<const int> frame_counts, Curve* curve);

/// The curve at `frame_counts`, the tasks run one after another.
Curve compute_curve(const ReferenceTrace& trace, std::span<const int> frame_counts);
/// The curve at every count from 1 to max_frames.
Curve compute_curve(const ReferenceTrace& trace, int max_frames);
