// tracecheck on each kind of problem it reports, on clean traces, and beside
// pagesim on the same traces.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/expected_text.hpp"

namespace {

RunResult tracecheck(const TempFolder& folder, const std::vector<std::string>& arguments = {}) {
  return run_program(TRACECHECK_BINARY, folder, arguments);
}

RunResult check_trace(const std::string& trace) {
  TempFolder folder;
  folder.write("data.txt", trace);
  return tracecheck(folder);
}

TEST(Tracecheck, CleanTraceReportsOnlyTheSummary) {
  RunResult run = check_trace("1 1024 2048\n2 5 5\n1 0 0\n1 3000 100\n");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "4 records, 2 processes, 1 termination\n"
            "process 1: 3 pages touched\n"
            "process 2: 1 page touched\n");
}

TEST(Tracecheck, NonNumberWherePagesimStopsIsShownWithLineAndColumn) {
  RunResult run = check_trace("1 2 3\n4 5 6\n\n  7 8 oops 9\n");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "data.txt:4:3: record 3 is partial: the second address keeps 6 from the record before\n"
            "data.txt:4:7: after record 3: pagesim stops reading here: \"oops\" is not a number\n"
            "3 records, 3 processes, 0 terminations\n"
            "process 1: 1 page touched\n"
            "process 4: 1 page touched\n"
            "process 7: 1 page touched\n");
}

TEST(Tracecheck, NumberOutsideThirtyTwoBitsIsShown) {
  RunResult run = check_trace("1 2 3\n4294967296 5 6\n");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(
      run.out.find(
          "data.txt:2:1: after record 1: pagesim stops reading here: \"4294967296\" is outside "
          "the signed 32-bit range\n"),
      std::string::npos);
  EXPECT_NE(run.out.find("1 record,"), std::string::npos);
}

TEST(Tracecheck, PartialFirstRecordNamesTheZeros) {
  RunResult run = check_trace("5");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
            "data.txt:1:1: record 1 is partial: the first address and the second address are 0: "
            "there is no record before\n");
}

TEST(Tracecheck, OutOfRangePagesAndTheEmptyMarkerAreReported) {
  RunResult run = check_trace("3 -1024 65536\n-1 100 100\n3 -1 65535\n");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "data.txt:1:1: record 1: the first address -1024 is on page -1, outside 0..63\n"
            "data.txt:1:1: record 1: the second address 65536 is on page 64, outside 0..63\n"
            "data.txt:2:1: record 2: process -1 is the tables' empty marker\n"
            "3 records, 2 processes, 0 terminations\n"
            "process -1: 1 page touched\n"
            "process 3: 2 pages touched\n");
}

TEST(Tracecheck, SecondAddressOfATerminationIsNotChecked) {
  RunResult run = check_trace("3 0 99999999\n");
  EXPECT_EQ(run.exit_status, 0);
}

TEST(Tracecheck, UnreadableFilesExitWithTwo) {
  TempFolder folder;
  RunResult missing = tracecheck(folder);
  EXPECT_EQ(missing.exit_status, 2);
  EXPECT_EQ(missing.err, "tracecheck: cannot read data.txt: No such file or directory\n");
  std::filesystem::create_directory(folder.work() / "trace");
  RunResult directory = tracecheck(folder, {"trace"});
  EXPECT_EQ(directory.exit_status, 2);
  EXPECT_EQ(directory.err, "tracecheck: cannot read trace: Is a directory\n");
}

TEST(Tracecheck, CountsTheRecordsPagesimRunsOnEveryCorpusTrace) {
  const std::regex records("^(\\d+) records,", std::regex::multiline);
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_DIR)) {
    TempFolder folder;
    std::filesystem::copy_file(entry.path(), folder.work() / "data.txt");
    RunResult checked = tracecheck(folder);
    RunOptions options;
    options.stdin_path = "/dev/null";
    RunResult simulated = pagesim(folder, {}, options);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(checked.out, match, records)) << entry.path();
    // The steps line comes first unless an error message precedes it.
    if (simulated.exit_status == 0) {
      EXPECT_NE(simulated.out.find(match[1].str() + " steps were executed\n"), std::string::npos)
          << entry.path();
    }
    // A trace found clean can give pagesim no reason for a message.
    if (checked.exit_status == 0) {
      EXPECT_EQ(simulated.exit_status, 0) << entry.path();
      EXPECT_EQ(simulated.out.find("Error"), std::string::npos) << entry.path();
    }
  }
}

}  // namespace
