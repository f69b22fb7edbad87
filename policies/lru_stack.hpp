// LRU at every frame count in one pass (Mattson's stack distances): with
// LRU, the pages in k frames are always the k most recently referenced, so a
// reference at depth d of the recency stack faults exactly in the runs with
// fewer than d frames. Terminations take the process's pages out of the
// stack and leave their frames free, so each frame count keeps how many of
// the top of the stack it holds.
#pragma once

#include <span>
#include <vector>

#include "policies/frame_table.hpp"

/// LRU's faults and dirty pages written at each of `frame_counts`, in that
/// order, over the first `max_events` events. REQUIRES: frame_counts
/// increasing, each from 1 to kMaxFrames.
std::vector<PolicyCounts> lru_curve(const ReferenceTrace& trace, std::span<const int> frame_counts,
                                    uint64_t max_events = UINT64_MAX);

/// The same at 1..max_frames frames; entry k-1 is for k frames.
std::vector<PolicyCounts> lru_curve(const ReferenceTrace& trace, int max_frames);
