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

char* append_int(char* out, int64_t value) {
  // Digits are produced backwards into a scratch area, then copied; the
  // magnitude is taken as unsigned so that INT64_MIN needs no special case.
  char digits[20];
  char* cursor = digits + sizeof digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    *--cursor = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *out++ = '-';
  size_t count = static_cast<size_t>(digits + sizeof digits - cursor);
  std::memcpy(out, cursor, count);
  return out + count;
}

void OutputBuffer::attach(int fd, bool flush_each_message) {
  fd_ = fd;
  flush_each_message_ = flush_each_message;
  used_ = 0;
  failed_ = false;
}

void OutputBuffer::put(std::string_view text) {
  while (!text.empty()) {
    if (used_ == kOutputBlockSize) flush();
    size_t count = std::min(text.size(), kOutputBlockSize - used_);
    std::memcpy(buffer_ + used_, text.data(), count);
    used_ += count;
    text.remove_prefix(count);
  }
}

void OutputBuffer::flush() {
  if (used_ > 0 && fd_ >= 0 && !failed_) failed_ = !write_fully(fd_, buffer_, used_);
  used_ = 0;
}
