// Runs of the what-if policies over a trace: any set of (policy, frames)
// runs advance together, window by window, so the optimal policy's next
// uses are computed once for all of them, and each run's faults are read at
// the end of every interval.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "policies/frame_table.hpp"
#include "policies/reference_trace.hpp"

enum class Policy { kClock, kCleanFirst, kFifo, kLru, kOpt };
inline constexpr int kPolicyCount = 5;
/// Every policy, in the order reports list them.
inline constexpr std::array<Policy, kPolicyCount> kPolicies = {
    Policy::kClock, Policy::kCleanFirst, Policy::kFifo, Policy::kLru, Policy::kOpt};
/// "clock", "clean-first", "fifo", "lru", "opt".
std::string_view policy_name(Policy policy);

struct WhatIfRun {
  Policy policy;
  int frames;  ///< 1..kMaxFrames
};

struct WhatIfResult {
  PolicyCounts totals;
  /// Faults in each interval given to run_what_if.
  std::vector<int64_t> interval_faults;
};

/// Runs every one of `runs` over the whole trace. `interval_ends` are event
/// positions in increasing order (ReferenceTrace::interval_ends); faults are
/// counted between them. Results are in the order of `runs`.
std::vector<WhatIfResult> run_what_if(const ReferenceTrace& trace, std::span<const WhatIfRun> runs,
                                      std::span<const uint64_t> interval_ends = {});

/// The totals of one run.
PolicyCounts run_policy(const ReferenceTrace& trace, Policy policy, int frames);
