// The model with no switch set gives pagesim's bytes: on every workload in
// both modes, on every file of the fuzz corpus and on the real example.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/trace_workloads.hpp"
#include "variants/engine_comparison.hpp"

namespace variants {
namespace {

std::string workload_trace(Workload workload, int records, uint64_t seed) {
  TraceGenerator generator(workload, seed);
  std::string trace;
  for (int i = 0; i < records; ++i) {
    const TraceRecord record = generator.next();
    trace += std::to_string(record.proc) + ' ' + std::to_string(record.first) + ' ' +
             std::to_string(record.second) + '\n';
  }
  return trace;
}

std::string file_contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Variant pagesim_in_mode(int32_t mode) {
  Variant variant;
  variant.mode = mode;
  return variant;
}

void expect_same_bytes(const std::string& trace, int32_t mode, const std::string& name) {
  ComparisonSummary summary;
  const auto departure = compare_with_engine(trace, pagesim_in_mode(mode), &summary);
  EXPECT_FALSE(departure.has_value())
      << name << " mode " << mode << ": record " << departure->record << ", " << departure->what
      << "\npagesim:\n"
      << departure->pagesim << "model:\n"
      << departure->model;
}

struct WorkloadCase {
  Workload workload;
  const char* name;
};

class EveryWorkload : public testing::TestWithParam<WorkloadCase> {};

TEST_P(EveryWorkload, GivesPagesimsBytesInBothModes) {
  const std::string trace = workload_trace(GetParam().workload, 200'000, 1);
  for (int32_t mode : {0, 1}) expect_same_bytes(trace, mode, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Workloads, EveryWorkload,
                         testing::Values(WorkloadCase{Workload::kUniform, "uniform"},
                                         WorkloadCase{Workload::kLocal, "local"},
                                         WorkloadCase{Workload::kMixed, "mixed"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Differential, EveryCorpusFileAndTheRealExampleGivePagesimsBytes) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_DIR))
    files.push_back(entry.path());
  files.push_back(std::filesystem::path(EXAMPLES_DIR) / "real-ls-gzip-sort.txt");
  ASSERT_GE(files.size(), 8u);
  for (const auto& file : files) {
    const std::string trace = file_contents(file);
    for (int32_t mode : {0, 1}) expect_same_bytes(trace, mode, file.filename().string());
  }
}

TEST(Differential, TheInconsistencyStopGivesPagesimsLines) {
  // Process -1 reads page -1 of a free frame, then its write hits that entry.
  ComparisonSummary summary;
  const auto departure =
      compare_with_engine("7 3000 3100\n-1 -1024 -2047\n8 0 0\n", pagesim_in_mode(0), &summary);
  EXPECT_FALSE(departure.has_value()) << departure->pagesim << "\n" << departure->model;
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.records, 2);
}

// The check itself must see a difference in each output it compares.
TEST(Differential, FindsAModelThatDeparts) {
  const Variant pagesim = pagesim_in_mode(0);
  const std::string uniform = workload_trace(Workload::kUniform, 2'000, 3);
  const struct {
    Variant model;
    std::string trace;
    const char* what;
  } cases[] = {
      {pagesim.with(Mistake::kTlbFifo), uniform, "event lines"},
      {apply_id(pagesim, "frames-19").value(), uniform, "event lines"},
      {pagesim.with(Mistake::kPage64Accepted), "3 65536 0\n", "messages"},
      {pagesim.with(Mistake::kDirtyCountedAtTermination), "5 100 100\n5 0 0\n", "totals"},
      {pagesim.with(Mistake::kTlbNoLoadOnFrameHit), "-1 -1024 -2047\n", "stop"},
  };
  for (const auto& c : cases) {
    const auto departure = compare_with_engine(c.trace, c.model);
    ASSERT_TRUE(departure.has_value()) << variant_ids(c.model, pagesim);
    EXPECT_EQ(departure->what, c.what) << variant_ids(c.model, pagesim);
  }
}

}  // namespace
}  // namespace variants
