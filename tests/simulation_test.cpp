// Whole runs of traces whose outputs were worked out by hand.
#include <gtest/gtest.h>

#include "tests/expected_text.hpp"

namespace {

struct Outcome {
  RunResult run;
  std::string log;
};

Outcome run_trace(const std::string& trace, const std::vector<std::string>& arguments = {}) {
  TempFolder folder;
  folder.write("data.txt", trace);
  RunResult run = pagesim(folder, arguments);
  EXPECT_EQ(run.err.substr(0, kBannerText.size()), kBannerText);
  return {run, folder.read("out.txt")};
}

TEST(Simulation, EmptyOrNonNumericTraceGivesZeroTotalsAndEmptyLog) {
  for (const char* trace : {"", "\n\n", "x 1 2 3\n", "- 1 2\n"}) {
    Outcome outcome = run_trace(trace);
    EXPECT_EQ(outcome.run.exit_status, 0) << trace;
    EXPECT_EQ(outcome.run.out, totals(0, 0, 0, 0)) << trace;
    EXPECT_EQ(outcome.log, "") << trace;
  }
}

TEST(Simulation, TerminationRecordReleasesAndCountsAsAStep) {
  Outcome outcome = run_trace("3 500 0\n3 0 500\n4 100 100\n");
  EXPECT_EQ(outcome.run.out, totals(3, 2, 2, 0));
  EXPECT_EQ(outcome.log,
            "Page Fault: line 1 proc 3 LP 0 PP 0\n"
            "TLB: line 1 Entry 0 proc 3 LP 0 PP 0\n"
            "Page Fault: line 3 proc 4 LP 0 PP 0\n"
            "TLB: line 3 Entry 0 proc 4 LP 0 PP 0\n");
}

TEST(Simulation, LineBreaksCarryNoMeaning) {
  EXPECT_EQ(run_trace("1 0 0 2 1024 2048").log, run_trace("1\n0\n0\n2 1024\n2048\n").log);
}

TEST(Simulation, PartialLastRecordReusesThePreviousValues) {
  // "5 4096" keeps second address 3100 of the record before.
  Outcome outcome = run_trace("7 3000 3100\n5 4096");
  EXPECT_EQ(outcome.run.out, totals(2, 4, 4, 0));
  EXPECT_EQ(outcome.log,
            "Page Fault: line 1 proc 7 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n"
            "Page Fault: line 2 proc 5 LP 4 PP 2\n"
            "TLB: line 2 Entry 2 proc 5 LP 4 PP 2\n"
            "Page Fault: line 2 proc 5 LP 3 PP 3\n"
            "TLB: line 2 Entry 3 proc 5 LP 3 PP 3\n");
}

TEST(Simulation, PartialFirstRecordUsesZeroForTheMissingNumbers) {
  Outcome outcome = run_trace("6 2048");  // the write goes to address 0
  EXPECT_EQ(outcome.run.out, totals(1, 2, 2, 0));
  EXPECT_EQ(outcome.log,
            "Page Fault: line 1 proc 6 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 6 LP 2 PP 0\n"
            "Page Fault: line 1 proc 6 LP 0 PP 1\n"
            "TLB: line 1 Entry 1 proc 6 LP 0 PP 1\n");
  EXPECT_EQ(run_trace("6").run.out, totals(1, 0, 0, 0)) << "first address 0: a release";
}

TEST(Simulation, ReadingStopsSilentlyAtAHugeNumberOrAWord) {
  EXPECT_EQ(run_trace("1 0 0\n1 99999999999 0\n1 0 0\n").run.out, totals(2, 0, 0, 0));
  EXPECT_EQ(run_trace("1 0 0\n1 0 0 stop 1 0 0\n").run.out, totals(2, 0, 0, 0));
}

TEST(Simulation, OutOfRangePageIsReportedAtEveryCheckAndStillMapped) {
  Outcome outcome = run_trace("2 65536 -1\n");
  EXPECT_EQ(outcome.run.exit_status, 0);
  EXPECT_EQ(outcome.run.out, std::string() +
                                 "Error, bad frame number\n"
                                 "Error, bad frame number\n"
                                 "Error, bad frame number\n" +
                                 totals(1, 2, 2, 0));
  EXPECT_EQ(outcome.log,
            "Page Fault: line 1 proc 2 LP 64 PP 0\n"
            "TLB: line 1 Entry 0 proc 2 LP 64 PP 0\n"
            "Page Fault: line 1 proc 2 LP 0 PP 1\n"
            "TLB: line 1 Entry 1 proc 2 LP 0 PP 1\n");
}

TEST(Simulation, InconsistentEntryEndsTheRunKeepingTheLogSoFar) {
  Outcome outcome = run_trace("7 3000 3100\n-1 -1024 -2047\n8 0 0\n");
  EXPECT_EQ(outcome.run.exit_status, 1);
  EXPECT_EQ(outcome.run.err, kBannerText +
                                 "Error, inconsistent data at line 2\n"
                                 "TLB entry 2 PP 2 LA -1, but page 2 has LA -1\n");
  EXPECT_EQ(outcome.run.out,
            "Error, bad frame number\n"
            "Error, bad frame number\n"
            "Error, bad frame number\n");
  EXPECT_EQ(outcome.log,
            "Page Fault: line 1 proc 7 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n"
            "TLB: line 2 Entry 2 proc -1 LP -1 PP 2\n");
}

// Records 1..20 read pages 0..19 of process 1 and all write address 0, so
// page 0 is the only dirty page; record 21 reads page 20 and writes page 0.
std::string twenty_first_page_trace() {
  std::string trace;
  // Reads at page * 1024 + 1: a first address of 0 would end the process.
  for (int page = 0; page <= 20; ++page) trace += "1 " + std::to_string(page * 1024 + 1) + " 0\n";
  return trace;
}

// The log of records 1..20: a fault into frame p for page p, and a TLB load.
// Entry 0 holds page 0 and is refreshed by every record's write, so the
// others rotate through entries 1..7.
const char kFirstTwentyRecordsLog[] =
    "Page Fault: line 1 proc 1 LP 0 PP 0\nTLB: line 1 Entry 0 proc 1 LP 0 PP 0\n"
    "Page Fault: line 2 proc 1 LP 1 PP 1\nTLB: line 2 Entry 1 proc 1 LP 1 PP 1\n"
    "Page Fault: line 3 proc 1 LP 2 PP 2\nTLB: line 3 Entry 2 proc 1 LP 2 PP 2\n"
    "Page Fault: line 4 proc 1 LP 3 PP 3\nTLB: line 4 Entry 3 proc 1 LP 3 PP 3\n"
    "Page Fault: line 5 proc 1 LP 4 PP 4\nTLB: line 5 Entry 4 proc 1 LP 4 PP 4\n"
    "Page Fault: line 6 proc 1 LP 5 PP 5\nTLB: line 6 Entry 5 proc 1 LP 5 PP 5\n"
    "Page Fault: line 7 proc 1 LP 6 PP 6\nTLB: line 7 Entry 6 proc 1 LP 6 PP 6\n"
    "Page Fault: line 8 proc 1 LP 7 PP 7\nTLB: line 8 Entry 7 proc 1 LP 7 PP 7\n"
    "Page Fault: line 9 proc 1 LP 8 PP 8\nTLB: line 9 Entry 1 proc 1 LP 8 PP 8\n"
    "Page Fault: line 10 proc 1 LP 9 PP 9\nTLB: line 10 Entry 2 proc 1 LP 9 PP 9\n"
    "Page Fault: line 11 proc 1 LP 10 PP 10\nTLB: line 11 Entry 3 proc 1 LP 10 PP 10\n"
    "Page Fault: line 12 proc 1 LP 11 PP 11\nTLB: line 12 Entry 4 proc 1 LP 11 PP 11\n"
    "Page Fault: line 13 proc 1 LP 12 PP 12\nTLB: line 13 Entry 5 proc 1 LP 12 PP 12\n"
    "Page Fault: line 14 proc 1 LP 13 PP 13\nTLB: line 14 Entry 6 proc 1 LP 13 PP 13\n"
    "Page Fault: line 15 proc 1 LP 14 PP 14\nTLB: line 15 Entry 7 proc 1 LP 14 PP 14\n"
    "Page Fault: line 16 proc 1 LP 15 PP 15\nTLB: line 16 Entry 1 proc 1 LP 15 PP 15\n"
    "Page Fault: line 17 proc 1 LP 16 PP 16\nTLB: line 17 Entry 2 proc 1 LP 16 PP 16\n"
    "Page Fault: line 18 proc 1 LP 17 PP 17\nTLB: line 18 Entry 3 proc 1 LP 17 PP 17\n"
    "Page Fault: line 19 proc 1 LP 18 PP 18\nTLB: line 19 Entry 4 proc 1 LP 18 PP 18\n"
    "Page Fault: line 20 proc 1 LP 19 PP 19\nTLB: line 20 Entry 5 proc 1 LP 19 PP 19\n";

TEST(Simulation, SecondChanceEvictsTheDirtyFrameAtTheHandOnTheTwentyFirstPage) {
  // All bits set: the scan clears them all and evicts frame 0, the dirty
  // page 0, whose entry 0 is shot down and taken for page 20. The write then
  // faults page 0 back into frame 1 (ref cleared by the scan), into the LRU
  // entry 6.
  Outcome outcome = run_trace(twenty_first_page_trace(), {"0"});
  EXPECT_EQ(outcome.run.out, totals(21, 22, 22, 1));
  EXPECT_EQ(outcome.log, std::string(kFirstTwentyRecordsLog) +
                             "Page Fault: line 21 proc 1 LP 20 PP 0\n"
                             "TLB: line 21 Entry 0 proc 1 LP 20 PP 0\n"
                             "Page Fault: line 21 proc 1 LP 0 PP 1\n"
                             "TLB: line 21 Entry 6 proc 1 LP 0 PP 1\n");
}

TEST(Simulation, CleanFirstPassesTheDirtyFrameOnTheTwentyFirstPage) {
  // The first turn clears every ref bit, the second finds frame 0 dirty and
  // frame 1 clean: page 1 goes, nothing is written, page 0 stays mapped.
  Outcome outcome = run_trace(twenty_first_page_trace(), {"1"});
  EXPECT_EQ(outcome.run.out, totals(21, 21, 21, 0));
  EXPECT_EQ(outcome.log, std::string(kFirstTwentyRecordsLog) +
                             "Page Fault: line 21 proc 1 LP 20 PP 1\n"
                             "TLB: line 21 Entry 6 proc 1 LP 20 PP 1\n");
}

}  // namespace
