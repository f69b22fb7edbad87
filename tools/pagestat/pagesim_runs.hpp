// pagesim's own run of a trace, in either mode, through the engine: its
// totals as it prints them, with the counts per process and per interval
// that pagesim does not print.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "policies/reference_trace.hpp"

/// One process's share of a run.
struct ProcessCounts {
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  /// Dirty pages written when a page of this process was evicted.
  int64_t dirty_writes = 0;
};

struct PagesimRun {
  int32_t mode = 0;
  /// The four totals exactly as pagesim prints them.
  std::string totals_text;
  int64_t records = 0;
  int64_t references = 0;
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  int64_t dirty_writes = 0;
  /// Page faults that found no frame free.
  int64_t evictions = 0;
  /// Indexed by the trace's process numbers.
  std::vector<ProcessCounts> processes;
  /// TLB misses and page faults between consecutive interval ends.
  std::vector<int64_t> interval_tlb_misses;
  std::vector<int64_t> interval_faults;
  /// The record at which pagesim ends the run on an inconsistent TLB entry
  /// (only process -1 leads there); the counts cover the records before it.
  std::optional<int64_t> ended_at_record;
};

/// Runs the trace through pagesim's memory model in `mode` (0 or 1), up to
/// but not including record `stop_before` when given. `interval_ends` are
/// event positions as ReferenceTrace::interval_ends gives them.
PagesimRun run_pagesim(const ReferenceTrace& trace, int32_t mode,
                       std::span<const uint64_t> interval_ends,
                       std::optional<int64_t> stop_before = std::nullopt);

/// The record at which pagesim in `mode` would end the whole program on an
/// inconsistent TLB entry, found by running the model in a child process;
/// none when the run gets through. Only traces that name process -1 can end
/// so. Throws std::system_error when the child cannot be made.
/// REQUIRES: no other thread is running.
std::optional<int64_t> find_inconsistent_record(const ReferenceTrace& trace, int32_t mode);

class ModelFeed;
struct MachineState;

/// pagesim's model in one mode, run over a trace a stretch at a time and
/// counting per interval; several take turns on the one machine, each
/// putting back its own state before it runs.
class PagesimIntervals {
 public:
  /// Stops before record `stop_before` when given, as run_pagesim does.
  PagesimIntervals(const ReferenceTrace& trace, int32_t mode, std::optional<int64_t> stop_before);
  ~PagesimIntervals();
  PagesimIntervals(const PagesimIntervals&) = delete;
  PagesimIntervals& operator=(const PagesimIntervals&) = delete;

  /// Runs on to each of `ends` (event positions of interval ends, past the
  /// last call's), appending each interval's TLB misses and page faults.
  void run(std::span<const uint64_t> ends, std::vector<int64_t>* tlb_misses,
           std::vector<int64_t>* faults);

 private:
  const ReferenceTrace& trace_;
  int32_t mode_;
  std::optional<int64_t> stop_before_;
  PagesimRun counts_;  ///< what the feed keeps per process, not read here
  std::unique_ptr<ModelFeed> feed_;
  std::unique_ptr<MachineState> state_;  ///< between runs
  uint64_t position_ = 0;
};
