#include "memory/translation.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

#include "memory/event_lines.hpp"
#include "memory/tables.hpp"
#include "memory/victim_scan.hpp"

namespace {

void report_bad_page() {
  sim.console.put("Error, bad frame number\n");
  sim.console.end_message();
}

bool page_in_range(int32_t page) {
  return static_cast<uint32_t>(page) < static_cast<uint32_t>(kPagesPerProcess);
}

int32_t page_of(int32_t address) {
  return address / kPageSize;  // truncates toward zero: -1 gives page 0
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

// The bits a reference leaves on the frame it goes to.
void mark_used(int32_t frame_index, int32_t is_write) {
  Frame& frame = sim.frames[frame_index];
  frame.ref = 1;
  sim.ref_mask |= uint32_t{1} << frame_index;
  if (is_write) {
    frame.dirty = 1;
    sim.dirty_mask |= uint32_t{1} << frame_index;
  }
}

// Puts (proc, page) into frame `frame_index`, counted in the resident
// counts; the count of the frame's old page, if it had one, was taken off,
// and a free frame has left the free-frame mask.
[[gnu::always_inline]] inline void load_frame(int32_t frame_index, int32_t proc, int32_t page,
                                              int32_t is_write) {
  ++sim.resident_count[resident_slot(proc, page)];
  // ref and dirty, then free and page, in one store each.
  static_assert(offsetof(Frame, dirty) == 4 && offsetof(Frame, free) == 8 &&
                offsetof(Frame, logical_page) == 12 && offsetof(Frame, proc) == 16);
  Frame& frame = sim.frames[frame_index];
  const uint64_t ref_and_dirty = uint64_t{1} | static_cast<uint64_t>(is_write) << 32;
  const uint64_t free_and_page = static_cast<uint64_t>(static_cast<uint32_t>(page)) << 32;
  std::memcpy(&frame.ref, &ref_and_dirty, sizeof ref_and_dirty);
  std::memcpy(&frame.free, &free_and_page, sizeof free_and_page);
  frame.proc = proc;
  const uint32_t bit = uint32_t{1} << frame_index;
  sim.ref_mask |= bit;
  sim.dirty_mask = is_write != 0 ? sim.dirty_mask | bit : sim.dirty_mask & ~bit;
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

// The page-fault path with the page already computed. `kIndexed`: the page
// is known to be indexed, so in range, and its page check is left out; else
// the check made here is the reference's third.
template <int32_t kIsWrite, bool kIndexed>
[[gnu::always_inline]] inline void fault_in(int32_t proc, int32_t page) {
  if constexpr (kIndexed) {
    // Lets the compiler drop the paths for other processes and pages.
    if (static_cast<uint32_t>(proc) >= 8 || !page_in_range(page)) __builtin_unreachable();
  } else if (!page_in_range(page)) {
    report_bad_page();
  }
  ++sim.page_faults;
  const uint32_t free_frames = sim.free_frame_mask;
  int32_t f;
  if (free_frames != 0) {
    // The lowest free frame (Machine::free_frame_to_take in variants/machine.cpp).
    f = std::countr_zero(free_frames);
    sim.free_frame_mask = free_frames & (free_frames - 1);
  } else {
    f = scan_for_victim([](const ScanStep&) {});
    sim.clock_hand = f;
    sim.dirty_writes += sim.dirty_mask >> f & 1;
    const int32_t victim_proc = sim.frames[f].proc;
    const int32_t victim_page = sim.frames[f].logical_page;
    if (is_indexed_page(victim_proc, victim_page)) [[likely]] {
      const uint32_t slot = indexed_slot(victim_proc, victim_page);
      --sim.resident_count[slot];
      // An indexed page has at most one entry, the one the index names.
      const int indexed = sim.tlb_entry_of[slot];
      if (indexed != 0) {
        // As shoot_down_entry, the index already at hand.
        sim.tlb_entry_of[slot] = 0;
        sim.tlb_index_slot[indexed - 1] = kResidentSlots;
        sim.tlb[indexed - 1].last_use = kEmpty;
        sim.tlb[indexed - 1].proc = kEmpty;
        mark_tlb_entry_empty(sim.tlb_order, indexed - 1);
      }
    } else {
      --sim.resident_count[resident_slot(victim_proc, victim_page)];
      shoot_down_tlb(victim_proc, victim_page);
    }
  }
  load_frame(f, proc, page, kIsWrite);
  const int entry = install_tlb_entry(proc, page, f);
  write_fault_and_tlb_lines(sim.event_log, sim.record_number, entry, proc, page, f);
  if (in_display_window()) [[unlikely]] {
    write_page_fault_line(sim.console, sim.record_number, proc, page, f, sim.clock_hand);
    sim.console.end_message();
    write_tlb_line(sim.console, sim.record_number, entry, proc, page, f);
    sim.console.end_message();
  }
  if (free_frames == 0) sim.clock_hand = next_frame(f);
}

// The frame search of a TLB miss once the page's check is made: the frame
// that holds the page gets the TLB entry, else the page is faulted in (the
// search with the free frames apart: Machine::frame_holding in
// variants/machine.cpp).
template <int32_t kIsWrite>
[[gnu::noinline]] void search_frames(int32_t proc, int32_t page) {
  const uint64_t key = owner_key(proc, page);
#pragma GCC unroll 20  // a fixed, short table: no loop counter in the scan
  for (int32_t f = 0; f < kFrames; ++f) {
    if (owner_key(sim.frames[f]) != key) continue;
    mark_used(f, kIsWrite);
    load_tlb(proc, page, f);
    return;
  }
  fault_in<kIsWrite, false>(proc, page);
}

template <int32_t kIsWrite>
[[gnu::always_inline]] inline void miss_indexed_page_inline(int32_t proc, int32_t page) {
  ++sim.tlb_misses;
  // A page not counted resident is in no frame: a free frame carries
  // process -1, which is not indexed.
  if (sim.resident_count[indexed_slot(proc, page)] != 0) {
    search_frames<kIsWrite>(proc, page);
    return;
  }
  fault_in<kIsWrite, true>(proc, page);
}

template <int32_t kIsWrite>
[[gnu::noinline]] void miss_indexed_page(int32_t proc, int32_t page) {
  miss_indexed_page_inline<kIsWrite>(proc, page);
}

// The TLB-miss path of any page: its check of the page is the second.
template <int32_t kIsWrite>
[[gnu::noinline]] void search_for(int32_t proc, int32_t page) {
  if (!page_in_range(page)) report_bad_page();
  // The free flag is not consulted: a free frame carries process -1 and
  // page -1, which a record of process -1 can match. Any other page is in a
  // frame only if its slot counts one.
  const bool may_match_free_frame = proc == kEmpty && page == kEmpty;
  if (!may_match_free_frame && sim.resident_count[resident_slot(proc, page)] == 0) {
    fault_in<kIsWrite, false>(proc, page);
    return;
  }
  search_frames<kIsWrite>(proc, page);
}

template <int32_t kIsWrite>
[[gnu::noinline]] void service_for(int32_t proc, int32_t page) {
  fault_in<kIsWrite, false>(proc, page);
}

}  // namespace

void translate_missed_indexed_page(int32_t proc, int32_t page, int32_t is_write) {
  if (!page_in_range(page) || sim.tlb_entry_of[indexed_slot(proc, page)] != 0) {
    translate_by_search(proc, page, is_write);
  } else if (is_write) {
    miss_indexed_page<1>(proc, page);
  } else {
    miss_indexed_page<0>(proc, page);
  }
}

void translate_after_missed_read(int32_t proc, int32_t page, int32_t write_address) {
  const uint32_t process_slots = static_cast<uint32_t>(proc) << 6;
  if (page_in_range(page) && sim.tlb_entry_of[process_slots | static_cast<uint32_t>(page)] == 0)
    miss_indexed_page_inline<0>(proc, page);
  else
    translate_by_search(proc, page, 0);
  // The write, with its miss path here too.
  ++sim.reference_clock;
  const int32_t write_page = page_of(write_address);
  if (hit_indexed_page<1>(process_slots, write_page)) return;
  if (page_in_range(write_page) &&
      sim.tlb_entry_of[process_slots | static_cast<uint32_t>(write_page)] == 0) {
    miss_indexed_page_inline<1>(proc, write_page);
    return;
  }
  translate_by_search(proc, write_page, 1);
}

void translate_by_search(int32_t proc, int32_t page, int32_t is_write) {
  if (!page_in_range(page)) report_bad_page();
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
    mark_used(entry.physical_page, is_write);
    return;
  }
  ++sim.tlb_misses;
  if (is_write)
    search_for<1>(proc, page);
  else
    search_for<0>(proc, page);
}

void search_frame_table(int32_t proc, int32_t address, int32_t is_write) {
  const int32_t page = page_of(address);
  if (is_write)
    search_for<1>(proc, page);
  else
    search_for<0>(proc, page);
}

void service_page_fault(int32_t proc, int32_t address, int32_t is_write) {
  const int32_t page = page_of(address);
  if (is_write)
    service_for<1>(proc, page);
  else
    service_for<0>(proc, page);
}

int32_t choose_victim() {
  // The bits are taken from the frames as they stand, so that the choice
  // follows a frame table set up by hand as well.
  sim.ref_mask = sim.dirty_mask = 0;
  for (int f = 0; f < kFrames; ++f) {
    sim.ref_mask |= static_cast<uint32_t>(sim.frames[f].ref != 0) << f;
    sim.dirty_mask |= static_cast<uint32_t>(sim.frames[f].dirty != 0) << f;
  }
  return scan_for_victim([](const ScanStep&) {});
}
