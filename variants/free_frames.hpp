// The set of free frames, for taking the lowest (or highest) one without
// looking at every frame.
#pragma once

#include <cstdint>
#include <vector>

namespace variants {

class FreeFrames {
 public:
  /// `frames` frames, all free. REQUIRES: frames >= 1.
  explicit FreeFrames(int32_t frames);

  void add(int32_t frame);
  void remove(int32_t frame);
  bool contains(int32_t frame) const { return (words_[frame / 64] >> (frame % 64) & 1) != 0; }
  /// The lowest free frame, or -1 when none is free.
  int32_t lowest() const;
  /// The highest free frame, or -1 when none is free.
  int32_t highest() const;

 private:
  std::vector<uint64_t> words_;  ///< bit f % 64 of word f / 64: frame f is free
  int32_t count_ = 0;
};

}  // namespace variants
