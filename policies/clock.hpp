// pagesim's two replacement scans on any number of frames, as bit
// operations on the frames' bits: the scan passes frames from the hand,
// clearing their referenced bits, and the hand moves only on an eviction, to
// one past the victim.
#pragma once

#include "policies/frame_table.hpp"

/// pagesim's mode 0: the first frame from the hand whose referenced bit is
/// clear; after a full turn of clearing, the frame at the hand.
class SecondChance {
 public:
  explicit SecondChance(int /*frames*/) {}
  int choose_victim(FrameBits& bits) {
    int victim = first_from(bits.all & ~bits.referenced, hand_);
    if (victim < 0) {
      bits.referenced = 0;
      victim = hand_;
    } else {
      bits.referenced &= ~clock_span(hand_, victim, bits.frames);
    }
    hand_ = victim + 1 == bits.frames ? 0 : victim + 1;
    return victim;
  }
  void on_load(int, uint32_t) {}
  void on_hit(int, uint32_t) {}
  void on_leave(int) {}

 private:
  int hand_ = 0;
};

/// pagesim's mode 1 with at most 2 x frames moves: the first frame from the
/// hand neither referenced nor dirty; on the second turn, with every
/// referenced bit cleared by the first, the first clean frame; after both
/// turns, the frame at the hand.
class CleanFirst {
 public:
  explicit CleanFirst(int /*frames*/) {}
  int choose_victim(FrameBits& bits) {
    int victim = first_from(bits.all & ~bits.referenced & ~bits.dirty, hand_);
    if (victim >= 0) {
      bits.referenced &= ~clock_span(hand_, victim, bits.frames);
    } else {
      bits.referenced = 0;
      victim = first_from(bits.all & ~bits.dirty, hand_);
      if (victim < 0) victim = hand_;
    }
    hand_ = victim + 1 == bits.frames ? 0 : victim + 1;
    return victim;
  }
  void on_load(int, uint32_t) {}
  void on_hit(int, uint32_t) {}
  void on_leave(int) {}

 private:
  int hand_ = 0;
};
