// The CSV: the exact header, the policies in order, one row per frame count.
#include "tools/pagestat/csv_report.hpp"

#include <gtest/gtest.h>

#include "tools/pagestat/report_fixture.hpp"

namespace {

// Pages 2 (read), 3 (written), 2, 4 (written), then the end of the process,
// which frees page 4 unwritten.
const std::vector<std::array<int32_t, 3>> kRecords = {{7, 3000, 3100}, {7, 3000, 5000}, {7, 0, 0}};

TEST(CsvReport, WhatIfTableHasOneRowPerPolicy) {
  EXPECT_EQ(csv_report(analyse(kRecords, 1, 1, false).results),
            "policy,frames,faults,dirty_writes\n"
            "clock,1,4,1\n"
            "clean-first,1,4,1\n"
            "fifo,1,4,1\n"
            "lru,1,4,1\n"
            "opt,1,4,1\n");
}

TEST(CsvReport, WithTheCurveEveryPolicyHasEveryFrameCountToThePages) {
  const std::string csv = csv_report(analyse(kRecords, 20, 1, true).results);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = csv.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(csv.substr(start, end - start));
  ASSERT_EQ(lines.size(), 1u + kPolicyCount * 3);  // the trace has 3 pages
  EXPECT_EQ(lines[0], "policy,frames,faults,dirty_writes");
  EXPECT_EQ(lines[1], "clock,1,4,1");
  EXPECT_EQ(lines[2], "clock,2,3,0");  // pages 2, 3, 4: nothing evicted
  EXPECT_EQ(lines[3 + 1], "clean-first,1,4,1");
  EXPECT_EQ(lines.back(), "opt,3,3,0");
}

}  // namespace
