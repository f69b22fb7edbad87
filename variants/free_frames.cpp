#include "variants/free_frames.hpp"

#include <bit>
#include <cstddef>

namespace variants {

FreeFrames::FreeFrames(int32_t frames) : words_((frames + 63) / 64, 0) {
  for (int32_t f = 0; f < frames; ++f) add(f);
}

void FreeFrames::add(int32_t frame) {
  if (contains(frame)) return;
  words_[frame / 64] |= uint64_t{1} << (frame % 64);
  ++count_;
}

void FreeFrames::remove(int32_t frame) {
  if (!contains(frame)) return;
  words_[frame / 64] &= ~(uint64_t{1} << (frame % 64));
  --count_;
}

int32_t FreeFrames::lowest() const {
  if (count_ == 0) return -1;
  for (size_t w = 0;; ++w) {
    if (words_[w] != 0) return static_cast<int32_t>(w * 64) + std::countr_zero(words_[w]);
  }
}

int32_t FreeFrames::highest() const {
  if (count_ == 0) return -1;
  for (size_t w = words_.size(); w-- > 0;) {
    if (words_[w] != 0) return static_cast<int32_t>(w * 64) + 63 - std::countl_zero(words_[w]);
  }
  return -1;
}

}  // namespace variants
