// The text report of small traces worked by hand.
#include "tools/pagestat/text_report.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/pagestat/report_fixture.hpp"
#include "tools/pagestat/text_table.hpp"

namespace {

// The line that starts with `start`, with its runs of spaces made single.
std::string line_starting(const std::string& text, const std::string& start) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(start, 0) != 0) continue;
    std::istringstream words(line);
    std::string squeezed, word;
    while (words >> word) squeezed += (squeezed.empty() ? "" : " ") + word;
    return squeezed;
  }
  return "(no line starting \"" + start + "\")";
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Pages 2 and 3 of process 7, then page 0 read and written by process 8.
const std::vector<std::array<int32_t, 3>> kTwoRecords = {{7, 3000, 3100}, {8, 1, 2}};

TEST(TextReport, PagesimTotalsComeWithTheirRatiosBeside) {
  const std::string text = text_report(analyse(kTwoRecords, 20, 1, false).results);
  EXPECT_EQ(line_starting(text, "pagestat:"),
            "pagestat: t.txt: 2 records, 4 references, 2 processes, 0 terminations, 3 pages");
  EXPECT_EQ(line_starting(text, "    2 steps"), "2 steps were executed");
  EXPECT_EQ(line_starting(text, "    There were 3 TLB"),
            "There were 3 TLB misses TLB hit ratio 25.00%");
  EXPECT_EQ(line_starting(text, "    There were 3 page"),
            "There were 3 page faults 750.000 page faults per 1,000 references");
  EXPECT_EQ(line_starting(text, "    There were 0 dirty"),
            "There were 0 dirty pages written to disk no evictions");
}

TEST(TextReport, ProcessesWhatIfAndIntervalsHaveTheirRows) {
  const std::string text = text_report(analyse(kTwoRecords, 20, 1, false).results);
  EXPECT_EQ(line_starting(text, "7 "), "7 1 2 0 2 2 0 2 2 0");
  EXPECT_EQ(line_starting(text, "8 "), "8 1 2 0 1 1 0 1 1 0");
  EXPECT_EQ(line_starting(text, "total"), "total 2 4 0 3 3 0 3 3 0");
  EXPECT_EQ(line_starting(text, "opt "), "opt 3 750.000 0");
  EXPECT_TRUE(contains(text, "clock and clean-first give pagesim's page faults"));
  EXPECT_EQ(line_starting(text, "1-1 "), "1-1 2 2 2 2 2 2 2 2 2");
  EXPECT_EQ(line_starting(text, "2-2 "), "2-2 1 1 1 1 1 1 1 1 1");
  EXPECT_FALSE(contains(text, "Curve"));
}

TEST(TextReport, TheCurveIsShownWhenComputedWithTheFramesMarked) {
  const std::string text = text_report(analyse(kTwoRecords, 2, 5, true).results);
  EXPECT_EQ(line_starting(text, "1 "), "1 3 3 3 3 3");  // the write of page 0 hits
  EXPECT_EQ(line_starting(text, "2 <"), "2 < 3 3 3 3 3");
  EXPECT_EQ(line_starting(text, "3 "), "3 3 3 3 3 3");  // the last: the trace has 3 pages
  // Not at pagesim's 20 frames: no claim about its modes.
  EXPECT_FALSE(contains(text, "clock and clean-first give"));
}

TEST(TextReport, ProcessMinusOneIsNamed) {
  const std::string text = text_report(analyse({{-1, 100, 100}}, 20, 1, false).results);
  EXPECT_TRUE(contains(text, "The trace names process -1"));
  EXPECT_FALSE(contains(text, "clock and clean-first give"));
}

TEST(TextReport, StreamedRowsLineUpAsTheHeldOnes) {
  // Counts of one interval stay within the headers' widths here, so the
  // widths fixed before the rows are the widths the held rows take.
  std::vector<std::array<int32_t, 3>> records;
  for (int32_t r = 0; r < 300; ++r) records.push_back({r % 5, (r * 7919) % 65536 + 1, r * 37});
  const AnalysedTrace analysed = analyse(records, 20, 4, false);
  const PagestatResults& results = analysed.results;
  const IntervalTable table = streamed_interval_table(results);
  std::string streamed = text_report_head(results) + table.header();
  for (size_t i = 0; i < results.interval_ends.size(); ++i) {
    IntervalRow row;
    size_t c = 0;
    for (const auto& mode : results.modes) {
      row[c++] = mode->interval_tlb_misses[i];
      row[c++] = mode->interval_faults[i];
    }
    for (const WhatIfResult& what_if : results.what_if) row[c++] = what_if.interval_faults[i];
    streamed += table.row(static_cast<int64_t>(i), row);
  }
  EXPECT_EQ(streamed, text_report(results));
}

TEST(TextTable, ColumnsLineUpFirstLeftOthersRight) {
  TextTable table;
  table.add_row({"a", "1", "x"});
  table.add_row({"bbb", "22", ""});
  EXPECT_EQ(table.render(), "a     1  x\nbbb  22\n");
}

}  // namespace
