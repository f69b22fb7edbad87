// pagestat as a program: its report beside pagesim's own output on the same
// trace, the CSV, where reading stops, and every way it cannot run.
#include <gtest/gtest.h>

#include <string>

#include "tests/run_program.hpp"

namespace {

RunResult pagestat(const TempFolder& folder, const std::vector<std::string>& arguments = {},
                   const RunOptions& options = {}) {
  return run_program(PAGESTAT_BINARY, folder, arguments, options);
}

// A few hundred records that fault, evict and end processes.
std::string busy_trace() {
  std::string text;
  for (int r = 0; r < 600; ++r) {
    const int proc = r % 3;
    const int read = r % 50 == 49 ? 0 : (r * 7919 % 40) * 1024 + 5;
    text += std::to_string(proc) + " " + std::to_string(read) + " " +
            std::to_string((r * 104729 % 30) * 1024) + "\n";
  }
  return text;
}

// Enough records to spill many blocks under the smallest budget: several
// processes over about a hundred pages, some of them ending.
std::string long_trace() {
  std::string text;
  uint32_t state = 12345;
  const auto next = [&state](uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  for (int r = 0; r < 60'000; ++r) {
    const uint32_t proc = next(4);
    const uint32_t hot = next(3) == 0 ? 32 : 6;  // mostly a few pages, at times many
    const uint32_t read = next(400) == 0 ? 0 : next(hot) * 1024 + 7;
    text += std::to_string(proc) + " " + std::to_string(read) + " " +
            std::to_string(next(hot) * 1024 + 3) + "\n";
  }
  return text;
}

size_t lines_in(const std::string& text) {
  size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines;
}

TEST(Pagestat, ReportCarriesPagesimsOwnTotalsForBothModes) {
  TempFolder folder;
  folder.write("data.txt", busy_trace());
  const RunResult report = pagestat(folder);
  ASSERT_EQ(report.exit_status, 0) << report.err;
  EXPECT_EQ(report.err, "");
  for (const char* mode : {"0", "1"}) {
    const RunResult own = run_program(PAGESIM_BINARY, folder, {mode});
    ASSERT_EQ(own.exit_status, 0);
    ASSERT_EQ(lines_in(own.out), 4u);
    // Each of pagesim's four lines, indented, in the mode's part of the report.
    const size_t part = report.out.find(std::string("mode ") + mode + ", ");
    ASSERT_NE(part, std::string::npos);
    size_t at = part;
    for (size_t start = 0, end; (end = own.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
      at = report.out.find("    " + own.out.substr(start, end - start), at);
      EXPECT_NE(at, std::string::npos) << own.out.substr(start, end - start);
    }
  }
  for (const char* section : {"pagesim's run, both modes", "Per process", "What-if at 20 frames",
                              "clock and clean-first give pagesim's", "Intervals of 6 records"})
    EXPECT_NE(report.out.find(section), std::string::npos) << section;
  EXPECT_EQ(report.out.find("Curve"), std::string::npos);
}

TEST(Pagestat, CsvIsTheTableAloneAndTheCurveWithIt) {
  TempFolder folder;
  folder.write("t.txt", busy_trace());
  const RunResult table = pagestat(folder, {"--csv", "-f", "7", "t.txt"});
  ASSERT_EQ(table.exit_status, 0);
  EXPECT_EQ(table.err, "");
  ASSERT_EQ(lines_in(table.out), 6u);
  EXPECT_EQ(table.out.substr(0, table.out.find('\n')), "policy,frames,faults,dirty_writes");
  EXPECT_EQ(table.out.find("\nclock,7,"), table.out.find('\n'));
  const RunResult curve = pagestat(folder, {"--csv", "--curve", "t.txt"});
  ASSERT_EQ(curve.exit_status, 0);
  // Every count to 64, then 9 per doubling to the trace's 120 pages.
  EXPECT_EQ(lines_in(curve.out), 1u + 5 * 73);
  EXPECT_NE(curve.out.find("\nopt,64,"), std::string::npos);
  EXPECT_EQ(curve.out.substr(curve.out.rfind("\nopt,") + 1), "opt,120,516,0\n");
}

TEST(Pagestat, TlbCurveAtEightEntriesAndTwentyFramesIsPagesimsRun) {
  TempFolder folder;
  folder.write("data.txt", busy_trace());
  const RunResult curve = pagestat(folder, {"--tlb-curve", "--csv"});
  ASSERT_EQ(curve.exit_status, 0) << curve.err;
  EXPECT_EQ(curve.out.substr(0, curve.out.find('\n')),
            "mode,tlb_entries,frames,tlb_misses,page_faults");
  EXPECT_EQ(lines_in(curve.out), 1u + 2 * 64);
  for (const char* mode : {"0", "1"}) {
    const RunResult own = run_program(PAGESIM_BINARY, folder, {mode});
    ASSERT_EQ(own.exit_status, 0);
    const auto total = [&own](const std::string& what) {
      const size_t end = own.out.find(" " + what);
      const size_t start = own.out.rfind("There were ", end) + 11;
      return own.out.substr(start, end - start);
    };
    const std::string row = std::string("\n") + mode + ",8,20," + total("TLB misses") + "," +
                            total("page faults") + "\n";
    EXPECT_NE(curve.out.find(row), std::string::npos) << row;
  }
}

TEST(Pagestat, WherePagesimStopsReadingIsSaidOnStandardError) {
  const struct {
    const char* trace;
    const char* note;
    const char* records;
  } cases[] = {
      {"1 2 3\n4 5 6\n\n  7 8 oops 9\n",
       "data.txt:4:7: after record 3: pagesim stops reading here: \"oops\" is not a number\n",
       ": 3 records,"},
      {"1 2 3\n4294967296 5 6\n",
       "data.txt:2:1: after record 1: pagesim stops reading here: \"4294967296\" is outside the "
       "signed 32-bit range\n",
       ": 1 record,"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    folder.write("data.txt", c.trace);
    const RunResult run = pagestat(folder);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err, c.note);
    EXPECT_NE(run.out.find(c.records), std::string::npos) << run.out.substr(0, 80);
  }
}

TEST(Pagestat, ProcessMinusOneIsNotedBesideTheCsv) {
  TempFolder folder;
  folder.write("data.txt", "-1 100 100\n2 2000 3000\n");
  const RunResult run = pagestat(folder, {"--csv"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(lines_in(run.out), 6u);
  EXPECT_EQ(run.err.rfind("pagestat: data.txt names process -1", 0), 0u) << run.err;
}

TEST(Pagestat, CannotRunExitsWithTwoAndOneLine) {
  const struct {
    std::vector<std::string> arguments;
    const char* stdout_path;  // empty: captured
    const char* error;
  } cases[] = {
      {{"missing.txt"}, "", "pagestat: cannot read missing.txt: No such file or directory\n"},
      {{"-f", "65537"},
       "",
       "pagestat: -f takes a number of frames from 1 to 65536, not \"65537\"\n"},
      {{"--bogus"}, "", "pagestat: unknown option --bogus (pagestat -h shows the usage)\n"},
      {{}, "/dev/full", "pagestat: could not write standard output: No space left on device\n"},
      {{"--svg", "no/such/folder/x.svg", "missing.txt"},
       "",
       "pagestat: cannot write no/such/folder/x.svg: No such file or directory\n"},
      {{"--svg", "no/such/folder/x.svg"},
       "",
       "pagestat: cannot write no/such/folder/x.svg: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    folder.write("data.txt", "1 2000 3000\n");
    RunOptions options;
    options.stdout_path = c.stdout_path;
    const RunResult run = pagestat(folder, c.arguments, options);
    EXPECT_EQ(run.exit_status, 2) << c.error;
    EXPECT_EQ(run.err, c.error);
  }
}

TEST(Pagestat, ASpilledTraceGivesTheReportOfOneHeldInMemory) {
  TempFolder folder;
  folder.write("data.txt", long_trace());
  const std::vector<std::vector<std::string>> reports = {
      {"--curve", "-i", "500", "--tlb-curve", "--svg", "chart.svg"},
      {"-i", "3"},  // more intervals than are held: the rows are run again
      {"--csv", "--curve"},
  };
  for (const auto& arguments : reports) {
    const RunResult held = pagestat(folder, arguments);
    ASSERT_EQ(held.exit_status, 0) << held.err;
    const std::string held_chart = folder.exists("chart.svg") ? folder.read("chart.svg") : "";
    std::vector<std::string> spilling = arguments;
    spilling.insert(spilling.begin(), {"--memory-max", "256K"});
    const RunResult spilled = pagestat(folder, spilling);
    ASSERT_EQ(spilled.exit_status, 0) << spilled.err;
    EXPECT_EQ(spilled.out, held.out) << arguments[0];
    EXPECT_EQ(spilled.err, held.err) << arguments[0];
    if (!held_chart.empty()) {
      EXPECT_EQ(folder.read("chart.svg"), held_chart);
    }
  }
}

TEST(Pagestat, ASpillThatCannotBeWrittenExitsWithTwoAndOneLine) {
  const struct {
    const char* shell_prefix;
    const char* error;
  } cases[] = {
      {"export TMPDIR=/no/such/folder;",
       "pagestat: cannot make a temporary file in /no/such/folder: No such file or directory\n"},
      {"export TMPDIR=/tmp; ulimit -f 64;",
       "pagestat: cannot write the spilled trace to /tmp: File too large\n"},
  };
  TempFolder folder;
  folder.write("data.txt", long_trace());
  for (const auto& c : cases) {
    RunOptions options;
    options.shell_prefix = c.shell_prefix;
    const RunResult spilling = pagestat(folder, {"--memory-max", "256K"}, options);
    EXPECT_EQ(spilling.exit_status, 2) << c.error;
    EXPECT_EQ(spilling.err, c.error);
    EXPECT_EQ(spilling.out, "");
    // Under the default budget the same trace needs no file.
    EXPECT_EQ(pagestat(folder, {}, options).exit_status, 0) << c.shell_prefix;
  }
}

TEST(Pagestat, HelpGoesToStandardOutput) {
  TempFolder folder;
  const RunResult run = pagestat(folder, {"-h"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out.rfind("usage: pagestat [-f FRAMES] [-i INTERVAL]", 0), 0u);
  EXPECT_EQ(run.err, "");
}

TEST(Pagestat, ChartFileIsAStandaloneSvgAndTheReportStillPrints) {
  TempFolder folder;
  folder.write("data.txt", busy_trace());
  const RunResult run = pagestat(folder, {"--svg", "chart.svg", "-i", "100"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("Intervals of 100 records"), std::string::npos);
  const std::string svg = folder.read("chart.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find(">pagestat: data.txt (600 records)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Miss-ratio curve: page faults per 1,000 references by frames</text>"),
            std::string::npos);
  EXPECT_EQ(svg.find("<script"), std::string::npos);
}

}  // namespace
