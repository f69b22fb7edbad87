// A file of the user's read forward through one fixed block, so that a log
// of any length is compared in constant memory. A carriage return right
// before a line feed is dropped as the bytes come in: files written on a
// system that ends lines with CR LF compare like the others.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class TheirText {
 public:
  TheirText() = default;
  ~TheirText();
  TheirText(const TheirText&) = delete;
  TheirText& operator=(const TheirText&) = delete;

  /// Opens `path` for reading from its start, closing any file open before.
  /// Returns false with errno set when it cannot.
  bool open(const std::string& path);
  /// Reads from `fd` (which it closes at the end) instead.
  void adopt(int fd);

  /// When the next bytes are exactly `text`, moves past them and returns
  /// true. REQUIRES: text is `lines` whole lines, shorter than 64 KiB.
  bool skip_if_next(std::string_view text, uint64_t lines) {
    if (end_ - begin_ < text.size() && fill(text.size()) < text.size()) return false;
    if (std::memcmp(buffer_ + begin_, text.data(), text.size()) != 0) return false;
    begin_ += text.size();
    lines_read_ += lines;
    return true;
  }
  /// Whether the next bytes are `text`, moving past nothing.
  /// REQUIRES: text shorter than 64 KiB.
  bool next_is(std::string_view text) {
    if (end_ - begin_ < text.size() && fill(text.size()) < text.size()) return false;
    return std::memcmp(buffer_ + begin_, text.data(), text.size()) == 0;
  }
  /// Up to `count` of the next bytes, moving past nothing.
  /// REQUIRES: count shorter than 64 KiB.
  std::string_view peek(size_t count) {
    return std::string_view(buffer_ + begin_, std::min(count, fill(count)));
  }
  /// The same for one line. REQUIRES: `line` ends in its line feed.
  bool skip_line_if_next(std::string_view line) { return skip_if_next(line, 1); }
  /// Reads the next line into `line` without its line feed (at most
  /// kLongestLine bytes of it; the rest is skipped). `had_line_feed` tells
  /// whether it ended in one. Returns false at the end of the file.
  bool next_line(std::string& line, bool& had_line_feed);
  /// Whether every byte has been read.
  bool at_end();

  /// Lines moved past so far.
  uint64_t lines_read() const { return lines_read_; }
  /// Whether a CR LF was met (and read as LF).
  bool saw_carriage_return() const { return saw_carriage_return_; }
  /// Whether a read failed; errno_value() tells why.
  bool failed() const { return failed_; }
  int errno_value() const { return errno_value_; }

  /// Longest part of a line that next_line keeps.
  static constexpr size_t kLongestLine = 1 << 20;

 private:
  // Makes at least `count` bytes available unless the file ends first;
  // returns how many are available.
  size_t fill(size_t count);
  // Drops the CR of each CR LF in the `length` bytes at `start`; returns the
  // new length.
  size_t drop_carriage_returns(char* start, size_t length);

  static constexpr size_t kBlockSize = 1 << 20;
  int fd_ = -1;
  char buffer_[kBlockSize + 1];
  size_t begin_ = 0;  ///< first byte not yet read by the caller
  size_t end_ = 0;    ///< end of the bytes available
  /// A CR that ended the last read: it is kept at buffer_[end_] until the
  /// next byte tells whether a line feed follows.
  bool held_carriage_return_ = false;
  bool ended_ = false;
  bool failed_ = false;
  int errno_value_ = 0;
  bool saw_carriage_return_ = false;
  uint64_t lines_read_ = 0;
};
