// The simulator's one state record: the TLB, the frame table, the counters,
// the settings and the run's streams, with the operations that change the
// tables as a whole.
#pragma once

#include <cstdint>

#include "io/output_buffer.hpp"
#include "io/trace_scanner.hpp"
#include "memory/constants.hpp"
#include "memory/tlb_order.hpp"

/// One TLB slot. Empty for loading when last_use < 0.
struct TlbEntry {
  int32_t proc;
  int32_t logical_page;
  int32_t physical_page;  ///< frame 0..19, or -1 after reset and release
  int64_t last_use;       ///< reference clock at the last load or hit
};

/// One physical frame. Free frames hold process -1 and page -1.
struct Frame {
  int32_t ref;
  int32_t dirty;
  int32_t free;
  int32_t logical_page;
  int32_t proc;
};

struct SimState {
  TlbEntry tlb[kTlbEntries];
  Frame frames[kFrames];
  int64_t reference_clock;  ///< references translated so far
  int64_t record_number;    ///< records read so far; the "line" of messages
  int64_t tlb_misses;
  int64_t page_faults;
  int64_t dirty_writes;  ///< evicted frames that were dirty
  int32_t clock_hand;    ///< frame where the next replacement scan starts
  int32_t replacement_mode;
  int32_t break_line;
  /// Bit f set when frames[f].free is set: finds the lowest free frame in
  /// one step. Kept by reset_tables, release_process and the frame loads.
  uint32_t free_frame_mask;
  /// Frames in use, counted by resident_slot() of the page they hold: a
  /// count of 0 lets a TLB miss skip the frame search. Kept with the mask.
  uint8_t resident_count[kResidentSlots];
  /// Bit f is frames[f].ref, and of dirty_mask frames[f].dirty: the
  /// replacement scan reads all frames' bits at once. Kept wherever a bit
  /// changes (reset_tables, the references, the scan).
  uint32_t ref_mask;
  uint32_t dirty_mask;
  /// For each indexed page (at indexed_slot()), 1 + the TLB entry whose
  /// process and page it is, or 0 when no entry has them: a TLB hit without
  /// a search. Kept by reset_tables, release_process and the TLB loads. The
  /// byte after the slots takes the writes for pages not indexed.
  uint8_t tlb_entry_of[kResidentSlots + 1];
  /// For each TLB entry, the slot of tlb_entry_of that names it, or
  /// kResidentSlots when its page is not indexed: an entry leaves the index
  /// without its page being looked at. Kept with tlb_entry_of.
  uint16_t tlb_index_slot[kTlbEntries];
  /// The order in which loads take TLB entries. Kept by reset_tables,
  /// release_process and the TLB loads and shoot-downs; a hit only raises a
  /// stamp, which the order allows.
  TlbOrder tlb_order;
  TraceScanner trace_file;  ///< data.txt
  OutputBuffer event_log;   ///< out.txt
  OutputBuffer console;     ///< standard output
};

/// The state of the run, used directly by every operation.
extern SimState sim;

/// Where a page in use is counted in resident_count; pages of different
/// processes may share a slot, which only costs a search.
inline uint32_t resident_slot(int32_t proc, int32_t page) {
  return (static_cast<uint32_t>(page) & (kPagesPerProcess - 1)) | (static_cast<uint32_t>(proc) & 7)
                                                                      << 6;
}

/// Whether (proc, page) is one the TLB index covers: processes 0..7 and
/// pages in range, for which resident_slot() is one slot per page.
inline bool is_indexed_page(int32_t proc, int32_t page) {
  static_assert(kPagesPerProcess == 64 && kResidentSlots == 8 * 64);
  return (static_cast<uint32_t>(proc) | static_cast<uint32_t>(page) >> 3) < 8;
}

/// All frames free.
inline constexpr uint32_t kAllFramesFree = (uint32_t{1} << kFrames) - 1;

/// Empties both tables. Counters, settings and streams are left alone.
/// Must run once before the first record.
void reset_tables();
/// Empties every TLB entry and frame of `proc`; counts and logs nothing, and
/// leaves the frames' bits and the clock hand as they are.
void release_process(int32_t proc);
/// Installs (proc, page) -> frame in the first empty TLB entry, else in the
/// least recently used one, stamped with the reference clock, and logs the
/// TLB line (echoed on the console inside the display window).
/// REQUIRES: frame in 0..kFrames-1 holds that page of that process.
void load_tlb(int32_t proc, int32_t page, int32_t frame);
/// load_tlb without the TLB line: returns the entry taken, for a caller that
/// logs the line itself. REQUIRES: as load_tlb.
inline int install_tlb_entry(int32_t proc, int32_t page, int32_t frame);
/// Empties the first TLB entry that maps (proc, page), if any; its page and
/// frame stay, its process becomes -1.
void shoot_down_tlb(int32_t proc, int32_t page);
/// Empties TLB entry `index` as shoot_down_tlb does.
inline void shoot_down_entry(int index);

/// Whether the current record lies in the breakpoint display's window.
inline bool in_display_window() {
  const int64_t first = sim.break_line;
  // Near the top of the 32-bit range the window has no upper end, so a break
  // line there still shows every record from it on.
  return sim.record_number >= first && (sim.record_number - first <= kDisplayWindowSpan ||
                                        first > INT32_MAX - kDisplayWindowSpan);
}

/// Writes out both output streams and ends the process: with `exit_status`,
/// or with kExitFailure after reporting a stream that could not be written.
[[noreturn]] void end_run(int exit_status);

/// Where an indexed page is in tlb_entry_of and resident_count.
/// REQUIRES: is_indexed_page(proc, page).
inline uint32_t indexed_slot(int32_t proc, int32_t page) {
  return static_cast<uint32_t>(proc) << 6 | static_cast<uint32_t>(page);
}

/// Takes TLB entry `index` out of the index; its process or page is about to
/// change. (An indexed page has one entry, so its slot names this one.)
inline void unindex_tlb_entry(int index) {
  sim.tlb_entry_of[sim.tlb_index_slot[index]] = 0;
  sim.tlb_index_slot[index] = kResidentSlots;
}

inline int install_tlb_entry(int32_t proc, int32_t page, int32_t frame) {
  // Empty entries first, lowest index first; else true LRU.
  const int taken = take_entry_to_load(sim.tlb_order, sim.reference_clock,
                                       [](int i) { return sim.tlb[i].last_use; });
  unindex_tlb_entry(taken);
  sim.tlb[taken] = TlbEntry{proc, page, frame, sim.reference_clock};
  if (is_indexed_page(proc, page)) {
    const uint32_t slot = indexed_slot(proc, page);
    sim.tlb_entry_of[slot] = static_cast<uint8_t>(taken + 1);
    sim.tlb_index_slot[taken] = static_cast<uint16_t>(slot);
  }
  return taken;
}

inline void shoot_down_entry(int index) {
  // Page and frame stay behind: the display shows such an entry as
  // belonging to process -1.
  unindex_tlb_entry(index);
  sim.tlb[index].last_use = kEmpty;
  sim.tlb[index].proc = kEmpty;
  mark_tlb_entry_empty(sim.tlb_order, index);
}
