// traceconv on small hand-written inputs of each format, on its failures,
// and on a real program recorded with valgrind, beside tracecheck and
// pagesim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/expected_text.hpp"

namespace {

RunResult traceconv(const TempFolder& folder, const std::vector<std::string>& arguments,
                    const RunOptions& options = {}) {
  return run_program(TRACECONV_BINARY, folder, arguments, options);
}

RunOptions stdout_to(const std::string& path) {
  RunOptions options;
  options.stdout_path = path;
  return options;
}

// Process 1 ends on a lone read of address 0; process 2 starts with lone
// writes; an M line is one record; regions above 64 KiB tell the mappings
// apart.
void write_two_lackey_logs(const TempFolder& folder) {
  folder.write("a.log",
               "==1== Lackey, an example Valgrind tool\n"
               "I  00400000,3\n"
               " L 0001fc00,4\n"
               " S 00010008,8\n"
               " M 7fff0000,8\n"
               "I  00400003,2\n"
               " L 00000000,1\n");
  folder.write("b.log",
               " S 00002004,4\n"
               " S 00003000,4\n"
               " L 00004000,4\n"
               " S 00005000,4\n");
}

TEST(Traceconv, LackeyLogsTakeTurnsInQuantaUnderEachMappingAndEndWithTerminations) {
  TempFolder folder;
  write_two_lackey_logs(folder);
  const struct {
    std::vector<std::string> options;
    std::string trace;
  } cases[] = {
      {{"--map", "low16"},
       "1 64512 8\n1 1 0\n2 8196 8196\n2 12288 12288\n1 1 0\n1 0 0\n2 16384 20480\n2 0 0\n"},
      {{},  // fold, the default
       "1 63488 1032\n1 7168 7168\n2 8196 8196\n2 12288 12288\n1 1 7168\n1 0 0\n2 16384 20480\n"
       "2 0 0\n"},
      {{"-n", "1"}, "1 63488 1032\n1 0 0\n2 8196 8196\n2 0 0\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"lackey", "-q", "2"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {"a.log", "b.log"});
    const RunResult run = traceconv(folder, arguments);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, c.trace) << c.options.size();
  }
}

TEST(Traceconv, MalformedLinesAreSkippedCountedAndLocated) {
  TempFolder folder;
  folder.write("c.din", "0 10\nbo\x01gus\n1 0x20\n7 5\n");
  const RunResult run = traceconv(folder, {"din", "c.din"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "1 16 32\n1 0 0\n");
  EXPECT_EQ(run.err,
            "c.din:2: first of 2 malformed lines skipped in this file: \"bo\\x01gus\"\n"
            "traceconv: 2 malformed lines skipped\n");
}

TEST(Traceconv, TextbookStringRunsInPagesimWithOneFaultPerDistinctPage) {
  TempFolder folder;
  folder.write("string.txt", "7, 0, 1, 2, 0, 3, 0, 4, 2, 3,\n0, 3, 2, 1, 2, 0, 1, 7, 0, 1\n");
  const RunResult run = traceconv(folder, {"pages", "string.txt"}, stdout_to("data.txt"));
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const std::string trace = folder.read("data.txt");
  EXPECT_EQ(trace.substr(0, 30), "1 7169 7169\n1 1 1\n1 1025 1025\n");
  EXPECT_EQ(pagesim(folder).out, totals(20, 6, 6, 0));  // 20 frames hold all six pages
}

TEST(Traceconv, FailuresExitWithTwoAndOneLine) {
  TempFolder folder;
  write_two_lackey_logs(folder);
  const struct {
    std::vector<std::string> arguments;
    RunOptions options;
    std::string err;
  } cases[] = {
      {{"lackey", "a.log", "missing.log"},
       {},
       "traceconv: missing.log: No such file or directory\n"},
      {{"lackey", "."}, {}, "traceconv: .: Is a directory\n"},
      {{"lackey", "-q", "x", "a.log"},
       {},
       "traceconv: QUANTUM must be a whole number from 1, not 'x' (traceconv -h shows the "
       "usage)\n"},
      {{"lackey", "a.log"},
       stdout_to("/dev/full"),
       "traceconv: could not write standard output: No space left on device\n"},
  };
  for (const auto& c : cases) {
    const RunResult run = traceconv(folder, c.arguments, c.options);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
  }
  const RunResult help = traceconv(folder, {"-h"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.out.substr(0, 24), "usage: traceconv lackey ");
  EXPECT_EQ(help.err, "");
}

TEST(Traceconv, RecordedRealProgramIsCleanForTracecheckAndRunsInPagesim) {
  if (std::system("command -v valgrind > /dev/null 2>&1") != 0) GTEST_SKIP() << "no valgrind";
  TempFolder folder;
  const RunResult record = run_program(
      "valgrind", folder, {"--tool=lackey", "--trace-mem=yes", "--log-file=lackey.log", "true"});
  ASSERT_EQ(record.exit_status, 0) << record.err;
  const RunResult convert = traceconv(folder, {"lackey", "lackey.log"}, stdout_to("data.txt"));
  EXPECT_EQ(convert.exit_status, 0);
  EXPECT_EQ(convert.err, "");
  const std::string trace = folder.read("data.txt");
  const auto records = std::count(trace.begin(), trace.end(), '\n');
  EXPECT_GT(records, 1000);
  EXPECT_EQ(trace.substr(trace.size() - 7), "\n1 0 0\n");

  const RunResult check = run_program(TRACECHECK_BINARY, folder, {});
  EXPECT_EQ(check.exit_status, 0) << check.out;
  const RunResult run = pagesim(folder);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            std::to_string(records) + " steps were executed");
}

}  // namespace
