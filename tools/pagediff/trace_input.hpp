// The trace, read once from a descriptor (a file, a pipe or a FIFO alike),
// with the line and column of recent byte offsets kept at hand: the report
// places a record in the file without opening it again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/trace_scanner.hpp"
#include "tools/line_locator.hpp"

class TraceInput {
 public:
  /// Reads from `fd`, at the start of the trace.
  void attach(int fd);
  /// The scanner's read_record: numbers converted, 0 at the end.
  int read_record(int32_t fields[kRecordFields]) { return scanner_.read_record(fields); }
  const TraceScanner& scanner() const { return scanner_; }
  /// Line and column of byte `offset`. REQUIRES: offset lies in the last two
  /// blocks read (a record just read, or where reading stopped).
  TextPosition locate(uint64_t offset) const;
  /// Up to 24 bytes from `offset` to the next white space, made visible.
  std::string word_at(uint64_t offset) const;
  /// The errno of a failed read, 0 when none failed.
  int read_errno() const { return read_errno_; }

 private:
  static ssize_t read_block(void* context, char* dest, size_t capacity);
  struct Block {
    std::vector<char> bytes;
    uint64_t offset = 0;      ///< of bytes[0] in the file
    uint64_t line = 1;        ///< the line bytes[0] is on
    uint64_t line_start = 0;  ///< file offset where that line starts
  };
  const Block* block_of(uint64_t offset) const;

  int fd_ = -1;
  int read_errno_ = 0;
  Block blocks_[2];  ///< the block before the last, and the last
  uint64_t read_so_far_ = 0;
  TraceScanner scanner_;
};
