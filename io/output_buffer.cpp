#include "io/output_buffer.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool write_fully(int fd, const char* text, size_t length) {
  while (length > 0) {
    ssize_t written = ::write(fd, text, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

void write_to_stderr(std::string_view message) {
  (void)write_fully(STDERR_FILENO, message.data(), message.size());
}

const char kDigitPairs[200] = {
    '0', '0', '0', '1', '0', '2', '0', '3', '0', '4', '0', '5', '0', '6', '0', '7', '0', '8', '0',
    '9', '1', '0', '1', '1', '1', '2', '1', '3', '1', '4', '1', '5', '1', '6', '1', '7', '1', '8',
    '1', '9', '2', '0', '2', '1', '2', '2', '2', '3', '2', '4', '2', '5', '2', '6', '2', '7', '2',
    '8', '2', '9', '3', '0', '3', '1', '3', '2', '3', '3', '3', '4', '3', '5', '3', '6', '3', '7',
    '3', '8', '3', '9', '4', '0', '4', '1', '4', '2', '4', '3', '4', '4', '4', '5', '4', '6', '4',
    '7', '4', '8', '4', '9', '5', '0', '5', '1', '5', '2', '5', '3', '5', '4', '5', '5', '5', '6',
    '5', '7', '5', '8', '5', '9', '6', '0', '6', '1', '6', '2', '6', '3', '6', '4', '6', '5', '6',
    '6', '6', '7', '6', '8', '6', '9', '7', '0', '7', '1', '7', '2', '7', '3', '7', '4', '7', '5',
    '7', '6', '7', '7', '7', '8', '7', '9', '8', '0', '8', '1', '8', '2', '8', '3', '8', '4', '8',
    '5', '8', '6', '8', '7', '8', '8', '8', '9', '9', '0', '9', '1', '9', '2', '9', '3', '9', '4',
    '9', '5', '9', '6', '9', '7', '9', '8', '9', '9'};

char* append_int_any(char* out, int64_t value) {
  // Digits are produced backwards, two at a time, into a scratch area, then
  // copied; the magnitude is unsigned so that INT64_MIN needs no special case.
  char digits[20];
  char* cursor = digits + sizeof digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  while (magnitude >= 100) {
    cursor -= 2;
    std::memcpy(cursor, kDigitPairs + 2 * (magnitude % 100), 2);
    magnitude /= 100;
  }
  if (magnitude >= 10) {
    cursor -= 2;
    std::memcpy(cursor, kDigitPairs + 2 * magnitude, 2);
  } else {
    *--cursor = static_cast<char>('0' + magnitude);
  }
  if (value < 0) *out++ = '-';
  size_t count = static_cast<size_t>(digits + sizeof digits - cursor);
  std::memcpy(out, cursor, count);
  return out + count;
}

void OutputBuffer::attach(int fd, bool flush_each_message, size_t block_size) {
  fd_ = fd;
  block_size_ = block_size;
  flush_each_message_ = flush_each_message;
  used_ = 0;
  failed_ = false;
}

void OutputBuffer::put(std::string_view text) {
  while (!text.empty()) {
    if (used_ == block_size_) flush();
    size_t count = std::min(text.size(), block_size_ - used_);
    std::memcpy(buffer_ + used_, text.data(), count);
    used_ += count;
    text.remove_prefix(count);
  }
}

void OutputBuffer::flush() {
  if (used_ > 0 && fd_ >= 0 && !failed_) failed_ = !write_fully(fd_, buffer_, used_);
  used_ = 0;
}
