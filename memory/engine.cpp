#include "memory/engine.hpp"

#include <cstring>

void start_engine(int32_t mode) {
  sim.reference_clock = sim.record_number = 0;
  sim.tlb_misses = sim.page_faults = sim.dirty_writes = 0;
  sim.clock_hand = 0;
  sim.replacement_mode = mode;
  // The window opens at INT32_MAX, a record number no trace of a tool's
  // reaches in practice (2^31 records), so nothing is ever echoed.
  sim.break_line = INT32_MAX;
  for (TlbEntry& entry : sim.tlb) entry.proc = 0;  // what reset_tables leaves alone
  sim.event_log.attach(-1, false);
  sim.console.attach(-1, false);
  reset_tables();
}

std::string_view take_events() {
  const std::string_view text = sim.event_log.pending();
  sim.event_log.discard();
  return text;
}

std::string_view take_messages() {
  const std::string_view text = sim.console.pending();
  sim.console.discard();
  return text;
}

namespace {

// SimState and MachineState name the machine's fields alike, so one list of
// them serves both directions and a field added to one cannot be missed in
// the other copy.
template <class To, class From>
void copy_machine(To& to, const From& from) {
  std::memcpy(to.tlb, from.tlb, sizeof to.tlb);
  std::memcpy(to.frames, from.frames, sizeof to.frames);
  to.reference_clock = from.reference_clock;
  to.record_number = from.record_number;
  to.tlb_misses = from.tlb_misses;
  to.page_faults = from.page_faults;
  to.dirty_writes = from.dirty_writes;
  to.clock_hand = from.clock_hand;
  to.replacement_mode = from.replacement_mode;
  to.free_frame_mask = from.free_frame_mask;
  std::memcpy(to.resident_count, from.resident_count, sizeof to.resident_count);
  to.ref_mask = from.ref_mask;
  to.dirty_mask = from.dirty_mask;
  std::memcpy(to.tlb_entry_of, from.tlb_entry_of, sizeof to.tlb_entry_of);
  std::memcpy(to.tlb_index_slot, from.tlb_index_slot, sizeof to.tlb_index_slot);
  to.tlb_order = from.tlb_order;
}

}  // namespace

MachineState save_machine() {
  MachineState state;
  copy_machine(state, sim);
  return state;
}

void restore_machine(const MachineState& state) {
  copy_machine(sim, state);
}
