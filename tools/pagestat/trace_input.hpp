// Reads a trace file into the what-if model's form, with pagesim's scanner,
// record by record as pagesim reads data.txt.
#pragma once

#include <cstdint>
#include <string>

#include "io/trace_scanner.hpp"
#include "policies/reference_trace.hpp"

struct TraceInput {
  /// Empty when the whole trace was read; else why it could not be, one line
  /// ("cannot read x: No such file or directory").
  std::string error;
  /// Why reading ended: the end, or where pagesim stops early.
  ScanStop stop = ScanStop::kEndOfInput;
  uint64_t stop_offset = 0;
};

/// Reads `path` into `trace` (which must be empty).
TraceInput read_trace(const char* path, ReferenceTrace* trace);
