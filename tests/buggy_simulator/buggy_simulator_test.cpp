// With nothing planted the buggy simulator must be pagesim, byte for byte:
// every cause test reads a planted mistake as the difference from this base.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/expected_text.hpp"

namespace {

// Runs pagesim and the unplanted simulator on `trace` in `mode` and
// compares the event log, standard output and anything after the banner.
void expect_same_as_pagesim(const std::string& trace, const std::string& mode) {
  TempFolder ours, theirs;
  ours.write("data.txt", trace);
  theirs.write("data.txt", trace);
  const RunResult expected = pagesim(ours, {mode});
  const RunResult got = run_program(BUGGY_SIMULATOR_BINARY, theirs, {mode});
  EXPECT_EQ(got.exit_status, expected.exit_status);
  EXPECT_EQ(got.out, expected.out);
  ASSERT_EQ(expected.err.substr(0, kBannerText.size()), kBannerText);
  EXPECT_EQ(got.err, expected.err.substr(kBannerText.size()));
  EXPECT_TRUE(ours.read("out.txt") == theirs.read("out.txt")) << "out.txt differs";
}

TEST(BuggySimulator, UnplantedMatchesPagesimOnGeneratedWorkloads) {
  struct Workload {
    const char* name;
    const char* records;
    size_t skipped;  ///< leading records dropped
  };
  // mixed starts with a local phase; its uniform phase from record 50,001 on
  // has evictions, terminations and pages out of range together.
  const Workload workloads[] = {{"uniform", "4000", 0},
                                {"local", "4000", 0},
                                {"mixed", "4000", 0},
                                {"mixed", "54000", 50000}};
  for (const Workload& workload : workloads) {
    TempFolder folder;
    const RunResult made = run_program(TRACEGEN_BINARY, folder, {workload.name, workload.records});
    ASSERT_EQ(made.exit_status, 0) << workload.name;
    size_t start = 0;
    for (size_t n = 0; n < workload.skipped; ++n) start = made.out.find('\n', start) + 1;
    for (const char* mode : {"0", "1"}) {
      SCOPED_TRACE(std::string(workload.name) + " " + workload.records + " mode " + mode);
      expect_same_as_pagesim(made.out.substr(start), mode);
    }
  }
}

TEST(BuggySimulator, UnplantedMatchesPagesimOnTheFuzzCorpus) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_DIR)) {
    const std::string trace = [&] {
      std::ifstream in(entry.path(), std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    for (const char* mode : {"0", "1"}) {
      SCOPED_TRACE(entry.path().filename().string() + " mode " + mode);
      expect_same_as_pagesim(trace, mode);
    }
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
