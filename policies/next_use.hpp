// When each referenced page is used next, as the optimal policy sees it: the
// position of the next reference to the same page, or never when there is
// none or its process ends first. Computed backward one window at a time
// from saved states, so the whole trace never needs a position per event.
#pragma once

#include <cstdint>
#include <vector>

#include "policies/reference_trace.hpp"

/// The next use of a page that is not used again.
inline constexpr uint32_t kNeverUsed = UINT32_MAX;

class NextUse {
 public:
  /// Walks the trace backward once, saving the state at each window's end.
  /// The trace must not change while this object is used.
  explicit NextUse(const ReferenceTrace& trace);

  /// Events per window, a whole number of blocks.
  uint64_t window_events() const { return window_events_; }
  /// Fills `out` with the next use of every event of window `window`
  /// (kNeverUsed for terminations); out[j] is for event
  /// window * window_events() + j. REQUIRES: window * window_events() < events.
  void fill(size_t window, std::vector<uint32_t>& out) const;

 private:
  // The state of the backward walk: next reference of each page and next
  // termination of each process, both as positions or kNeverUsed.
  struct Ahead {
    std::vector<uint32_t> page_next;
    std::vector<uint32_t> process_end;
  };
  // Steps the walk back over [first, end), writing next uses to `out`
  // (indexed from first) when it is not null.
  void walk_back(uint64_t first, uint64_t end, Ahead& ahead, uint32_t* out) const;

  const ReferenceTrace& trace_;
  uint64_t window_events_;
  std::vector<Ahead> window_end_states_;
};
