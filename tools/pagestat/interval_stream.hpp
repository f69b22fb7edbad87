// The per-interval counts run again a stretch of intervals at a time, so
// that a report with many intervals never holds more than one stretch.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "policies/reference_trace.hpp"
#include "policies/what_if.hpp"

/// One interval's counts in the report's column order: pagesim's TLB misses
/// and page faults in mode 0, the same in mode 1, then each policy's faults
/// in kPolicies order.
using IntervalRow = std::array<int64_t, 4 + kPolicyCount>;

/// Runs pagesim's two modes (each stopping before its record in
/// `stop_before`, when given) and every policy at `frames` over `trace`,
/// handing `emit` the rows of at most `stretch` intervals of `interval`
/// records at a time, in order. `emit` returns false to stop early.
/// REQUIRES: interval > 0, stretch > 0, 1 <= frames <= kMaxWhatIfFrames.
void stream_interval_rows(const ReferenceTrace& trace, int frames, int64_t interval,
                          const std::array<std::optional<int64_t>, 2>& stop_before, size_t stretch,
                          const std::function<bool(std::span<const IntervalRow>)>& emit);
