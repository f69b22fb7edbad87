// The command line and the failures a request can meet: refused before
// anything runs, or stopped with nothing written.
#include "tools/pageview/pageview.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "tools/pageview/command_line.hpp"

namespace {

bool parse(std::vector<const char*> words, PageviewRequest& request, std::string& error) {
  words.insert(words.begin(), "pageview");
  bool help = false;
  return parse_pageview_command_line(static_cast<int>(words.size()), words.data(), request, help,
                                     error);
}

TEST(PageviewCommandLine, RefusesWhatItCannotShow) {
  const struct {
    std::vector<const char*> words;
    const char* error;  // a part of it
  } cases[] = {
      {{"--count", "5001"}, "a page covers at most 5000 records"},
      {{"--count=0"}, "--count takes a number of records of at least 1"},
      {{"--from", "x"}, "--from takes a record number"},
      {{"-m", "2"}, "bad mode \"2\""},
      {{"-o"}, "-o needs a value"},
      {{"data.txt"}, "unexpected argument \"data.txt\""},
  };
  for (const auto& c : cases) {
    PageviewRequest request;
    std::string error;
    EXPECT_FALSE(parse(c.words, request, error)) << c.words[0];
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  PageviewRequest request;
  std::string error;
  ASSERT_TRUE(
      parse({"-m1", "-t", "t.txt", "--from=7", "--count", "5000", "--theirs", "o.txt", "-o", "-"},
            request, error));
  EXPECT_EQ(request.mode, 1);
  EXPECT_EQ(request.trace_path, "t.txt");
  EXPECT_EQ(request.first_record, 7);
  EXPECT_EQ(request.count, 5000);
  EXPECT_EQ(request.their_log, "o.txt");
  EXPECT_EQ(request.output_path, "-");
}

std::string temp_trace(const std::string& text) {
  char name[] = "/tmp/pageview_request_XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  return name;
}

TEST(WritePageview, StopsWithOneLineAndWritesNothing) {
  // Process -1 reads page -1, which matches a free frame: pagesim ends the
  // run at its write with "Error, inconsistent data".
  const std::string inconsistent = temp_trace("1 5 5\n-1 -2000 -2000\n1 6 6\n");
  const std::string short_trace = temp_trace("1 5 5\n2 7 7\n");
  const std::string output = "/tmp/pageview_request_output.html";
  const struct {
    std::string trace, their_log, output;
    int64_t first;
    const char* error;
  } cases[] = {
      {inconsistent, "", output, 1, "pagesim itself ends the run at record 2"},
      {short_trace, "", output, 3, "has 2 records that pagesim reads: none from record 3 on"},
      {"/nonexistent/data.txt", "", output, 1, "cannot read /nonexistent/data.txt"},
      {short_trace, "/nonexistent/out.txt", output, 1, "cannot read /nonexistent/out.txt"},
      {short_trace, "", "/nonexistent/page.html", 1, "cannot write /nonexistent/page.html"},
  };
  for (const auto& c : cases) {
    unlink(output.c_str());
    PageviewRequest request;
    request.trace_path = c.trace;
    request.their_log = c.their_log;
    request.output_path = c.output;
    request.first_record = c.first;
    std::string error;
    EXPECT_FALSE(write_pageview(request, error)) << c.error;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    struct stat status {};
    EXPECT_NE(stat(output.c_str(), &status), 0) << c.error;
  }
  // The records before the one pagesim ends at can be shown.
  PageviewRequest request;
  request.trace_path = inconsistent;
  request.count = 1;
  request.output_path = output;
  std::string error;
  EXPECT_TRUE(write_pageview(request, error)) << error;
  unlink(output.c_str());
  unlink(inconsistent.c_str());
  unlink(short_trace.c_str());
}

}  // namespace
