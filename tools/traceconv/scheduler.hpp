// Interleaves the records of several processes as a round-robin scheduler
// would and writes them in pagesim's format, "PROC READ WRITE" a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "io/output_buffer.hpp"
#include "tools/traceconv/record_source.hpp"

struct ScheduleSettings {
  /// Records a process writes per turn.
  uint64_t quantum = 500;
  /// Records a process writes in all; then it ends as if its input had.
  uint64_t max_records = std::numeric_limits<uint64_t>::max();
  /// Whether a process that ends writes "PROC 0 0", which frees its pages.
  bool terminate = true;
  /// The number of the first source's process; the others follow.
  int32_t first_process = 1;
};

struct ScheduleResult {
  uint64_t records = 0;  ///< written, terminations included
  /// The source whose read failed (its read_error() tells why), or npos.
  size_t failed_source = npos;
  bool write_failed = false;
  int write_error = 0;  ///< errno of the failed write

  static constexpr size_t npos = static_cast<size_t>(-1);
};

/// Writes the records of `sources` to `out`: source k is process
/// first_process + k; the processes take turns of up to `quantum` records in
/// the order of `sources`, and one that ends leaves the rotation. Stops at
/// the first failed read or write; what came before is written or still
/// buffered in `out`. REQUIRES: settings.quantum >= 1.
ScheduleResult write_interleaved(std::span<RecordSource* const> sources,
                                 const ScheduleSettings& settings, OutputBuffer* out);
