// What pagesim's model did over a window of records, kept as the state before
// the window and, per record, only what the record changed: the page replays
// these changes, so it never needs the rules that produced them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/trace_scanner.hpp"
#include "memory/constants.hpp"
#include "memory/tables.hpp"
#include "memory/victim_scan.hpp"

/// What happened to one reference, as the model logged it.
enum class RefOutcome : int32_t {
  kTlbHit = 0,     ///< no line logged
  kTlbLoad = 1,    ///< a TLB miss whose page was in a frame
  kFreeFrame = 2,  ///< a page fault into a free frame
  kEviction = 3,   ///< a page fault over a victim
};

/// One reference of a record.
struct RefStep {
  RefOutcome outcome = RefOutcome::kTlbHit;
  int32_t entry = kEmpty;  ///< the TLB entry hit or loaded
  int32_t page = kEmpty;   ///< the logical page the model used
  int32_t frame = kEmpty;  ///< the frame it ended in
  int32_t messages = 0;    ///< "Error, bad frame number" lines printed
  /// For an eviction: every frame the scan met, the victim last.
  std::vector<ScanStep> scan;
  uint32_t cleared = 0;  ///< ref bits the scan cleared, bit f for frame f
};

/// The tables as the breakpoint display and the page show them.
struct TableView {
  TlbEntry tlb[kTlbEntries];
  int32_t frame_proc[kFrames];
  int32_t frame_page[kFrames];
  uint32_t ref_bits = 0;
  uint32_t dirty_bits = 0;
  int32_t hand = 0;
  int64_t reference_clock = 0;
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  int64_t dirty_writes = 0;
  int32_t next_load_entry = 0;  ///< the TLB entry the next load would take
};

/// One record of the window and what it did.
struct RecordStep {
  int64_t record = 0;
  uint64_t line = 0;    ///< where the record starts in the trace
  uint64_t column = 0;  ///< from 1
  int32_t fields[kRecordFields] = {0, 0, 0};
  int converted = kRecordFields;
  bool termination = false;
  std::vector<RefStep> refs;  ///< none for a termination
  std::string events;         ///< pagesim's log lines of the record
  TableView after;            ///< the tables after the record
};

struct PageData {
  int32_t mode = 0;
  int64_t first_record = 0;  ///< first record of the window
  TableView before;          ///< the tables before first_record
  std::vector<RecordStep> steps;
  int64_t trace_records = 0;  ///< records pagesim reads in all
  std::string stop_note;      ///< where pagesim stops reading early; empty: it does not
  std::string partial_note;   ///< what a short last record keeps; empty: none
};

/// The tables of the running model.
TableView view_tables();

/// Runs the model over `trace_path` in `mode` and keeps records `first` to
/// first + count - 1 (fewer where the trace ends). With `trace_fd` >= 0 the
/// trace is that descriptor's file, read from its start, and `trace_path`
/// only names it. Returns false with `error` set when the trace cannot be
/// read. REQUIRES: first >= 1, count >= 1.
bool collect_page_data(const std::string& trace_path, int32_t mode, int64_t first, int64_t count,
                       PageData& data, std::string& error, int trace_fd = -1);
