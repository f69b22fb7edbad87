#include "tools/traceconv/line_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

std::unique_ptr<LineReader> LineReader::open(const char* path, size_t block_size) {
  const bool standard_input = std::string_view(path) == "-";
  const int fd = standard_input ? STDIN_FILENO : ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // A folder opens but fails at the first read: say so before any output.
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    if (!standard_input) ::close(fd);
    errno = EISDIR;
    return nullptr;
  }
  return std::make_unique<LineReader>(fd, block_size);
}

LineReader::LineReader(int fd, size_t block_size)
    : fd_(fd), block_size_(block_size), block_(new char[block_size]) {
  position_ = end_ = block_.get();
}

LineReader::~LineReader() {
  if (fd_ > STDERR_FILENO) ::close(fd_);
}

bool LineReader::refill() {
  char* const block = block_.get();
  const size_t kept = static_cast<size_t>(end_ - position_);
  std::memmove(block, position_, kept);
  position_ = block;
  end_ = block + kept;
  while (!input_ended_ && kept == static_cast<size_t>(end_ - block)) {
    const ssize_t count = ::read(fd_, block + kept, block_size_ - kept);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) error_ = errno;
    if (count <= 0) {
      input_ended_ = true;
      break;
    }
    end_ += count;
  }
  return error_ == 0;
}

bool LineReader::next_piece_after_refill(std::string_view* text, bool* line_ends) {
  for (;;) {
    const size_t left = static_cast<size_t>(end_ - position_);
    const void* newline = left > 0 ? std::memchr(position_, '\n', left) : nullptr;
    if (newline != nullptr) return next_piece(text, line_ends);
    const bool block_full = left == block_size_;
    if (block_full || input_ended_) {
      // A line longer than the block, or the last line without a '\n'.
      if (left == 0 || error_ != 0) return false;
      *text = std::string_view(position_, left);
      *line_ends = !block_full;
      position_ = end_;
      line_number_ += at_line_start_;
      at_line_start_ = *line_ends;
      return true;
    }
    if (!refill()) return false;
  }
}

void LineReader::skip_rest_of_line() {
  std::string_view ignored;
  bool line_ends = at_line_start_;
  while (!line_ends && next_piece(&ignored, &line_ends)) {
  }
}
