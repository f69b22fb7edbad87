#include "tools/pagediff/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Case {
  std::vector<const char*> arguments;
  bool ok;
  int32_t mode;
  const char* trace;
  const char* log;
  const char* out;
  const char* error;
};

TEST(CommandLine, ReadsOptionsAndFilesOrExplainsTheMistake) {
  const Case cases[] = {
      {{"mine.txt"}, true, 0, "data.txt", "mine.txt", "", ""},
      {{"-m", "1", "-t", "t.txt", "log", "out"}, true, 1, "t.txt", "log", "out", ""},
      {{"-m0", "-tx", "log"}, true, 0, "x", "log", "", ""},
      {{"--", "-m"}, true, 0, "data.txt", "-m", "", ""},
      {{"-", "out"}, true, 0, "data.txt", "-", "out", ""},
      {{"-m", "01", "log"}, false, 0, "", "", "", "bad mode \"01\""},
      {{"-m", "-1", "log"}, false, 0, "", "", "", "bad mode \"-1\""},
      {{"log", "-m"}, false, 0, "", "", "", "-m needs a value"},
      {{"-x", "log"}, false, 0, "", "", "", "unknown option -x; usage: pagediff"},
      {{"a", "b", "c"}, false, 0, "", "", "", "too many files; usage: pagediff"},
      {{"log", "--html"}, false, 0, "", "", "", "--html needs a file name"},
      {{"--html=", "log"}, false, 0, "", "", "", "--html needs a file name"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"pagediff"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    Options options;
    std::string error;
    const bool ok = parse_command_line(static_cast<int>(argv.size()), argv.data(), options, error);
    const std::string context = c.arguments.empty() ? "" : c.arguments[0];
    ASSERT_EQ(ok, c.ok) << context << " " << error;
    if (!ok) {
      EXPECT_EQ(error.find(c.error), 0u) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos);
      continue;
    }
    EXPECT_EQ(options.mode, c.mode) << context;
    EXPECT_EQ(options.trace, c.trace) << context;
    EXPECT_EQ(options.their_log, c.log) << context;
    EXPECT_EQ(options.their_stdout, c.out) << context;
  }
}

}  // namespace
