#include "tools/traceconv/command_line.hpp"

#include <gtest/gtest.h>

namespace {

CommandLine parse(std::vector<const char*> arguments) {
  return parse_command_line(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, OptionsAreReadInEitherFormAndAnywhereAfterTheFormat) {
  const CommandLine line = parse({"din", "a.din", "-q", "50", "--map=low16", "-n7", "--", "-q"});
  ASSERT_EQ(line.action, CommandLine::Action::kConvert) << line.problem;
  EXPECT_EQ(line.options.format, TraceFormat::kDin);
  EXPECT_EQ(line.options.quantum, 50u);
  EXPECT_EQ(line.options.max_records, 7u);
  EXPECT_EQ(line.options.mapping, AddressMapping::kLow16);
  EXPECT_EQ(line.options.files, (std::vector<std::string>{"a.din", "-q"}));
  const CommandLine defaults = parse({"lackey", "-", "b.log"});
  EXPECT_EQ(defaults.options.quantum, 500u);
  EXPECT_EQ(defaults.options.mapping, AddressMapping::kFold);
  EXPECT_EQ(defaults.options.files, (std::vector<std::string>{"-", "b.log"}));
}

TEST(CommandLine, HelpWinsAndMistakesAreRefusedWithTheReason) {
  EXPECT_EQ(parse({"lackey", "-q", "0", "-h"}).action, CommandLine::Action::kShowUsage);
  const struct {
    std::vector<const char*> arguments;
    const char* problem;
  } cases[] = {
      {{}, "no format given: lackey, din or pages"},
      {{"strace", "a"}, "unknown format 'strace': lackey, din or pages"},
      {{"lackey"}, "no input files"},
      {{"din", "-", "a", "-"}, "standard input (-) can be read only once"},
      {{"lackey", "-x", "a"}, "unknown option '-x'"},
      {{"lackey", "a", "-q"}, "option -q needs a value"},
      {{"lackey", "-n", "0", "a"}, "MAX must be a whole number from 1, not '0'"},
      {{"din", "-q", "99999999999999999999", "a"},
       "QUANTUM must be a whole number from 1, not '99999999999999999999'"},
      {{"lackey", "--map", "hash", "a"}, "unknown mapping 'hash': fold or low16"},
      {{"pages", "-q", "5", "a"}, "pages takes no options: each page is one record of process 1"},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    EXPECT_EQ(line.action, CommandLine::Action::kRefuse);
    EXPECT_EQ(line.problem, c.problem);
  }
}

}  // namespace
