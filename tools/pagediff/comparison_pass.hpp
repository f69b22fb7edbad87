// The main pass: runs pagesim's memory model over the trace record by record
// and compares what it logs and prints with the user's files as it goes,
// stopping at the first difference of the event log.
#pragma once

#include <cstdint>
#include <string>

#include "io/trace_scanner.hpp"
#include "tools/pagediff/their_text.hpp"

/// One line of the user's where it parts from pagesim's.
struct TheirLine {
  uint64_t number = 0;  ///< in their file, from 1
  std::string text;     ///< without the line feed
  bool ended = false;   ///< their file had no more lines
  bool cut = false;     ///< the file ends inside it (no line feed)
};

/// The first difference of the event log.
struct LogDifference {
  /// The record pagesim's line belongs to; when pagesim's log has ended, the
  /// last record it read.
  int64_t record = 0;
  int reference = -1;        ///< 0: the read of the record, 1: the write; -1: pagesim has no line
  int position = 0;          ///< pagesim's line among the lines of its reference, from 0
  std::string pagesim_line;  ///< without the line feed; empty when pagesim_ended
  bool pagesim_ended = false;
  std::string reference_events;  ///< every line pagesim logged for that reference
  TheirLine theirs;
};

/// The first difference of standard output.
struct StdoutDifference {
  static constexpr int kMessage = -1;  ///< pagesim's line is an "Error, bad frame number"
  static constexpr int kAfterEnd = 4;  ///< pagesim's output has ended
  int total = kMessage;                ///< else the total 0..3 pagesim prints there
  int64_t message_record = 0;          ///< the record of pagesim's message
  int64_t message_number = 0;          ///< how many messages pagesim printed up to it, from 1
  std::string pagesim_line;            ///< without the line feed
  TheirLine theirs;
};

struct PassResult {
  bool log_differs = false;
  LogDifference log;
  bool stdout_differs = false;  ///< only looked at when the log matched
  StdoutDifference out;
  uint64_t log_lines_matched = 0;
  bool log_unterminated = false;  ///< their last log line had no line feed
  bool stdout_unterminated = false;
  bool log_carriage_returns = false;  ///< their log's lines end in CR LF
  bool stdout_carriage_returns = false;
  // pagesim's run up to where the pass stopped (the end when the log matched)
  int64_t records = 0;
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  int64_t dirty_writes = 0;
  int64_t messages = 0;              ///< "Error, bad frame number" lines
  int64_t bad_references = 0;        ///< references that printed them
  int64_t dirty_pages_released = 0;  ///< dirty pages of the frames terminations freed
  int64_t dirty_pages_at_end = 0;    ///< frames still dirty when the trace ended
  ScanStop stop = ScanStop::kNotStopped;
};

/// Runs the model in `mode` over the trace read from `trace_fd` and compares
/// with `their_log` and, when not null, `their_stdout`.
/// REQUIRES: both files opened; trace_fd at the start of the trace.
PassResult run_comparison(int trace_fd, int32_t mode, TheirText& their_log,
                          TheirText* their_stdout);
