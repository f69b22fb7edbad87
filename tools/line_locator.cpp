#include "tools/line_locator.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "tools/visible_bytes.hpp"

bool LineLocator::fill() {
  block_offset_ += block_length_;
  block_length_ = block_position_ = 0;
  for (;;) {
    const ssize_t got = ::read(fd_, block_, kBlockSize);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed_ = true;
    if (got <= 0) return false;
    block_length_ = static_cast<size_t>(got);
    return true;
  }
}

TextPosition LineLocator::locate(uint64_t offset) {
  while (block_offset_ + block_position_ < offset) {
    if (block_position_ == block_length_ && !fill()) break;
    const size_t stop =
        static_cast<size_t>(std::min<uint64_t>(block_length_, offset - block_offset_));
    for (; block_position_ < stop; ++block_position_) {
      if (block_[block_position_] == '\n') {
        ++line_;
        line_start_ = block_offset_ + block_position_ + 1;
      }
    }
  }
  return {line_, offset - line_start_ + 1};
}

std::string LineLocator::word_at_last_offset(size_t limit) {
  std::string word;
  while (word.size() < limit) {
    if (block_position_ == block_length_ && !fill()) break;
    const auto c = static_cast<unsigned char>(block_[block_position_++]);
    if (c == ' ' || (c >= '\t' && c <= '\r')) break;
    word += visible_bytes(std::string_view(reinterpret_cast<const char*>(&c), 1));
  }
  return word;
}
