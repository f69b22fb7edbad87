// A set of frames as a row of 64-bit words, for runs with more frames than
// one word holds: the lowest member, the first member going round the clock
// from a frame, and the clearing of a stretch of the clock a word at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

class FrameSet {
 public:
  /// REQUIRES: frames >= 1.
  explicit FrameSet(int frames, bool full = false)
      : frames_(frames), words_(static_cast<size_t>((frames + 63) / 64), 0) {
    if (full) fill();
  }

  bool test(int frame) const { return (words_[word(frame)] >> (frame & 63)) & 1; }
  void set(int frame) { words_[word(frame)] |= bit(frame); }
  void reset(int frame) { words_[word(frame)] &= ~bit(frame); }
  void assign(int frame, bool value) { value ? set(frame) : reset(frame); }
  void clear() { std::fill(words_.begin(), words_.end(), uint64_t{0}); }
  void fill() {
    std::fill(words_.begin(), words_.end(), ~uint64_t{0});
    if (frames_ % 64 != 0) words_.back() = (uint64_t{1} << (frames_ % 64)) - 1;
  }
  bool empty() const {
    for (const uint64_t w : words_)
      if (w != 0) return false;
    return true;
  }
  /// The lowest member; -1 when empty.
  int first() const {
    for (size_t w = 0; w < words_.size(); ++w)
      if (words_[w] != 0) return static_cast<int>(w * 64) + std::countr_zero(words_[w]);
    return -1;
  }

  /// The first frame at or after `start`, going round, that is in neither
  /// `a` nor `b` (b may be null); -1 when there is none.
  static int first_outside(const FrameSet& a, const FrameSet* b, int start) {
    const size_t words = a.words_.size();
    const auto outside = [&](size_t w) {
      uint64_t bits = ~a.words_[w];
      if (b != nullptr) bits &= ~b->words_[w];
      if (w + 1 == words && a.frames_ % 64 != 0) bits &= (uint64_t{1} << (a.frames_ % 64)) - 1;
      return bits;
    };
    const size_t start_word = word(start);
    // The start word from `start` on, the other words, then the start word
    // below `start`.
    uint64_t bits = outside(start_word) & (~uint64_t{0} << (start & 63));
    if (bits != 0) return static_cast<int>(start_word * 64) + std::countr_zero(bits);
    for (size_t step = 1; step <= words; ++step) {
      const size_t w = (start_word + step) % words;
      bits = outside(w);
      if (w == start_word) bits &= bit(start) - 1;
      if (bits != 0) return static_cast<int>(w * 64) + std::countr_zero(bits);
    }
    return -1;
  }

  /// Takes out frames first..last going round the clock, both included.
  void reset_span(int first, int last) {
    if (first > last) {
      reset_range(first, frames_ - 1);
      reset_range(0, last);
    } else {
      reset_range(first, last);
    }
  }

 private:
  static size_t word(int frame) { return static_cast<size_t>(frame) / 64; }
  static uint64_t bit(int frame) { return uint64_t{1} << (frame & 63); }
  // Frames first..last, first <= last.
  void reset_range(int first, int last) {
    for (size_t w = word(first); w <= word(last); ++w) {
      uint64_t mask = ~uint64_t{0};
      if (w == word(first)) mask &= ~uint64_t{0} << (first & 63);
      if (w == word(last)) mask &= (last & 63) == 63 ? ~uint64_t{0} : (bit(last) << 1) - 1;
      words_[w] &= ~mask;
    }
  }

  int frames_;
  std::vector<uint64_t> words_;
};
