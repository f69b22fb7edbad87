// The simulated memory-management unit: one reference at a time through the
// TLB, the frame table and the page-fault service.
#pragma once

#include <cstdint>

#include "memory/tables.hpp"

/// Performs one reference of `proc` to byte `address` (is_write 0: read,
/// 1: write). Ends the run on an inconsistent TLB entry.
inline void translate(int32_t proc, int32_t address, int32_t is_write);
/// The TLB-miss path: finds the frame of the page, or faults it in.
void search_frame_table(int32_t proc, int32_t address, int32_t is_write);
/// The page-fault path: loads the page into the lowest free frame, or evicts.
void service_page_fault(int32_t proc, int32_t address, int32_t is_write);
/// Picks the frame to evict by replacement_mode, starting at clock_hand,
/// from the frames' ref and dirty bits as they stand (the masks are taken
/// from them first). REQUIRES: no frame is free. Clears ref bits of the
/// frames it passes.
int32_t choose_victim();

/// A reference of an indexed process (0..7) to `page` that was not a TLB hit
/// of an indexed page: the miss path, or the search (a page out of range, or
/// an entry whose frame lost the page). REQUIRES: the reference clock counts
/// the reference.
void translate_missed_indexed_page(int32_t proc, int32_t page, int32_t is_write);
/// The rest of translate: the TLB searched entry by entry, as the tables
/// define the lookup. REQUIRES: the reference clock counts the reference.
void translate_by_search(int32_t proc, int32_t page, int32_t is_write);

/// The reads and writes of the rest of a record whose read was not a TLB hit
/// of an indexed page: that read (of `page`), then the write. REQUIRES: the
/// process is indexed (0..7); the reference clock counts the read.
void translate_after_missed_read(int32_t proc, int32_t page, int32_t write_address);

/// The TLB hit of a reference of an indexed process (0..7, its slots in the
/// index from `process_slots` = proc << 6) to `page`, when it is one: false
/// when the reference needs the miss path (or the search, for a page out of
/// range), with nothing done. REQUIRES: the reference clock counts it.
template <int32_t kIsWrite>
inline bool hit_indexed_page(uint32_t process_slots, int32_t page) {
  if (static_cast<uint32_t>(page) >= static_cast<uint32_t>(kPagesPerProcess)) return false;
  // The index names the one entry that has this page, if any: the first
  // match of the search (the rule, entry by entry: Machine::usable_tlb_entry
  // in variants/machine.cpp). An indexed entry's frame always holds its page (an
  // eviction or a release takes the entry out of the index first; the debug
  // build checks it after every record), so the one load answers hit or
  // miss: the entry is usable as the search's frame check would find it.
  const size_t indexed = sim.tlb_entry_of[process_slots | static_cast<uint32_t>(page)];
  if (indexed == 0) return false;
  TlbEntry& entry = sim.tlb[indexed - 1];
  const auto f = static_cast<uint32_t>(entry.physical_page);
  Frame& frame = sim.frames[f];
  entry.last_use = sim.reference_clock;
  frame.ref = 1;
  const uint32_t bit = uint32_t{1} << f;
  sim.ref_mask |= bit;
  if constexpr (kIsWrite != 0) {
    frame.dirty = 1;
    sim.dirty_mask |= bit;
  }
  return true;
}

/// translate() for a process known to be indexed (0..7), whose slots in the
/// index start at `process_slots` (proc << 6).
template <int32_t kIsWrite>
inline void translate_for_indexed_process(int32_t proc, uint32_t process_slots, int32_t address) {
  ++sim.reference_clock;
  const int32_t page = address / kPageSize;  // truncates toward zero: -1 gives page 0
  if (hit_indexed_page<kIsWrite>(process_slots, page)) [[likely]]
    return;
  translate_missed_indexed_page(proc, page, kIsWrite);
}

inline void translate(int32_t proc, int32_t address, int32_t is_write) {
  if (static_cast<uint32_t>(proc) < 8) {
    if (is_write)
      translate_for_indexed_process<1>(proc, static_cast<uint32_t>(proc) << 6, address);
    else
      translate_for_indexed_process<0>(proc, static_cast<uint32_t>(proc) << 6, address);
    return;
  }
  ++sim.reference_clock;
  translate_by_search(proc, address / kPageSize, is_write);
}

/// The two references of a record: `proc` reads `read_address`, then writes
/// `write_address`.
inline void translate_read_then_write(int32_t proc, int32_t read_address, int32_t write_address) {
  if (static_cast<uint32_t>(proc) < 8) [[likely]] {
    const uint32_t process_slots = static_cast<uint32_t>(proc) << 6;
    ++sim.reference_clock;
    const int32_t read_page = read_address / kPageSize;
    // A read that misses takes the write along: when both miss, as they
    // mostly do where pages fault, the record costs one call.
    if (!hit_indexed_page<0>(process_slots, read_page)) [[unlikely]] {
      translate_after_missed_read(proc, read_page, write_address);
      return;
    }
    translate_for_indexed_process<1>(proc, process_slots, write_address);
    return;
  }
  translate(proc, read_address, 0);
  translate(proc, write_address, 1);
}
