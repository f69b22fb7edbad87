// The machine around one record, kept by the pass for the explanation: the
// record as the trace holds it, the tables just before it and just before
// the reference in question, the stories of the tables up to there, and
// what the machine did on the record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/trace_scanner.hpp"
#include "tools/line_locator.hpp"
#include "tools/pagediff/history.hpp"
#include "variants/machine.hpp"

struct Scene {
  bool found = false;  ///< the trace has the record
  int64_t record = 0;
  int32_t fields[kRecordFields] = {0, 0, 0};
  int converted = 0;
  TextPosition position{0, 0};  ///< where the record starts in the trace
  bool termination = false;
  variants::Variant variant;  ///< the machine explained (pagesim's, or with the mistakes found)
  std::string tables_before;  ///< the tables just before the record, or the reference
  bool tables_after_first = false;  ///< tables_before is after the record's first reference
  variants::MachineState before_record;
  int which = -1;
  variants::MachineState before_reference;       ///< just before `which` (the record when -1)
  Stories stories;                               ///< as they stood at before_reference
  std::vector<ReferenceStep> steps;              ///< the record's references
  std::vector<ReferenceFacts> other_references;  ///< of the record their line names
  // Where reading the trace ended:
  int64_t records = 0;  ///< records the machine runs in all
  ScanStop stop = ScanStop::kNotStopped;
  TextPosition stop_position{0, 0};
  std::string stop_word;  ///< the item reading stopped at
  bool last_record_partial = false;
  int last_converted = 0;
  int32_t last_fields[kRecordFields] = {0, 0, 0};
};

/// The scene of record `record` (`fields`, `converted` numbers of it), from
/// the machine as it stood before it and the history kept so far (its
/// events pending). `which`: the reference looked at, -1 for the record.
void fill_scene(const variants::Machine& before, const History& history, int64_t record,
                const int32_t fields[kRecordFields], int converted, TextPosition position,
                int which, Scene& scene);
