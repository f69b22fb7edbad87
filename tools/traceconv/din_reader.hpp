// Reads the din text format of cache simulators: one reference a line,
// "LABEL ADDRESS" with the address in hexadecimal (an optional 0x), and
// anything after the address, past white space, ignored. Label 0 is a data
// read, 1 a data write; 2 (instruction fetch), 3 (escape) and 4 (flush)
// lines are skipped whatever follows the label, as are empty lines; any
// other line is malformed.
#pragma once

#include "tools/traceconv/line_reader.hpp"
#include "tools/traceconv/malformed_lines.hpp"
#include "tools/traceconv/memory_reference.hpp"

class DinReader final : public ReferenceReader {
 public:
  /// Reads `lines`, counting malformed lines in `malformed`; both must
  /// outlive the reader.
  DinReader(LineReader* lines, MalformedLines* malformed) : lines_(lines), malformed_(malformed) {}
  bool next(MemoryReference* reference) override;
  int read_error() const override { return lines_->error(); }

 private:
  LineReader* lines_;
  MalformedLines* malformed_;
};
