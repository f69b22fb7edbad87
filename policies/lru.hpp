// Least recently used: the victim is the page referenced least recently.
// Each frame keeps the time of its last use, so a hit costs one store and
// only an eviction looks at every frame.
#pragma once

#include <cstdint>

#include "policies/frame_table.hpp"

class LeastRecentlyUsed {
 public:
  explicit LeastRecentlyUsed(int frames) : frames_(frames) {}
  int choose_victim(FrameBits&) const {
    int oldest = 0;
    for (int f = 1; f < frames_; ++f) oldest = last_use_[f] < last_use_[oldest] ? f : oldest;
    return oldest;
  }
  void on_load(int frame, uint32_t) { last_use_[frame] = ++clock_; }
  void on_hit(int frame, uint32_t) { last_use_[frame] = ++clock_; }
  void on_leave(int) {}

 private:
  int frames_;
  uint64_t clock_ = 0;  ///< references so far; uses are distinct
  uint64_t last_use_[kMaxWhatIfFrames] = {};
};
