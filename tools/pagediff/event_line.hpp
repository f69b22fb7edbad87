// One line of an event log read back: which kind of event it names and its
// numbers, whatever the words around them. Both pagesim's lines and the
// user's lines are read this way, so that they can be compared field by
// field.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

enum class LineKind { kTlb, kPageFault, kUnknown };

struct EventLine {
  LineKind kind = LineKind::kUnknown;
  std::vector<int64_t> numbers;  ///< every integer of the line, in order
  /// The kind is known and the line has exactly that kind's numbers:
  /// TLB: record, entry, proc, page, frame; page fault: record, proc, page, frame.
  bool complete = false;
  int64_t record = 0;
  int64_t entry = -1;  ///< TLB lines only
  int64_t proc = 0;
  int64_t page = 0;
  int64_t frame = 0;
};

/// Reads `text` (one line, without its line feed). The kind comes from the
/// words: "TLB" first, else "fault" anywhere, in any letter case.
EventLine parse_event_line(std::string_view text);
