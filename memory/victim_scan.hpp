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

/// How many frames the scan passes before it takes one, found from the ref
/// and dirty bits of all frames at once (bit f: frame f) instead of frame
/// by frame. REQUIRES: hand in 0..kFrames-1.
inline int32_t moves_to_victim(int32_t hand, uint32_t ref, uint32_t dirty, int32_t mode) {
  // A bit kFrames places on stops a count that finds nothing in the turn.
  constexpr uint32_t kAfterTurn = uint32_t{1} << kFrames;
  const uint32_t ref_ahead = frames_from_hand(ref, hand);
  if (mode == 0) {
    // Second chance: the first frame without its ref bit; when every frame
    // has it, the first turn clears them all and the start is taken.
    return std::countr_zero((~ref_ahead & (kAfterTurn - 1)) | kAfterTurn);
  }
  // Clean first: the first frame neither referenced nor dirty. The first
  // turn clears every ref bit, so the second looks only at dirty bits; after
  // two full turns the scan takes the frame it stands on, where it started.
  static_assert(kCleanFirstMaxMoves == 2 * kFrames);
  const uint32_t dirty_ahead = frames_from_hand(dirty, hand);
  const uint32_t clean = ~(ref_ahead | dirty_ahead) & (kAfterTurn - 1);
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
  const uint32_t ref = sim.ref_mask;
  const int32_t moves = moves_to_victim(hand, ref, sim.dirty_mask, sim.replacement_mode);
  int32_t victim = hand + (moves < kFrames ? moves : moves - kFrames);
  victim -= victim >= kFrames ? kFrames : 0;
  // Frames met on the second turn had their ref bit cleared on the first.
  for (int32_t met = 0, i = hand; met <= moves; ++met, i = next_frame(i)) {
    const int32_t ref_seen = met < kFrames ? static_cast<int32_t>(ref >> i & 1) : 0;
    observe(
        ScanStep{i, ref_seen, static_cast<int32_t>(sim.dirty_mask >> i & 1), met, met == moves});
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
