// Block-buffered output to a file descriptor, with integer formatting that
// matches printf's "%d" for every value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

/// Bytes collected before a write(2).
inline constexpr size_t kOutputBlockSize = 1 << 20;
/// Block size for a stream that carries little.
inline constexpr size_t kConsoleBlockSize = 64 << 10;
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

/// "00" "01" ... "99".
extern const char kDigitPairs[200];

/// Appends any `value` in decimal; the general case of append_int.
char* append_int_any(char* out, int64_t value);

/// Appends `value` in decimal at `out` (at most 20 bytes); returns the new end.
inline char* append_int(char* out, int64_t value) {
  // Entries, frames, pages and most process numbers are below 100.
  if (static_cast<uint64_t>(value) < 10) {
    *out = static_cast<char>('0' + value);
    return out + 1;
  }
  if (static_cast<uint64_t>(value) < 100) {
    std::memcpy(out, kDigitPairs + 2 * value, 2);
    return out + 2;
  }
  return append_int_any(out, value);
}

/// The decimal text of one number, formatted again only when it changes:
/// every event line of a record carries the same record number.
class CachedNumberText {
 public:
  /// Bytes of text(): any int64_t fits.
  static constexpr size_t kTextSize = 24;

  /// Makes text() the decimal text of `value`.
  void set(int64_t value) {
    if (value == value_) return;
    if (value == value_ + 1 && last_digit_counts_up_) {
      char& last = text_[length_ - 1];
      ++last;
      last_digit_counts_up_ = last != '9';
    } else {
      set_anew(value);
    }
    value_ = value;
  }
  /// kTextSize bytes, of which the first length() are the number set last.
  const char* text() const { return text_; }
  size_t length() const { return length_; }

  /// Appends the text of `value` (copying kTextSize bytes: the room at `out`
  /// must have them).
  char* append(char* out, int64_t value) {
    set(value);
    std::memcpy(out, text_, sizeof text_);  // fixed size: one wide copy
    return out + length_;
  }

 private:
  [[gnu::noinline]] void set_anew(int64_t value) {
    // Counting up across a 9 carries as far as the 9s go; a number that
    // grows a digit ("99" to "100"), or a jump, is formatted in full.
    bool carried = false;
    if (value == value_ + 1 && value_ >= 0) {
      for (size_t i = length_; i-- > 0;) {
        if (text_[i] != '9') {
          ++text_[i];
          carried = true;
          break;
        }
        text_[i] = '0';
      }
    }
    if (!carried) length_ = static_cast<size_t>(append_int(text_, value) - text_);
    last_digit_counts_up_ = value >= 0 && text_[length_ - 1] != '9';
  }

  // The text of value_; counting up by one changes only its last digit when
  // last_digit_counts_up_ (it is not negative and does not end in 9).
  int64_t value_ = 0;
  size_t length_ = 1;
  bool last_digit_counts_up_ = true;
  char text_[kTextSize] = {'0'};
};

class OutputBuffer {
 public:
  /// Sends output to `fd` (-1: nowhere) in blocks of `block_size` bytes. With
  /// `flush_each_message` every end_message() writes at once, as a terminal
  /// user expects. REQUIRES: kMaxLineLength <= block_size <= kOutputBlockSize.
  void attach(int fd, bool flush_each_message, size_t block_size = kOutputBlockSize);

  /// Returns room for `length` bytes at the end of the buffer, flushing first
  /// if needed. REQUIRES: length <= kOutputBlockSize; commit() must follow.
  char* reserve(size_t length) {
    if (block_size_ - used_ < length) flush();
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
  /// Drops what is buffered without writing it: a reader of pending() that
  /// has taken the text (a tool running the model in memory) makes room.
  void discard() { used_ = 0; }

 private:
  char buffer_[kOutputBlockSize];
  size_t used_ = 0;
  size_t block_size_ = kOutputBlockSize;
  int fd_ = -1;
  bool flush_each_message_ = false;
  bool failed_ = false;
};
