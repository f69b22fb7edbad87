#include "memory/double_hits.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory/engine.hpp"

namespace {

using Record = std::vector<int32_t>;

// Process 2 with pages 0..3 and 9..12 in the TLB and pages 5..8 in frames
// but out of it (the least recently used entries gave way).
void load_pages() {
  start_engine(0);
  const std::vector<Record> setup = {{2, 5 * 1024, 5 * 1024},      {2, 6 * 1024, 7 * 1024},
                                     {2, 8 * 1024, 9 * 1024},      {2, 10 * 1024, 11 * 1024},
                                     {2, 12 * 1024, 0 * 1024 + 5}, {2, 1 * 1024, 2 * 1024},
                                     {2, 3 * 1024, 3 * 1024}};
  for (const Record& record : setup) {
    ++sim.record_number;
    process_record(record.data());
  }
  (void)take_events();
}

std::string bytes_of(const MachineState& state) {
  // Field by field: the struct's padding is not part of the machine.
  std::string text;
  auto add = [&text](const void* data, size_t size) {
    text.append(static_cast<const char*>(data), size);
  };
  for (const TlbEntry& entry : state.tlb) {
    add(&entry.proc, 12);
    add(&entry.last_use, 8);
  }
  add(state.frames, sizeof state.frames);
  add(&state.reference_clock, 8);
  add(&state.record_number, 8);
  add(&state.tlb_misses, 8);
  add(&state.ref_mask, 4);
  add(&state.dirty_mask, 4);
  add(state.tlb_entry_of, sizeof state.tlb_entry_of);
  add(&state.tlb_order.entries, 4);
  add(&state.tlb_order.empty, 4);
  return text;
}

// A record the short path takes leaves the machine as the general path
// does; any other it leaves to the general path, with nothing done.
TEST(DoubleHits, ShortPathRunsAsTheGeneralOneOrLeavesTheRecord) {
  const struct {
    const char* what;
    Record record;
    bool short_path;
  } cases[] = {
      {"two hits on two pages", {2, 1 * 1024 + 7, 2 * 1024}, true},
      {"two hits on one page", {2, 3 * 1024, 3 * 1024 + 1023}, true},
      {"a read miss", {2, 20 * 1024, 1 * 1024}, false},
      {"a write miss", {2, 1024, 20 * 1024}, false},
      {"a write miss of a page in a frame", {2, 0, 5 * 1024}, false},
      {"a termination", {2, 0, 1 * 1024}, false},
      {"a write to address 65536", {2, 1024, 65536}, false},
      {"a negative address on page 0", {2, -1, 1024}, false},
      {"process 8", {8, 1024, 1024}, false},
      {"process -1", {-1, 1024, 1024}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t batch[1][kBatchedRecordSlots] = {{c.record[0], c.record[1], c.record[2], 0}};
    load_pages();
    const MachineState before = save_machine();
    ++sim.record_number;
    process_record(batch[0]);
    const std::string general = bytes_of(save_machine());
    const std::string general_events(take_events());
    restore_machine(before);
    ASSERT_TRUE(display_window_misses_next(1));
    const int ran = run_double_tlb_hits(batch, 0, 1);
    EXPECT_EQ(ran, c.short_path ? 1 : 0);
    if (ran == 1) {
      EXPECT_EQ(bytes_of(save_machine()), general);
      EXPECT_EQ(general_events, "");
    } else {
      EXPECT_EQ(bytes_of(save_machine()), bytes_of(before));
    }
  }
}

// A run stops at the first record that is not two hits and gives the
// machine of the general path up to there.
TEST(DoubleHits, RunStopsAtTheFirstRecordOfAnotherKind) {
  load_pages();
  int32_t batch[4][kBatchedRecordSlots] = {
      {2, 1024, 0, 0}, {2, 3 * 1024, 12 * 1024, 0}, {2, 20 * 1024, 0, 0}, {2, 0, 1024, 0}};
  const MachineState before = save_machine();
  for (int i = 0; i < 2; ++i) {
    ++sim.record_number;
    process_record(batch[i]);
  }
  const std::string general = bytes_of(save_machine());
  restore_machine(before);
  EXPECT_EQ(run_double_tlb_hits(batch, 0, 4), 2);
  EXPECT_EQ(bytes_of(save_machine()), general);
}

// The display window is checked for the records of a batch as a whole.
TEST(DoubleHits, DisplayWindowIsMissedOnlyWhenNoRecordIsInIt) {
  const struct {
    int64_t record_number, count, break_line;
    bool missed;
  } cases[] = {
      {0, 64, 65, true},
      {0, 64, 64, false},
      {100, 64, 50, false},
      {1050, 64, 50, true},
      {1049, 64, 50, false},
      {INT32_MAX, 64, INT32_MAX - 10, false},
      {0, 64, kDefaultBreakLine, true},
  };
  for (const auto& c : cases) {
    sim.record_number = c.record_number;
    sim.break_line = static_cast<int32_t>(c.break_line);
    bool any_displayed = false;
    for (int64_t i = 1; i <= c.count; ++i) {
      sim.record_number = c.record_number + i;
      any_displayed = any_displayed || in_display_window();
    }
    sim.record_number = c.record_number;
    EXPECT_EQ(display_window_misses_next(c.count), c.missed)
        << c.record_number << " " << c.break_line;
    EXPECT_EQ(display_window_misses_next(c.count), !any_displayed);
  }
}

}  // namespace
