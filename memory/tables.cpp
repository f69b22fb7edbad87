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
  sim.free_frame_mask = kAllFramesFree;
  for (uint8_t& count : sim.resident_count) count = 0;
}

void release_process(int32_t proc) {
  for (TlbEntry& entry : sim.tlb) {
    if (entry.proc != proc) continue;
    entry.last_use = kEmpty;
    entry.physical_page = kEmpty;
    entry.logical_page = kEmpty;
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
  // Empty entries first, lowest index first; else true LRU. Every empty
  // entry carries the stamp -1, below any clock value, so the first entry
  // with the smallest stamp is exactly that choice, found without a branch.
  // Stamps of valid entries are distinct whatever the clock has reached.
  int taken = 0;
  int64_t oldest = sim.tlb[0].last_use;
#pragma GCC unroll 8
  for (int i = 1; i < kTlbEntries; ++i) {
    const int64_t stamp = sim.tlb[i].last_use;
    const bool older = stamp < oldest;
    taken = older ? i : taken;
    oldest = older ? stamp : oldest;
  }
  sim.tlb[taken] = TlbEntry{proc, page, frame, sim.reference_clock};
  write_tlb_line(sim.event_log, sim.record_number, taken, proc, page, frame);
  if (in_display_window()) {
    write_tlb_line(sim.console, sim.record_number, taken, proc, page, frame);
    sim.console.end_message();
  }
}

void shoot_down_tlb(int32_t proc, int32_t page) {
#pragma GCC unroll 8
  for (TlbEntry& entry : sim.tlb) {
    if (entry.proc == proc && entry.logical_page == page) {
      // Page and frame stay behind: the display shows such an entry as
      // belonging to process -1.
      entry.last_use = kEmpty;
      entry.proc = kEmpty;
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
