// The breakpoint display, with standard input from a file or a pipe.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "tests/expected_text.hpp"

namespace {

const std::string kPrompt = "Hit return key to continue\n";

// A dump of fresh tables with the given lines in place of the free ones.
struct Dump {
  std::string tlb[8];
  std::string frames[20];
  Dump() {
    for (int i = 0; i < 8; ++i) tlb[i] = "   TLB " + std::to_string(i) + " is free\n";
    for (int i = 0; i < 20; ++i) frames[i] = "   Physical Page " + std::to_string(i) + " is free\n";
  }
  std::string text() const {
    std::string all;
    for (const std::string& line : tlb) all += line;
    for (const std::string& line : frames) all += line;
    return all;
  }
};

size_t count(const std::string& text, const std::string& what) {
  size_t found = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
  return found;
}

std::string repeated(const std::string& record, int times) {
  std::string trace;
  for (int i = 0; i < times; ++i) trace += record;
  return trace;
}

TEST(Display, FaultingRecordEchoesFaultWithHandThenTlbThenDumpsAndPrompts) {
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n7 0 0\n");
  RunOptions options;
  options.stdin_path = "/dev/null";
  RunResult run = pagesim(folder, {"0", "0"}, options);
  Dump after_first;
  after_first.tlb[0] = "   TLB 0 process 7, VA 2, PP 0\n";
  after_first.tlb[1] = "   TLB 1 process 7, VA 3, PP 1\n";
  after_first.frames[0] = "   Physical Page 0, Proc 7 Logical Page 2 ref 1 dirty 0\n";
  after_first.frames[1] = "   Physical Page 1, Proc 7 Logical Page 3 ref 1 dirty 1\n";
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, kBannerText);
  EXPECT_EQ(run.out,
            "Break at Line 1, 7 3000 3100 (pages 2 3)\n"
            "Page Fault: line 1 proc 7 LP 2 PP 0 hand 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1 hand 0\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n" +
                after_first.text() + kPrompt + "Break at Line 2, 7 0 0 (pages 0 0)\n" +
                Dump().text() + kPrompt + totals(2, 2, 2, 0));
  EXPECT_EQ(folder.read("out.txt"),
            "Page Fault: line 1 proc 7 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n");
}

TEST(Display, EvictionEchoesTheHandAtTheVictim) {
  TempFolder folder;
  std::string trace;
  for (int page = 0; page <= 20; ++page) trace += "1 " + std::to_string(page * 1024 + 1) + " 0\n";
  folder.write("data.txt", trace);
  RunOptions options;
  options.stdin_path = "/dev/null";
  RunResult run = pagesim(folder, {"0", "21"}, options);
  const std::string echoes =
      "Break at Line 21, 1 20481 0 (pages 20 0)\n"
      "Page Fault: line 21 proc 1 LP 20 PP 0 hand 0\n"
      "TLB: line 21 Entry 0 proc 1 LP 20 PP 0\n"
      "Page Fault: line 21 proc 1 LP 0 PP 1 hand 1\n"
      "TLB: line 21 Entry 6 proc 1 LP 0 PP 1\n"
      "   TLB 0 process 1, VA 20, PP 0\n";
  EXPECT_EQ(run.out.substr(0, echoes.size()), echoes);
  EXPECT_NE(run.out.find("   Physical Page 1, Proc 1 Logical Page 0 ref 1 dirty 1\n"
                         "   Physical Page 2, Proc 1 Logical Page 2 ref 0 dirty 0\n"),
            std::string::npos);
}

TEST(Display, WindowRunsFromTheBreakLineForOneThousandAndOneRecords) {
  TempFolder folder;
  // Record 1006 faults: neither it nor its events may reach the console.
  folder.write("data.txt", repeated("1 0 0\n", 1005) + "2 4096 4096\n" + repeated("1 0 0\n", 4));
  RunOptions options;
  options.stdin_path = "/dev/null";
  RunResult run = pagesim(folder, {"0", "5"}, options);
  EXPECT_EQ(count(run.out, "Break at Line "), 1001u);
  EXPECT_EQ(count(run.out, kPrompt), 1001u);
  EXPECT_EQ(run.out.find("Break at Line 4,"), std::string::npos);
  EXPECT_EQ(run.out.find("Break at Line 5,"), 0u);
  EXPECT_NE(run.out.find("Break at Line 1005,"), std::string::npos);
  EXPECT_EQ(run.out.find("Break at Line 1006,"), std::string::npos);
  EXPECT_EQ(run.out.find("Page Fault"), std::string::npos);
  EXPECT_EQ(folder.read("out.txt"),
            "Page Fault: line 1006 proc 2 LP 4 PP 0\nTLB: line 1006 Entry 0 proc 2 LP 4 PP 0\n");
  EXPECT_EQ(run.out.substr(run.out.size() - totals(1010, 1, 1, 0).size()), totals(1010, 1, 1, 0));
}

