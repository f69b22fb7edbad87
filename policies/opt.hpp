// Belady's optimal policy: the victim is the page whose next use lies
// farthest ahead; pages never used again come first, the lowest frame among
// them. Those pages are a bit mask; the others are ranked in a tournament
// tree over the frames, which keeps the farthest at its root, so a reference
// costs at most a walk up the tree rather than a look at every frame.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "policies/frame_table.hpp"
#include "policies/next_use.hpp"

class Optimal {
 public:
  explicit Optimal(int frames) {
    while (leaves_ < frames) leaves_ *= 2;
    std::fill(std::begin(tree_), std::end(tree_), uint64_t{0});
  }
  int choose_victim(FrameBits&) const {
    if (never_used_ != 0) return std::countr_zero(never_used_);
    return kMaxWhatIfFrames - 1 - static_cast<int>(tree_[1] & (kMaxWhatIfFrames - 1));
  }
  void on_load(int frame, uint32_t next_use) {
    if (mark_never_used(frame, next_use)) return;
    // The frame's rank may fall (it held the victim): the path is computed
    // again, the maximum kept in a register so that only siblings are read.
    int node = leaves_ + frame;
    uint64_t highest = rank(frame, next_use);
    tree_[node] = highest;
    for (; node > 1; node /= 2) {
      highest = std::max(highest, tree_[node ^ 1]);
      tree_[node / 2] = highest;
    }
  }
  void on_hit(int frame, uint32_t next_use) {
    const bool was_never_used = (never_used_ >> frame) & 1;
    if (mark_never_used(frame, next_use)) return;
    if (was_never_used) {  // its leaf is stale: compute the path again
      on_load(frame, next_use);
      return;
    }
    // Otherwise the next use only moves further ahead: the ranks on the path
    // rise to it until one is already as high.
    const uint64_t raised = rank(frame, next_use);
    for (int node = leaves_ + frame; node >= 1 && tree_[node] < raised; node /= 2)
      tree_[node] = raised;
  }
  void on_leave(int frame) { never_used_ &= ~(uint64_t{1} << frame); }

 private:
  // The tree is read only when no frame is free and none is in the mask;
  // then every leaf was last set through a walk up its path, which makes
  // every node the largest rank below it. Frames in the mask or free keep
  // stale leaves meanwhile.
  bool mark_never_used(int frame, uint32_t next_use) {
    const uint64_t bit = uint64_t{1} << frame;
    never_used_ = next_use == kNeverUsed ? never_used_ | bit : never_used_ & ~bit;
    return next_use == kNeverUsed;
  }
  // Ranks order by next use; those are distinct for pages in frames.
  static uint64_t rank(int frame, uint32_t next_use) {
    return uint64_t{next_use} << 6 | static_cast<uint64_t>(kMaxWhatIfFrames - 1 - frame);
  }

  int leaves_ = 1;
  uint64_t never_used_ = 0;              ///< frames whose page is not used again
  uint64_t tree_[2 * kMaxWhatIfFrames];  ///< node n has children 2n and 2n+1
};
