// First in, first out: the victim is the page loaded earliest. The frames
// wait in load order in a ring; an eviction takes the front and the new page
// joins at the back, and the end of a process, which is rare, closes the gaps
// its frames leave.
#pragma once

#include <cstdint>

#include "policies/frame_table.hpp"

class FirstInFirstOut {
 public:
  explicit FirstInFirstOut(int /*frames*/) {}
  int choose_victim(FrameBits&) const { return ring_[head_]; }
  void on_load(int frame, uint32_t) {
    ring_[(head_ + count_) & kMask] = static_cast<int16_t>(frame);
    ++count_;
  }
  void on_hit(int, uint32_t) {}
  void on_leave(int frame) {
    if (ring_[head_] == frame) {  // the victim
      head_ = (head_ + 1) & kMask;
      --count_;
      return;
    }
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
      const int16_t waiting = ring_[(head_ + i) & kMask];
      if (waiting != frame) ring_[(head_ + kept++) & kMask] = waiting;
    }
    count_ = kept;
  }

 private:
  static constexpr int kMask = kMaxWhatIfFrames - 1;
  int16_t ring_[kMaxWhatIfFrames] = {};  ///< frames from head_ on, oldest load first
  int head_ = 0;
  int count_ = 0;
};
