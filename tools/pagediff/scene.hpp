// The machine around one record, rebuilt by a replay for the explanation:
// the record as the trace holds it, the tables just before it and just
// before the reference in question, the stories of the tables up to there,
// and what pagesim did on the record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory/engine.hpp"
#include "tools/line_locator.hpp"
#include "tools/pagediff/replay.hpp"

/// What to rebuild.
struct SceneRequest {
  int64_t record = 0;  ///< the record to stop at, from 1
  int which = -1;      ///< the reference looked at: 0 the read, 1 the write, -1 the record
  /// Another record whose references are wanted (their line's), 0: none.
  int64_t other_record = 0;
  std::vector<std::pair<int32_t, int32_t>> follow;  ///< (process, page) pairs to follow
  bool read_to_end = false;  ///< also count the records and find where reading stops
};

struct Scene {
  bool found = false;  ///< the trace has the record
  int64_t record = 0;
  int32_t fields[kRecordFields] = {0, 0, 0};
  int converted = 0;
  TextPosition position{0, 0};  ///< where the record starts in the trace
  bool termination = false;
  std::string tables_before;  ///< tables_text() just before the record
  MachineState before_record{};
  int which = -1;
  MachineState before_reference{};               ///< just before `which` (the record when -1)
  Stories stories;                               ///< as they stood at before_reference
  std::vector<ReferenceStep> steps;              ///< the record's references
  std::vector<ReferenceFacts> other_references;  ///< of the other record
  // With read_to_end:
  int64_t records = 0;  ///< records pagesim reads in all
  ScanStop stop = ScanStop::kNotStopped;
  TextPosition stop_position{0, 0};
  std::string stop_word;  ///< the item reading stopped at
  bool last_record_partial = false;
  int last_converted = 0;
  int32_t last_fields[kRecordFields] = {0, 0, 0};
};

/// Rebuilds the scene of `request` on the trace at `trace_path` in `mode`.
/// Returns false with errno set when the trace cannot be read.
bool build_scene(const std::string& trace_path, int32_t mode, const SceneRequest& request,
                 Scene& scene);
