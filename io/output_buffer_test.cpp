#include "io/output_buffer.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

namespace {

std::string formatted(int64_t value) {
  char text[32];
  char* end = append_int(text, value);
  return std::string(text, end);
}

std::string read_all(int fd) {
  std::string text;
  char chunk[65536];
  ssize_t got;
  lseek(fd, 0, SEEK_SET);
  while ((got = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
  return text;
}

int temporary_file() {
  char name[] = "/tmp/output_buffer_test_XXXXXX";
  int fd = mkstemp(name);
  unlink(name);
  return fd;
}

TEST(AppendInt, MatchesPrintfAtEveryMagnitudeAndLimit) {
  const int64_t values[] = {0,
                            1,
                            -1,
                            9,
                            10,
                            -10,
                            99,
                            100,
                            1023,
                            2147483647,
                            -2147483647 - 1,
                            2147483648LL,
                            9999999999LL,
                            std::numeric_limits<int64_t>::max(),
                            std::numeric_limits<int64_t>::min()};
  for (int64_t value : values) {
    char expected[32];
    snprintf(expected, sizeof expected, "%" PRId64, value);
    EXPECT_EQ(formatted(value), expected);
  }
  for (int64_t value = 1; value < std::numeric_limits<int64_t>::max() / 10; value *= 10) {
    EXPECT_EQ(formatted(value - 1), std::to_string(value - 1));
    EXPECT_EQ(formatted(-value), std::to_string(-value));
  }
}

TEST(CachedNumberText, CountsUpAcrossEveryCarryAndJumps) {
  CachedNumberText cached;
  char text[64];
  for (int64_t value : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{0}, int64_t{5}}) {
    EXPECT_EQ(std::string(text, cached.append(text, value)), std::to_string(value));
  }
  for (int64_t value = 1; value < 100'500; ++value)
    ASSERT_EQ(std::string(text, cached.append(text, value)), std::to_string(value));
  for (int64_t value : {int64_t{2147483646}, int64_t{2147483647}, int64_t{2147483648}, int64_t{7},
                        int64_t{7}, int64_t{99999999999}, int64_t{100000000000}})
    EXPECT_EQ(std::string(text, cached.append(text, value)), std::to_string(value));
}

TEST(OutputBuffer, TextLongerThanTheBlockArrivesWhole) {
  auto out = std::make_unique<OutputBuffer>();
  int fd = temporary_file();
  out->attach(fd, false);
  std::string text;
  for (size_t i = 0; text.size() < 2 * kOutputBlockSize + 17; ++i) text += std::to_string(i) + "\n";
  out->put("head ");
  out->put(text);
  char* p = out->reserve(kMaxLineLength);
  p = append_text(p, "tail ");
  out->commit(append_int(p, -42));
  out->flush();
  EXPECT_FALSE(out->failed());
  EXPECT_EQ(read_all(fd), "head " + text + "tail -42");
  close(fd);
}

TEST(OutputBuffer, ReserveNearTheEndOfTheBlockFlushesFirst) {
  auto out = std::make_unique<OutputBuffer>();
  int fd = temporary_file();
  out->attach(fd, false);
  out->put(std::string(kOutputBlockSize - 3, 'x'));
  char* p = out->reserve(10);
  EXPECT_EQ(read_all(fd).size(), kOutputBlockSize - 3) << "the full part went out before";
  out->commit(append_text(p, "0123456789"));
  EXPECT_EQ(out->pending(), "0123456789");
  close(fd);
}

TEST(OutputBuffer, SmallBlocksWriteLinesWholeAcrossEveryBoundary) {
  auto out = std::make_unique<OutputBuffer>();
  int fd = temporary_file();
  out->attach(fd, false, kMaxLineLength + 7);
  std::string expected;
  for (int i = 0; i < 500; ++i) {
    char* p = out->reserve(kMaxLineLength);
    p = append_text(p, "line ");
    p = append_int(p, i * 7919);
    *p++ = '\n';
    out->commit(p);
    expected += "line " + std::to_string(i * 7919) + "\n";
    ASSERT_LE(out->pending().size(), kMaxLineLength + 7);
  }
  out->put(std::string(1000, 'z'));
  expected += std::string(1000, 'z');
  out->flush();
  EXPECT_EQ(read_all(fd), expected);
  close(fd);
}

TEST(OutputBuffer, EachMessageIsWrittenAtOnceWhenAsked) {
  auto out = std::make_unique<OutputBuffer>();
  int fd = temporary_file();
  out->attach(fd, true);
  out->put("first\n");
  EXPECT_EQ(read_all(fd), "");
  out->end_message();
  EXPECT_EQ(read_all(fd), "first\n");
  close(fd);
}

TEST(OutputBuffer, WriteErrorInTheMiddleOfABlockIsKeptAndLaterOutputDropped) {
  auto out = std::make_unique<OutputBuffer>();
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  out->attach(fd, false);
  out->put(std::string(kOutputBlockSize + kOutputBlockSize / 2, 'y'));  // flushes one block
  EXPECT_TRUE(out->failed());
  out->put("more");
  out->flush();
  EXPECT_TRUE(out->failed());
  EXPECT_EQ(out->pending(), "");
  close(fd);
}

TEST(OutputBuffer, ClosedDescriptorIsAWriteError) {
  auto out = std::make_unique<OutputBuffer>();
  int fd = temporary_file();
  close(fd);
  out->attach(fd, false);
  out->put("lost");
  out->flush();
  EXPECT_TRUE(out->failed());
}

}  // namespace
