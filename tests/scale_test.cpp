// A run long enough for the reference clock to pass 10,000,000, where an LRU
// scan that starts from that value would find no candidate.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/expected_text.hpp"

namespace {

TEST(Scale, TlbStaysLeastRecentlyUsedPastTenMillionReferences) {
  // Process 1 cycles through pages 0..8, reading and writing one page per
  // record: nine pages in eight TLB entries always miss under LRU, so record
  // n loads entry (n-1) mod 8 with page (n-1) mod 9, which sits in frame
  // (n-1) mod 9 since the first nine records faulted in order.
  constexpr long kRecords = 5'000'100;  // 10,000,200 references
  TempFolder folder;
  {
    std::ofstream trace(folder.work() / "data.txt", std::ios::binary);
    std::string block;
    for (long n = 1; n <= kRecords; ++n) {
      const long page = (n - 1) % 9;
      const std::string address = std::to_string(page * 1024 + 1);
      block += "1 " + address + " " + address + "\n";
      if (block.size() > (1 << 20)) {
        trace << block;
        block.clear();
      }
    }
    trace << block;
  }
  RunResult run = pagesim(folder);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, totals(kRecords, kRecords, 9, 0));

  std::ifstream log(folder.work() / "out.txt", std::ios::binary);
  log.seekg(-100 * 40, std::ios::end);
  std::string tail((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  std::string expected;
  for (long n = kRecords - 59; n <= kRecords; ++n) {
    const long page = (n - 1) % 9;
    expected += "TLB: line " + std::to_string(n) + " Entry " + std::to_string((n - 1) % 8) +
                " proc 1 LP " + std::to_string(page) + " PP " + std::to_string(page) + "\n";
  }
  ASSERT_GE(tail.size(), expected.size());
  EXPECT_EQ(tail.substr(tail.size() - expected.size()), expected);
}

}  // namespace
