// The malformed lines (or page numbers) of one input: skipped as they are
// met, counted, and the first kept to point the user at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class MalformedLines {
 public:
  /// Counts one skipped piece of input found on line `line`.
  void note(uint64_t line, std::string_view text);
  uint64_t count() const { return count_; }
  uint64_t first_line() const { return first_line_; }
  /// The start of the first one, bytes other than printable ASCII as \xHH.
  const std::string& first_text() const { return first_text_; }

 private:
  uint64_t count_ = 0;
  uint64_t first_line_ = 0;
  std::string first_text_;
};

class LineReader;

/// Takes the next whole line of `lines`; a line too long for the reader's
/// block is counted in `malformed` and passed over. False at the end.
bool next_whole_line(LineReader& lines, MalformedLines& malformed, std::string_view* line);

/// `FILE:LINE: first of N malformed UNIT skipped in this file: "TEXT"` and a
/// newline. REQUIRES: malformed.count() > 0.
std::string malformed_report(std::string_view path, const MalformedLines& malformed,
                             std::string_view unit);
