#include "memory/invariants.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "memory/fresh_state_test.hpp"
#include "memory/tables.hpp"
#include "memory/translation.hpp"

namespace {

using Invariants = FreshState;

// Puts another page into a frame in use behind the operations' back, keeping
// the resident counts right so that only the check under test can object.
void replace_page(int frame_index, int32_t page) {
  Frame& frame = sim.frames[frame_index];
  --sim.resident_count[resident_slot(frame.proc, frame.logical_page)];
  ++sim.resident_count[resident_slot(frame.proc, page)];
  frame.logical_page = page;
}

std::string broken(bool markers_apart) {
  char text[256];
  return tables_are_consistent(markers_apart, text, sizeof text) ? "" : text;
}

TEST_F(Invariants, HoldThroughLongRandomRunsInBothModes) {
  std::mt19937 random(7);
  for (int32_t mode : {0, 1}) {
    SetUp();
    sim.replacement_mode = mode;
    for (int record = 1; record <= 20000; ++record) {
      sim.event_log.attach(-1, false);
      const auto proc = static_cast<int32_t>(random() % 6);
      const auto first = static_cast<int32_t>(random() % 64 * 1024 + 1);
      const auto second = static_cast<int32_t>(random() % 64 * 1024);
      ++sim.record_number;
      if (random() % 50 == 0) {
        release_process(proc);
      } else {
        translate(proc, first, 0);
        translate(proc, second, 1);
      }
      ASSERT_EQ(broken(true), "") << "mode " << mode << " record " << record;
    }
  }
}

TEST_F(Invariants, HandOutsideTheFramesIsCaught) {
  sim.clock_hand = kFrames;
  EXPECT_EQ(broken(false), "clock hand 20 is not a frame");
}

TEST_F(Invariants, BitOtherThanZeroOrOneIsCaught) {
  sim.frames[4].dirty = 2;
  EXPECT_EQ(broken(false), "frame 4 has ref 0 dirty 2");
}

TEST_F(Invariants, FreeFrameHoldingAPageIsCaught) {
  sim.frames[2].logical_page = 9;
  EXPECT_EQ(broken(false), "free frame 2 holds process -1 page 9");
}

TEST_F(Invariants, StaleFreeFrameMaskIsCaught) {
  sim.free_frame_mask &= ~(uint32_t{1} << 6);
  EXPECT_EQ(broken(false), "free-frame mask disagrees with frame 6");
}

TEST_F(Invariants, StaleResidentCountIsCaught) {
  translate(3, 5 * kPageSize, 0);
  sim.resident_count[resident_slot(3, 5)] = 0;
  EXPECT_EQ(broken(false), "resident count of slot 197 is 0, frames hold 1");
}

TEST_F(Invariants, PageHeldTwiceIsCaughtOnlyWhenMarkersAreApart) {
  translate(3, 5 * kPageSize, 0);
  translate(3, 6 * kPageSize, 0);
  // As an eviction would, the entry of the page the frame loses goes first.
  shoot_down_entry(1);
  replace_page(1, 5);
  EXPECT_EQ(broken(false), "");
  EXPECT_EQ(broken(true), "frames 0 and 1 both hold process 3 page 5");
}

TEST_F(Invariants, EntryForAPageItsFrameLostIsCaught) {
  translate(3, 5 * kPageSize, 0);
  replace_page(0, 8);
  EXPECT_EQ(broken(true), "TLB entry 0 maps process 3 page 5 to frame 0, which does not hold it");
}

// The TLB hit through the index relies on this even where process -1 or a
// page out of range has been named.
TEST_F(Invariants, IndexedEntryForAPageItsFrameLostIsCaughtWhateverTheTrace) {
  translate(3, 5 * kPageSize, 0);
  replace_page(0, 8);
  EXPECT_EQ(broken(false), "TLB entry 0 maps process 3 page 5 to frame 0, which does not hold it");
}

TEST_F(Invariants, DerivedStateHoldsThroughRecordsOfAnyKind) {
  // Processes beyond the index, process -1 and pages out of range take the
  // paths around the index and the tables.
  std::mt19937 random(11);
  for (int32_t mode : {0, 1}) {
    SetUp();
    sim.replacement_mode = mode;
    for (int record = 1; record <= 20000; ++record) {
      sim.event_log.attach(-1, false);
      sim.console.attach(-1, false);
      const auto proc = static_cast<int32_t>(random() % 13) - 1;
      const auto address = [&] {
        const auto page = static_cast<int32_t>(random() % 70) - 3;
        // Page -1 of process -1 matches a free frame: the run would end.
        return proc == -1 && page == -1 ? 0 : page * kPageSize + 1;
      };
      const int32_t first = address(), second = address();
      ++sim.record_number;
      if (random() % 50 == 0)
        release_process(proc);
      else
        translate_read_then_write(proc, first, second);
      ASSERT_EQ(broken(false), "") << "mode " << mode << " record " << record;
    }
  }
}

TEST_F(Invariants, StaleDerivedStateIsCaught) {
  const struct {
    void (*spoil)();
    const char* message;
  } cases[] = {
      {[] { sim.ref_mask ^= 1; }, "ref or dirty mask disagrees with frame 0"},
      {[] { sim.dirty_mask ^= 1 << 1; }, "ref or dirty mask disagrees with frame 1"},
      {[] { sim.free_frame_mask |= 1 << kFrames; }, "a frame mask has a bit beyond the frames"},
      {[] { sim.tlb_entry_of[indexed_slot(3, 5)] = 0; },
       "TLB index names entry -1 for process 3 page 5, held by entry 0"},
      {[] { sim.tlb_entry_of[indexed_slot(3, 9)] = 1; },
       "TLB index of slot 201 names entry 0, which has another page"},
      {[] { sim.tlb[0].physical_page = kFrames; }, "indexed TLB entry 0 maps to frame 20"},
      {[] { sim.tlb_index_slot[0] = 7; }, "TLB entry 0 has index slot 7, its page slot 197"},
      {[] { sim.tlb_index_slot[1] = 7; }, "TLB entry 1 of a page not indexed has index slot 7"},
      {[] { sim.tlb_order.entries = 0x76543211; },
       "TLB order 76543211 does not hold every entry once"},
      {[] { sim.tlb_order.entries = 0x07654312; }, "TLB order 07654312 is out of order at place 1"},
      {[] { sim.tlb_order.place_stamp[0] = 2; }, "TLB entry 0 has stamp 1, place stamp 2"},
      {[] { sim.tlb_order.empty |= 1; },
       "TLB entry 0 has stamp 1, place stamp -1 and is marked empty"},
      {[] { sim.tlb_order.empty |= 1 << kTlbEntries; },
       "TLB order marks entries beyond the TLB empty"},
  };
  for (const auto& c : cases) {
    SetUp();
    translate(3, 5 * kPageSize, 1);
    ASSERT_EQ(broken(false), "");
    c.spoil();
    EXPECT_EQ(broken(false), c.message);
  }
}

TEST_F(Invariants, RecordsNamingTheMarkerOrAnOutOfRangePageEndTheStrongChecks) {
  EXPECT_TRUE(record_keeps_markers_apart(1, 1024, 0));
  EXPECT_TRUE(record_keeps_markers_apart(1, 0, -99999));
  EXPECT_TRUE(record_keeps_markers_apart(1, -1, 65535));
  EXPECT_FALSE(record_keeps_markers_apart(-1, 0, 0));
  EXPECT_FALSE(record_keeps_markers_apart(1, -1024, 0));
  EXPECT_FALSE(record_keeps_markers_apart(1, 1, 65536));
}

TEST_F(Invariants, BrokenTablesAbortNamingTheRecord) {
  if (!kCheckInvariants) GTEST_SKIP() << "release build: no checks";
  sim.record_number = 42;
  sim.frames[0].ref = 7;
  EXPECT_DEATH(check_invariants(false),
               "pagesim: broken invariant after record 42: frame 0 has ref 7 dirty 0");
}

}  // namespace
