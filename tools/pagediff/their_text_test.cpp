#include "tools/pagediff/their_text.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace {

// A file of this process's own: runs of other builds share the folder.
std::string temp_path(const char* name) {
  return testing::TempDir() + std::to_string(getpid()) + "_" + name;
}

// Reads `text` from a file, line by line, as the comparison does.
std::vector<std::string> lines_of(const std::string& text, bool* saw_carriage_return = nullptr) {
  const std::string path = temp_path("their_text_test.txt");
  std::ofstream(path, std::ios::binary) << text;
  auto reader = std::make_unique<TheirText>();
  EXPECT_TRUE(reader->open(path));
  std::vector<std::string> lines;
  std::string line;
  bool line_feed = false;
  while (reader->next_line(line, line_feed)) lines.push_back(line + (line_feed ? "|" : "$"));
  if (saw_carriage_return != nullptr) *saw_carriage_return = reader->saw_carriage_return();
  std::remove(path.c_str());
  return lines;
}

TEST(TheirText, DropsOnlyTheCarriageReturnOfEachCrLf) {
  bool saw = false;
  EXPECT_EQ(lines_of("a\r\nb\rc\r\n\r", &saw), (std::vector<std::string>{"a|", "b\rc|", "\r$"}));
  EXPECT_TRUE(saw);
  EXPECT_EQ(lines_of("a\nb", &saw), (std::vector<std::string>{"a|", "b$"}));
  EXPECT_FALSE(saw);
}

TEST(TheirText, CrLfSplitAcrossReadsIsStillOneLineEnd) {
  // The file is read 1 MiB at a time: this CR is the last byte of the first
  // read, its LF the first of the next.
  std::string text;
  for (int i = 0; i < 65535; ++i) text.append(15, '.').push_back('\n');
  text += "yyyyyyyyyyyyyyy\r\nTLB\r\n";
  ASSERT_EQ(text.find('\r'), (size_t{1} << 20) - 1);
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), 65537u);
  EXPECT_EQ(lines[65535], "yyyyyyyyyyyyyyy|");
  EXPECT_EQ(lines[65536], "TLB|");
}

TEST(TheirText, SkipsMatchingTextAndCountsItsLines) {
  const std::string path = temp_path("their_text_skip.txt");
  std::ofstream(path, std::ios::binary) << "one\r\ntwo\r\nthree\n";
  auto reader = std::make_unique<TheirText>();
  ASSERT_TRUE(reader->open(path));
  EXPECT_TRUE(reader->skip_if_next("one\ntwo\n", 2));
  EXPECT_FALSE(reader->skip_line_if_next("thre\n"));
  EXPECT_TRUE(reader->skip_line_if_next("three\n"));
  EXPECT_EQ(reader->lines_read(), 3u);
  EXPECT_TRUE(reader->at_end());
  EXPECT_FALSE(reader->skip_line_if_next("four\n"));
  std::remove(path.c_str());
}

}  // namespace
