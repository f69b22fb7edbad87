// Text that reaches the page from outside: escaped where it is embedded,
// and the user's lines put with their records.
#include "tools/pageview/page_json.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "tools/pageview/their_lines.hpp"

namespace {

TEST(PageJson, StringsCannotEndTheScriptElementOrBreakTheText) {
  const struct {
    const char* text;
    const char* json;
  } cases[] = {
      {"plain", "\"plain\""},         {"</script><b>", "\"\\u003c/script\\u003e\\u003cb\\u003e\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""}, {"tab\there\nnew", "\"tab\\u0009here\\u000anew\""},
      {"&amp;", "\"\\u0026amp;\""},
  };
  for (const auto& c : cases) EXPECT_EQ(json_string(c.text), c.json) << c.text;
}

TEST(TheirLines, EachLineGoesWithTheRecordItNames) {
  char name[] = "/tmp/pageview_theirs_XXXXXX";
  const int fd = mkstemp(name);
  const std::string text =
      "TLB: line 3 Entry 0 proc 1 LP 0 PP 0\r\n"  // a CR before the end is dropped
      "garbage without a number\n"                // goes with record 3
      "Page Fault: line 5 proc 1 LP 2 PP 1\n"
      "TLB: line 9 Entry 1 proc 1 LP 2 PP 1\n"  // outside the window
      "Page Fault: line 4 proc 2 LP 7 PP 2";    // no line end at the end
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  TheirLines lines;
  std::string error;
  ASSERT_TRUE(read_their_lines(name, 3, 4, lines, error)) << error;
  unlink(name);
  const std::vector<std::vector<std::string>> expected = {
      {"TLB: line 3 Entry 0 proc 1 LP 0 PP 0", "garbage without a number"},
      {"Page Fault: line 4 proc 2 LP 7 PP 2"},
      {"Page Fault: line 5 proc 1 LP 2 PP 1"},
      {}};
  EXPECT_EQ(lines.of_record, expected);
  EXPECT_FALSE(read_their_lines("/nonexistent/theirs.txt", 1, 1, lines, error));
  EXPECT_NE(error.find("cannot read /nonexistent/theirs.txt"), std::string::npos);
}

}  // namespace
