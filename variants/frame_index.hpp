// Where a page lives among many frames: the frames in use by the (process,
// page) they hold, so that the frame search costs the same at 20 frames as
// at 65,536. It answers what a search of the frames in index order answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace variants {

class FrameIndex {
 public:
  /// An index of `frames` frames, none of them in it.
  /// REQUIRES: frames >= 1.
  explicit FrameIndex(int32_t frames);

  /// Frame `frame` now holds page `page` of `proc`.
  /// REQUIRES: frame is not in the index.
  void insert(int32_t frame, int32_t proc, int32_t page);
  /// Frame `frame` leaves the index. REQUIRES: it is in the index.
  void erase(int32_t frame);
  /// The lowest frame in the index that holds page `page` of `proc`, or -1.
  int32_t lowest(int32_t proc, int32_t page) const;

 private:
  static uint64_t key_of(int32_t proc, int32_t page);
  size_t bucket_of(uint64_t key) const;

  // Chained buckets; each chain is kept in frame order, so the first match
  // is the lowest frame.
  std::vector<int32_t> head_;  ///< first frame of each bucket, -1: none
  std::vector<int32_t> next_;  ///< the frame after each in its chain, -1: last
  std::vector<uint64_t> key_;  ///< what each frame in the index holds
  size_t mask_;
};

}  // namespace variants
