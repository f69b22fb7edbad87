#include "variants/mistakes.hpp"

#include <gtest/gtest.h>

#include <set>

namespace variants {
namespace {

TEST(Catalogue, EveryIdAppliesAndNamesItselfBack) {
  const Variant pagesim;
  const std::vector<Hypothesis> hypotheses = catalogue(pagesim);
  // 27 switches, 5 page sizes, 15 TLB sizes, 39 frame counts, the other mode.
  EXPECT_EQ(hypotheses.size(), 27u + 5 + 15 + 39 + 1);
  std::set<std::string> ids;
  for (const Hypothesis& hypothesis : hypotheses) {
    EXPECT_TRUE(ids.insert(hypothesis.id).second) << hypothesis.id;
    EXPECT_EQ(apply_id(pagesim, hypothesis.id), hypothesis.variant) << hypothesis.id;
    EXPECT_EQ(variant_ids(hypothesis.variant, pagesim), hypothesis.id);
  }
}

TEST(Catalogue, BaseWithAMistakeLeavesItOut) {
  const Variant base = Variant{}.with(Mistake::kTlbFifo);
  for (const Hypothesis& hypothesis : catalogue(base)) EXPECT_NE(hypothesis.id, "tlb-fifo");
  const Variant both = base.with(Mistake::kHandFromZero);
  EXPECT_EQ(variant_ids(both, base), "hand-from-zero");
  EXPECT_EQ(variant_ids(both, Variant{}), "tlb-fifo, hand-from-zero");
}

TEST(ApplyId, RefusesWhatIsNotACatalogueId) {
  for (const char* id :
       {"", "tlb", "tlb-fifo ", "frames-0", "frames-016", "frames-65537", "frames--1",
        "tlb-entries-65", "page-size-1000", "page-size-", "frames-99999999999", "other-mode-1"}) {
    EXPECT_FALSE(apply_id(Variant{}, id).has_value()) << id;
  }
}

TEST(ApplyId, OtherModeFlipsEitherWay) {
  Variant one;
  one.mode = 1;
  EXPECT_EQ(apply_id(Variant{}, "other-mode")->mode, 1);
  EXPECT_EQ(apply_id(one, "other-mode")->mode, 0);
}

}  // namespace
}  // namespace variants
