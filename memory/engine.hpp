// The memory model driven by a tool instead of by pagesim's trace loop: one
// record (or one reference) at a time, with the event lines and console
// messages kept in memory for the caller to read, and the machine's state
// saved and put back so that a step can be looked at more than once.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/trace_scanner.hpp"
#include "memory/tables.hpp"
#include "memory/translation.hpp"

/// Whether a record ends its process rather than making two references.
inline bool is_termination(const int32_t record[kRecordFields]) {
  return record[1] == 0;
}

/// Runs one record on the tables: the release of a termination record, else
/// the read reference, then the write. REQUIRES: sim.record_number counts it.
inline void process_record(const int32_t record[kRecordFields]) {
  if (is_termination(record)) {
    release_process(record[0]);
  } else {
    translate_read_then_write(record[0], record[1], record[2]);
  }
}

/// Puts sim into the state of a run that has just started in `mode` (0 or
/// 1), with the display window never reached, and the event log and console
/// held in memory: nothing is written anywhere.
void start_engine(int32_t mode);

/// The event lines ("TLB: ..." and "Page Fault: ...") written since the last
/// call. The text stays valid until the model runs again.
std::string_view take_events();
/// The same for the console ("Error, bad frame number" lines).
std::string_view take_messages();

/// The frame the last eviction took. REQUIRES: the last reference evicted
/// (the hand stands one past its victim until the next eviction).
inline int32_t last_victim() {
  return sim.clock_hand == 0 ? kFrames - 1 : sim.clock_hand - 1;
}

/// Everything of sim that the model changes, streams excepted.
struct MachineState {
  TlbEntry tlb[kTlbEntries];
  Frame frames[kFrames];
  int64_t reference_clock;
  int64_t record_number;
  int64_t tlb_misses;
  int64_t page_faults;
  int64_t dirty_writes;
  int32_t clock_hand;
  int32_t replacement_mode;
  uint32_t free_frame_mask;
  uint8_t resident_count[kResidentSlots];
  uint32_t ref_mask;
  uint32_t dirty_mask;
  uint8_t tlb_entry_of[kResidentSlots + 1];
  uint16_t tlb_index_slot[kTlbEntries];
  TlbOrder tlb_order;
};

/// A copy of the machine as it stands.
MachineState save_machine();
/// Makes `state` the machine again. REQUIRES: it came from save_machine().
void restore_machine(const MachineState& state);
