// The user's own event log, its lines put with the record each names, so
// that they can stand beside pagesim's lines of the same record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Their lines of records first .. first + count - 1, by record.
struct TheirLines {
  int64_t first = 0;
  std::vector<std::vector<std::string>> of_record;  ///< index: record - first
};

/// Longest line kept; a longer one is cut and ends in "...".
inline constexpr size_t kTheirLineLimit = 160;
/// Lines kept per record; past them one line says how many more there were.
inline constexpr size_t kTheirLinesPerRecord = 40;

/// Reads `path` and keeps the lines of the window. A line belongs to the
/// record its "line N" names; a line that names none goes with the line
/// before it. A CR before the line's end is dropped. A record keeps its
/// first kTheirLinesPerRecord lines and then "(N more lines)". With `fd` >= 0
/// the log is that descriptor's file, read from its start, and `path` only
/// names it. Returns false with `error` set when the file cannot be read.
bool read_their_lines(const std::string& path, int64_t first, int64_t count, TheirLines& lines,
                      std::string& error, int fd = -1);
