// The first difference of standard output, once the event log has matched:
// its kind and its explanation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagediff/classify.hpp"
#include "tools/pagediff/comparison_pass.hpp"
#include "tools/pagediff/scene.hpp"

/// The message pagesim prints for a page outside 0..63, without line feed.
inline constexpr const char* kBadFrameMessage = "Error, bad frame number";

/// totals, messages, text, ends early, ends late or other.
DiffKind classify_stdout(const StdoutDifference& difference);

struct StdoutStory {
  DiffKind kind;
  const std::string& trace_path;
  const PassResult& pass;
  /// For a message of pagesim's: the record that printed it; for a total:
  /// the last record, read to the end of the trace.
  const Scene& scene;
  int64_t their_messages;  ///< their lines that are the message
};

/// Short lines of plain words, the most likely cause first.
std::vector<std::string> explain_stdout(const StdoutStory& story);