TEST(Display, BreakLinesAtTheEdges) {
  struct Case {
    const char* break_line;
    int first;
    int last;  // 0: no display
  } cases[] = {
      {"0", 1, 12}, {"-995", 1, 5},       {"10", 10, 12},        {"12", 12, 12},
      {"13", 0, 0}, {"2147483647", 0, 0}, {"-2147483648", 0, 0}, {"junk", 1, 12},
  };
  TempFolder folder;
  folder.write("data.txt", repeated("3 100 200\n", 12));
  RunOptions options;
  options.stdin_path = "/dev/null";
  const std::regex record_echo("Break at Line (\\d+),");
  for (const Case& c : cases) {
    RunResult run = pagesim(folder, {"1", c.break_line}, options);
    EXPECT_EQ(run.exit_status, 0);
    std::vector<int> shown;
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), record_echo);
         it != std::sregex_iterator(); ++it)
      shown.push_back(std::stoi((*it)[1]));
    std::vector<int> expected;
    for (int record = c.first; c.last > 0 && record <= c.last; ++record) expected.push_back(record);
    EXPECT_EQ(shown, expected) << "break line " << c.break_line;
    EXPECT_EQ(count(run.out, kPrompt), expected.size()) << "break line " << c.break_line;
  }
}

TEST(Display, EachPauseConsumesExactlyOneCharacter) {
  // Four pauses take "a", "b", "c" and the line end; the fifth finds the end
  // of input. What follows the program on the same input shows what is left.
  TempFolder folder;
  folder.write("data.txt", repeated("1 0 0\n", 4));
  RunOptions options;
  options.stdin_text = "abc\nleft over";
  options.then = "cat";
  RunResult run = pagesim(folder, {"0", "1"}, options);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(count(run.out, kPrompt), 4u);
  EXPECT_EQ(run.out.substr(run.out.size() - 9), "left over");

  folder.write("data.txt", repeated("1 0 0\n", 6));
  options.stdin_text = "abc\n";
  run = pagesim(folder, {"0", "1"}, options);
  EXPECT_EQ(count(run.out, kPrompt), 6u) << "end of input: the rest do not wait";
}

TEST(Display, ClosedStandardInputNeitherStopsTheRunNorTouchesTheTrace) {
  // A trace longer than one read block: the pauses must not take its bytes.
  TempFolder folder;
  std::string trace;
  for (int record = 0; record < 150000; ++record)
    trace += std::to_string(record % 5) + " " + std::to_string(record % 64 * 1024 + 1) + " " +
             std::to_string(record * 7 % 64 * 1024) + "\n";
  folder.write("data.txt", trace);
  RunOptions with_null;
  with_null.stdin_path = "/dev/null";
  RunResult reference = pagesim(folder, {"0", "0"}, with_null);
  const std::string reference_log = folder.read("out.txt");

  RunOptions closed;
  closed.close_stdin = true;
  RunResult run = pagesim(folder, {"0", "0"}, closed);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, kBannerText);
  // Compared whole but not printed whole: the outputs are megabytes long.
  EXPECT_TRUE(run.out == reference.out) << "standard output differs";
  EXPECT_TRUE(folder.read("out.txt") == reference_log) << "out.txt differs";
  EXPECT_EQ(count(run.out, kPrompt), 1000u);
}

TEST(Display, EventLogIsWrittenBeforeEachPause) {
  // The program is still waiting at its second pause when the log is read.
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n8 5000 5000\n9 7000 7000\n");
  RunOptions options;
  options.shell_prefix = "mkfifo ../input; (exec 3>../input; printf x >&3; sleep 2) &";
  options.stdin_path = (folder.base() / "input").string();
  options.then = "true";
  // While the second pause waits on the pipe, copy out.txt aside.
  options.shell_prefix += " (sleep 1; cp out.txt ../log_at_pause) &";
  RunResult run = pagesim(folder, {"0", "0"}, options);
  EXPECT_EQ(run.exit_status, 0);
  std::string at_pause;
  {
    std::ifstream in(folder.base() / "log_at_pause");
    at_pause.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(at_pause,
            "Page Fault: line 1 proc 7 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n"
            "Page Fault: line 2 proc 8 LP 4 PP 2\n"
            "TLB: line 2 Entry 2 proc 8 LP 4 PP 2\n");
}

}  // namespace
