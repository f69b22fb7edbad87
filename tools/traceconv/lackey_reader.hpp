// Reads the log of valgrind --tool=lackey --trace-mem=yes: " L addr,size"
// is a load, " S addr,size" a store, " M addr,size" a load and then a store
// of one address. Instruction fetches ("I  addr,size") and valgrind's own
// lines ("==pid== ...", "--pid-- ...") are skipped, as are empty lines; any
// other line is malformed.
#pragma once

#include "tools/traceconv/line_reader.hpp"
#include "tools/traceconv/malformed_lines.hpp"
#include "tools/traceconv/memory_reference.hpp"

class LackeyReader final : public ReferenceReader {
 public:
  /// Reads `lines`, counting malformed lines in `malformed`; both must
  /// outlive the reader.
  LackeyReader(LineReader* lines, MalformedLines* malformed)
      : lines_(lines), malformed_(malformed) {}
  bool next(MemoryReference* reference) override;
  int read_error() const override { return lines_->error(); }

 private:
  LineReader* lines_;
  MalformedLines* malformed_;
  bool store_pending_ = false;  ///< the store half of an M line is next
  uint64_t pending_address_ = 0;
};
