// Runs of clock, clean-first or FIFO at many frame counts in one pass over
// the trace: the runs' frame bits are kept by page, one bit per run, so a
// reference that hits costs the same for all of them, and only the runs
// that fault do work of their own. Each run follows PolicyMachine's rules.
#pragma once

#include <span>
#include <vector>

#include "policies/what_if.hpp"

/// Runs that one pass over the trace carries side by side.
inline constexpr size_t kGroupRuns = 64;

/// `policy` at each of `frame_counts` (1..kMaxFrames each), in that order.
/// REQUIRES: policy is kClock, kCleanFirst or kFifo.
std::vector<PolicyCounts> grouped_runs(const ReferenceTrace& trace, Policy policy,
                                       std::span<const int> frame_counts);
