// The replacement scan, written once for pagesim and for the tools that
// explain it: an observer sees every frame as the scan meets it.
#pragma once

#include <bit>
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

/// `frames` (bit f for frame f) turned so that bit k is the frame k places
/// after `hand` on the clock; bits from kFrames up are not cleared.
/// REQUIRES: hand in 0..kFrames-1.
inline uint32_t frames_from_hand(uint32_t frames, int32_t hand) {
  return static_cast<uint32_t>((frames | static_cast<uint64_t>(frames) << kFrames) >> hand);
}

/// How many frames the clean-first scan passes before it takes one, found
/// from the ref and dirty bits of all frames at once (bit f: frame f)
/// instead of frame by frame (as Machine::victim_by_clean_first in
/// variants/machine.cpp walks them). REQUIRES: hand in 0..kFrames-1.
inline int32_t clean_first_moves(int32_t hand, uint32_t ref, uint32_t dirty) {
  // A frame neither referenced nor dirty. The first turn clears every ref
  // bit, so the second looks only at dirty bits; after two full turns the
  // scan takes the frame it stands on, where it started. A bit kFrames
  // places on stops the second count when it finds nothing.
  static_assert(kCleanFirstMaxMoves == 2 * kFrames);
  constexpr uint32_t kAfterTurn = uint32_t{1} << kFrames;
  const uint32_t dirty_ahead = frames_from_hand(dirty, hand);
  const uint32_t clean = ~(frames_from_hand(ref, hand) | dirty_ahead) & (kAfterTurn - 1);
  if (clean != 0) return std::countr_zero(clean);
  return kFrames + std::countr_zero((~dirty_ahead & (kAfterTurn - 1)) | kAfterTurn);
}

/// Picks the frame to evict by replacement_mode, starting at clock_hand, and
/// clears the ref bits of the frames it passes; `observe(const ScanStep&)`
/// is called for each frame met, the victim last. With an observer that does
/// nothing this compiles to the bare scan.
/// REQUIRES: no frame is free; ref_mask and dirty_mask match the frames.
template <class Observer>
inline int32_t scan_for_victim(Observer&& observe) {
  const int32_t hand = sim.clock_hand;
  uint32_t ref = sim.ref_mask;
  const uint32_t dirty = sim.dirty_mask;
  if (sim.replacement_mode == 0) {
    // Second chance passes the frames with their ref bit set, clearing it,
    // and takes the first without; at the latest the start, after a turn
    // (Machine::victim_by_second_chance in variants/machine.cpp). Few are
    // passed, so frame by frame, on the mask.
    int32_t i = hand;
    for (int32_t moves = 0;; ++moves) {
      const uint32_t bit = uint32_t{1} << i;
      const bool taken = (ref & bit) == 0;
      observe(ScanStep{i, !taken, (dirty & bit) != 0, moves, taken});
      if (taken) break;
      ref &= ~bit;
      sim.frames[i].ref = 0;
      i = next_frame(i);
    }
    sim.ref_mask = ref;
    return i;
  }
  const int32_t moves = clean_first_moves(hand, ref, dirty);
  int32_t victim = hand + (moves < kFrames ? moves : moves - kFrames);
  victim -= victim >= kFrames ? kFrames : 0;
  // Frames met on the second turn had their ref bit cleared on the first.
  for (int32_t met = 0, i = hand; met <= moves; ++met, i = next_frame(i)) {
    const int32_t ref_seen = met < kFrames ? static_cast<int32_t>(ref >> i & 1) : 0;
    observe(ScanStep{i, ref_seen, static_cast<int32_t>(dirty >> i & 1), met, met == moves});
  }
  // The frames passed: `moves` of them from the hand on, all after a turn.
  uint32_t passed = kAllFramesFree;
  if (moves < kFrames) {
    const uint64_t first = static_cast<uint64_t>((uint32_t{1} << moves) - 1) << hand;
    passed = static_cast<uint32_t>(first | first >> kFrames) & kAllFramesFree;
  }
  sim.ref_mask = ref & ~passed;
  for (uint32_t cleared = ref & passed; cleared != 0; cleared &= cleared - 1)
    sim.frames[std::countr_zero(cleared)].ref = 0;
  return victim;
}
