// Small traces written by page rather than by address, for the end-to-end
// tests of the tools that compare outputs.
#pragma once

#include <algorithm>
#include <string>

/// A record whose read and write fall at the start of the given pages.
inline std::string record(int proc, int read_page, int write_page) {
  return std::to_string(proc) + " " + std::to_string(read_page * 1024 + 1) + " " +
         std::to_string(write_page * 1024 + 1) + "\n";
}

/// Process `proc` touches pages first..last, two a record: the even pages
/// are read (clean), the odd ones written.
inline std::string pages(int proc, int first, int last) {
  std::string trace;
  for (int page = first; page <= last; page += 2)
    trace += record(proc, page, std::min(page + 1, last));
  return trace;
}

/// Process `proc` reads and writes each page first..last, one a record.
inline std::string written_pages(int proc, int first, int last) {
  std::string trace;
  for (int page = first; page <= last; ++page) trace += record(proc, page, page);
  return trace;
}
