// Records into events: pagesim's page rule, terminations, dense numbers,
// blocks and intervals.
#include "policies/reference_trace.hpp"

#include <gtest/gtest.h>

#include <random>

#include "policies/event_stream.hpp"
#include "policies/next_use.hpp"

namespace {

TEST(ReferenceTrace, RecordsBecomeAReadThenAWriteOrATermination) {
  ReferenceTrace trace;
  trace.add_record(7, 3000, 3100);  // pages 2 and 3
  trace.add_record(7, 0, 5000);     // the end of process 7
  trace.add_record(9, 2048, 2048);  // one page read and written
  ASSERT_EQ(trace.events(), 5u);
  EXPECT_EQ(trace.held_event(0), 0u << 1);
  EXPECT_EQ(trace.held_event(1), 1u << 1 | 1);
  EXPECT_TRUE(is_termination_event(trace.held_event(2)));
  EXPECT_EQ(terminated_process(trace.held_event(2)), 0u);
  EXPECT_EQ(referenced_page(trace.held_event(3)), referenced_page(trace.held_event(4)));
  EXPECT_FALSE(is_write_event(trace.held_event(3)));
  EXPECT_TRUE(is_write_event(trace.held_event(4)));
  EXPECT_EQ(trace.records(), 3);
  EXPECT_EQ(trace.pages(), 3u);
  EXPECT_EQ(trace.processes(), 2u);
  EXPECT_EQ(trace.activity(0).records, 2);
  EXPECT_EQ(trace.activity(0).terminations, 1);
  EXPECT_EQ(trace.activity(1).proc, 9);
  EXPECT_FALSE(trace.names_process_minus_one());
  trace.add_record(-1, 5, 5);
  EXPECT_TRUE(trace.names_process_minus_one());
}

TEST(ReferenceTrace, PagesTruncateTowardZeroAndBelongToTheirProcess) {
  const struct {
    int32_t address;
    int32_t page;
  } cases[] = {{1, 0},    {-1, 0},   {-1023, 0},  {-1024, -1},           {-1025, -1},
               {1023, 0}, {1024, 1}, {65536, 64}, {INT32_MIN, -2097152}, {INT32_MAX, 2097151}};
  for (const auto& c : cases) {
    ReferenceTrace trace;
    trace.add_record(4, c.address, c.address);
    EXPECT_EQ(trace.pages(), 1u) << c.address;
    EXPECT_EQ(trace.page_key(0).page, c.page) << c.address;
    EXPECT_EQ(trace.page_key(0).proc, 4);
  }
  ReferenceTrace trace;
  trace.add_record(1, 1024, 1024);
  trace.add_record(2, 1024, 1024);  // the same page number, another process
  EXPECT_EQ(trace.pages(), 2u);
  EXPECT_EQ(trace.process_of(1), 1u);
}

TEST(ReferenceTrace, ManyPagesKeepTheirNumbersAcrossBlocks) {
  ReferenceTrace trace;
  constexpr int kPages = 50'000;
  const uint64_t events = kEventBlockSize + 1000;
  for (uint64_t i = 0; i < events; ++i)
    trace.add_reference(static_cast<int32_t>(i % 7), static_cast<int32_t>(i % kPages), false);
  ASSERT_EQ(trace.blocks(), 2u);
  std::unique_ptr<uint32_t[]> buffer;
  EXPECT_EQ(trace.load_block(0, buffer).size(), kEventBlockSize);
  EXPECT_EQ(trace.load_block(1, buffer).size(), 1000u);
  EXPECT_EQ(trace.pages(), uint32_t{7 * kPages});  // 7 and 50000 share no factor
  for (uint64_t i = 0; i < events; i += 9973) {
    const PageKey key = trace.page_key(referenced_page(trace.held_event(i)));
    EXPECT_EQ(key.page, static_cast<int32_t>(i % kPages));
    EXPECT_EQ(key.proc, static_cast<int32_t>(i % 7));
  }
}

TEST(ReferenceTrace, IntervalsEndAfterEveryStretchOfRecords) {
  ReferenceTrace trace;
  trace.add_record(1, 5, 5);  // events 0, 1
  trace.add_record(1, 0, 0);  // event 2
  trace.add_record(1, 5, 5);  // events 3, 4
  trace.add_record(2, 5, 5);  // events 5, 6
  trace.add_record(2, 0, 0);  // event 7
  EXPECT_EQ(trace.interval_ends(2), (std::vector<uint64_t>{3, 7, 8}));
  EXPECT_EQ(trace.interval_ends(5), (std::vector<uint64_t>{8}));
  EXPECT_EQ(trace.interval_ends(9), (std::vector<uint64_t>{8}));
  EXPECT_TRUE(ReferenceTrace().interval_ends(3).empty());
}

// Everything a pass reads of a spilled trace (the events forward and
// backward, and the next uses) is what it reads of the same trace in memory.
TEST(ReferenceTrace, ASpilledTraceReadsBackAsItWasAdded) {
  ReferenceTrace held,
      spilled(TraceMemory{.budget_bytes = kMinMemoryBudget, .spill_directory = {}});
  std::mt19937 random(5);
  while (held.events() < 40 * spilled.block_events() + 77) {
    const auto proc = static_cast<int32_t>(random() % 4);
    const int32_t read = random() % 300 == 0 ? 0 : static_cast<int32_t>(random() % 40'000) + 1;
    const auto write = static_cast<int32_t>(random() % 40'000);
    held.add_record(proc, read, write);
    spilled.add_record(proc, read, write);
  }
  ASSERT_FALSE(held.spilled());
  ASSERT_TRUE(spilled.spilled());
  ASSERT_FALSE(spilled.holds_block(spilled.blocks() - 2));
  ASSERT_TRUE(spilled.holds_block(spilled.blocks() - 1));
  for (const auto direction :
       {EventStream::Direction::kForward, EventStream::Direction::kBackward}) {
    EventStream stream(spilled, direction);
    uint64_t events = 0;
    for (std::span<const uint32_t> block = stream.next(); !block.empty(); block = stream.next()) {
      for (size_t j = 0; j < block.size(); ++j)
        ASSERT_EQ(block[j], held.held_event(stream.first() + j)) << stream.first() + j;
      events += block.size();
    }
    EXPECT_EQ(events, held.events());
  }
  NextUse held_next(held), spilled_next(spilled);
  std::vector<uint32_t> expected;
  for (size_t b = 0; b < held.blocks(); ++b) {
    const std::span<const uint32_t> next = held_next.next_block();
    expected.insert(expected.end(), next.begin(), next.end());
  }
  for (uint64_t first = 0; first < spilled.events(); first += spilled.block_events()) {
    const std::span<const uint32_t> next = spilled_next.next_block();
    ASSERT_EQ(std::vector<uint32_t>(next.begin(), next.end()),
              std::vector<uint32_t>(expected.begin() + static_cast<ptrdiff_t>(first),
                                    expected.begin() + static_cast<ptrdiff_t>(first + next.size())))
        << "block at " << first;
  }
}

}  // namespace
