// pagediff --html: the page of pagesim's run that opens at the difference
// the report names, and what becomes of the run when the page cannot be made.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/expected_text.hpp"

namespace {

RunResult pagediff(const TempFolder& folder, const std::vector<std::string>& arguments,
                   const RunOptions& options = {}) {
  return run_program(PAGEDIFF_BINARY, folder, arguments, options);
}

// A trace of 3000 records, pagesim's log of it in out.txt, and their.txt:
// that log with its 40th line gone, a difference far from the first record.
void make_run(const TempFolder& folder) {
  RunOptions to_trace;
  to_trace.stdout_path = (folder.work() / "data.txt").string();
  ASSERT_EQ(run_program(TRACEGEN_BINARY, folder, {"mixed", "3000", "5"}, to_trace).exit_status, 0);
  ASSERT_EQ(pagesim(folder).exit_status, 0);
  const std::string log = folder.read("out.txt");
  size_t at = 0;
  for (int line = 1; line < 40; ++line) at = log.find('\n', at) + 1;
  folder.write("their.txt", log.substr(0, at) + log.substr(log.find('\n', at) + 1));
}

// The report's first two lines as the page's data holds them.
std::string heading_of(const std::string& report) {
  const size_t first_end = report.find('\n');
  return report.substr(0, first_end) + "\\u000a" +
         report.substr(first_end + 1, report.find('\n', first_end + 1) - first_end - 1);
}

TEST(PagediffHtml, PageOpensAtTheDifferenceWithItsLocationAndCauseAtTheTop) {
  TempFolder folder;
  make_run(folder);
  const RunResult plain = pagediff(folder, {"their.txt"});
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--html", "page.html", "their.txt"},
        std::vector<std::string>{"--all", "--html=page.html", "their.txt"}}) {
    std::filesystem::remove(folder.work() / "page.html");
    const RunResult run = pagediff(folder, arguments);
    EXPECT_EQ(run.exit_status, 1) << run.err;
    if (arguments[0] != "--all") {
      EXPECT_EQ(run.out, plain.out);
    }
    std::smatch found;
    const std::string location = plain.out.substr(0, plain.out.find('\n'));
    ASSERT_TRUE(std::regex_search(location, found, std::regex(": record ([0-9]+): ")));
    const long record = std::stol(found[1]);
    ASSERT_GT(record, 60) << "the window must start after record 1";
    const std::string page = folder.read("page.html");
    EXPECT_NE(page.find("\"heading\":\"" + heading_of(run.out) + "\""), std::string::npos);
    EXPECT_NE(page.find("\"first\":" + std::to_string(record - 50) + ","), std::string::npos);
    EXPECT_NE(page.find("\"open\":" + std::to_string(record) + ","), std::string::npos);
    // Their lines beside pagesim's, differing first at the record it opens at.
    EXPECT_NE(page.find("\"theirs\":1,"), std::string::npos);
    EXPECT_NE(page.find("\"differ\":{\"50\":["), std::string::npos);
  }
}

TEST(PagediffHtml, MatchWritesThePageFromTheFirstRecordAndFailuresExitWithTwo) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string err;           ///< a regex
    bool report_printed;       ///< stdout holds the whole report
    const char* page_heading;  ///< checked in page.html when set
  } cases[] = {
      {"match", {"--html", "page.html", "out.txt"}, 0, "", true, "no difference: "},
      {"missing folder",
       {"--html", "gone/page.html", "their.txt"},
       2,
       "pagediff: cannot write gone/page.html: No such file or directory\n",
       false,
       nullptr},
      {"standard output",
       {"--html", "-", "their.txt"},
       2,
       "pagediff: --html needs [^\n]*\n",
       false,
       nullptr},
      {"the log itself",
       {"--html", "their.txt", "their.txt"},
       2,
       "pagediff: their.txt is one of the inputs: the page would overwrite it\n",
       false,
       nullptr},
      {"full device",
       {"--html", "/dev/full", "their.txt"},
       2,
       "pagediff: cannot write /dev/full: No space left on device\n",
       true,
       nullptr},
  };
  TempFolder folder;
  make_run(folder);
  const RunResult plain = pagediff(folder, {"their.txt"});
  const RunResult match = pagediff(folder, {"out.txt"});
  for (const Case& c : cases) {
    std::filesystem::remove(folder.work() / "page.html");
    const RunResult run = pagediff(folder, c.arguments);
    EXPECT_EQ(run.exit_status, c.status) << c.name << ": " << run.err;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(c.err))) << c.name << ": " << run.err;
    const RunResult& whole = c.arguments.back() == "out.txt" ? match : plain;
    EXPECT_EQ(run.out, c.report_printed ? whole.out : "") << c.name;
    if (c.page_heading == nullptr) continue;
    const std::string page = folder.read("page.html");
    EXPECT_NE(page.find(std::string("\"heading\":\"") + c.page_heading), std::string::npos);
    EXPECT_NE(page.find("\"first\":1,"), std::string::npos) << c.name;
  }
  EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "a device is not the page's to remove";
  EXPECT_EQ(pagediff(folder, {"their.txt"}).out, plain.out) << "their log is as it was";
}

// Trace and log read once each from FIFOs: the same report and page as from
// files of the same names.
TEST(PagediffHtml, FifosGiveTheSamePageAsFiles) {
  TempFolder files;
  make_run(files);
  const RunResult from_files = pagediff(files, {"--html", "page.html", "their.txt"});
  ASSERT_EQ(from_files.exit_status, 1) << from_files.err;
  TempFolder fifos;
  RunOptions options;
  const std::string source = shell_quote(files.work().string());
  options.shell_prefix = "mkfifo data.txt their.txt && { cat " + source +
                         "/data.txt > data.txt & } && { cat " + source +
                         "/their.txt > their.txt & } && ";
  const RunResult from_fifos = run_program(
      "timeout", fifos, {"20", PAGEDIFF_BINARY, "--html", "page.html", "their.txt"}, options);
  EXPECT_EQ(from_fifos.exit_status, 1) << from_fifos.err;
  EXPECT_EQ(from_fifos.out, from_files.out);
  EXPECT_EQ(fifos.read("page.html"), files.read("page.html"));
}

}  // namespace
