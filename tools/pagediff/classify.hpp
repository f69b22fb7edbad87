// Names the first difference of the event log: which of the usual mistakes
// it looks like, from the two lines and from what pagesim did on the
// references around them.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/pagediff/event_line.hpp"

/// The kinds of difference, each with its name in the report's first line.
enum class DiffKind {
  kText,
  kRecordNumber,
  kPageNumber,
  kTlbEntry,
  kFreeFrame,
  kVictimFrame,
  kMissingPageFault,
  kExtraPageFault,
  kMissingTlbLoad,
  kExtraTlbLoad,
  kEndsEarly,
  kEndsLate,
  kTotals,
  kMessages,
  kOther,
};

/// "text", "record number", ... as the report's first line names it.
const char* kind_name(DiffKind kind);

/// What one reference did in pagesim's run.
enum class Outcome { kTlbHit, kTlbLoad, kFreeFrameFault, kEviction };

/// One reference of pagesim's run: the read (which 0) or the write (1) of a
/// record, the page it touched and what happened.
struct ReferenceFacts {
  int64_t record = 0;
  int which = 0;
  int32_t proc = 0;
  int32_t page = 0;
  Outcome outcome = Outcome::kTlbHit;
};

/// Everything the naming looks at.
struct LinePair {
  bool pagesim_ended = false;
  EventLine pagesim;         ///< pagesim's line, when not ended
  int pagesim_position = 0;  ///< its place among its reference's lines
  ReferenceFacts pagesim_reference;
  bool their_ended = false;
  bool their_line_cut = false;        ///< their file ends inside the line
  bool same_numbers = false;          ///< both lines have the same integers in the same order
  bool their_line_is_prefix = false;  ///< their line is the start of pagesim's
  EventLine theirs;
  /// pagesim's references of the record their line names (none when that
  /// record is a termination, lies outside the trace or was not looked at).
  std::vector<ReferenceFacts> their_record_references;
};

/// pagesim's reference that their line is about: the same process and page
/// in the record it names, pagesim's own reference first, then a later one.
/// Null when there is none.
const ReferenceFacts* their_reference(const LinePair& pair);

/// The one kind that fits, tried from the most specific to the least.
DiffKind classify(const LinePair& pair);
