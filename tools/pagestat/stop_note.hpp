// Where and why pagesim stops reading a trace before its end, in the
// "FILE:LINE:COLUMN: ..." form of the project's trace diagnostics.
#pragma once

#include <cstdint>
#include <string>

#include "io/trace_scanner.hpp"

/// "data.txt:4:7: after record 3: pagesim stops reading here: "oops" is not
/// a number" for a scanner that stopped at `offset` of `path` for `reason`
/// (kNotANumber or kOutOfRange) after `records` records. The file is read
/// again to find the line; when it cannot be (not a regular file), the byte
/// offset stands in for line and column.
std::string stop_note(const char* path, int64_t records, ScanStop reason, uint64_t offset);
