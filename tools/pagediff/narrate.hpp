// The explanation of a difference of the event log in the machine's terms:
// what pagesim did and why, from the state it had.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/pagediff/classify.hpp"
#include "tools/pagediff/comparison_pass.hpp"
#include "tools/pagediff/event_line.hpp"
#include "tools/pagediff/scene.hpp"

struct LogStory {
  DiffKind kind;
  bool stopped;  ///< pagesim's run ended at the inconsistency stop
  const std::string& trace_path;
  const EventLine& pagesim;
  const EventLine& theirs;
  const LogDifference& difference;
  /// Rebuilt around the reference the difference is about: pagesim's, or
  /// for an extra load or fault the earlier one their line names.
  const Scene& scene;
  /// For an extra load or fault: the earlier reference of pagesim's their
  /// line is about, when it is not pagesim's own; else null.
  const ReferenceFacts* earlier;
};

/// Short lines of plain words about pagesim's state and rules.
std::vector<std::string> explain_log(const LogStory& story);

/// Where two lines with the same numbers first differ: "from column 7:
/// pagesim has "Fault:", yours "fault:"".
std::string word_difference(std::string_view ours, std::string_view theirs);

/// "page 3 of process 1".
std::string page_name(int64_t proc, int64_t page);

/// "data.txt:4:3: " for a place in the trace.
std::string trace_place(const std::string& trace_path, const TextPosition& position);

/// "the read of record 5 (address 3000)".
std::string reference_name(const Scene& scene, int which);
