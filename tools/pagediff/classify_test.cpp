#include "tools/pagediff/classify.hpp"

#include <gtest/gtest.h>

namespace {

ReferenceFacts reference(int64_t record, int which, int32_t page, Outcome outcome) {
  return {record, which, 1, page, outcome};
}

// The orders of the rules where two could fit, and the lines that fit none.
TEST(Classify, PicksTheOneKindThatFits) {
  const ReferenceFacts hit3 = reference(3, 0, 4, Outcome::kTlbHit);
  const ReferenceFacts load5 = reference(5, 0, 4, Outcome::kTlbLoad);
  const ReferenceFacts load6 = reference(6, 0, 4, Outcome::kTlbLoad);
  const ReferenceFacts fault5 = reference(5, 0, 4, Outcome::kFreeFrameFault);
  struct Case {
    const char* name;
    const char* pagesim;
    ReferenceFacts pagesim_reference;
    const char* theirs;
    std::vector<ReferenceFacts> their_record;
    bool cut;
    DiffKind kind;
  } cases[] = {
      {"same event at the next record, which touches the page too",
       "TLB: line 5 Entry 0 proc 1 LP 4 PP 2",
       load5,
       "TLB: line 6 Entry 0 proc 1 LP 4 PP 2",
       {load6},
       false,
       DiffKind::kRecordNumber},
      {"same mapping in another frame",
       "TLB: line 5 Entry 0 proc 1 LP 4 PP 2",
       load5,
       "TLB: line 5 Entry 0 proc 1 LP 4 PP 3",
       {load5},
       false,
       DiffKind::kOther},
      {"a page no reference of the record has",
       "Page Fault: line 5 proc 1 LP 4 PP 2",
       fault5,
       "Page Fault: line 5 proc 1 LP 5 PP 2",
       {fault5},
       false,
       DiffKind::kPageNumber},
      {"a cut line that is not pagesim's start",
       "TLB: line 5 Entry 0 proc 1 LP 4 PP 2",
       load5,
       "TLB: line 5 Entry 1 proc 1 LP 4 PP 2",
       {load5},
       true,
       DiffKind::kTlbEntry},
      {"a fault where pagesim had a TLB hit",
       "TLB: line 5 Entry 0 proc 1 LP 4 PP 2",
       load5,
       "Page Fault: line 3 proc 1 LP 4 PP 7",
       {hit3},
       false,
       DiffKind::kExtraPageFault},
      {"a second load of a reference pagesim loaded once",
       "TLB: line 6 Entry 0 proc 1 LP 4 PP 2",
       load6,
       "TLB: line 5 Entry 3 proc 1 LP 4 PP 2",
       {load5},
       false,
       DiffKind::kOther},
      {"no TLB line after their fault",
       "TLB: line 5 Entry 0 proc 1 LP 4 PP 2",
       fault5,
       "Page Fault: line 6 proc 1 LP 4 PP 2",
       {load6},
       false,
       DiffKind::kOther},
  };
  for (const Case& c : cases) {
    LinePair pair;
    pair.pagesim = parse_event_line(c.pagesim);
    pair.pagesim_reference = c.pagesim_reference;
    pair.theirs = parse_event_line(c.theirs);
    pair.their_record_references = c.their_record;
    pair.their_line_cut = c.cut;
    pair.their_line_is_prefix = std::string(c.pagesim).rfind(c.theirs, 0) == 0;
    pair.same_numbers = pair.pagesim.numbers == pair.theirs.numbers;
    EXPECT_STREQ(kind_name(classify(pair)), kind_name(c.kind)) << c.name;
  }
}

}  // namespace
