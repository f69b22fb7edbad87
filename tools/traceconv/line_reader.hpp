// Reads a text file through one fixed block, a line at a time, so that logs
// of any size stream in constant memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

class LineReader {
 public:
  /// Large enough that read(2) calls cost little beside the parsing.
  static constexpr size_t kDefaultBlockSize = 256 << 10;

  /// Opens `path` ("-": standard input) for reading in blocks of
  /// `block_size` bytes. Returns nullptr with errno set when it cannot be
  /// opened or is a folder. REQUIRES: block_size >= 1.
  static std::unique_ptr<LineReader> open(const char* path, size_t block_size = kDefaultBlockSize);
  /// Reads `fd`, closing it at the end unless it is a standard stream.
  LineReader(int fd, size_t block_size);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// The next piece of text: a whole line without its '\n' (`line_ends`
  /// true), or, of a line longer than the block, a block's worth of it.
  /// Returns false at the end of the file or after a failed read.
  bool next_piece(std::string_view* text, bool* line_ends) {
    const size_t left = static_cast<size_t>(end_ - position_);
    const void* newline = left > 0 ? std::memchr(position_, '\n', left) : nullptr;
    if (newline == nullptr) return next_piece_after_refill(text, line_ends);
    const char* stop = static_cast<const char*>(newline);
    *text = std::string_view(position_, static_cast<size_t>(stop - position_));
    *line_ends = true;
    position_ = stop + 1;
    line_number_ += at_line_start_;
    at_line_start_ = true;
    return true;
  }
  /// Drops what is left of the line of the last piece.
  void skip_rest_of_line();
  /// The line of the last piece, from 1.
  uint64_t line_number() const { return line_number_; }
  /// The errno of a failed read, 0 while reading works.
  int error() const { return error_; }

 private:
  bool next_piece_after_refill(std::string_view* text, bool* line_ends);
  bool refill();

  int fd_;
  size_t block_size_;
  std::unique_ptr<char[]> block_;
  const char* position_;
  const char* end_;
  bool input_ended_ = false;
  bool at_line_start_ = true;
  uint64_t line_number_ = 0;
  int error_ = 0;
};
