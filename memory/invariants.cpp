#include "memory/invariants.hpp"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "memory/tables.hpp"

namespace {

bool page_in_range(int32_t address) {
  const int32_t page = address / kPageSize;
  return page >= 0 && page < kPagesPerProcess;
}

}  // namespace

bool record_keeps_markers_apart(int32_t proc, int32_t first_address, int32_t second_address) {
  if (proc == kEmpty) return false;
  return first_address == 0 || (page_in_range(first_address) && page_in_range(second_address));
}

bool tables_are_consistent(bool markers_apart, char* text, int text_size) {
  // Always: the hand is a frame index (it is only ever set to a victim or
  // one past it, wrapped); bits are 0 or 1 (only 0, 1 or is_write are
  // stored); a free frame carries the markers (reset and release set both);
  // the free-frame mask mirrors the free flags.
  if (sim.clock_hand < 0 || sim.clock_hand >= kFrames) {
    snprintf(text, text_size, "clock hand %d is not a frame", sim.clock_hand);
    return false;
  }
  for (int f = 0; f < kFrames; ++f) {
    const Frame& frame = sim.frames[f];
    if ((frame.ref != 0 && frame.ref != 1) || (frame.dirty != 0 && frame.dirty != 1)) {
      snprintf(text, text_size, "frame %d has ref %d dirty %d", f, frame.ref, frame.dirty);
      return false;
    }
    if (frame.free && (frame.proc != kEmpty || frame.logical_page != kEmpty)) {
      snprintf(text, text_size, "free frame %d holds process %d page %d", f, frame.proc,
               frame.logical_page);
      return false;
    }
    if ((frame.free != 0) != ((sim.free_frame_mask >> f & 1) != 0)) {
      snprintf(text, text_size, "free-frame mask disagrees with frame %d", f);
      return false;
    }
    if ((frame.ref != 0) != ((sim.ref_mask >> f & 1) != 0) ||
        (frame.dirty != 0) != ((sim.dirty_mask >> f & 1) != 0)) {
      snprintf(text, text_size, "ref or dirty mask disagrees with frame %d", f);
      return false;
    }
  }
  if ((sim.free_frame_mask | sim.ref_mask | sim.dirty_mask) & ~kAllFramesFree) {
    snprintf(text, text_size, "a frame mask has a bit beyond the frames");
    return false;
  }
  // The TLB index names, for each indexed page, the entry that has it: so
  // no two entries have one indexed page, and an entry it names maps to a
  // frame (released, reset and shot-down entries have page or process -1).
  for (int i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& entry = sim.tlb[i];
    if (!is_indexed_page(entry.proc, entry.logical_page)) {
      if (sim.tlb_index_slot[i] != kResidentSlots) {
        snprintf(text, text_size, "TLB entry %d of a page not indexed has index slot %d", i,
                 sim.tlb_index_slot[i]);
        return false;
      }
      continue;
    }
    const uint32_t slot = indexed_slot(entry.proc, entry.logical_page);
    if (sim.tlb_index_slot[i] != slot) {
      snprintf(text, text_size, "TLB entry %d has index slot %d, its page slot %u", i,
               sim.tlb_index_slot[i], slot);
      return false;
    }
    const int indexed = sim.tlb_entry_of[slot];
    if (indexed != i + 1) {
      snprintf(text, text_size, "TLB index names entry %d for process %d page %d, held by entry %d",
               indexed - 1, entry.proc, entry.logical_page, i);
      return false;
    }
    if (entry.physical_page < 0 || entry.physical_page >= kFrames) {
      snprintf(text, text_size, "indexed TLB entry %d maps to frame %d", i, entry.physical_page);
      return false;
    }
    // A TLB hit through the index trusts the entry without looking at the
    // frame, so this holds whatever the trace names, process -1 included.
    const Frame& frame = sim.frames[entry.physical_page];
    if (frame.free || frame.proc != entry.proc || frame.logical_page != entry.logical_page) {
      snprintf(text, text_size,
               "TLB entry %d maps process %d page %d to frame %d, which does not hold it", i,
               entry.proc, entry.logical_page, entry.physical_page);
      return false;
    }
  }
  // The TLB order holds every entry once, by place stamp and then index;
  // the empty entries are those in its mask, and no other entry's stamp is
  // below its place's (hits and loads only raise stamps).
  const TlbOrder& order = sim.tlb_order;
  uint32_t placed = 0;
  for (int place = 0; place < kTlbEntries; ++place)
    placed |= uint32_t{1} << tlb_order::entry_at(order.entries, place);
  if (placed != (uint32_t{1} << kTlbEntries) - 1) {
    snprintf(text, text_size, "TLB order %08x does not hold every entry once", order.entries);
    return false;
  }
  for (int place = 0; place < kTlbEntries; ++place) {
    const int entry = tlb_order::entry_at(order.entries, place);
    if (place > 0 && !tlb_order::goes_before(order, tlb_order::entry_at(order.entries, place - 1),
                                             order.place_stamp[entry], entry)) {
      snprintf(text, text_size, "TLB order %08x is out of order at place %d", order.entries, place);
      return false;
    }
    const int64_t stamp = sim.tlb[entry].last_use;
    if ((stamp < 0) != ((order.empty >> entry & 1) != 0) ||
        (stamp >= 0 && stamp < order.place_stamp[entry])) {
      snprintf(text, text_size, "TLB entry %d has stamp %" PRId64 ", place stamp %" PRId64 "%s",
               entry, stamp, order.place_stamp[entry],
               order.empty >> entry & 1 ? " and is marked empty" : "");
      return false;
    }
  }
  if (order.empty >> kTlbEntries != 0) {
    snprintf(text, text_size, "TLB order marks entries beyond the TLB empty");
    return false;
  }
  for (int slot = 0; slot < kResidentSlots; ++slot) {
    const int indexed = sim.tlb_entry_of[slot];
    if (indexed == 0) continue;
    const TlbEntry* named = indexed <= kTlbEntries ? &sim.tlb[indexed - 1] : nullptr;
    if (named == nullptr || !is_indexed_page(named->proc, named->logical_page) ||
        indexed_slot(named->proc, named->logical_page) != static_cast<uint32_t>(slot)) {
      snprintf(text, text_size, "TLB index of slot %d names entry %d, which has another page", slot,
               indexed - 1);
      return false;
    }
  }
  uint8_t counted[kResidentSlots] = {};
  for (const Frame& frame : sim.frames)
    if (!frame.free) ++counted[resident_slot(frame.proc, frame.logical_page)];
  for (int slot = 0; slot < kResidentSlots; ++slot) {
    if (counted[slot] != sim.resident_count[slot]) {
      snprintf(text, text_size, "resident count of slot %d is %d, frames hold %d", slot,
               sim.resident_count[slot], counted[slot]);
      return false;
    }
  }
  if (!markers_apart) return true;

  // A page is loaded only after the frame search found it nowhere; with no
  // process -1 and pages in range a free frame never matches, so that search
  // is exact and no page is loaded twice.
  for (int f = 0; f < kFrames; ++f) {
    const Frame& frame = sim.frames[f];
    if (frame.free) continue;
    for (int g = f + 1; g < kFrames; ++g) {
      if (!sim.frames[g].free && sim.frames[g].proc == frame.proc &&
          sim.frames[g].logical_page == frame.logical_page) {
        snprintf(text, text_size, "frames %d and %d both hold process %d page %d", f, g, frame.proc,
                 frame.logical_page);
        return false;
      }
    }
  }
  // An entry is loaded only for a page that its frame holds. The frame loses
  // the page by eviction, which empties the one entry for it (released and
  // shot-down entries cannot match it: their page or process is -1), or by
  // release, which empties every entry of the process.
  for (int i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& entry = sim.tlb[i];
    if (entry.last_use < 0) continue;
    const int32_t f = entry.physical_page;
    if (f < 0 || f >= kFrames || sim.frames[f].proc != entry.proc ||
        sim.frames[f].logical_page != entry.logical_page) {
      snprintf(text, text_size,
               "TLB entry %d maps process %d page %d to frame %d, which does not hold it", i,
               entry.proc, entry.logical_page, f);
      return false;
    }
  }
  return true;
}

void check_invariants(bool markers_apart) {
  char text[256];
  if (tables_are_consistent(markers_apart, text, sizeof text)) return;
  sim.event_log.flush();
  sim.console.flush();
  fprintf(stderr, "pagesim: broken invariant after record %" PRId64 ": %s\n", sim.record_number,
          text);
  abort();
}
