// pagediff on outputs of simulators with the usual mistakes: each buggy
// output is pagesim's own on a small trace, changed where and as that
// mistake changes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "tests/expected_text.hpp"
#include "tests/trace_text.hpp"

namespace {

RunResult pagediff(const TempFolder& folder, const std::vector<std::string>& arguments,
                   const RunOptions& options = {}) {
  return run_program(PAGEDIFF_BINARY, folder, arguments, options);
}

std::string first_line(const std::string& text) {
  return text.substr(0, text.find('\n') + 1);
}

std::string first_lines(const std::string& text, int count) {
  size_t end = 0;
  for (int i = 0; i < count && end != std::string::npos; ++i) end = text.find('\n', end + (i > 0));
  return text.substr(0, end == std::string::npos ? end : end + 1);
}

// `log` with the whole line `from` replaced by `to` (one or more lines, or
// nothing), as the buggy program writes it there.
std::string edited(const std::string& log, const std::string& from, const std::string& to) {
  const size_t at = ("\n" + log).find("\n" + from + "\n");
  if (at == std::string::npos) {
    ADD_FAILURE() << "pagesim's log has no line \"" << from << "\"";
    return log;
  }
  return log.substr(0, at) + (to.empty() ? "" : to + "\n") + log.substr(at + from.size() + 1);
}

struct Mistake {
  const char* name;
  std::string trace;
  std::string mode;
  std::function<std::string(const std::string&)> their_log;
  std::string expected_first_lines;  ///< the location and the cause
  std::string key_sentence;
  /// When set, their standard output too (from pagesim's).
  std::function<std::string(const std::string&)> their_stdout = nullptr;
};

const Mistake kMistakes[] = {
    {"WordsOfTheLine", "7 3000 3100\n", "0",
     [](const std::string& log) {
       return edited(log, "Page Fault: line 1 proc 7 LP 2 PP 0",
                     "Page fault: line 1 proc 7 LP 2 PP 0");
     },
     "their.txt:1: record 1: text\ncause: unknown\n",
     "from column 6: pagesim has \"Fault:\", yours \"fault:\""},
    {"RecordsNumberedByTraceLines", "1 1024 2048\n\n2 5000 5000\n", "0",
     [](const std::string& log) {
       std::string theirs = log;
       for (size_t at; (at = theirs.find("line 2 ")) != std::string::npos;) theirs[at + 5] = '3';
       return theirs;
     },
     "their.txt:5: record 2: record number\ncause: unknown\n",
     "this is record 2, which starts at line 3, column 1 of data.txt."},
    {"FloorDivisionOfANegativeAddress", "5 -100 2048\n", "0",
     [](const std::string& log) {
       return edited(edited(log, "Page Fault: line 1 proc 5 LP 0 PP 0",
                            "Page Fault: line 1 proc 5 LP -1 PP 0"),
                     "TLB: line 1 Entry 0 proc 5 LP 0 PP 0",
                     "TLB: line 1 Entry 0 proc 5 LP -1 PP 0");
     },
     "their.txt:1: record 1: page number\ncause: negative-address-floor\n",
     "Your program rounds the page of a negative address down"},
    {"TlbFillsItsHighestEmptyEntryFirst", "7 3000 3100\n", "0",
     [](const std::string& log) {
       return edited(log, "TLB: line 1 Entry 0 proc 7 LP 2 PP 0",
                     "TLB: line 1 Entry 7 proc 7 LP 2 PP 0");
     },
     "their.txt:2: record 1: TLB entry\ncause: unknown\n",
     "pagesim takes the lowest empty entry: entry 0."},
    {"TlbHitDoesNotRefreshLastUse", pages(1, 0, 7) + record(1, 0, 0) + record(1, 8, 8), "0",
     [](const std::string& log) {
       return edited(log, "TLB: line 6 Entry 1 proc 1 LP 8 PP 8",
                     "TLB: line 6 Entry 0 proc 1 LP 8 PP 8");
     },
     "their.txt:18: record 6: TLB entry\ncause: tlb-fifo\n",
     "In your program a TLB hit does not count as a use"},
    {"TerminationDoesNotFreeFrames", pages(1, 0, 9) + pages(2, 0, 9) + "2 0 0\n" + record(3, 0, 0),
     "0",
     [](const std::string& log) {
       // All frames still held: the clock, all bits set, takes frame 0.
       return edited(log, "Page Fault: line 12 proc 3 LP 0 PP 10",
                     "Page Fault: line 12 proc 3 LP 0 PP 0");
     },
     "their.txt:41: record 12: free frame\ncause: unknown\n",
     "frames 10 to 19: freed by the end of process 2 at record 11"},
    {"HandMovesOnAFreeFrameFault",
     pages(1, 0, 9) + record(2, 0, 0) + pages(1, 10, 18) + record(1, 19, 19) + "2 0 0\n" +
         record(3, 0, 0) + record(3, 1, 1),
     "0",
     [](const std::string& log) {
       // After frame 10 took a page the hand stood at 11; frame 11 had lost
       // its ref bit to the first eviction's full turn.
       return edited(log, "Page Fault: line 15 proc 3 LP 1 PP 1",
                     "Page Fault: line 15 proc 3 LP 1 PP 11");
     },
     "their.txt:45: record 15: victim frame\ncause: unknown\n",
     "The fault into a free frame since then (record 14) did not move it."},
    {"VictimSearchClearsDirtyBits",
     record(1, 0, 0) + "1 1025 1\n" + written_pages(1, 2, 19) + record(1, 20, 20), "1",
     [](const std::string& log) {
       // Every frame dirty but frame 1: with the dirty bits cleared on the
       // first turn, the second turn takes frame 0 at once.
       return edited(log, "Page Fault: line 21 proc 1 LP 20 PP 1",
                     "Page Fault: line 21 proc 1 LP 20 PP 0");
     },
     "their.txt:41: record 21: victim frame\ncause: unknown\n",
     "frame 1 (turn 2): ref 0 dirty 0: clean, taken"},
    {"TerminationKeepsThePages", record(1, 0, 0) + "1 0 0\n" + record(1, 0, 0), "0",
     [](const std::string& log) {
       // Found in its old frame: a TLB load but no fault.
       return edited(log, "Page Fault: line 3 proc 1 LP 0 PP 0", "");
     },
     "their.txt:3: record 3: missing page fault\ncause: termination-keeps-frames\n",
     "At a termination your program empties the TLB entries but keeps the frames."},
    {"NoFrameTableSearch", pages(1, 0, 8) + record(1, 0, 0), "0",
     [](const std::string& log) {
       return edited(log, "TLB: line 6 Entry 1 proc 1 LP 0 PP 0",
                     "Page Fault: line 6 proc 1 LP 0 PP 9\nTLB: line 6 Entry 1 proc 1 LP 0 PP 9");
     },
     "their.txt:19: record 6: extra page fault\ncause: no-frame-search\n",
     "After a TLB miss your program faults without searching the frames."},
    {"TlbIgnoresTheProcess",
     record(2, 0, 0) + pages(1, 1, 8) + record(1, 0, 0) + record(2, 0, 0) + record(2, 10, 10), "0",
     [](const std::string& log) {
       // Page 0 of process 1 in the TLB passes for that of process 2.
       return edited(log, "TLB: line 7 Entry 2 proc 2 LP 0 PP 0", "");
     },
     "their.txt:21: record 7: missing TLB load\ncause: unknown\n",
     "tlb-ignores-process gives this line too but parts from your log at line 22"},
    {"TerminationEmptiesTheWholeTlb",
     record(1, 0, 0) + record(2, 1, 1) + "2 0 0\n" + record(1, 0, 0) + record(1, 2, 2), "0",
     [](const std::string& log) {
       return edited(log, "Page Fault: line 5 proc 1 LP 2 PP 1",
                     "TLB: line 4 Entry 0 proc 1 LP 0 PP 0\nPage Fault: line 5 proc 1 LP 2 PP 1");
     },
     "their.txt:5: record 5: extra TLB load\ncause: unknown\n",
     "pagesim had a TLB hit on the read of record 4."},
    {"StopsAtAPartialLastRecord", "1 1 1\n2 5000", "0",
     [](const std::string& log) { return log.substr(0, log.find("Page Fault: line 2")); },
     "their.txt:3: record 2: ends early\ncause: unknown\n",
     "The last record, 2, is partial; pagesim runs it."},
    {"StopsHalfwayWithoutFlushing", "1 1 1\n2 5000 3000\n", "0",
     [](const std::string& log) { return log.substr(0, 60); },
     "their.txt:2: record 1: ends early\ncause: unknown\n", "Your log stops inside a line"},
    {"ReadsOnPastANonNumber", "1 1 1\n# a comment\n2 5000 5000\n", "0",
     [](const std::string& log) {
       return log + "Page Fault: line 2 proc 2 LP 4 PP 1\nTLB: line 2 Entry 1 proc 2 LP 4 PP 1\n";
     },
     "their.txt:3: record 1: ends late\ncause: unknown\n",
     "data.txt:2:1: after record 1: pagesim stops reading here: \"#\" is not a number"},
    {"LogsDebugText", "7 3000 3100\n", "0",
     [](const std::string& log) {
       return edited(log, "Page Fault: line 1 proc 7 LP 3 PP 1",
                     "hand 0\nPage Fault: line 1 proc 7 LP 3 PP 1");
     },
     "their.txt:3: record 1: other\ncause: unknown\n", "neither a TLB line nor a Page Fault line"},
    {"DirtyPagesCountedAtATermination", record(1, 0, 0) + "1 0 0\n", "0",
     [](const std::string& log) { return log; },
     "their-stdout.txt:4: totals\ncause: dirty-counted-at-termination\n",
     "Your program counts the dirty pages a termination frees as written.",
     [](const std::string& out) {
       return edited(out, "There were 0 dirty pages written to disk",
                     "There were 1 dirty pages written to disk");
     }},
    {"OneMessagePerReference", "1 70000 1\n", "0", [](const std::string& log) { return log; },
     "their-stdout.txt:2: messages\ncause: unknown\n", "pagesim's by page: page 68: 3.",
     [](const std::string& out) {
       return edited(edited(out, "Error, bad frame number", ""), "Error, bad frame number", "");
     }},
};

// gtest names the cases by this, not by their bytes.
void PrintTo(const Mistake& mistake, std::ostream* out) {
  *out << mistake.name;
}

class PagediffMistake : public testing::TestWithParam<Mistake> {};

TEST_P(PagediffMistake, FirstLineNamesTheKindAndTheCauseIsExplained) {
  const Mistake& mistake = GetParam();
  TempFolder folder;
  folder.write("data.txt", mistake.trace);
  const RunResult reference = pagesim(folder, {mistake.mode});
  ASSERT_EQ(reference.exit_status, 0);
  folder.write("their.txt", mistake.their_log(folder.read("out.txt")));
  std::vector<std::string> arguments = {"-m", mistake.mode, "their.txt"};
  if (mistake.their_stdout) {
    folder.write("their-stdout.txt", mistake.their_stdout(reference.out));
    arguments.push_back("their-stdout.txt");
  }
  const RunResult run = pagediff(folder, arguments);
  EXPECT_EQ(run.exit_status, 1) << run.err;
  EXPECT_EQ(first_lines(run.out, 2), mistake.expected_first_lines) << run.out;
  EXPECT_NE(run.out.find(mistake.key_sentence), std::string::npos) << run.out;
  // Numbered by the trace's lines, their log names a record the trace lacks.
  EXPECT_EQ(run.err, std::string(mistake.name) == "RecordsNumberedByTraceLines"
                         ? "pagediff: their.txt:5: note: record 3 is past the trace's end (2 "
                           "records): was it made from another trace?\n"
                         : "");
}

INSTANTIATE_TEST_SUITE_P(Pagediff, PagediffMistake, testing::ValuesIn(kMistakes),
                         [](const testing::TestParamInfo<Mistake>& info) {
                           return std::string(info.param.name);
                         });

TEST(Pagediff, ReportShowsBothLinesTheRecordTheTablesAndTheEvents) {
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n7 0 0\n8 5000 5000\n");
  ASSERT_EQ(pagesim(folder).exit_status, 0);
  folder.write("their.txt", edited(folder.read("out.txt"), "TLB: line 3 Entry 0 proc 8 LP 4 PP 0",
                                   "TLB: line 3 Entry 2 proc 8 LP 4 PP 0"));
  const RunResult run = pagediff(folder, {"their.txt"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out,
            "their.txt:6: record 3: TLB entry\n"
            "cause: termination-keeps-tlb\n"
            "pagesim: TLB: line 3 Entry 0 proc 8 LP 4 PP 0\n"
            "yours:   TLB: line 3 Entry 2 proc 8 LP 4 PP 0\n"
            "record 3 is data.txt:3:1: 8 5000 5000 (process 8 reads 5000, writes 5000)\n"
            "\n"
            "At a termination your program frees the frames but keeps the TLB entries.\n"
            "pagesim's termination empties the process's TLB entries and frees its frames.\n"
            "pagesim's machine with this mistake gives your lines from the start to the end of "
            "your log.\n"
            "It first shows at the read of record 3 (address 5000), where that machine logs "
            "your line.\n"
            "\n"
            "Empty TLB entries before this load:\n"
            "   entries 0 to 1: emptied by the end of process 7 at record 2\n"
            "   entries 2 to 7: empty since the start\n"
            "pagesim takes the lowest empty entry: entry 0.\n"
            "Yours took entry 2, also empty.\n"
            "\n"
            "pagesim's tables just before record 3:\n"
            "   TLB 0 is free\n"
            "   ... (TLB 1 to 7 are free too)\n"
            "   Physical Page 0 is free   <- clock hand\n"
            "   Physical Page 1 is free\n"
            "   ... (pages 2 to 19 are free too)\n"
            "pagesim logged for record 3:\n"
            "   Page Fault: line 3 proc 8 LP 4 PP 0\n"
            "   TLB: line 3 Entry 0 proc 8 LP 4 PP 0\n"
            "\n"
            "5 lines of their.txt matched before this one.\n");
}

TEST(Pagediff, IdenticalOutputsMatchInBothModes) {
  TempFolder folder;
  RunOptions to_trace;
  to_trace.stdout_path = (folder.work() / "data.txt").string();
  ASSERT_EQ(run_program(TRACEGEN_BINARY, folder, {"mixed", "3000", "5"}, to_trace).exit_status, 0);
  for (const std::string mode : {"0", "1"}) {
    const RunResult reference = pagesim(folder, {mode});
    const std::string log = folder.read("out.txt");
    folder.write("stdout.txt", reference.out);
    const RunResult run = pagediff(folder, {"-m", mode, "out.txt", "stdout.txt"});
    EXPECT_EQ(run.exit_status, 0) << run.out;
    EXPECT_EQ(run.out,
              "no difference: " + std::to_string(std::count(log.begin(), log.end(), '\n')) +
                  " lines of out.txt match, and stdout.txt\n");
  }
}

TEST(Pagediff, CarriageReturnsBeforeLineFeedsAreNotedOnce) {
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n8 5000 6000\n");
  ASSERT_EQ(pagesim(folder).exit_status, 0);
  std::string crlf;
  for (char c : folder.read("out.txt")) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  folder.write("their.txt", crlf);
  RunResult run = pagediff(folder, {"their.txt"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out,
            "no difference: 8 lines of their.txt match (lines ending in CR LF compared without "
            "the CR)\n");
  folder.write("their.txt", edited(crlf, "TLB: line 2 Entry 2 proc 8 LP 4 PP 2\r",
                                   "TLB: line 2 Entry 3 proc 8 LP 4 PP 2\r"));
  run = pagediff(folder, {"their.txt"});
  EXPECT_EQ(first_line(run.out), "their.txt:6: record 2: TLB entry\n");
  const std::string note = "Note: their.txt ends lines with CR LF; compared without the CR.\n";
  EXPECT_EQ(run.out.find(note), run.out.rfind(note));
  EXPECT_NE(run.out.find(note), std::string::npos);
}

TEST(Pagediff, CannotRunExitsWithTwoAndOneLine) {
  struct Case {
    std::vector<std::string> arguments;
    std::string err;
  } cases[] = {
      {{"missing.txt"}, "pagediff: cannot read missing.txt: No such file or directory\n"},
      {{"-t", "none.txt", "their.txt"},
       "pagediff: cannot read none.txt: No such file or directory\n"},
      {{"their.txt", "gone.txt"}, "pagediff: cannot read gone.txt: No such file or directory\n"},
      {{"-m", "2", "their.txt"},
       "pagediff: bad mode \"2\": use 0 (second chance) or 1 (clean first)\n"},
      {{"-m1x", "their.txt"},
       "pagediff: bad mode \"1x\": use 0 (second chance) or 1 (clean first)\n"},
      {{},
       "pagediff: THEIR_LOG is missing; usage: pagediff [-m MODE] [-t TRACE] [--all] [--html FILE] "
       "THEIR_LOG "
       "[THEIR_STDOUT]\n"},
  };
  TempFolder folder;
  folder.write("data.txt", "1 1 1\n");
  folder.write("their.txt", "");
  std::filesystem::create_directory(folder.work() / "folder");
  for (const Case& c : cases) {
    const RunResult run = pagediff(folder, c.arguments);
    EXPECT_EQ(run.exit_status, 2) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  const RunResult help = pagediff(folder, {"-h"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(
      help.out,
      "usage: pagediff [-m MODE] [-t TRACE] [--all] [--html FILE] THEIR_LOG [THEIR_STDOUT]\n");
}

// A trace that can only be read once gives the same report as a file.
TEST(Pagediff, AFifoAndAFileGiveTheSameReport) {
  TempFolder folder;
  std::string trace;
  for (int i = 0; i < 400; ++i) trace += record(i % 5, (i * 7) % 40, (i * 11) % 40);
  folder.write("data.txt", trace);
  ASSERT_EQ(pagesim(folder).exit_status, 0);
  folder.write("their.txt", edited(folder.read("out.txt"), "TLB: line 30 Entry 7 proc 4 LP 3 PP 15",
                                   "TLB: line 30 Entry 6 proc 4 LP 3 PP 15"));
  const RunResult from_file = pagediff(folder, {"their.txt"});
  RunOptions fifo;
  fifo.shell_prefix =
      "rm -f trace.fifo && mkfifo trace.fifo && { cat data.txt > trace.fifo & } && ";
  RunResult from_fifo = pagediff(folder, {"-t", "trace.fifo", "their.txt"}, fifo);
  for (size_t at; (at = from_fifo.out.find("trace.fifo")) != std::string::npos;)
    from_fifo.out.replace(at, 10, "data.txt");
  EXPECT_EQ(from_file.exit_status, 1);
  EXPECT_EQ(from_fifo.exit_status, 1);
  EXPECT_NE(from_file.out.find("pagesim's tables just before record 30:"), std::string::npos);
  EXPECT_EQ(from_fifo.out, from_file.out);
  // --all reads each input once per difference: a FIFO is copied first.
  const RunResult all_from_file = pagediff(folder, {"--all", "their.txt"});
  RunResult all_from_fifo = pagediff(folder, {"--all", "-t", "trace.fifo", "their.txt"}, fifo);
  EXPECT_EQ(all_from_fifo.exit_status, 1);
  EXPECT_EQ(all_from_fifo.out, all_from_file.out);
}

// Their bytes are quoted so that nothing in them reaches the terminal, and
// what cannot be seen is said.
TEST(Pagediff, TheirLinesAreShownVisibly) {
  const std::string spaced = "Page" + std::string(5000, ' ') + "Fault: line 1 proc 7 LP 2 PP 0";
  struct Case {
    std::string their_line;
    std::string first_line;
    std::string shown;
  } cases[] = {
      {"x\033]0;owned\007\033[2J", "their.txt:1: record 1: other\n",
       "yours:   x\\x1b]0;owned\\x07\\x1b[2J\n"},
      {"Page Fault: line 1 proc 7 LP 2 PP 0 ", "their.txt:1: record 1: text\n",
       "yours:   Page Fault: line 1 proc 7 LP 2 PP 0    (ends in a blank)\n"},
      {"", "their.txt:1: record 1: other\n", "yours:   (an empty line)\n"},
      {"Page Fault:\tline 1 proc 7 LP 2 PP 0", "their.txt:1: record 1: text\n",
       "yours:   Page Fault:\\x09line 1 proc 7 LP 2 PP 0\n"},
      {spaced, "their.txt:1: record 1: text\n", "... (5034 bytes)"},
  };
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n");
  ASSERT_EQ(pagesim(folder).exit_status, 0);
  const std::string log = folder.read("out.txt");
  for (const Case& c : cases) {
    // Their first line, pagesim's fault line, is replaced.
    folder.write("their.txt", c.their_line + log.substr(log.find('\n')));
    const RunResult run = pagediff(folder, {"their.txt"});
    EXPECT_EQ(first_line(run.out), c.first_line) << run.out;
    EXPECT_NE(run.out.find(c.shown), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\033'), std::string::npos);
  }
}

// What is odd about the inputs is said in one line before the report.
TEST(Pagediff, OddInputsAreNotedOnce) {
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n");
  const RunResult reference = pagesim(folder);
  folder.write("stdout.txt", reference.out);
  folder.write("both.txt", kBannerText + reference.out);
  folder.write("empty.txt", "");
  struct Case {
    std::vector<std::string> files;
    int exit_status;
    std::string note;
  } cases[] = {
      {{"out.txt", "both.txt"},
       0,
       "pagediff: both.txt:1: note: it begins with pagesim's start-up banner, which goes to "
       "standard error (run with 2> /dev/null); compared from line 11\n"},
      {{"stdout.txt", "out.txt"},
       1,
       "pagediff: stdout.txt:1: note: this looks like a standard output (\"1 steps were "
       "executed\"): are THEIR_LOG and THEIR_STDOUT swapped?\n"},
      {{"empty.txt"}, 1, "pagediff: empty.txt:1: note: the log is empty\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = pagediff(folder, c.files);
    EXPECT_EQ(run.exit_status, c.exit_status) << run.out;
    EXPECT_EQ(run.err, c.note);
  }
}

// pagesim's inconsistency stop ends its output: a log that goes on is
// reported like any other difference.
TEST(Pagediff, ALogPastTheInconsistencyStopIsReported) {
  TempFolder folder;
  // A free frame holds process -1's page -1: the frame search finds it.
  folder.write("data.txt", "1 1 1\n-1 -2000 -2000\n2 5000 5000\n");
  pagesim(folder);
  folder.write("their.txt", folder.read("out.txt") + "Page Fault: line 3 proc 2 LP 4 PP 1\n");
  const RunResult run = pagediff(folder, {"their.txt"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(first_lines(run.out, 2), "their.txt:4: record 2: ends late\ncause: unknown\n");
  EXPECT_NE(run.out.find("pagesim stopped at record 2: its tables contradicted themselves"),
            std::string::npos);
}

// A report that cannot be written whole is no result.
TEST(Pagediff, AFileSizeLimitIsAWriteError) {
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n");
  pagesim(folder);
  folder.write("their.txt", "");
  RunOptions limited;
  limited.shell_prefix = "ulimit -f 1; ";
  limited.stdout_path = (folder.work() / "report.txt").string();
  // 512 bytes fit; the report is longer.
  const RunResult run = pagediff(folder, {"their.txt"}, limited);
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.err,
            "pagediff: their.txt:1: note: the log is empty\n"
            "pagediff: could not write standard output: File too large\n");
}

}  // namespace
