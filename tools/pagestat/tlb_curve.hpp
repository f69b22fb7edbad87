// pagesim's whole machine (TLB and frames together) at every TLB size from
// 1 entry up, in either mode, on the switchable model with its geometry set:
// TLB misses and page faults per size.
#pragma once

#include <cstdint>
#include <vector>

#include "policies/reference_trace.hpp"

/// TLB sizes of the curve: 1..kTlbCurveEntries.
inline constexpr int kTlbCurveEntries = 64;

struct TlbCurvePoint {
  int tlb_entries = 0;
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  bool operator==(const TlbCurvePoint&) const = default;
};

/// One run of the model with `tlb_entries` entries and `frames` frames.
/// REQUIRES: mode 0 or 1; 1 <= tlb_entries <= 64; 1 <= frames <= 65536.
TlbCurvePoint run_machine_at(const ReferenceTrace& trace, int32_t mode, int tlb_entries,
                             int frames);

/// Whether the one-pass curve is exact for this trace. It is when no record
/// names process -1 (then every TLB entry agrees with its frame, so the TLB
/// holds the most recently used pages that are still in frames) and there
/// are at most 10,000,000 references (past that pagesim's least recently
/// used scan passes over entries stamped 10,000,000 or later).
bool tlb_one_pass_is_exact(const ReferenceTrace& trace);

/// Every size 1..kTlbCurveEntries from one run of the model: the frames do
/// not depend on the TLB, and an LRU TLB of k entries holds the top k of
/// the recency stack of the references, less the pages evicted from frames
/// and the processes ended. REQUIRES: tlb_one_pass_is_exact(trace).
std::vector<TlbCurvePoint> tlb_curve_one_pass(const ReferenceTrace& trace, int32_t mode,
                                              int frames);
