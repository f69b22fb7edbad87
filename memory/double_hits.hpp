// Runs of records whose two references both hit the TLB through the index:
// nearly every record of a trace with locality. The run keeps what the hits
// change from record to record (the reference clock, the ref and dirty
// masks) in registers and writes it back once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "io/trace_scanner.hpp"
#include "memory/tables.hpp"

namespace double_hits {

static_assert(kPageSize == 1 << 10 && kPagesPerProcess == 1 << 6);

/// Whether a record is of an indexed process (0..7), not a termination (read
/// address 0), and both its addresses are on pages in range that a shift
/// finds (0..65535): all the bits tested at once.
inline bool is_short_path_record(uint32_t proc, uint32_t read, uint32_t write) {
  return ((proc >> 3 | read >> 16 | write >> 16) == 0) & (read != 0);
}

}  // namespace double_hits

/// Whether none of the `count` records after the current one is in the
/// breakpoint display's window (in_display_window() for each of them).
inline bool display_window_misses_next(int64_t count) {
  const int64_t first = sim.break_line;
  const int64_t next = sim.record_number + 1;
  const int64_t last = sim.record_number + count;
  return last < first ||
         (next - first > kDisplayWindowSpan && first <= INT32_MAX - kDisplayWindowSpan);
}

/// Sets the ref bits of the frames in `ref_frames` and the dirty bits of
/// those in `dirty_frames` (bit f: frame f), on the frames and in the masks.
inline void mark_frames_used(uint32_t ref_frames, uint32_t dirty_frames) {
  for (uint32_t fresh = ref_frames & ~sim.ref_mask; fresh != 0; fresh &= fresh - 1)
    sim.frames[std::countr_zero(fresh)].ref = 1;
  for (uint32_t fresh = dirty_frames & ~sim.dirty_mask; fresh != 0; fresh &= fresh - 1)
    sim.frames[std::countr_zero(fresh)].dirty = 1;
  sim.ref_mask |= ref_frames;
  sim.dirty_mask |= dirty_frames;
}

/// Runs records[begin], records[begin + 1], ... for as long as each is a
/// read and a write of an indexed process (0..7) that both hit the TLB
/// through the index, and returns the index of the first that is not (or
/// `end`); that one is left untouched. Each record does what
/// translate_read_then_write does for two such hits: it counts as a record,
/// stamps each entry with its reference's clock, sets the ref bits and the
/// write's dirty bit (Machine::translate in variants/machine.cpp).
/// REQUIRES: display_window_misses_next(end - begin).
[[gnu::always_inline]] inline int run_double_tlb_hits(const int32_t (*records)[kBatchedRecordSlots],
                                                      int begin, int end) {
  using double_hits::is_short_path_record;
  int64_t clock = sim.reference_clock;
  // The frames the run references: their bits are set once, at its end.
  uint32_t ref_frames = 0;
  uint32_t dirty_frames = 0;
  int i = begin;
  for (; i < end; ++i) {
    const auto proc = static_cast<uint32_t>(records[i][0]);
    const auto read = static_cast<uint32_t>(records[i][1]);
    const auto write = static_cast<uint32_t>(records[i][2]);
    // Other processes, terminations and other pages take the general path.
    if (!is_short_path_record(proc, read, write)) break;
    const uint32_t process_slots = proc << 6;
    // One load each answers hit or miss (see hit_indexed_page).
    const size_t read_indexed = sim.tlb_entry_of[process_slots | read >> 10];
    const size_t write_indexed = sim.tlb_entry_of[process_slots | write >> 10];
    if ((read_indexed == 0) | (write_indexed == 0)) break;
    TlbEntry& read_entry = sim.tlb[read_indexed - 1];
    TlbEntry& write_entry = sim.tlb[write_indexed - 1];
    const auto read_frame = static_cast<uint32_t>(read_entry.physical_page);
    const auto write_frame = static_cast<uint32_t>(write_entry.physical_page);
    // In this order: one entry for both pages keeps the write's stamp.
    read_entry.last_use = clock + 1;
    write_entry.last_use = clock + 2;
    clock += 2;
    ref_frames |= uint32_t{1} << read_frame | uint32_t{1} << write_frame;
    dirty_frames |= uint32_t{1} << write_frame;
  }
  if (i != begin) {
    sim.reference_clock = clock;
    sim.record_number += i - begin;
    mark_frames_used(ref_frames, dirty_frames);
  }
  return i;
}
