#include "memory/engine.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory/victim_scan.hpp"

namespace {

// Fills all 20 frames with pages 0..19 of process 1, then reads page 20.
void fill_frames_then_fault() {
  for (int32_t page = 0; page < kFrames; ++page) {
    ++sim.record_number;
    const int32_t record[kRecordFields] = {1, page * kPageSize + 1, page * kPageSize + 1};
    process_record(record);
  }
}

TEST(Engine, RecordsRunInMemoryAndEventsAreTakenOnce) {
  start_engine(0);
  ++sim.record_number;
  const int32_t record[kRecordFields] = {7, 3000, 3100};
  process_record(record);
  EXPECT_EQ(std::string(take_events()),
            "Page Fault: line 1 proc 7 LP 2 PP 0\nTLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\nTLB: line 1 Entry 1 proc 7 LP 3 PP 1\n");
  EXPECT_EQ(take_events(), "");
  ++sim.record_number;
  const int32_t out_of_range[kRecordFields] = {7, -2000, 3100};
  process_record(out_of_range);
  EXPECT_EQ(std::string(take_messages()),
            "Error, bad frame number\nError, bad frame number\n"
            "Error, bad frame number\n");
}

TEST(Engine, RestoredMachineRunsTheSameAgain) {
  start_engine(1);
  fill_frames_then_fault();
  const MachineState before = save_machine();
  (void)take_events();
  translate(1, 20 * kPageSize, 1);
  const std::string first(take_events());
  EXPECT_EQ(sim.clock_hand, last_victim() + 1);
  restore_machine(before);
  translate(1, 20 * kPageSize, 1);
  EXPECT_EQ(std::string(take_events()), first);
}

TEST(Engine, ScanObserverSeesEveryFrameMetAndTheVictimLast) {
  for (int32_t mode : {0, 1}) {
    start_engine(mode);
    fill_frames_then_fault();  // every frame referenced and dirty
    std::vector<ScanStep> steps;
    const int32_t victim = scan_for_victim([&](const ScanStep& step) { steps.push_back(step); });
    // Mode 0 clears 20 bits and takes the start; mode 1 gives up after 40 moves.
    ASSERT_EQ(steps.size(), mode == 0 ? 21u : 41u) << "mode " << mode;
    EXPECT_EQ(victim, 0);
    EXPECT_TRUE(steps.back().taken);
    EXPECT_EQ(steps[0].ref, 1);
    EXPECT_EQ(steps[kFrames].ref, 0);  // cleared on the first turn
  }
}

}  // namespace
