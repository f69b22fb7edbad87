// Runs of double TLB hits sixteen records at a time, on processors with
// AVX-512: the eight TLB entries are compared with all 32 references of a
// step at once, so a record costs a few vector lanes instead of two look-ups
// in the index and two stamps.
#pragma once

#include <cstdint>

#include "io/trace_scanner.hpp"

/// Whether the processor has the instructions run_double_tlb_hit_groups uses.
bool double_hit_groups_supported();

/// Runs records[begin], records[begin + 1], ... as run_double_tlb_hits
/// (memory/double_hits.hpp) does, with the same machine after each record,
/// and returns the index of the first record it did not run. It may stop
/// early, before a double hit (after a number of steps, or where the process
/// changes); it returns `begin` only when records[begin] is not a double hit.
/// REQUIRES: double_hit_groups_supported(), display_window_misses_next(end -
/// begin).
int run_double_tlb_hit_groups(const int32_t (*records)[kBatchedRecordSlots], int begin, int end);
