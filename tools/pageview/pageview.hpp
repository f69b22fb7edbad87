// Writes the page that steps through pagesim's run over a window of records:
// the entry point of the pageview program and of pagediff's --html.
#pragma once

#include <cstdint>
#include <string>

/// Records a page may cover at most.
inline constexpr int64_t kMaxPageRecords = 5000;

struct PageviewRequest {
  std::string trace_path = "data.txt";
  int32_t mode = 0;          ///< pagesim's first argument: 0 or 1
  int64_t first_record = 1;  ///< from 1
  int64_t count = 200;       ///< 1 .. kMaxPageRecords
  std::string their_log;     ///< the user's out.txt; empty: none
  std::string heading;       ///< text shown at the top (pagediff's finding); empty: none
  int64_t open_record =
      0;  ///< the record the page opens at; 0: the first difference, else the first
  std::string output_path = "pageview.html";  ///< "-": standard output
  /// When >= 0, a descriptor of a regular file holding the trace (or the
  /// log), read from its start instead of opening the path, which then only
  /// names it: for a caller that has already read a pipe into a copy.
  int trace_fd = -1;
  int their_log_fd = -1;
};

/// Records a page around a difference shows before it and after it.
inline constexpr int64_t kRecordsBeforeDifference = 50;
inline constexpr int64_t kRecordsAfterDifference = 10;

/// Sets the window of `request` around `record` (from 50 records before it
/// to 10 after, fewer near the start) and opens the page there.
/// REQUIRES: record >= 1.
inline void center_on_record(PageviewRequest& request, int64_t record) {
  request.first_record = record > kRecordsBeforeDifference ? record - kRecordsBeforeDifference : 1;
  request.count = record + kRecordsAfterDifference - request.first_record + 1;
  request.open_record = record;
}

/// What write_pageview found besides writing the page.
struct PageviewResult {
  int64_t trace_records = 0;  ///< records pagesim reads in the trace
  std::string stop_note;      ///< "FILE:L:C: after record N: pagesim stops reading here: ..."
  bool reader_left = false;   ///< standard output was a pipe its reader closed
};

/// Runs pagesim's model over the request's trace and writes the page.
/// Returns false with `error` set to one line (no program name) when it
/// cannot: bad request, unreadable trace or log, unwritable output, or a
/// trace on which pagesim itself ends the run within the window. Nothing is
/// written then. The model runs in a child process: the caller's own run of
/// it, if any, is left as it was.
bool write_pageview(const PageviewRequest& request, PageviewResult& result, std::string& error);

/// The same, for a caller that needs only whether it worked.
bool write_pageview(const PageviewRequest& request, std::string& error);
