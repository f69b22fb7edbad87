#include "io/number_chunks.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/scan_reference.hpp"

namespace {

// Where scanf("%d %d %d") finds each whole record of `text`: the offset of
// its first number and the offset after its third.
struct Extent {
  size_t first, end;
};
std::vector<Extent> record_extents(const std::string& text) {
  std::vector<Extent> extents;
  size_t at = 0;
  for (;;) {
    int first = -1, end = -1, a, b, c;
    if (sscanf(text.c_str() + at, " %n%d %d %d%n", &first, &a, &b, &c, &end) != 3) break;
    extents.push_back({at + first, at + end});
    at += end;
  }
  return extents;
}

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// What follows a body so that every record of it has 64 bytes of data
// after its start: an item that is not a number, then blanks.
std::string stopped(const std::string& body) {
  return body + " x" + std::string(70, ' ');
}

// Right-aligns `body` in 64 bytes of data.
std::string in_64_bytes(const std::string& body) {
  return std::string(64 - body.size(), ' ') + body;
}

struct Case {
  const char* what;
  std::string text;
  int capacity;
  int least;  ///< records the run must take at least: it makes progress
  int most;   ///< and at most: none at or after an item it must leave alone
};

constexpr int32_t kUntouched = 0x7A7A7A7A;

// A run takes a prefix of the records, each as sscanf reads it, stops before
// any record that is not plain, and says where it stopped; how far a step
// reaches is its own affair, between `least` and `most`.
TEST(NumberChunks, ConvertsPlainRecordsAsScanfAndStopsBeforeAnyOther) {
  if (!number_chunks_supported()) GTEST_SKIP() << "no AVX-512 VBMI2 here";
  const std::string plain = repeated("1 2 3\n", 20);
  const std::string after = repeated("1 2 3\n", 9);
  const Case cases[] = {
      {"records to a line", stopped(repeated("1 22 333 4444 55555 666666 7777777 88888888 9\n", 4)),
       64, 1, 12},
      {"a record over lines", stopped(repeated("4\n\n58414\n\n\n56794\n", 8)), 64, 1, 8},
      {"every white space", stopped(repeated("1\t2\n3\v4\f5\r6 7  8\t\t9\n", 4)), 64, 1, 12},
      {"leading zeros", stopped(repeated("00000007 0000 00000000\n", 4)), 64, 1, 4},
      {"nine digits", stopped(plain + "7 123456789 8\n" + after), 64, 1, 20},
      {"nine digits of zeros", stopped(plain + "000000001 5 6\n" + after), 64, 1, 20},
      {"minus and plus", stopped(plain + "7 -8 9\n-1 +2 -0\n" + after), 64, 22, 31},
      {"a sign right after a number", stopped(plain + "4 5-6\n" + after), 64, 21, 30},
      {"a sign before a blank", stopped(plain + "7 - 8 9\n" + after), 64, 1, 20},
      {"two signs", stopped(plain + "7 --8 9\n" + after), 64, 1, 20},
      // A step's first digits may lie before its own bytes, and their signs
      // too: a minus at the last bytes of the first step.
      {"a minus at byte 61 of the first step",
       stopped(repeated("1 2 3\n", 7) + "4 5-" + "678\n" + plain), 64, 8, 28},
      {"a minus at byte 62, the first step's last own byte",
       stopped(repeated("1 2 3\n", 7) + "4 5 -" + "678\n" + plain), 64, 8, 28},
      {"a minus at byte 63, the second step's first own byte",
       stopped(repeated("1 2 3\n", 7) + "4 5  -" + "678\n" + plain), 64, 8, 28},
      {"NUL after a digit", stopped(plain + std::string("4 5\0 6\n", 7) + after), 64, 1, 20},
      {"a number across steps",
       stopped(repeated("12345678 12345678 12345678\n", 2) + "123456 1 22\n" +
               repeated("1 2 3\n", 3)),
       64, 1, 6},
      {"more numbers to a step than one conversion holds", stopped(repeated("1 2 3 ", 60)), 64, 50,
       60},
      {"records of the local workload", stopped(repeated("4 58414 56794\n3 6102 123\n", 40)), 64,
       64, 64},
      {"last digit the block's last byte", in_64_bytes("1 2 3\n4 5 6"), 64, 0, 1},
      {"last digit a step's 63rd byte", in_64_bytes("1 2 3\n4 5 6\n"), 64, 0, 2},
      {"under 64 bytes", repeated("1 2 3\n", 10), 64, 0, 0},
      {"capacity 1", stopped(repeated("1 2 3\n", 30)), 1, 1, 1},
      {"capacity inside a step", stopped(repeated("1 2 3\n", 30)), 7, 7, 7},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    const std::vector<char> data(test.text.begin(), test.text.end());
    const size_t rows = static_cast<size_t>(test.capacity) + 8;  // those past capacity: untouched
    std::vector<int32_t> slots(rows * kBatchedRecordSlots, kUntouched);
    auto* records = reinterpret_cast<int32_t(*)[kBatchedRecordSlots]>(slots.data());
    const ChunkRun run = convert_number_chunks(data.data(), data.data(), data.data() + data.size(),
                                               records, test.capacity);
    ASSERT_GE(run.count, test.least);
    ASSERT_LE(run.count, test.most);
    const std::vector<ScannedRecord> scanned = scan_with_sscanf(test.text);
    const std::vector<Extent> extents = record_extents(test.text);
    for (int i = 0; i < run.count; ++i) {
      EXPECT_EQ((ScannedRecord{3, records[i][0], records[i][1], records[i][2]}), scanned[i]);
    }
    for (size_t i = test.capacity * kBatchedRecordSlots; i < slots.size(); ++i)
      EXPECT_EQ(slots[i], kUntouched) << "slot " << i;
    if (run.count == 0) {
      EXPECT_EQ(run.end, data.data());
      continue;
    }
    EXPECT_EQ(static_cast<size_t>(run.end - data.data()), extents[run.count - 1].end);
    EXPECT_EQ(static_cast<size_t>(run.last_record - data.data()), extents[run.count - 1].first);
  }
}

TEST(NumberChunks, ConvertsNothingFromInsideANumber) {
  if (!number_chunks_supported()) GTEST_SKIP() << "no AVX-512 VBMI2 here";
  const std::string text = stopped(repeated("12 34 56\n", 10));
  int32_t records[8][kBatchedRecordSlots];
  EXPECT_EQ(
      convert_number_chunks(text.data(), text.data() + 1, text.data() + text.size(), records, 8)
          .count,
      0);
  EXPECT_GT(
      convert_number_chunks(text.data(), text.data() + 2, text.data() + text.size(), records, 8)
          .count,
      0);
}

}  // namespace
