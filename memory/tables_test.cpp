#include "memory/tables.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "memory/fresh_state_test.hpp"

namespace {

using Tables = FreshState;

TEST_F(Tables, ResetEmptiesEveryEntryAndFrameButKeepsTlbProcess) {
  sim.tlb[3].proc = 9;
  sim.frames[5] = Frame{1, 1, 0, 4, 2};
  reset_tables();
  EXPECT_EQ(sim.tlb[3].proc, 9);
  for (const TlbEntry& entry : sim.tlb) {
    EXPECT_EQ(entry.logical_page, -1);
    EXPECT_EQ(entry.physical_page, -1);
    EXPECT_EQ(entry.last_use, -1);
  }
  for (const Frame& frame : sim.frames) {
    EXPECT_EQ(frame.free, 1);
    EXPECT_EQ(frame.proc, -1);
    EXPECT_EQ(frame.logical_page, -1);
    EXPECT_EQ(frame.ref, 0);
    EXPECT_EQ(frame.dirty, 0);
  }
}

TEST_F(Tables, FirstEightLoadsFillEntriesInOrderThenLruIsReplaced) {
  sim.record_number = 4;
  for (int i = 0; i < 8; ++i) {
    sim.reference_clock = 10 + i;
    load_tlb(1, i, i);
  }
  sim.tlb[0].last_use = 30;  // a TLB hit on entry 0 refreshes it
  sim.reference_clock = 31;
  load_tlb(2, 40, 9);
  EXPECT_EQ(event_log(),
            "TLB: line 4 Entry 0 proc 1 LP 0 PP 0\n"
            "TLB: line 4 Entry 1 proc 1 LP 1 PP 1\n"
            "TLB: line 4 Entry 2 proc 1 LP 2 PP 2\n"
            "TLB: line 4 Entry 3 proc 1 LP 3 PP 3\n"
            "TLB: line 4 Entry 4 proc 1 LP 4 PP 4\n"
            "TLB: line 4 Entry 5 proc 1 LP 5 PP 5\n"
            "TLB: line 4 Entry 6 proc 1 LP 6 PP 6\n"
            "TLB: line 4 Entry 7 proc 1 LP 7 PP 7\n"
            "TLB: line 4 Entry 1 proc 2 LP 40 PP 9\n");
  EXPECT_EQ(sim.tlb[1].proc, 2);
  EXPECT_EQ(sim.tlb[1].logical_page, 40);
  EXPECT_EQ(sim.tlb[1].physical_page, 9);
  EXPECT_EQ(sim.tlb[1].last_use, 31);
}

TEST_F(Tables, LruStaysCorrectPastTenMillionAndTwoToTheThirtyOne) {
  for (int64_t base : {int64_t{9'999'996}, int64_t{10'000'000}, (int64_t{1} << 31) - 3}) {
    reset_tables();
    sim.event_log.attach(-1, false);
    for (int i = 0; i < 8; ++i) {
      sim.reference_clock = base + i;
      load_tlb(1, i, i);
    }
    sim.tlb[2].last_use = base + 20;
    sim.tlb[0].last_use = base + 21;
    sim.reference_clock = base + 22;
    load_tlb(3, 9, 9);
    EXPECT_EQ(sim.tlb[1].proc, 3) << "base " << base;
    sim.reference_clock = base + 23;
    load_tlb(3, 10, 10);
    EXPECT_EQ(sim.tlb[3].proc, 3) << "base " << base;
  }
}

TEST_F(Tables, LoadsTakeTheFirstEntryWithTheSmallestStampWhateverCameBefore) {
  std::mt19937 random(5);
  for (int step = 0; step < 50000; ++step) {
    sim.event_log.attach(-1, false);
    ++sim.reference_clock;
    const int i = static_cast<int>(random() % kTlbEntries);
    const auto proc = static_cast<int32_t>(random() % 4);
    switch (random() % 8) {
      case 0:
        shoot_down_tlb(sim.tlb[i].proc, sim.tlb[i].logical_page);
        break;
      case 1:
        if (random() % 8 == 0) release_process(proc);
        break;
      case 2:
      case 3:
        // A hit: the stamp is raised, nothing else changes.
        if (sim.tlb[i].last_use >= 0) sim.tlb[i].last_use = sim.reference_clock;
        break;
      default: {
        int expected = 0;
        for (int e = 1; e < kTlbEntries; ++e)
          if (sim.tlb[e].last_use < sim.tlb[expected].last_use) expected = e;
        const auto page = static_cast<int32_t>(random() % 16);
        load_tlb(proc, page, 0);
        ASSERT_EQ(sim.tlb[expected].last_use, sim.reference_clock) << "step " << step;
        ASSERT_EQ(sim.tlb[expected].logical_page, page) << "step " << step;
      }
    }
  }
}

TEST_F(Tables, ReleasedEntriesAreReusedFirstLowestIndexFirst) {
  for (int i = 0; i < 8; ++i) {
    sim.reference_clock = i + 1;
    load_tlb(i % 2 == 0 ? 5 : 6, i, i);
  }
  sim.frames[3] = Frame{1, 1, 0, 3, 6};
  release_process(6);
  EXPECT_EQ(sim.tlb[1].proc, 6) << "the entry keeps its process";
  EXPECT_EQ(sim.tlb[1].logical_page, -1);
  EXPECT_EQ(sim.tlb[1].physical_page, -1);
  EXPECT_EQ(sim.tlb[1].last_use, -1);
  EXPECT_EQ(sim.frames[3].free, 1);
  EXPECT_EQ(sim.frames[3].proc, -1);
  EXPECT_EQ(sim.frames[3].logical_page, -1);
  EXPECT_EQ(sim.frames[3].ref, 1) << "bits stay until the next load";
  EXPECT_EQ(sim.frames[3].dirty, 1);
  sim.reference_clock = 20;
  load_tlb(7, 1, 1);
  load_tlb(7, 2, 2);
  EXPECT_EQ(sim.tlb[1].proc, 7);
  EXPECT_EQ(sim.tlb[3].proc, 7);
  EXPECT_EQ(sim.dirty_writes, 0) << "releasing dirty frames writes nothing";
}

TEST_F(Tables, ReleaseOfAProcessThatOwnsNothingChangesNothing) {
  load_tlb(1, 2, 3);
  sim.frames[3] = Frame{1, 0, 0, 2, 1};
  TlbEntry entry_before = sim.tlb[0];
  release_process(4);
  EXPECT_EQ(sim.tlb[0].proc, entry_before.proc);
  EXPECT_EQ(sim.tlb[0].last_use, entry_before.last_use);
  EXPECT_EQ(sim.frames[3].free, 0);
  EXPECT_EQ(sim.frames[3].proc, 1);
}

TEST_F(Tables, ShootDownEmptiesOnlyTheFirstMatchAndKeepsPageAndFrame) {
  sim.reference_clock = 5;
  load_tlb(1, 2, 3);
  load_tlb(1, 2, 4);
  shoot_down_tlb(1, 2);
  EXPECT_EQ(sim.tlb[0].proc, -1);
  EXPECT_EQ(sim.tlb[0].last_use, -1);
  EXPECT_EQ(sim.tlb[0].logical_page, 2);
  EXPECT_EQ(sim.tlb[0].physical_page, 3);
  EXPECT_EQ(sim.tlb[1].proc, 1);
  EXPECT_EQ(sim.tlb[1].last_use, 5);
  shoot_down_tlb(8, 8);
  EXPECT_EQ(sim.tlb[1].proc, 1);
}

TEST_F(Tables, DisplayWindowCoversBreakLineToBreakLinePlusThousand) {
  struct Case {
    int32_t break_line;
    int64_t record;
    bool inside;
  } cases[] = {
      {5, 4, false},
      {5, 5, true},
      {5, 1005, true},
      {5, 1006, false},
      {0, 1, true},
      {0, 1000, true},
      {0, 1001, false},
      {-10, 1, true},
      {-10, 990, true},
      {-10, 991, false},
      {std::numeric_limits<int32_t>::min(), 1, false},
      {std::numeric_limits<int32_t>::max() - 1000, std::numeric_limits<int32_t>::max(), true},
      {std::numeric_limits<int32_t>::max() - 1000, int64_t{1} << 31, false},
      {std::numeric_limits<int32_t>::max() - 999, int64_t{1} << 40, true},
      {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max() - 1, false},
      {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(), true},
  };
  for (const Case& c : cases) {
    sim.break_line = c.break_line;
    sim.record_number = c.record;
    EXPECT_EQ(in_display_window(), c.inside) << c.break_line << " at " << c.record;
  }
}

}  // namespace
