// The check that lets the explaining model exist beside memory/: a trace run
// through both, pagesim's machine (through its engine) and the model with no
// switch set, must give the same bytes record by record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "variants/mistakes.hpp"

namespace variants {

/// The first place where the two runs part.
struct Departure {
  int64_t record = 0;  ///< the record at which they part (0: before any)
  std::string what;    ///< which output: "event lines", "messages", "totals", "stop"
  std::string pagesim;
  std::string model;
};

/// How far a comparison went.
struct ComparisonSummary {
  int64_t records = 0;
  int64_t event_bytes = 0;
  int64_t message_bytes = 0;
  bool stopped = false;  ///< the run ended at the inconsistency stop
};

/// Runs the trace `trace` (the bytes of a data.txt, read by pagesim's
/// scanner) through memory/ in model's mode and through a Machine of
/// `model` (pagesim's own variant, for the proof), comparing the event lines and console messages
/// of every record, the inconsistency report, and the totals. Returns the first difference, or
/// nothing when the bytes agree. A record of process -1, the only kind that can stop pagesim, runs
/// in memory/ in a child process first, since its stop ends the process it runs in. REQUIRES:
/// model.mode 0 or 1; not used from two threads (memory/ is one global machine).
std::optional<Departure> compare_with_engine(std::string_view trace, const Variant& model,
                                             ComparisonSummary* summary = nullptr);

}  // namespace variants
