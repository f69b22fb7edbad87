#include "io/trace_scanner.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "io/scan_reference.hpp"

namespace {

// Hands out a string in pieces of at most `piece` bytes, as a slow pipe would.
struct PiecewiseSource {
  std::string text;
  size_t position = 0;
  size_t piece = 1;
  static ssize_t read(void* context, char* dest, size_t capacity) {
    auto* self = static_cast<PiecewiseSource*>(context);
    size_t count = std::min({capacity, self->piece, self->text.size() - self->position});
    std::memcpy(dest, self->text.data() + self->position, count);
    self->position += count;
    return static_cast<ssize_t>(count);
  }
};

struct Scanned {
  std::vector<ScannedRecord> records;
  ScanStop stop;
  uint64_t stop_offset;
  std::vector<uint64_t> record_offsets;
  bool operator==(const Scanned&) const = default;
};

// One scanner for all tests: it holds a whole block.
TraceScanner& scanner() {
  static auto* instance = new TraceScanner;
  return *instance;
}

Scanned scan(const std::string& text, size_t piece, size_t block_size = kTraceBlockSize) {
  PiecewiseSource source{text, 0, piece};
  scanner().attach(PiecewiseSource::read, &source, block_size);
  Scanned result{{}, ScanStop::kNotStopped, 0, {}};
  int32_t fields[kRecordFields] = {0, 0, 0};
  for (int converted; (converted = scanner().read_record(fields)) > 0;) {
    result.records.push_back({converted, fields[0], fields[1], fields[2]});
    result.record_offsets.push_back(scanner().record_offset());
  }
  EXPECT_EQ(scanner().read_record(fields), 0) << "reading must stay ended";
  result.stop = scanner().stop_reason();
  result.stop_offset = scanner().stop_offset();
  return result;
}

std::vector<ScannedRecord> records_of(const std::string& text) {
  return scan(text, 1 << 20).records;
}

// Runs `check` once with the widest instructions the processor has, once
// with AVX2 at most, once with SSSE3 at most and once with those every
// x86-64 has.
template <typename Check>
void on_both_instruction_sets(Check check) {
  for (const ScanInstructions limit : {ScanInstructions::kWidest, ScanInstructions::kAvx2,
                                       ScanInstructions::kSsse3, ScanInstructions::kPortable}) {
    SCOPED_TRACE(limit == ScanInstructions::kWidest  ? "widest instructions"
                 : limit == ScanInstructions::kAvx2  ? "AVX2 instructions"
                 : limit == ScanInstructions::kSsse3 ? "SSSE3 instructions"
                                                     : "portable instructions");
    scanner().limit_instructions(limit);
    check();
  }
  scanner().limit_instructions(ScanInstructions::kWidest);
}

TEST(TraceScanner, EveryKindOfWhiteSpaceSeparatesNumbers) {
  EXPECT_EQ(records_of(" \t1\n2\v3\f\r4 5 6"),
            (std::vector<ScannedRecord>{{3, 1, 2, 3}, {3, 4, 5, 6}}));
  EXPECT_EQ(records_of("1 2 3 4 5 6\n"), records_of("1 2 3\n4 5 6\n"));
}

TEST(TraceScanner, SignsLeadingZerosAndTheLimitsConvert) {
  EXPECT_EQ(records_of("+7 -0 000000000000000000000000042 -2147483648 2147483647 -5"),
            (std::vector<ScannedRecord>{{3, 7, 0, 42}, {3, -2147483647 - 1, 2147483647, -5}}));
}

TEST(TraceScanner, PartialRecordKeepsThePreviousValuesAndEndsReading) {
  Scanned result = scan("1 2 3\n4 5", 1 << 20);
  EXPECT_EQ(result.records, (std::vector<ScannedRecord>{{3, 1, 2, 3}, {2, 4, 5, 3}}));
  EXPECT_EQ(result.stop, ScanStop::kEndOfInput);
  EXPECT_EQ(result.stop_offset, 9u);
}

TEST(TraceScanner, LastRecordWithoutLineEndIsWhole) {
  for (size_t block : {size_t{1} << 20, size_t{11}, size_t{3}}) {
    Scanned result = scan("1 2 3\n-4 5 66", 1 << 20, block);
    EXPECT_EQ(result.records, (std::vector<ScannedRecord>{{3, 1, 2, 3}, {3, -4, 5, 66}}));
    EXPECT_EQ(result.stop, ScanStop::kEndOfInput);
  }
}

TEST(TraceScanner, RecordOffsetPointsAtTheFirstNumber) {
  PiecewiseSource source{"  1 2 3\n\n 40 5 6\n7 8", 0, 5};
  scanner().attach(PiecewiseSource::read, &source, 4);
  int32_t fields[kRecordFields] = {0, 0, 0};
  std::vector<uint64_t> offsets;
  while (scanner().read_record(fields) > 0) offsets.push_back(scanner().record_offset());
  EXPECT_EQ(offsets, (std::vector<uint64_t>{2, 10, 17}));
}

TEST(TraceScanner, LoneSignEndsReadingEvenWhenNumbersFollow) {
  Scanned result = scan("1 2 3 4 - 7 8 9", 1 << 20);
  EXPECT_EQ(result.records, (std::vector<ScannedRecord>{{3, 1, 2, 3}, {1, 4, 2, 3}}));
  EXPECT_EQ(result.stop, ScanStop::kNotANumber);
  EXPECT_EQ(result.stop_offset, 8u);
}

TEST(TraceScanner, NonNumberFirstItemGivesNoRecord) {
  Scanned result = scan("  x 1 2 3", 1 << 20);
  EXPECT_TRUE(result.records.empty());
  EXPECT_EQ(result.stop, ScanStop::kNotANumber);
  EXPECT_EQ(result.stop_offset, 2u);
}

TEST(TraceScanner, NumberFollowedByLetterEndsAtTheLetter) {
  // "0x10" converts 0 and stops at "x10", as "%d" does.
  Scanned result = scan("1 0x10 5", 1 << 20);
  EXPECT_EQ(result.records, (std::vector<ScannedRecord>{{2, 1, 0, 0}}));
  EXPECT_EQ(result.stop, ScanStop::kNotANumber);
  EXPECT_EQ(result.stop_offset, 3u);
}

TEST(TraceScanner, NumbersOutsideTheSigned32BitRangeDoNotConvert) {
  for (const char* text : {"1 2147483648 3", "1 -2147483649 3", "1 99999999999999999999999 3"}) {
    Scanned result = scan(text, 1 << 20);
    EXPECT_EQ(result.records, (std::vector<ScannedRecord>{{1, 1, 0, 0}})) << text;
    EXPECT_EQ(result.stop, ScanStop::kOutOfRange) << text;
    EXPECT_EQ(result.stop_offset, 2u) << text;
  }
}

TEST(TraceScanner, EmptyAndBlankInputGiveNoRecord) {
  for (const char* text : {"", " \n\t "}) {
    Scanned result = scan(text, 1 << 20);
    EXPECT_TRUE(result.records.empty());
    EXPECT_EQ(result.stop, ScanStop::kEndOfInput);
    EXPECT_EQ(result.stop_offset, strlen(text));
  }
}

TEST(TraceScanner, NulByteIsNotANumber) {
  Scanned result = scan(std::string("1 2 3\n4\0 5 6", 12), 1 << 20);
  EXPECT_EQ(result.records, (std::vector<ScannedRecord>{{3, 1, 2, 3}, {1, 4, 2, 3}}));
  EXPECT_EQ(result.stop, ScanStop::kNotANumber);
  EXPECT_EQ(result.stop_offset, 7u);
}

const char kSmallTrace[] =
    "1 3000 3100\n2 -1024 +65536\n  3\t0 0\r\n-4 2147483647 -2147483648\n5 12";

TEST(TraceScanner, EveryTruncationAndEverySplitAgreesWithScanf) {
  const std::string whole = kSmallTrace;
  for (size_t length = 0; length <= whole.size(); ++length) {
    const std::string prefix = whole.substr(0, length);
    const std::vector<ScannedRecord> expected = scan_with_sscanf(prefix);
    for (size_t piece : {1, 2, 3, 5, 8, 64}) {
      EXPECT_EQ(scan(prefix, piece).records, expected) << "length " << length << " piece " << piece;
      EXPECT_EQ(scan(prefix, 1 << 20, piece).records, expected)
          << "length " << length << " block " << piece;
    }
  }
}

TEST(TraceScanner, NumberSplitAcrossBlocksKeepsItsPositionForReports) {
  Scanned whole = scan("11 22 33 44 55 x", 1 << 20);
  Scanned split = scan("11 22 33 44 55 x", 1 << 20, 4);
  EXPECT_EQ(split, whole);
  EXPECT_EQ(split.stop_offset, 15u);
}

TEST(TraceScanner, ReadsFromADescriptor) {
  char name[] = "/tmp/trace_scanner_test_XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  unlink(name);
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += std::to_string(i) + " " + std::to_string(i * 1024) + " 7\n";
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  lseek(fd, 0, SEEK_SET);
  scanner().attach(fd, 100);
  int32_t fields[kRecordFields] = {0, 0, 0};
  int records = 0;
  while (scanner().read_record(fields) == 3) {
    EXPECT_EQ(fields[0], records);
    EXPECT_EQ(fields[1], records * 1024);
    ++records;
  }
  EXPECT_EQ(records, 1000);
  EXPECT_EQ(scanner().stop_reason(), ScanStop::kEndOfInput);
  close(fd);
}

TEST(TraceScanner, DirectoryIsAReadError) {
  int fd = open("/", O_RDONLY);
  ASSERT_GE(fd, 0);
  scanner().attach(fd);
  int32_t fields[kRecordFields] = {0, 0, 0};
  EXPECT_EQ(scanner().read_record(fields), 0);
  EXPECT_EQ(scanner().stop_reason(), ScanStop::kReadError);
  close(fd);
}

}  // namespace

