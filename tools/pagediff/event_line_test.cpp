#include "tools/pagediff/event_line.hpp"

#include <gtest/gtest.h>

namespace {

TEST(EventLine, ReadsBothKindsWhateverTheWords) {
  const EventLine tlb = parse_event_line("TLB: line 12 Entry 3 proc 7 LP 2 PP 19");
  EXPECT_EQ(tlb.kind, LineKind::kTlb);
  ASSERT_TRUE(tlb.complete);
  EXPECT_EQ((std::vector<int64_t>{tlb.record, tlb.entry, tlb.proc, tlb.page, tlb.frame}),
            (std::vector<int64_t>{12, 3, 7, 2, 19}));
  const EventLine fault = parse_event_line("page  fault:\tline 4 proc -1 LP -2 PP 0 ");
  EXPECT_EQ(fault.kind, LineKind::kPageFault);
  ASSERT_TRUE(fault.complete);
  EXPECT_EQ((std::vector<int64_t>{fault.record, fault.proc, fault.page, fault.frame}),
            (std::vector<int64_t>{4, -1, -2, 0}));
}

TEST(EventLine, OtherLinesAndWrongCountsAreIncomplete) {
  EXPECT_EQ(parse_event_line("hand=3").kind, LineKind::kUnknown);
  EXPECT_FALSE(parse_event_line("hand=3").complete);
  // The display's echo has a fifth number.
  EXPECT_FALSE(parse_event_line("Page Fault: line 1 proc 7 LP 2 PP 0 hand 0").complete);
  // A hyphen inside a word is no sign; a huge number stays huge, not wrapped.
  const EventLine odd = parse_event_line("x-1 99999999999999999999");
  ASSERT_EQ(odd.numbers.size(), 2u);
  EXPECT_EQ(odd.numbers[0], 1);
  EXPECT_GT(odd.numbers[1], int64_t{INT32_MAX});
}

}  // namespace
