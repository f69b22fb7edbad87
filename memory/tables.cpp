#include "memory/tables.hpp"

#include <cstdlib>

#include "memory/event_lines.hpp"

SimState sim;

void reset_tables() {
  for (TlbEntry& entry : sim.tlb) {
    entry.logical_page = kEmpty;
    entry.physical_page = kEmpty;
    entry.last_use = kEmpty;
  }
  for (Frame& frame : sim.frames) frame = Frame{0, 0, 1, kEmpty, kEmpty};
  reset_tlb_order(sim.tlb_order);
  sim.free_frame_mask = kAllFramesFree;
  sim.ref_mask = sim.dirty_mask = 0;
  for (uint8_t& count : sim.resident_count) count = 0;
  // Every entry now has page -1, which is not indexed.
  for (uint8_t& entry : sim.tlb_entry_of) entry = 0;
  for (uint16_t& slot : sim.tlb_index_slot) slot = kResidentSlots;
}

void release_process(int32_t proc) {
  for (int i = 0; i < kTlbEntries; ++i) {
    TlbEntry& entry = sim.tlb[i];
    if (entry.proc != proc) continue;
    unindex_tlb_entry(i);
    entry.last_use = kEmpty;
    entry.physical_page = kEmpty;
    entry.logical_page = kEmpty;
    mark_tlb_entry_empty(sim.tlb_order, i);
  }
  // ref and dirty stay: the next load of the frame overwrites them.
  for (int f = 0; f < kFrames; ++f) {
    Frame& frame = sim.frames[f];
    if (frame.proc != proc) continue;
    if (!frame.free) --sim.resident_count[resident_slot(frame.proc, frame.logical_page)];
    sim.free_frame_mask |= uint32_t{1} << f;
    frame.free = 1;
    frame.proc = kEmpty;
    frame.logical_page = kEmpty;
  }
}

void load_tlb(int32_t proc, int32_t page, int32_t frame) {
  const int taken = install_tlb_entry(proc, page, frame);
  write_tlb_line(sim.event_log, sim.record_number, taken, proc, page, frame);
  if (in_display_window()) {
    write_tlb_line(sim.console, sim.record_number, taken, proc, page, frame);
    sim.console.end_message();
  }
}

void shoot_down_tlb(int32_t proc, int32_t page) {
#pragma GCC unroll 8
  for (int i = 0; i < kTlbEntries; ++i) {
    if (sim.tlb[i].proc == proc && sim.tlb[i].logical_page == page) {
      shoot_down_entry(i);
      return;
    }
  }
}

void end_run(int exit_status) {
  sim.event_log.flush();
  sim.console.flush();
  if (sim.event_log.failed()) {
    write_to_stderr("Error, could not write out.txt\n");
    exit_status = kExitFailure;
  }
  if (sim.console.failed()) {
    write_to_stderr("Error, could not write standard output\n");
    exit_status = kExitFailure;
  }
  std::_Exit(exit_status);
}