namespace {

// Random traces built from the pieces scanf treats differently: every kind
// of white space, signs, leading zeros, numbers of every length inside the
// 32-bit range, junk, and truncation anywhere.
std::string random_trace(std::mt19937_64& random) {
  static const char* const kSpaces[] = {" ", "\t", "\n", "\v", "\f", "\r", "  ", "\r\n", ""};
  static const char* const kJunk[] = {"x", "-", "+", "--1", "+-2", "0x1f", "\x01", "1e5", ".5"};
  std::string trace;
  const int items = static_cast<int>(random() % 40);
  for (int i = 0; i < items; ++i) {
    trace += kSpaces[random() % 9];
    const uint64_t kind = random() % 100;
    if (kind < 3) {
      trace += kJunk[random() % 9];
      continue;
    }
    if (kind < 15) trace += (random() % 2 == 0) ? "-" : "+";
    if (kind < 25) trace.append(random() % 12, '0');
    const uint64_t digits = 1 + random() % 10;
    uint64_t value = random() % 10;
    for (uint64_t d = 1; d < digits; ++d) value = value * 10 + random() % 10;
    trace += std::to_string(value % 2147483648ULL);
    trace += (random() % 4 == 0) ? " " : kSpaces[random() % 8];
  }
  return trace.substr(0, random() % (trace.size() + 1));
}

TEST(TraceScanner, AgreesWithScanfOnRandomTracesWhateverTheBlockSize) {
  on_both_instruction_sets([] {
    std::mt19937_64 random(20261208);
    for (int round = 0; round < 4000; ++round) {
      const std::string trace = random_trace(random);
      const std::vector<ScannedRecord> expected = scan_with_sscanf(trace);
      const size_t block = 1 + random() % 24;
      ASSERT_EQ(scan(trace, 1 << 20).records, expected) << "trace: \"" << trace << "\"";
      ASSERT_EQ(scan(trace, block).records, expected)
          << "trace: \"" << trace << "\" in pieces of " << block;
    }
  });
}

// Long traces whose records come back in the same few layouts, as real
// traces do, so that what the scanner learns from one record is used on the
// next ones: each layout is mixed with others of the same digit positions but
// other separators or signs, and with layouts it must leave to the general
// path. Reading in blocks of 3 bytes never sees a whole record at once.
TEST(TraceScanner, RecurringLayoutsScanAsScanfAndAsInSmallBlocks) {
  const std::vector<std::vector<std::string>> families = {
      {"4 58414 56794\n", "4 -8414 56794\n", "4\t58414\r56794\n", "4 58414 56794\f"},
      {"1  2 3\n", "1 -2 3\n", "1 2 -3\n", "-1 2 3\n", "1-2-3\n", "1 2 +3\n"},
      {"12345678 -12345678 00000001\n", "123456789 1 2\n", "1 2 -999999999\n"},
      {"\n\n\n\n 7 8 9\n", "7 8 9 \v\v\v\v\v\v\v\v\v\v", "-0 -0 -0\n"},
  };
  // Each ends reading where it stands.
  const std::vector<std::string> endings = {"", "1 2 3x\n", "--1 2 3\n", "7 0x8 9\n", "7 8"};
  on_both_instruction_sets([&] {
    std::mt19937_64 random(7);
    for (const auto& family : families) {
      for (int round = 0; round < 20; ++round) {
        std::string trace;
        for (int record = 0; record < 300; ++record) {
          // Mostly the first, the common layout; the others now and then.
          const size_t pick = random() % 4 == 0 ? random() % family.size() : 0;
          trace += family[pick];
        }
        trace += endings[random() % endings.size()] + family[0];
        const Scanned whole = scan(trace, 1 << 20);
        ASSERT_EQ(whole.records, scan_with_sscanf(trace)) << trace;
        ASSERT_EQ(whole, scan(trace, 1 << 20, 3)) << trace;
      }
    }
  });
}

}  // namespace

