#include "memory/translation.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

#include "memory/event_lines.hpp"
#include "memory/tables.hpp"
#include "memory/victim_scan.hpp"

namespace {

// Reports an out-of-range page; the reference goes on with it regardless.
int32_t page_of(int32_t address) {
  int32_t page = address / kPageSize;  // truncates toward zero: -1 gives page 0
  if (page < 0 || page >= kPagesPerProcess) {
    sim.console.put("Error, bad frame number\n");
    sim.console.end_message();
  }
  return page;
}

[[noreturn]] void report_inconsistency(int entry_index) {
  const TlbEntry& entry = sim.tlb[entry_index];
  char text[2 * kMaxLineLength];
  char* p = append_text(text, "Error, inconsistent data at line ");
  p = append_int(p, sim.record_number);
  p = append_text(p, "\nTLB entry ");
  p = append_int(p, entry_index);
  p = append_text(p, " PP ");
  p = append_int(p, entry.physical_page);
  p = append_text(p, " LA ");
  p = append_int(p, entry.logical_page);
  p = append_text(p, ", but page ");
  p = append_int(p, entry.physical_page);
  p = append_text(p, " has LA ");
  p = append_int(p, sim.frames[entry.physical_page].logical_page);
  *p++ = '\n';
  write_to_stderr({text, static_cast<size_t>(p - text)});
  end_run(kExitFailure);
}

void load_frame(int32_t frame_index, int32_t proc, int32_t page, int32_t is_write) {
  Frame& frame = sim.frames[frame_index];
  if (!frame.free) --sim.resident_count[resident_slot(frame.proc, frame.logical_page)];
  ++sim.resident_count[resident_slot(proc, page)];
  frame = Frame{1, is_write, 0, page, proc};
  sim.free_frame_mask &= ~(uint32_t{1} << frame_index);
  write_page_fault_line(sim.event_log, sim.record_number, proc, page, frame_index);
  if (in_display_window()) {
    write_page_fault_line(sim.console, sim.record_number, proc, page, frame_index, sim.clock_hand);
    sim.console.end_message();
  }
}

// A frame's page and owner as one value: the two fields are adjacent, so the
// frame-table search compares once per frame.
static_assert(offsetof(Frame, proc) == offsetof(Frame, logical_page) + sizeof(int32_t));
uint64_t owner_key(int32_t proc, int32_t page) {
  return static_cast<uint64_t>(static_cast<uint32_t>(proc)) << 32 | static_cast<uint32_t>(page);
}
// The same for a TLB entry, whose process and page are adjacent too.
static_assert(offsetof(TlbEntry, logical_page) == offsetof(TlbEntry, proc) + sizeof(int32_t));
uint64_t mapping_key(int32_t proc, int32_t page) {
  return static_cast<uint64_t>(static_cast<uint32_t>(page)) << 32 | static_cast<uint32_t>(proc);
}
uint64_t mapping_key(const TlbEntry& entry) {
  uint64_t key;
  std::memcpy(&key, &entry.proc, sizeof key);
  return key;
}
uint64_t owner_key(const Frame& frame) {
  uint64_t key;
  std::memcpy(&key, &frame.logical_page, sizeof key);
  return key;
}

}  // namespace

void translate(int32_t proc, int32_t address, int32_t is_write) {
  ++sim.reference_clock;
  const int32_t page = page_of(address);
  // Every entry is compared, then the matches are tried in index order.
  const uint64_t key = mapping_key(proc, page);
  uint32_t matches = 0;
  for (int i = 0; i < kTlbEntries; ++i) matches |= uint32_t{mapping_key(sim.tlb[i]) == key} << i;
  for (; matches != 0; matches &= matches - 1) {
    const int i = std::countr_zero(matches);
    TlbEntry& entry = sim.tlb[i];
    if (entry.physical_page < 0) continue;
    Frame& frame = sim.frames[entry.physical_page];
    // An entry whose frame has since taken another page is stale; only a
    // record of process -1 (the empty marker) can leave one behind.
    if (owner_key(frame) != owner_key(proc, page)) continue;
    entry.last_use = sim.reference_clock;
    if (frame.free) report_inconsistency(i);
    if (is_write) frame.dirty = 1;
    frame.ref = 1;
    return;
  }
  ++sim.tlb_misses;
  search_frame_table(proc, address, is_write);
}

void search_frame_table(int32_t proc, int32_t address, int32_t is_write) {
  const int32_t page = page_of(address);
  // The free flag is not consulted: a free frame carries process -1 and
  // page -1, which a record of process -1 can match. Any other page is in a
  // frame only if its slot counts one.
  const bool may_match_free_frame = proc == kEmpty && page == kEmpty;
  if (!may_match_free_frame && sim.resident_count[resident_slot(proc, page)] == 0) {
    service_page_fault(proc, address, is_write);
    return;
  }
  const uint64_t key = owner_key(proc, page);
#pragma GCC unroll 20  // a fixed, short table: no loop counter in the scan
  for (int32_t f = 0; f < kFrames; ++f) {
    Frame& frame = sim.frames[f];
    if (owner_key(frame) != key) continue;
    frame.ref = 1;
    if (is_write) frame.dirty = 1;
    load_tlb(proc, page, f);
    return;
  }
  service_page_fault(proc, address, is_write);
}

void service_page_fault(int32_t proc, int32_t address, int32_t is_write) {
  ++sim.page_faults;
  const int32_t page = page_of(address);
  if (sim.free_frame_mask != 0) {
    const int32_t f = std::countr_zero(sim.free_frame_mask);  // the lowest free frame
    load_frame(f, proc, page, is_write);
    load_tlb(proc, page, f);
    return;
  }
  const int32_t victim = choose_victim();
  sim.clock_hand = victim;
  if (sim.frames[victim].dirty) ++sim.dirty_writes;
  shoot_down_tlb(sim.frames[victim].proc, sim.frames[victim].logical_page);
  load_frame(victim, proc, page, is_write);
  load_tlb(proc, page, victim);
  sim.clock_hand = next_frame(victim);
}

int32_t choose_victim() {
  return scan_for_victim([](const ScanStep&) {});
}
