#include "tools/pagediff/replay.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace {

// Runs `trace` to its end, following page 0 of process 1 and page 2 of
// process 2; returns the steps of every record.
std::vector<std::vector<ReferenceStep>> replay_all(Replay& replay, const std::string& trace) {
  const std::string path = testing::TempDir() + "replay_test.txt";
  std::ofstream(path, std::ios::binary) << trace;
  EXPECT_TRUE(replay.start(path, 0));
  replay.follow(1, 0);
  replay.follow(2, 2);
  std::vector<std::vector<ReferenceStep>> steps;
  while (replay.read_record()) steps.push_back(replay.run_record());
  std::remove(path.c_str());
  return steps;
}

TEST(Replay, TellsWhatEachReferenceDidAndWhyEntriesAndFramesWereEmptied) {
  std::string trace = "1 1 1025\n2 2049 2049\n1 1 1\n2 0 0\n";
  for (int page = 0; page <= 18; ++page) trace += "3 " + std::to_string(page * 1024 + 1) + " 1\n";
  auto replay = std::make_unique<Replay>();
  const auto steps = replay_all(*replay, trace);
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
  EXPECT_EQ(eviction.events,
            "Page Fault: line 23 proc 3 LP 18 PP 0\nTLB: line 23 Entry 6 proc 3 LP 18 PP 0\n");

  const Stories& stories = replay->stories();
  EXPECT_EQ(stories.frames[2].freed.how, Emptied::kTermination);
  EXPECT_EQ(stories.frames[2].freed.record, 4);
  EXPECT_EQ(stories.frames[3].freed.how, Emptied::kNever);
  EXPECT_EQ(stories.last_eviction_record, 23);
  EXPECT_EQ(stories.terminations, 1);
  const PageStory* evicted = stories.page(1, 0);
  ASSERT_NE(evicted, nullptr);
  EXPECT_EQ(evicted->frame, kEmpty);
  EXPECT_EQ(evicted->left_frame.how, Emptied::kEviction);
  EXPECT_EQ(evicted->left_frame.page, 18);
  const PageStory* ended = stories.page(2, 2);
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->left_frame.how, Emptied::kTermination);
  EXPECT_EQ(ended->left_tlb.how, Emptied::kTermination);
  EXPECT_EQ(ended->left_tlb.entry, 2);
}

}  // namespace