namespace {

// Reads `text` as the trace loop does: batches of records of learned
// layouts, `capacity` at most, and one record at a time in between. Checks
// each batch's last record offset against `expected` and returns what was
// read, offsets as `expected` has them.
Scanned scan_in_batches(const std::string& text, int capacity, size_t block_size,
                        const Scanned& expected) {
  PiecewiseSource source{text, 0, 1 << 20};
  scanner().attach(PiecewiseSource::read, &source, block_size);
  Scanned result{{}, ScanStop::kNotStopped, 0, {}};
  int32_t batch[64][kBatchedRecordSlots];
  int32_t fields[kRecordFields] = {0, 0, 0};
  for (;;) {
    const int count = scanner().read_learned_records(batch, capacity);
    for (int i = 0; i < count; ++i) {
      result.records.push_back({kRecordFields, batch[i][0], batch[i][1], batch[i][2]});
      std::memcpy(fields, batch[i], sizeof fields);
    }
    if (count > 0) {
      const size_t last = result.records.size() - 1;
      EXPECT_EQ(scanner().record_offset(),
                last < expected.record_offsets.size() ? expected.record_offsets[last] : 0)
          << "after record " << last;
      continue;
    }
    const int converted = scanner().read_record(fields);
    if (converted == 0) break;
    result.records.push_back({converted, fields[0], fields[1], fields[2]});
  }
  result.stop = scanner().stop_reason();
  result.stop_offset = scanner().stop_offset();
  result.record_offsets = expected.record_offsets;
  return result;
}

// Batches must read what single calls read, whatever the batch size or the
// block size (a batch stops before the block's last window, and at a
// layout not learned yet), on every instruction set.
TEST(TraceScanner, BatchesOfLearnedLayoutsReadAsSingleRecords) {
  const std::vector<std::string> traces = {
      "4 58414 56794\n4 -8414 56794\n4\t58414\r56794\n",
      "1  2 3\n1 -2 3\n1 2 -3\n-1 2 3\n1-2-3\n1 2 +3\n",
      "12345678 -12345678 00000001\n123456789 1 2\n",
      "7 8 9\n7 8 9 \v\v\v\v\v\v\v\v\v\v-0 -0 -0\n",
  };
  on_both_instruction_sets([&] {
    std::mt19937_64 random(11);
    for (const std::string& family : traces) {
      std::string trace;
      for (int record = 0; record < 400; ++record) {
        const size_t start = random() % 2 == 0 ? 0 : family.find('\n') + 1;
        trace += family.substr(start < family.size() ? start : 0);
      }
      trace += "5 6";  // a short last record keeps the batch's last values
      for (const size_t block : {size_t{1} << 20, size_t{64}, size_t{3}}) {
        const Scanned single = scan(trace, 1 << 20, block);
        for (const int capacity : {1, 2, 64}) {
          ASSERT_EQ(scan_in_batches(trace, capacity, block, single), single)
              << "batches of " << capacity << ", blocks of " << block << ": " << trace;
        }
      }
    }
  });
}

// Batches take records of a line each by the newlines ahead of them; a line
// that is not one whole record of a learned layout must hand over to the
// other paths at its own start, and a run of lines must stop before the
// bytes that can be looked at run out at the end of the block.
TEST(TraceScanner, BatchesOfWholeLinesHandOverAtAnyOtherLine) {
  const std::string common = "4 58414 56794\n";
  std::string blank_line(70, ' ');  // no newline among the next 64 bytes
  blank_line += '\n';
  const std::vector<std::string> odd_lines = {
      "4 58414 56794 \n",   // the record ends before its line does
      "1 2 3 4 5 6\n",      // two records in a line
      "4 58414 56794\r\n",  // a line end of two bytes
      "4\n58414\n56794\n",  // a record over three lines
      "4 58414 5679\n",     // a layout of its own
      blank_line,
      std::string("4 58414 5\0\0"
                  "94\n",
                  14),  // NUL bytes where digits were
  };
  on_both_instruction_sets([&] {
    std::mt19937_64 random(13);
    for (const std::string& odd : odd_lines) {
      // The first batches start the line loop; odd lines come after.
      std::string trace;
      for (int record = 0; record < 500; ++record)
        trace += record >= 150 && random() % 8 == 0 ? odd : common;
      const Scanned single = scan(trace, 1 << 20);
      ASSERT_EQ(scan_in_batches(trace, 64, 1 << 20, single), single) << "odd line: " << odd;
    }
    // A block filled to its end with whole lines, then the next.
    std::string trace;
    while (trace.size() < kTraceBlockSize + 4096) trace += common;
    const Scanned single = scan(trace, 1 << 20);
    ASSERT_EQ(single.records.size(), trace.size() / common.size());
    ASSERT_EQ(scan_in_batches(trace, 64, kTraceBlockSize, single), single);
  });
}

}  // namespace
