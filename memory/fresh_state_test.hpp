// Puts the one SimState into the state of a run that has just started, with
// the event log and the console kept in memory for inspection.
#pragma once

#include <gtest/gtest.h>

#include "memory/tables.hpp"

class FreshState : public ::testing::Test {
 protected:
  void SetUp() override {
    for (TlbEntry& entry : sim.tlb) entry = TlbEntry{0, 0, 0, 0};
    for (Frame& frame : sim.frames) frame = Frame{0, 0, 0, 0, 0};
    sim.reference_clock = sim.record_number = 0;
    sim.tlb_misses = sim.page_faults = sim.dirty_writes = 0;
    sim.clock_hand = sim.replacement_mode = 0;
    sim.break_line = kDefaultBreakLine;
    sim.event_log.attach(-1, false);
    sim.console.attach(-1, false);
    reset_tables();
  }
  static std::string event_log() { return std::string(sim.event_log.pending()); }
  static std::string console() { return std::string(sim.console.pending()); }
};
