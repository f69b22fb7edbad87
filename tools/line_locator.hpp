// Turns byte offsets of a file into line and column numbers, reading the file
// once, forward, through a fixed block: the offsets asked for must not
// decrease.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TextPosition {
  uint64_t line;    ///< from 1
  uint64_t column;  ///< from 1, in bytes
};

class LineLocator {
 public:
  /// Reads through `fd`, which must be at the start of the file.
  explicit LineLocator(int fd) : fd_(fd) {}
  /// Position of byte `offset`. REQUIRES: offset >= every earlier offset.
  TextPosition locate(uint64_t offset);
  /// Up to `limit` bytes from the last located offset to the next white
  /// space, with bytes that are not printable ASCII shown as \xHH.
  /// REQUIRES: no locate() follows; it reads ahead.
  std::string word_at_last_offset(size_t limit = 24);
  /// Whether a read failed.
  bool failed() const { return failed_; }

 private:
  bool fill();

  static constexpr size_t kBlockSize = 64 << 10;
  int fd_;
  char block_[kBlockSize];
  size_t block_length_ = 0;
  size_t block_position_ = 0;
  uint64_t block_offset_ = 0;  ///< file offset of block_[0]
  uint64_t line_ = 1;
  uint64_t line_start_ = 0;  ///< file offset of the current line's first byte
  bool failed_ = false;
};
