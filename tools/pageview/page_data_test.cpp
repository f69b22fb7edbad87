// The window as collected from pagesim's model: the lines the page rebuilds,
// the eviction scans and the size of the embedded data.
#include "tools/pageview/page_data.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/pageview/page_json.hpp"
#include "tools/trace_workloads.hpp"

namespace {

// A trace file that is removed with the object.
struct TraceFile {
  std::string path;
  explicit TraceFile(const std::string& text) {
    char name[] = "/tmp/pageview_test_XXXXXX";
    const int fd = mkstemp(name);
    path = name;
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
  }
  ~TraceFile() { unlink(path.c_str()); }
};

std::string generated(Workload workload, int records, uint64_t seed) {
  TraceGenerator generator(workload, seed);
  std::string text;
  for (int i = 0; i < records; ++i) {
    const TraceRecord r = generator.next();
    text += std::to_string(r.proc) + " " + std::to_string(r.first) + " " +
            std::to_string(r.second) + "\n";
  }
  return text;
}

// Process 1 writes pages 0..19, which fills every frame dirty and
// referenced, then a twenty-first page must evict.
std::string all_frames_dirty() {
  std::string text;
  for (int page = 0; page <= 20; ++page) {
    const std::string address = std::to_string(page * 1024 + 1);
    text += "1 " + address + " " + address + "\n";
  }
  return text;
}

struct Case {
  const char* name;
  std::string trace;
  int32_t mode;
  int64_t first, count;
};

std::vector<Case> cases() {
  return {{"uniform, second chance", generated(Workload::kUniform, 3000, 4), 0, 500, 2500},
          {"uniform, clean first", generated(Workload::kUniform, 3000, 4), 1, 1, 3000},
          // Out-of-range addresses and terminations among local references.
          {"mixed, clean first", generated(Workload::kMixed, 52000, 2), 1, 49000, 3000},
          {"all frames dirty, clean first", all_frames_dirty(), 1, 1, 21}};
}

TEST(PageData, LinesRebuiltFromTheReferencesAreThoseTheModelLogged) {
  for (const Case& c : cases()) {
    TraceFile trace(c.trace);
    PageData data;
    std::string error;
    ASSERT_TRUE(collect_page_data(trace.path, c.mode, c.first, c.count, data, error)) << error;
    ASSERT_EQ(data.steps.size(), static_cast<size_t>(c.count)) << c.name;
    for (const RecordStep& step : data.steps)
      ASSERT_EQ(event_lines_of(step), step.events) << c.name << ", record " << step.record;
  }
}

TEST(PageData, EachEvictionScanRunsOnTheClockFromTheHandToTheFrameTaken) {
  for (const Case& c : cases()) {
    TraceFile trace(c.trace);
    PageData data;
    std::string error;
    ASSERT_TRUE(collect_page_data(trace.path, c.mode, c.first, c.count, data, error)) << error;
    int32_t hand = data.before.hand;
    int evictions = 0;
    for (const RecordStep& step : data.steps) {
      int32_t last_victim = -1;
      for (const RefStep& ref : step.refs) {
        if (ref.outcome != RefOutcome::kEviction) continue;
        ++evictions;
        ASSERT_FALSE(ref.scan.empty());
        // Within a record only an eviction moves the hand: the first of two
        // starts where the record before left it.
        if (&ref == &step.refs.front()) {
          EXPECT_EQ(ref.scan.front().frame, hand) << step.record;
        }
        for (size_t k = 0; k < ref.scan.size(); ++k) {
          EXPECT_EQ(ref.scan[k].frame, (ref.scan.front().frame + static_cast<int>(k)) % kFrames);
          EXPECT_EQ(ref.scan[k].taken, k + 1 == ref.scan.size());
        }
        EXPECT_EQ(ref.scan.back().frame, ref.frame) << c.name << ", record " << step.record;
        last_victim = ref.frame;
      }
      // The hand stands one past the record's last victim.
      if (last_victim >= 0) {
        EXPECT_EQ(step.after.hand, (last_victim + 1) % kFrames);
      }
      hand = step.after.hand;
    }
    EXPECT_GT(evictions, 0) << c.name;
    if (c.trace == all_frames_dirty()) {
      // No clean frame in two full turns: the limit takes the frame it started at.
      const RefStep& read = data.steps.back().refs[0];
      EXPECT_EQ(read.scan.size(), 2u * kFrames + 1);
      EXPECT_EQ(read.cleared, kAllFramesFree);
    }
  }
}

TEST(PageData, EmbeddedDataStaysWithinThreeHundredBytesPerRecord) {
  // Uniform references fault and evict the most: the largest records.
  const std::string text = generated(Workload::kUniform, 5000, 7);
  TraceFile trace(text);
  for (const int32_t mode : {0, 1}) {
    PageData data;
    std::string error;
    ASSERT_TRUE(collect_page_data(trace.path, mode, 1, 5000, data, error)) << error;
    const std::string json = page_json(data, nullptr, PageText{trace.path, "", 0});
    EXPECT_LE(json.size(), 300u * 5000) << "mode " << mode;
  }
}

TEST(PageData, SaysWherePagesimStopsReadingAndWhatAShortRecordKeeps) {
  const struct {
    const char* trace;
    int64_t records;
    const char* stop;     // the note's end; empty: none
    const char* partial;  // the note's end; empty: none
  } cases[] = {
      {"1 1024 2048\noops\n", 1,
       ":2:1: after record 1: pagesim stops reading here: \"oops\" is not a number", ""},
      {"1 1024 2048\n1 3072 99999999999\n", 2,
       ":2:8: after record 2: pagesim stops reading here: \"99999999999\" is outside the signed "
       "32-bit range",
       "the second address keeps 2048 from the record before"},
      {"1 1024 2048\n2 3072\n", 2, "", "the second address keeps 2048 from the record before"},
      {"1 1024 2048\n", 1, "", ""},
  };
  for (const auto& c : cases) {
    TraceFile trace(c.trace);
    PageData data;
    std::string error;
    ASSERT_TRUE(collect_page_data(trace.path, 0, 1, 10, data, error)) << error;
    EXPECT_EQ(data.trace_records, c.records) << c.trace;
    EXPECT_TRUE(data.stop_note.ends_with(c.stop)) << data.stop_note;
    EXPECT_EQ(data.stop_note.empty(), *c.stop == '\0') << c.trace;
    EXPECT_TRUE(data.partial_note.ends_with(c.partial)) << data.partial_note;
    EXPECT_EQ(data.partial_note.empty(), *c.partial == '\0') << c.trace;
  }
}

}  // namespace
