#include "memory/translation.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "memory/event_lines.hpp"
#include "memory/fresh_state_test.hpp"
#include "memory/tables.hpp"
#include "memory/victim_scan.hpp"

namespace {

using Translation = FreshState;

// One trace record that is not a termination.
void reference_pair(int32_t proc, int32_t read_address, int32_t write_address) {
  ++sim.record_number;
  translate(proc, read_address, 0);
  translate(proc, write_address, 1);
}

// Fills all 20 frames with pages 0..19 of process 1 through page faults.
void fill_frames(int32_t write_address_of(int32_t page)) {
  for (int32_t page = 0; page < kFrames; ++page)
    reference_pair(1, page * kPageSize, write_address_of(page));
}

TEST_F(Translation, FirstRecordOnFreshTablesFaultsTwice) {
  reference_pair(7, 3000, 3100);
  EXPECT_EQ(event_log(),
            "Page Fault: line 1 proc 7 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n");
  EXPECT_EQ(sim.reference_clock, 2);
  EXPECT_EQ(sim.tlb_misses, 2);
  EXPECT_EQ(sim.page_faults, 2);
  EXPECT_EQ(sim.dirty_writes, 0);
  EXPECT_EQ(sim.frames[0].dirty, 0);
  EXPECT_EQ(sim.frames[1].dirty, 1);
  EXPECT_EQ(sim.tlb[1].last_use, 2);
  EXPECT_EQ(sim.clock_hand, 0);
  EXPECT_EQ(console(), "");
}

TEST_F(Translation, WriteToThePageJustReadHitsTheTlbSilently) {
  reference_pair(3, 500, 0);
  EXPECT_EQ(event_log(),
            "Page Fault: line 1 proc 3 LP 0 PP 0\n"
            "TLB: line 1 Entry 0 proc 3 LP 0 PP 0\n");
  EXPECT_EQ(sim.tlb_misses, 1);
  EXPECT_EQ(sim.frames[0].dirty, 1);
  EXPECT_EQ(sim.tlb[0].last_use, 2) << "the hit refreshes the stamp";
}

TEST_F(Translation, ResidentPageWithoutTlbEntryMissesWithoutFault) {
  for (int32_t page = 0; page < 9; ++page) reference_pair(1, page * kPageSize, page * kPageSize);
  sim.event_log.attach(-1, false);
  reference_pair(1, 0, 0);  // page 0's entry went to page 8
  EXPECT_EQ(event_log(), "TLB: line 10 Entry 1 proc 1 LP 0 PP 0\n");
  EXPECT_EQ(sim.tlb_misses, 10);
  EXPECT_EQ(sim.page_faults, 9);
}

TEST_F(Translation, SecondChanceClearsEveryBitAndEvictsTheFrameAtTheHand) {
  fill_frames([](int32_t page) { return page * kPageSize; });  // all dirty, all referenced
  sim.event_log.attach(-1, false);
  reference_pair(1, 20 * kPageSize, 20 * kPageSize);
  EXPECT_EQ(event_log(),
            "Page Fault: line 21 proc 1 LP 20 PP 0\n"
            "TLB: line 21 Entry 4 proc 1 LP 20 PP 0\n");
  EXPECT_EQ(sim.clock_hand, 1);
  EXPECT_EQ(sim.dirty_writes, 1);
  for (int f = 1; f < kFrames; ++f) EXPECT_EQ(sim.frames[f].ref, 0) << f;
  EXPECT_EQ(sim.frames[0].ref, 1);
  EXPECT_EQ(sim.frames[0].dirty, 1) << "the write hit the new page";
}

TEST_F(Translation, CleanFirstWithEveryFrameDirtyTakesTheStartAfterTwoTurns) {
  sim.replacement_mode = 1;
  fill_frames([](int32_t page) { return page * kPageSize; });
  sim.clock_hand = 7;
  EXPECT_EQ(choose_victim(), 7);
  for (const Frame& frame : sim.frames) EXPECT_EQ(frame.dirty, 1) << "dirty bits are never cleared";
  sim.frames[5].ref = 1;
  sim.event_log.attach(-1, false);
  reference_pair(1, 30 * kPageSize, 30 * kPageSize);
  EXPECT_EQ(sim.dirty_writes, 1);
  EXPECT_EQ(sim.clock_hand, 8);
  EXPECT_EQ(sim.frames[7].logical_page, 30);
}

TEST_F(Translation, CleanFirstPrefersALaterCleanFrameAndLeavesTheDirtyOne) {
  sim.replacement_mode = 1;
  fill_frames([](int32_t page) { return page * kPageSize; });
  for (Frame& frame : sim.frames) frame.ref = 1;
  sim.frames[2] = Frame{0, 1, 0, 2, 1};
  sim.frames[4] = Frame{0, 0, 0, 4, 1};
  EXPECT_EQ(choose_victim(), 4);
  EXPECT_EQ(sim.frames[2].ref, 0);
  EXPECT_EQ(sim.frames[2].dirty, 1);
  EXPECT_EQ(sim.frames[0].ref, 0) << "frames passed over lose their ref bit";
  EXPECT_EQ(sim.frames[5].ref, 1) << "frames beyond the victim keep theirs";
}

// The replacement scan as the rules state it, one frame at a time.
std::vector<ScanStep> scan_frame_by_frame(int32_t mode) {
  std::vector<ScanStep> steps;
  for (int32_t i = sim.clock_hand, moves = 0;; ++moves, i = next_frame(i)) {
    Frame& frame = sim.frames[i];
    const bool taken =
        mode == 0 ? frame.ref == 0 : (frame.ref == 0 && frame.dirty == 0) || moves >= 40;
    steps.push_back(ScanStep{i, frame.ref, frame.dirty, moves, taken});
    if (taken) return steps;
    frame.ref = 0;
  }
}

std::string steps_text(const std::vector<ScanStep>& steps) {
  std::string text;
  for (const ScanStep& step : steps)
    text += std::to_string(step.frame) + (step.ref ? "r" : "") + (step.dirty ? "d" : "") + "/" +
            std::to_string(step.moves) + (step.taken ? " taken" : "") + ", ";
  return text;
}

TEST_F(Translation, ScanOfTheBitMasksMeetsTheFramesAsTheFrameByFrameScan) {
  std::mt19937 random(3);
  for (int round = 0; round < 4000; ++round) {
    sim.replacement_mode = round % 2;
    sim.clock_hand = static_cast<int32_t>(random() % kFrames);
    // Mostly set bits on some rounds, so that whole turns are made.
    const uint32_t chance = round % 3 == 0 ? 20 : 2;
    for (Frame& frame : sim.frames)
      frame = Frame{random() % chance != 0, random() % chance != 0, 0, 1, 1};
    Frame before[kFrames];
    std::copy(std::begin(sim.frames), std::end(sim.frames), before);
    const std::vector<ScanStep> expected = scan_frame_by_frame(sim.replacement_mode);
    Frame expected_after[kFrames];
    std::copy(std::begin(sim.frames), std::end(sim.frames), expected_after);

    std::copy(std::begin(before), std::end(before), sim.frames);
    sim.ref_mask = sim.dirty_mask = 0;
    for (int f = 0; f < kFrames; ++f) {
      sim.ref_mask |= static_cast<uint32_t>(sim.frames[f].ref) << f;
      sim.dirty_mask |= static_cast<uint32_t>(sim.frames[f].dirty) << f;
    }
    std::vector<ScanStep> seen;
    const int32_t victim = scan_for_victim([&](const ScanStep& step) { seen.push_back(step); });
    ASSERT_EQ(steps_text(seen), steps_text(expected)) << "round " << round;
    EXPECT_EQ(victim, expected.back().frame);
    for (int f = 0; f < kFrames; ++f) {
      EXPECT_EQ(sim.frames[f].ref, expected_after[f].ref) << "round " << round << " frame " << f;
      EXPECT_EQ(sim.ref_mask >> f & 1, static_cast<uint32_t>(expected_after[f].ref));
    }
  }
}

TEST_F(Translation, ReplacementModesDifferOnTheTwentyFirstPage) {
  // Pages 1..19 only read, page 0 written by every record: clean-first passes
  // the dirty frame 0 that second chance evicts.
  for (int32_t mode : {0, 1}) {
    SetUp();
    sim.replacement_mode = mode;
    fill_frames([](int32_t) { return 0; });
    reference_pair(1, 20 * kPageSize, 0);
    EXPECT_EQ(sim.frames[mode].logical_page, 20) << "mode " << mode;
    EXPECT_EQ(sim.dirty_writes, mode == 0 ? 1 : 0) << "mode " << mode;
    EXPECT_EQ(sim.page_faults, mode == 0 ? 22 : 21) << "mode " << mode;
  }
}

TEST_F(Translation, EvictionShootsDownTheVictimsEntryAndReloadsIt) {
  fill_frames([](int32_t page) { return page * kPageSize; });
  // Frame 0 holds page 0, whose entry went long ago; bring one back so the
  // eviction has an entry to shoot down.
  sim.clock_hand = 19;
  reference_pair(1, 19 * kPageSize, 19 * kPageSize);  // TLB hit on page 19
  int entry_of_19 = -1;
  for (int i = 0; i < kTlbEntries; ++i)
    if (sim.tlb[i].logical_page == 19) entry_of_19 = i;
  ASSERT_GE(entry_of_19, 0);
  for (Frame& frame : sim.frames) frame.ref = 0;
  sim.event_log.attach(-1, false);
  reference_pair(2, 0, 0);
  EXPECT_EQ(event_log(), "Page Fault: line 22 proc 2 LP 0 PP 19\nTLB: line 22 Entry " +
                             std::to_string(entry_of_19) + " proc 2 LP 0 PP 19\n");
  EXPECT_EQ(sim.clock_hand, 0);
}

TEST_F(Translation, OutOfRangePagesAreReportedOncePerCheckAndStillUsed) {
  sim.record_number = 1;
  translate(1, 64 * kPageSize, 0);  // fault: three checks
  EXPECT_EQ(console(),
            "Error, bad frame number\n"
            "Error, bad frame number\n"
            "Error, bad frame number\n");
  EXPECT_EQ(event_log(),
            "Page Fault: line 1 proc 1 LP 64 PP 0\nTLB: line 1 Entry 0 proc 1 LP 64 PP 0\n");
  sim.console.attach(-1, false);
  translate(1, 64 * kPageSize, 1);  // TLB hit: one check
  EXPECT_EQ(console(), "Error, bad frame number\n");
  sim.console.attach(-1, false);
  translate(1, -1024, 0);
  EXPECT_EQ(sim.frames[1].logical_page, -1);
  EXPECT_EQ(sim.frames[1].free, 0);
  sim.console.attach(-1, false);
  translate(1, -1, 0);  // page 0, in range
  EXPECT_EQ(console(), "");
  EXPECT_EQ(sim.frames[2].logical_page, 0);
}

TEST_F(Translation, ReleasedEntriesOfPageMinusOneAreNotUsable) {
  reference_pair(4, 100, 100);
  release_process(4);  // entry 0: proc 4, page -1, frame -1
  sim.event_log.attach(-1, false);
  reference_pair(4, -1024, -1024);
  EXPECT_EQ(event_log(),
            "Page Fault: line 2 proc 4 LP -1 PP 0\nTLB: line 2 Entry 0 proc 4 LP -1 PP 0\n");
  EXPECT_EQ(sim.tlb_misses, 2);
}

TEST_F(Translation, ProcessMinusOneOnPageMinusOneEndsWithTheInconsistencyReport) {
  EXPECT_EXIT(reference_pair(-1, -1024, -2047), ::testing::ExitedWithCode(kExitFailure),
              "Error, inconsistent data at line 1\n"
              "TLB entry 0 PP 0 LA -1, but page 0 has LA -1\n");
}

TEST(EventLines, TabledAndGeneralTextMatchPrintf) {
  std::string expected, written;
  for (int64_t record : {int64_t{1}, int64_t{99}, int64_t{100}, int64_t{4294967296}}) {
    for (int32_t proc : {-1, 0, 7, 9, 10, -2147483647 - 1}) {
      for (int32_t page : {-1, 0, 9, 10, 63, 64, 2097151}) {
        for (int32_t frame = 0; frame < kFrames; ++frame) {
          const int entry = frame % kTlbEntries;
          char text[256];
          snprintf(text, sizeof text,
                   "Page Fault: line %lld proc %d LP %d PP %d\n"
                   "TLB: line %lld Entry %d proc %d LP %d PP %d\n"
                   "Page Fault: line %lld proc %d LP %d PP %d hand %d\n",
                   static_cast<long long>(record), proc, page, frame,
                   static_cast<long long>(record), entry, proc, page, frame,
                   static_cast<long long>(record), proc, page, frame, entry);
          expected += text;
          OutputBuffer& out = sim.event_log;
          out.attach(-1, false);
          write_fault_and_tlb_lines(out, record, entry, proc, page, frame);
          write_page_fault_line(out, record, proc, page, frame, entry);
          written += out.pending();
        }
      }
    }
  }
  EXPECT_EQ(written, expected);
}

}  // namespace
