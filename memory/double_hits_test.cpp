#include "memory/double_hits.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "memory/double_hit_groups.hpp"
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

// The grouped path leaves the machine as the one-by-one path does, on
// batches of double hits broken by each kind of record it must leave alone,
// anywhere in a step: it may stop early, but only before a double hit.
TEST(DoubleHitGroups, RunAsTheOneByOnePathOnBatchesOfEveryBreak) {
  if (!double_hit_groups_supported()) GTEST_SKIP() << "the processor lacks AVX-512";
  std::mt19937 random(7);
  const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
  // What breaks a run (after the address of a page in the TLB is chosen).
  const std::vector<void (*)(int32_t*)> breaks = {
      [](int32_t* r) { r[1] = 30 * 1024; },      // a read miss
      [](int32_t* r) { r[2] = 31 * 1024 + 5; },  // a write miss
      [](int32_t* r) { r[1] = 0; },              // a termination
      [](int32_t* r) { r[2] += 65536; },         // a page out of range
      [](int32_t* r) { r[1] = -1; },             // a negative address on page 0
      [](int32_t* r) { r[0] = 8; },              // a process out of the index
      [](int32_t* r) { r[0] = -1; },
      [](int32_t* r) { r[0] ^= 1; },  // the other process, maybe a hit
  };
  for (int round = 0; round < 400; ++round) {
    // Processes 2 and 3 with pages 0..11 each, so the TLB holds both and
    // frames have been evicted (clean-first in odd rounds).
    start_engine(round % 2);
    for (int n = 0; n < 200; ++n) {
      const int32_t record[3] = {2 + pick(2), pick(12) * 1024 + pick(1024) + 1,
                                 pick(12) * 1024 + pick(1024)};
      ++sim.record_number;
      process_record(record);
    }
    (void)take_events();
    (void)take_messages();
    std::vector<Record> in_tlb;
    for (const TlbEntry& entry : sim.tlb)
      if (entry.last_use >= 0) in_tlb.push_back({entry.proc, entry.logical_page});
    // Runs of one process, as where the grouped path pays, with a break in
    // most batches at any place.
    const int count = 1 + pick(80);
    int32_t batch[80][kBatchedRecordSlots] = {};
    const Record* run_page = &in_tlb[pick(static_cast<int>(in_tlb.size()))];
    for (int r = 0; r < count; ++r) {
      const Record& other = in_tlb[pick(static_cast<int>(in_tlb.size()))];
      const Record& write_page = other[0] == (*run_page)[0] ? other : *run_page;
      batch[r][0] = (*run_page)[0];
      batch[r][1] = (*run_page)[1] * 1024 + 1 + pick(1023);
      batch[r][2] = write_page[1] * 1024 + pick(1024);
      if (pick(40) == 0) run_page = &other;
    }
    if (pick(4) != 0) breaks[pick(static_cast<int>(breaks.size()))](batch[pick(count)]);
    SCOPED_TRACE("round " + std::to_string(round));
    const MachineState before = save_machine();
    const int one_by_one = run_double_tlb_hits(batch, 0, count);
    const std::string expected = bytes_of(save_machine());
    restore_machine(before);
    int grouped = 0;
    for (int next; grouped < count; grouped = next) {
      next = run_double_tlb_hit_groups(batch, grouped, count);
      if (next == grouped) break;
    }
    EXPECT_EQ(grouped, one_by_one);
    EXPECT_EQ(bytes_of(save_machine()), expected);
  }
}

}  // namespace
