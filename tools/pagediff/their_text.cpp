#include "tools/pagediff/their_text.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

TheirText::~TheirText() {
  if (fd_ >= 0) ::close(fd_);
}

bool TheirText::open(const std::string& path) {
  if (fd_ >= 0) ::close(fd_);
  begin_ = end_ = 0;
  held_carriage_return_ = ended_ = failed_ = saw_carriage_return_ = false;
  errno_value_ = 0;
  lines_read_ = 0;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

void TheirText::adopt(int fd) {
  if (fd_ >= 0) ::close(fd_);
  begin_ = end_ = 0;
  held_carriage_return_ = ended_ = failed_ = saw_carriage_return_ = false;
  errno_value_ = 0;
  lines_read_ = 0;
  fd_ = fd;
}

size_t TheirText::drop_carriage_returns(char* start, size_t length) {
  if (std::memchr(start, '\r', length) == nullptr) return length;
  size_t kept = 0;
  for (size_t i = 0; i < length; ++i) {
    if (start[i] == '\r' && i + 1 < length && start[i + 1] == '\n') {
      saw_carriage_return_ = true;
      continue;
    }
    start[kept++] = start[i];
  }
  return kept;
}

size_t TheirText::fill(size_t count) {
  while (end_ - begin_ < count && !ended_) {
    if (begin_ > 0) {
      // The held CR sits at buffer_[end_] and moves with the rest.
      const size_t kept = end_ - begin_ + (held_carriage_return_ ? 1 : 0);
      std::memmove(buffer_, buffer_ + begin_, kept);
      end_ -= begin_;
      begin_ = 0;
    }
    const size_t start = end_ + (held_carriage_return_ ? 1 : 0);
    if (start >= kBlockSize) break;  // a line longer than the block: the caller cuts it
    const ssize_t got = ::read(fd_, buffer_ + start, kBlockSize - start);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      failed_ = true;
      errno_value_ = errno;
    }
    if (got <= 0) {
      ended_ = true;
      if (held_carriage_return_) ++end_;  // a CR at the very end is a byte like any other
      held_carriage_return_ = false;
      break;
    }
    // The held CR and the new bytes are looked at together.
    size_t length = drop_carriage_returns(buffer_ + end_, start - end_ + static_cast<size_t>(got));
    held_carriage_return_ = buffer_[end_ + length - 1] == '\r';
    if (held_carriage_return_) --length;
    end_ += length;
  }
  return end_ - begin_;
}

bool TheirText::next_line(std::string& line, bool& had_line_feed) {
  line.clear();
  had_line_feed = false;
  if (fill(1) == 0) return false;
  for (;;) {
    const char* start = buffer_ + begin_;
    const size_t available = end_ - begin_;
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    const size_t length = newline != nullptr ? static_cast<size_t>(newline - start) : available;
    line.append(start, std::min(length, kLongestLine - std::min(kLongestLine, line.size())));
    if (newline != nullptr) {
      begin_ += length + 1;
      had_line_feed = true;
      break;
    }
    begin_ = end_;
    if (fill(1) == 0) break;
  }
  ++lines_read_;
  return true;
}

bool TheirText::at_end() {
  return fill(1) == 0;
}
