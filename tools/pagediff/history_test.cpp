#include "tools/pagediff/history.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Runs `trace` through pagesim's machine with a history, as the pass does;
// returns the steps of every record.
std::vector<std::vector<ReferenceStep>> run_all(History& history, const std::string& trace) {
  variants::Machine machine{variants::Variant{}};
  std::vector<std::vector<ReferenceStep>> steps;
  std::istringstream in(trace);
  int32_t fields[3];
  int64_t record = 0;
  while (in >> fields[0] >> fields[1] >> fields[2]) {
    history.settle(machine.state(), machine.state(), ++record);
    const variants::Machine before = machine;
    machine.run_record(fields, history);
    Stories stories = history.stories();
    steps.push_back(
        apply_record(history.pending(), record, -1, before.state(), machine.state(), stories));
    history.settle(before.state(), machine.state(), record + 1);
  }
  return steps;
}

TEST(History, TellsWhatEachReferenceDidAndWhyEntriesAndFramesWereEmptied) {
  std::string trace = "1 1 1025\n2 2049 2049\n1 1 1\n2 0 0\n";
  for (int page = 0; page <= 18; ++page) trace += "3 " + std::to_string(page * 1024 + 1) + " 1\n";
  History history{variants::Geometry{}};
  const auto steps = run_all(history, trace);
  ASSERT_EQ(steps.size(), 23u);
  EXPECT_EQ(steps[0][0].facts.outcome, Outcome::kFreeFrameFault);
  EXPECT_EQ(steps[0][1].facts.page, 1);
  EXPECT_EQ(steps[2][0].facts.outcome, Outcome::kTlbHit);
  EXPECT_EQ(steps[2][0].entry, 0);
  EXPECT_TRUE(steps[3].empty());  // the termination
  // Page 18 of process 3, the 21st page: the clock's full turn takes frame 0.
  const ReferenceStep& eviction = steps[22][0];
  EXPECT_EQ(eviction.facts.outcome, Outcome::kEviction);
  EXPECT_EQ(eviction.frame, 0);

  const Stories& stories = history.stories();
  EXPECT_EQ(stories.frames[2].freed.how, Emptied::kTermination);
  EXPECT_EQ(stories.frames[2].freed.record, 4);
  EXPECT_EQ(stories.frames[3].freed.how, Emptied::kNever);
  EXPECT_EQ(stories.last_eviction_record, 23);
  EXPECT_EQ(stories.terminations, 1);
  const PageStory* evicted = stories.page(1, 0);
  ASSERT_NE(evicted, nullptr);
  EXPECT_EQ(evicted->frame, kNone);
  EXPECT_EQ(evicted->left_frame.how, Emptied::kEviction);
  EXPECT_EQ(evicted->left_frame.page, 18);
  const PageStory* ended = stories.page(2, 2);
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->left_frame.how, Emptied::kTermination);
  EXPECT_EQ(ended->left_tlb.how, Emptied::kTermination);
  EXPECT_EQ(ended->left_tlb.entry, 2);
}

}  // namespace
