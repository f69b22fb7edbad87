// The command line: each option in its forms, and each way it can be wrong.
#include "tools/pagestat/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool parse(std::vector<const char*> words, PagestatOptions* options, std::string* error) {
  words.insert(words.begin(), "pagestat");
  return parse_command_line(static_cast<int>(words.size()), words.data(), options, error);
}

TEST(CommandLine, DefaultsWithoutArguments) {
  PagestatOptions options;
  std::string error;
  ASSERT_TRUE(parse({}, &options, &error));
  EXPECT_EQ(options.frames, 20);
  EXPECT_FALSE(options.interval.has_value());
  EXPECT_FALSE(options.curve || options.csv || options.help);
  EXPECT_EQ(options.svg_path, "");
  EXPECT_EQ(options.trace_path, "data.txt");
}

TEST(CommandLine, EveryOptionInItsForms) {
  PagestatOptions options;
  std::string error;
  ASSERT_TRUE(
      parse({"-f", "64", "-i7", "--curve", "--csv", "--svg=a.svg", "t.txt"}, &options, &error))
      << error;
  EXPECT_EQ(options.frames, 64);
  EXPECT_EQ(options.interval, 7);
  EXPECT_TRUE(options.curve && options.csv);
  EXPECT_EQ(options.svg_path, "a.svg");
  EXPECT_EQ(options.trace_path, "t.txt");
  ASSERT_TRUE(parse({"-f1", "--svg", "b.svg", "-i", "1", "--", "-odd"}, &options, &error)) << error;
  EXPECT_EQ(options.frames, 1);
  EXPECT_EQ(options.svg_path, "b.svg");
  EXPECT_EQ(options.trace_path, "-odd");
  ASSERT_TRUE(parse({"-h"}, &options, &error));
  EXPECT_TRUE(options.help);
}

TEST(CommandLine, SizesTakeBinarySuffixesInEitherCase) {
  const struct {
    const char* text;
    uint64_t bytes;
  } cases[] = {
      {"1048576", 1048576},        {"300B", 300},
      {"256K", 256 << 10},         {"512m", 512 << 20},
      {"2GiB", uint64_t{2} << 30}, {"3gb", uint64_t{3} << 30},
      {"1T", uint64_t{1} << 40},   {"1024T", uint64_t{1} << 50},
  };
  for (const auto& c : cases) {
    uint64_t bytes = 0;
    EXPECT_TRUE(parse_size(c.text, &bytes)) << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
  PagestatOptions options;
  std::string error;
  EXPECT_EQ(options.memory_max, uint64_t{1} << 30);
  ASSERT_TRUE(parse({"--memory-max", "64M"}, &options, &error)) << error;
  EXPECT_EQ(options.memory_max, uint64_t{64} << 20);
}

TEST(CommandLine, WrongCommandLinesAreRefusedWithTheReason) {
  const struct {
    std::vector<const char*> words;
    const char* error;
  } cases[] = {
      {{"-f", "0"}, "-f takes a number of frames from 1 to 65536, not \"0\""},
      {{"-f", "65537"}, "-f takes a number of frames from 1 to 65536, not \"65537\""},
      {{"--frames-max", "0"}, "--frames-max takes a number of frames from 1 to 65536, not \"0\""},
      {{"-f", "2x"}, "-f takes a number of frames from 1 to 65536, not \"2x\""},
      {{"-f"}, "-f needs a value"},
      {{"-i", "0"}, "-i takes a number of records of at least 1, not \"0\""},
      {{"-i", "-5"}, "-i takes a number of records of at least 1, not \"-5\""},
      {{"--svg"}, "--svg needs a value"},
      {{"--svg="}, "--svg needs a file name"},
      {{"--curves"}, "unknown option --curves (pagestat -h shows the usage)"},
      {{"-x"}, "unknown option -x (pagestat -h shows the usage)"},
      {{"a.txt", "b.txt"}, "one trace only: \"b.txt\" is one too many"},
      {{"--memory-max", "255K"},
       "--memory-max takes a size of at least 256K, such as 512M or 4G, not \"255K\""},
      {{"--memory-max=1X"},
       "--memory-max takes a size of at least 256K, such as 512M or 4G, not \"1X\""},
      {{"--memory-max", "G"},
       "--memory-max takes a size of at least 256K, such as 512M or 4G, not \"G\""},
      {{"--memory-max", "-1G"},
       "--memory-max takes a size of at least 256K, such as 512M or 4G, not \"-1G\""},
      {{"--memory-max", "2048T"},
       "--memory-max takes a size of at least 256K, such as 512M or 4G, not \"2048T\""},
      {{"--memory-max"}, "--memory-max needs a value"},
  };
  for (const auto& c : cases) {
    PagestatOptions options;
    std::string error;
    EXPECT_FALSE(parse(c.words, &options, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
