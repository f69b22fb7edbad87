// The one pass: reads the trace once, runs pagesim's machine record by
// record and, beside it, one machine per catalogued mistake; compares what
// each logs and prints with the user's files as it goes, dropping each
// candidate as soon as it departs from them, and keeps the scene of the
// first difference for the explanation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tools/pagediff/scene.hpp"
#include "tools/pagediff/their_text.hpp"
#include "tools/pagediff/trace_input.hpp"
#include "variants/mistakes.hpp"

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

/// How far one candidate machine followed the user's files.
struct Candidate {
  std::string id;  ///< its catalogue IDs
  variants::Variant variant;
  uint64_t log_lines = 0;  ///< lines of their log it gave, from the start
  bool log_to_end = false;
  uint64_t stdout_lines = 0;
  bool stdout_to_end = false;
};

/// Lines past the difference a mistake must give to count as the cause.
inline constexpr uint64_t kReproducedLines = 50;

struct PassResult {
  bool log_differs = false;
  LogDifference log;
  bool stdout_differs = false;  ///< only looked at when the log matched
  StdoutDifference out;
  Scene scene;  ///< around the record of the difference reported
  uint64_t log_lines_matched = 0;
  uint64_t stdout_lines_matched = 0;
  bool log_unterminated = false;  ///< their last log line had no line feed
  bool stdout_unterminated = false;
  bool log_carriage_returns = false;  ///< their log's lines end in CR LF
  bool stdout_carriage_returns = false;
  bool banner_skipped = false;  ///< their standard output began with pagesim's banner
  // pagesim's run up to its end
  int64_t records = 0;
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  int64_t dirty_writes = 0;
  bool stopped = false;        ///< the inconsistency stop ended it
  int64_t messages = 0;        ///< "Error, bad frame number" lines
  int64_t bad_references = 0;  ///< references that printed them
  std::map<int32_t, int64_t> messages_by_page;
  int64_t their_messages = 0;        ///< their lines that are the message
  int64_t dirty_pages_released = 0;  ///< dirty pages of the frames terminations freed
  int64_t dirty_pages_at_end = 0;    ///< frames still dirty when the trace ended
  ScanStop stop = ScanStop::kNotStopped;
  int read_errno = 0;  ///< of the trace, when reading it failed
  /// The candidates that gave the differing line, the furthest first.
  std::vector<Candidate> candidates;
};

/// Runs `base` (pagesim's machine, or it with the mistakes found so far)
/// over the trace, with every mistake of the catalogue applied to it beside,
/// and compares with `their_log` and, when not null, `their_stdout`.
/// REQUIRES: the files opened, at their starts.
PassResult run_comparison(TraceInput& trace, const variants::Variant& base, TheirText& their_log,
                          TheirText* their_stdout);

/// The candidates that reproduce the user's files, best first; empty: none.
std::vector<const Candidate*> causes(const PassResult& pass);

/// The candidates that gave the differing line but departed within
/// kReproducedLines after it: coincidences, not causes.
std::vector<const Candidate*> coincidences(const PassResult& pass);
