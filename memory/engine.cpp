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

MachineState save_machine() {
  MachineState state;
  std::memcpy(state.tlb, sim.tlb, sizeof state.tlb);
  std::memcpy(state.frames, sim.frames, sizeof state.frames);
  state.reference_clock = sim.reference_clock;
  state.record_number = sim.record_number;
  state.tlb_misses = sim.tlb_misses;
  state.page_faults = sim.page_faults;
  state.dirty_writes = sim.dirty_writes;
  state.clock_hand = sim.clock_hand;
  state.replacement_mode = sim.replacement_mode;
  state.free_frame_mask = sim.free_frame_mask;
  std::memcpy(state.resident_count, sim.resident_count, sizeof state.resident_count);
  state.ref_mask = sim.ref_mask;
  state.dirty_mask = sim.dirty_mask;
  std::memcpy(state.tlb_entry_of, sim.tlb_entry_of, sizeof state.tlb_entry_of);
  std::memcpy(state.tlb_index_slot, sim.tlb_index_slot, sizeof state.tlb_index_slot);
  state.tlb_order = sim.tlb_order;
  return state;
}

void restore_machine(const MachineState& state) {
  std::memcpy(sim.tlb, state.tlb, sizeof state.tlb);
  std::memcpy(sim.frames, state.frames, sizeof state.frames);
  sim.reference_clock = state.reference_clock;
  sim.record_number = state.record_number;
  sim.tlb_misses = state.tlb_misses;
  sim.page_faults = state.page_faults;
  sim.dirty_writes = state.dirty_writes;
  sim.clock_hand = state.clock_hand;
  sim.replacement_mode = state.replacement_mode;
  sim.free_frame_mask = state.free_frame_mask;
  std::memcpy(sim.resident_count, state.resident_count, sizeof state.resident_count);
  sim.ref_mask = state.ref_mask;
  sim.dirty_mask = state.dirty_mask;
  std::memcpy(sim.tlb_entry_of, state.tlb_entry_of, sizeof state.tlb_entry_of);
  std::memcpy(sim.tlb_index_slot, state.tlb_index_slot, sizeof state.tlb_index_slot);
  sim.tlb_order = state.tlb_order;
}
