// Records into events: pagesim's page rule, terminations, dense numbers,
// blocks and intervals.
#include "policies/reference_trace.hpp"

#include <gtest/gtest.h>

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

}  // namespace
