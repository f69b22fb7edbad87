// Block-buffered output to a file descriptor, with integer formatting that
// matches printf's "%d" for every value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

/// Bytes collected before a write(2).
inline constexpr size_t kOutputBlockSize = 1 << 20;
/// Room reserved for one formatted line; every message of the program fits.
inline constexpr size_t kMaxLineLength = 256;

/// Writes all of `text` to `fd`, retrying after interruptions and short writes.
/// Returns false when the descriptor reports an error.
bool write_fully(int fd, const char* text, size_t length);

/// Writes one complete message to standard error, unbuffered. A failure there
/// cannot be reported anywhere, so it is ignored.
void write_to_stderr(std::string_view message);

/// Appends `text` at `out`; returns the new end.
inline char* append_text(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

/// Appends `value` in decimal at `out` (at most 20 bytes); returns the new end.
char* append_int(char* out, int64_t value);

class OutputBuffer {
 public:
  /// Sends output to `fd` (-1: nowhere). With `flush_each_message` every
  /// end_message() writes at once, as a terminal user expects.
  void attach(int fd, bool flush_each_message);

  /// Returns room for `length` bytes at the end of the buffer, flushing first
  /// if needed. REQUIRES: length <= kOutputBlockSize; commit() must follow.
  char* reserve(size_t length) {
    if (kOutputBlockSize - used_ < length) flush();
    return buffer_ + used_;
  }
  /// Takes the bytes written since reserve() up to `end`.
  void commit(char* end) { used_ = static_cast<size_t>(end - buffer_); }

  /// Appends a text of any length.
  void put(std::string_view text);
  /// Marks the end of one message: written now when flushing each message.
  void end_message() {
    if (flush_each_message_) flush();
  }
  /// Writes out everything buffered. After the first failed write, output is
  /// dropped and the failure stays visible through failed().
  void flush();
  bool failed() const { return failed_; }
  /// What is buffered and not yet written.
  std::string_view pending() const { return {buffer_, used_}; }

 private:
  char buffer_[kOutputBlockSize];
  size_t used_ = 0;
  int fd_ = -1;
  bool flush_each_message_ = false;
  bool failed_ = false;
};
