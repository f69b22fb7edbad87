#include "variants/frame_index.hpp"

namespace variants {

FrameIndex::FrameIndex(int32_t frames) : next_(frames, -1), key_(frames, 0) {
  size_t buckets = 16;
  while (buckets < 2 * static_cast<size_t>(frames)) buckets *= 2;
  head_.assign(buckets, -1);
  mask_ = buckets - 1;
}

uint64_t FrameIndex::key_of(int32_t proc, int32_t page) {
  return static_cast<uint64_t>(static_cast<uint32_t>(proc)) << 32 | static_cast<uint32_t>(page);
}

size_t FrameIndex::bucket_of(uint64_t key) const {
  // A multiplicative hash: neighbouring pages of one process spread out.
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
}

void FrameIndex::insert(int32_t frame, int32_t proc, int32_t page) {
  const uint64_t key = key_of(proc, page);
  key_[frame] = key;
  int32_t* link = &head_[bucket_of(key)];
  while (*link >= 0 && *link < frame) link = &next_[*link];
  next_[frame] = *link;
  *link = frame;
}

void FrameIndex::erase(int32_t frame) {
  int32_t* link = &head_[bucket_of(key_[frame])];
  while (*link != frame) link = &next_[*link];
  *link = next_[frame];
  next_[frame] = -1;
}

int32_t FrameIndex::lowest(int32_t proc, int32_t page) const {
  const uint64_t key = key_of(proc, page);
  for (int32_t f = head_[bucket_of(key)]; f >= 0; f = next_[f]) {
    if (key_[f] == key) return f;
  }
  return -1;
}

}  // namespace variants
