// The replacement scan, written once for pagesim and for the tools that
// explain it: an observer sees every frame as the scan meets it.
#pragma once

#include <cstdint>

#include "memory/tables.hpp"

/// One frame as the replacement scan met it, before the scan acted on it.
struct ScanStep {
  int32_t frame;
  int32_t ref;
  int32_t dirty;
  int32_t moves;  ///< frames passed before this one
  bool taken;     ///< the scan stopped here: this frame is the victim
};

/// The frame after `frame_index` on the clock.
inline int32_t next_frame(int32_t frame_index) {
  return frame_index + 1 == kFrames ? 0 : frame_index + 1;
}

/// Picks the frame to evict by replacement_mode, starting at clock_hand, and
/// clears the ref bits of the frames it passes; `observe(const ScanStep&)`
/// is called for each frame met, the victim last. With an observer that does
/// nothing this compiles to the bare scan.
/// REQUIRES: no frame is free.
template <class Observer>
inline int32_t scan_for_victim(Observer&& observe) {
  int32_t i = sim.clock_hand;
  if (sim.replacement_mode == 0) {
    // Second chance: ends at the latest back at the start, all bits cleared.
    for (int32_t moves = 0;; ++moves) {
      Frame& frame = sim.frames[i];
      const bool taken = frame.ref == 0;
      observe(ScanStep{i, frame.ref, frame.dirty, moves, taken});
      if (taken) return i;
      frame.ref = 0;
      i = next_frame(i);
    }
  }
  // Clean first: a frame neither referenced nor dirty; after two full turns
  // without one, the frame the scan stands on, which is where it started.
  for (int32_t moves = 0;; ++moves) {
    Frame& frame = sim.frames[i];
    const bool taken = (frame.ref == 0 && frame.dirty == 0) || moves >= kCleanFirstMaxMoves;
    observe(ScanStep{i, frame.ref, frame.dirty, moves, taken});
    if (taken) return i;
    frame.ref = 0;
    i = next_frame(i);
  }
}
