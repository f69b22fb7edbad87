#include "variants/machine.hpp"

namespace variants {

Machine::Machine(const Variant& variant)
    : variant_(variant), in_use_(variant.geometry.frames), free_frames_(variant.geometry.frames) {
  // As pagesim's reset: every entry empty with process 0, every frame free.
  state_.tlb.assign(static_cast<size_t>(variant.geometry.tlb_entries), TlbSlot{});
  state_.frames.assign(static_cast<size_t>(variant.geometry.frames), FrameSlot{});
}

Machine::Machine(const Variant& variant, const MachineState& state)
    : variant_(variant),
      state_(state),
      in_use_(variant.geometry.frames),
      free_frames_(variant.geometry.frames) {
  for (size_t f = 0; f < state_.frames.size(); ++f) {
    const FrameSlot& frame = state_.frames[f];
    const auto index = static_cast<int32_t>(f);
    if (frame.free == 0) {
      free_frames_.remove(index);
      in_use_.insert(index, frame.proc, frame.logical_page);
    }
  }
}

RecordResult Machine::run_record(const int32_t fields[3], EventSink& sink) {
  if (state_.stopped) return RecordResult::kStopped;
  const int32_t proc = fields[0];
  const bool termination = fields[1] == 0;
  ++state_.records_read;
  if (counts_as_step(termination)) ++state_.steps;
  state_.record_number = printed_record_number();
  Event record{EventKind::kRecord};
  record.record = state_.record_number;
  record.proc = proc;
  record.address = fields[1];
  record.second = fields[2];
  sink.on_event(record);
  if (termination) {
    release_process(proc, sink);
    return RecordResult::kRan;
  }
  const Reference read{0, proc, fields[1], 0};
  const Reference write{1, proc, fields[2], 0};
  const bool write_first = write_goes_first();
  if (!translate(write_first ? write : read, sink) ||
      !translate(write_first ? read : write, sink)) {
    state_.stopped = true;
    return RecordResult::kStopped;
  }
  return RecordResult::kRan;
}

// ---- The decisions ----

// terminations-not-counted: a termination is no step and gets no number.
bool Machine::counts_as_step(bool termination) const {
  return !(termination && variant_.has(Mistake::kTerminationsNotCounted));
}

// records-from-zero: the lines print one less than the steps so far.
int64_t Machine::printed_record_number() const {
  return state_.steps - (variant_.has(Mistake::kRecordsFromZero) ? 1 : 0);
}

// pagesim truncates toward zero; negative-address-floor rounds down.
int32_t Machine::page_of(int32_t address) const {
  const int64_t size = variant_.geometry.page_size;
  if (address < 0 && variant_.has(Mistake::kNegativeAddressFloor))
    return static_cast<int32_t>(-((-static_cast<int64_t>(address) + size - 1) / size));
  return static_cast<int32_t>(address / size);
}

// page-64-accepted: the check lets the page one past the last through.
bool Machine::page_in_range(int32_t page) const {
  const int32_t end =
      variant_.geometry.pages_per_process + (variant_.has(Mistake::kPage64Accepted) ? 1 : 0);
  return page >= 0 && page < end;
}

// write-before-read: the record's references swap places.
bool Machine::write_goes_first() const {
  return variant_.has(Mistake::kWriteBeforeRead);
}

// The first entry, in index order, that translates the page for `proc`.
int Machine::usable_tlb_entry(int32_t proc, int32_t page) const {
  const bool any_process = variant_.has(Mistake::kTlbIgnoresProcess);
  for (size_t i = 0; i < state_.tlb.size(); ++i) {
    const TlbSlot& slot = state_.tlb[i];
    // An entry that names no frame is never usable.
    if (slot.logical_page != page || slot.physical_page < 0) continue;
    // tlb-ignores-process: any entry in use with the page will do.
    if (any_process ? slot.last_use < 0 : slot.proc != proc) continue;
    // tlb-kept-on-eviction: the entry is believed without a look at its frame.
    if (variant_.has(Mistake::kTlbKeptOnEviction)) return static_cast<int>(i);
    // pagesim uses an entry only while its frame holds that page of that process.
    const FrameSlot& frame = state_.frames[static_cast<size_t>(slot.physical_page)];
    if (frame.logical_page != page || (!any_process && frame.proc != proc)) continue;
    return static_cast<int>(i);
  }
  return -1;
}

// faults-not-counted-as-misses: only a miss the frame table answers counts.
bool Machine::counts_misses_that_fault() const {
  return !variant_.has(Mistake::kFaultsNotCountedAsMisses);
}

// tlb-fifo: a hit leaves the stamp of the load.
bool Machine::hit_refreshes_last_use() const {
  return !variant_.has(Mistake::kTlbFifo);
}

// ref-only-on-miss: a hit leaves the ref bit alone.
bool Machine::sets_ref_on_tlb_hit() const {
  return !variant_.has(Mistake::kRefOnlyOnMiss);
}

// pagesim: writes set dirty. dirty-missed-on-tlb-hit loses it on a hit;
// dirty-on-read sets it on reads too.
bool Machine::sets_dirty(const Reference& ref, bool tlb_hit) const {
  const bool is_write = ref.which == 1;
  if (is_write && tlb_hit && variant_.has(Mistake::kDirtyMissedOnTlbHit)) return false;
  return is_write || variant_.has(Mistake::kDirtyOnRead);
}

// The first frame, in index order, whose process and page are these; the free
// flag is not looked at, so a free frame (process -1, page -1) can match.
int32_t Machine::frame_holding(int32_t proc, int32_t page) const {
  // no-frame-search: every miss goes straight to the fault.
  if (variant_.has(Mistake::kNoFrameSearch)) return -1;
  int32_t found = in_use_.lowest(proc, page);
  if (proc == -1 && page == -1) {
    const int32_t free_frame = free_frames_.lowest();
    if (free_frame >= 0 && (found < 0 || free_frame < found)) found = free_frame;
  }
  return found;
}

// tlb-no-load-on-frame-hit: the page is found but not put in the TLB.
bool Machine::loads_tlb_on_frame_hit() const {
  return !variant_.has(Mistake::kTlbNoLoadOnFrameHit);
}

// Empty entries first, lowest index first (tlb-empty-highest-first: highest);
// else the least recently used, the lowest index among equal stamps.
int Machine::entry_to_load() const {
  const int count = static_cast<int>(state_.tlb.size());
  if (variant_.has(Mistake::kTlbEmptyHighestFirst)) {
    for (int i = count - 1; i >= 0; --i) {
      if (state_.tlb[static_cast<size_t>(i)].last_use < 0) return i;
    }
  } else {
    for (int i = 0; i < count; ++i) {
      if (state_.tlb[static_cast<size_t>(i)].last_use < 0) return i;
    }
  }
  int oldest = 0;
  for (int i = 1; i < count; ++i) {
    if (state_.tlb[static_cast<size_t>(i)].last_use <
        state_.tlb[static_cast<size_t>(oldest)].last_use)
      oldest = i;
  }
  return oldest;
}

// The lowest free frame (free-frame-highest-first: the highest), or -1.
int32_t Machine::free_frame_to_take() const {
  return variant_.has(Mistake::kFreeFrameHighestFirst) ? free_frames_.highest()
                                                       : free_frames_.lowest();
}

// hand-from-zero: the scan ignores the hand.
int32_t Machine::scan_start() const {
  return variant_.has(Mistake::kHandFromZero) ? 0 : state_.clock_hand;
}

// Mode 0: passes frames whose ref bit is set, clearing it, and takes the first
// without (no-second-chance: takes the first frame it meets).
int32_t Machine::victim_by_second_chance(EventSink& sink) {
  int32_t i = scan_start();
  for (int32_t moves = 0;; ++moves) {
    FrameSlot& frame = state_.frames[static_cast<size_t>(i)];
    const bool taken = frame.ref == 0 || variant_.has(Mistake::kNoSecondChance);
    Event step{EventKind::kScanStep};
    step.record = state_.record_number;
    step.frame = i;
    step.ref = frame.ref;
    step.dirty = frame.dirty;
    step.moves = moves;
    step.taken = taken;
    sink.on_event(step);
    if (taken) return i;
    frame.ref = 0;
    i = next_frame(i);
  }
}

// Mode 1: takes the first frame neither referenced nor dirty, clearing the
// ref bits it passes; after two turns the frame it stands on.
int32_t Machine::victim_by_clean_first(EventSink& sink) {
  // clean-first-one-turn: gives up after one turn.
  const int32_t turns = variant_.has(Mistake::kCleanFirstOneTurn) ? 1 : 2;
  const int64_t max_moves = static_cast<int64_t>(turns) * variant_.geometry.frames;
  // clean-first-any-unreferenced: a dirty frame will do.
  const bool dirty_will_do = variant_.has(Mistake::kCleanFirstAnyUnreferenced);
  int32_t i = scan_start();
  for (int32_t moves = 0;; ++moves) {
    FrameSlot& frame = state_.frames[static_cast<size_t>(i)];
    const bool wanted = frame.ref == 0 && (frame.dirty == 0 || dirty_will_do);
    const bool taken = wanted || moves >= max_moves;
    Event step{EventKind::kScanStep};
    step.record = state_.record_number;
    step.frame = i;
    step.ref = frame.ref;
    step.dirty = frame.dirty;
    step.moves = moves;
    step.taken = taken;
    sink.on_event(step);
    if (taken) return i;
    if (clean_first_clears_ref()) frame.ref = 0;
    // clean-first-clears-dirty: the dirty bit goes with the ref bit.
    if (variant_.has(Mistake::kCleanFirstClearsDirty)) frame.dirty = 0;
    i = next_frame(i);
  }
}

// clean-first-keeps-ref: the scan only looks.
bool Machine::clean_first_clears_ref() const {
  return !variant_.has(Mistake::kCleanFirstKeepsRef);
}

// A dirty victim is written to disk (every-eviction-counted: every victim).
bool Machine::counts_as_written(const FrameSlot& victim) const {
  return victim.dirty != 0 || variant_.has(Mistake::kEveryEvictionCounted);
}

// tlb-kept-on-eviction: the evicted page keeps its entry.
bool Machine::empties_tlb_on_eviction() const {
  return !variant_.has(Mistake::kTlbKeptOnEviction);
}

// tlb-line-before-fault-line: the two lines of a fault swap places.
bool Machine::tlb_line_goes_first() const {
  return variant_.has(Mistake::kTlbLineBeforeFaultLine);
}

// pagesim leaves the hand where it is (hand-moves-on-free-fault: one past).
int32_t Machine::hand_after_free_fault(int32_t frame) const {
  return variant_.has(Mistake::kHandMovesOnFreeFault) ? next_frame(frame) : state_.clock_hand;
}

// One past the victim (hand-stays-on-victim: on it).
int32_t Machine::hand_after_eviction(int32_t victim) const {
  return variant_.has(Mistake::kHandStaysOnVictim) ? victim : next_frame(victim);
}

// termination-keeps-tlb: the entries survive their process.
bool Machine::termination_empties_tlb() const {
  return !variant_.has(Mistake::kTerminationKeepsTlb);
}

// termination-keeps-frames: the pages stay resident.
bool Machine::termination_frees_frames() const {
  return !variant_.has(Mistake::kTerminationKeepsFrames);
}

// pagesim counts nothing at a termination; dirty-counted-at-termination
// counts the dirty frames it frees.
int64_t Machine::written_at_termination(int32_t proc) const {
  if (!variant_.has(Mistake::kDirtyCountedAtTermination) || !termination_frees_frames()) return 0;
  int64_t dirty = 0;
  for (const FrameSlot& frame : state_.frames) dirty += frame.proc == proc && frame.dirty != 0;
  return dirty;
}

// ---- The steps ----

bool Machine::translate(const Reference& reference, EventSink& sink) {
  ++state_.reference_clock;
  Reference ref = reference;
  ref.page = page_of(ref.address);
  check_page(ref, sink);
  const int entry = usable_tlb_entry(ref.proc, ref.page);
  if (entry < 0) {
    if (counts_misses_that_fault()) ++state_.tlb_misses;
    sink.on_event(event_of(EventKind::kTlbMiss, ref));
    search_frame_table(ref, sink);
    return true;
  }
  TlbSlot& slot = state_.tlb[static_cast<size_t>(entry)];
  if (hit_refreshes_last_use()) slot.last_use = state_.reference_clock;
  const FrameSlot& frame = state_.frames[static_cast<size_t>(slot.physical_page)];
  if (frame.free != 0) {
    // A usable entry whose frame is free: pagesim's tables contradict
    // themselves, and it stops.
    Event stop = event_of(EventKind::kInconsistent, ref);
    stop.entry = entry;
    stop.frame = slot.physical_page;
    stop.page = slot.logical_page;
    stop.old_page = frame.logical_page;
    sink.on_event(stop);
    return false;
  }
  set_bits(slot.physical_page, sets_ref_on_tlb_hit(), sets_dirty(ref, true));
  Event hit = event_of(EventKind::kTlbHit, ref);
  hit.entry = entry;
  hit.frame = slot.physical_page;
  sink.on_event(hit);
  return true;
}

void Machine::search_frame_table(const Reference& ref, EventSink& sink) {
  check_page(ref, sink);
  const int32_t frame = frame_holding(ref.proc, ref.page);
  if (frame < 0) {
    service_page_fault(ref, sink);
    return;
  }
  if (!counts_misses_that_fault()) ++state_.tlb_misses;
  set_bits(frame, true, sets_dirty(ref, false));
  Event hit = event_of(EventKind::kFrameHit, ref);
  hit.frame = frame;
  sink.on_event(hit);
  if (loads_tlb_on_frame_hit()) load_tlb(ref, frame, sink);
}

void Machine::service_page_fault(const Reference& ref, EventSink& sink) {
  ++state_.page_faults;
  check_page(ref, sink);
  int32_t frame = free_frame_to_take();
  const bool evicts = frame < 0;
  if (evicts) {
    frame = choose_victim(sink);
    state_.clock_hand = frame;
    FrameSlot& victim = state_.frames[static_cast<size_t>(frame)];
    const bool written = counts_as_written(victim);
    if (written) ++state_.dirty_writes;
    Event eviction = event_of(EventKind::kEviction, ref);
    eviction.frame = frame;
    eviction.old_proc = victim.proc;
    eviction.old_page = victim.logical_page;
    eviction.old_dirty = written;
    sink.on_event(eviction);
    if (empties_tlb_on_eviction()) shoot_down_tlb(victim.proc, victim.logical_page, sink);
    in_use_.erase(frame);
  }
  load_frame(frame, ref);
  Event fault = event_of(EventKind::kPageFault, ref);
  fault.frame = frame;
  fault.hand = state_.clock_hand;
  if (tlb_line_goes_first()) {
    load_tlb(ref, frame, sink);
    sink.on_event(fault);
  } else {
    sink.on_event(fault);
    load_tlb(ref, frame, sink);
  }
  state_.clock_hand = evicts ? hand_after_eviction(frame) : hand_after_free_fault(frame);
}

int32_t Machine::choose_victim(EventSink& sink) {
  return variant_.mode == 0 ? victim_by_second_chance(sink) : victim_by_clean_first(sink);
}

void Machine::load_frame(int32_t frame, const Reference& ref) {
  FrameSlot& slot = state_.frames[static_cast<size_t>(frame)];
  slot.ref = 1;
  slot.dirty = sets_dirty(ref, false) ? 1 : 0;
  slot.free = 0;
  slot.logical_page = ref.page;
  slot.proc = ref.proc;
  free_frames_.remove(frame);
  in_use_.insert(frame, ref.proc, ref.page);
}

void Machine::load_tlb(const Reference& ref, int32_t frame, EventSink& sink) {
  const int entry = entry_to_load();
  TlbSlot& slot = state_.tlb[static_cast<size_t>(entry)];
  Event load = event_of(EventKind::kTlbLoad, ref);
  load.entry = entry;
  load.frame = frame;
  load.old_proc = slot.proc;
  load.old_page = slot.logical_page;
  slot = TlbSlot{ref.proc, ref.page, frame, state_.reference_clock, state_.reference_clock};
  sink.on_event(load);
}

void Machine::shoot_down_tlb(int32_t proc, int32_t page, EventSink& sink) {
  for (size_t i = 0; i < state_.tlb.size(); ++i) {
    TlbSlot& slot = state_.tlb[i];
    if (slot.proc != proc || slot.logical_page != page) continue;
    // Page and frame stay behind: pagesim's display shows such an entry as
    // belonging to process -1.
    slot.last_use = -1;
    slot.proc = -1;
    Event shoot_down{EventKind::kTlbShootDown};
    shoot_down.record = state_.record_number;
    shoot_down.entry = static_cast<int32_t>(i);
    shoot_down.proc = proc;
    shoot_down.page = page;
    shoot_down.frame = slot.physical_page;
    sink.on_event(shoot_down);
    return;
  }
}

void Machine::release_process(int32_t proc, EventSink& sink) {
  state_.dirty_writes += written_at_termination(proc);
  if (termination_empties_tlb()) {
    for (TlbSlot& slot : state_.tlb) {
      if (slot.proc != proc) continue;
      slot.last_use = -1;
      slot.physical_page = -1;
      slot.logical_page = -1;
    }
  }
  if (termination_frees_frames()) {
    for (size_t f = 0; f < state_.frames.size(); ++f) {
      FrameSlot& frame = state_.frames[f];
      if (frame.proc != proc) continue;
      const auto index = static_cast<int32_t>(f);
      if (frame.free == 0) in_use_.erase(index);
      // ref and dirty stay: the next load of the frame overwrites them.
      frame.free = 1;
      frame.proc = -1;
      frame.logical_page = -1;
      free_frames_.add(index);
    }
  }
  Event release{EventKind::kRelease};
  release.record = state_.record_number;
  release.proc = proc;
  sink.on_event(release);
}

void Machine::check_page(const Reference& ref, EventSink& sink) {
  if (page_in_range(ref.page)) return;
  ++state_.bad_page_messages;
  sink.on_event(event_of(EventKind::kBadPage, ref));
}

void Machine::set_bits(int32_t frame, bool ref_bit, bool dirty_bit) {
  FrameSlot& slot = state_.frames[static_cast<size_t>(frame)];
  if (ref_bit) slot.ref = 1;
  if (dirty_bit) slot.dirty = 1;
}

Event Machine::event_of(EventKind kind, const Reference& ref) const {
  Event event{kind};
  event.which = ref.which;
  event.record = state_.record_number;
  event.proc = ref.proc;
  event.page = ref.page;
  event.address = ref.address;
  return event;
}

int32_t Machine::next_frame(int32_t frame) const {
  return frame + 1 == variant_.geometry.frames ? 0 : frame + 1;
}

}  // namespace variants
