#include "tools/traceconv/scheduler.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace {

// Gives its records, then the end or a failed read.
struct ListSource final : RecordSource {
  std::vector<AddressPair> records;
  int error = 0;
  size_t given = 0;
  bool next(AddressPair* record) override {
    if (given == records.size()) return false;
    *record = records[given++];
    return true;
  }
  int read_error() const override { return given == records.size() ? error : 0; }
};

ListSource listing(std::vector<AddressPair> records, int error = 0) {
  ListSource source;
  source.records = std::move(records);
  source.error = error;
  return source;
}

// Records 1 1, 2 2, ... n n.
ListSource counting(int32_t n, int error = 0) {
  std::vector<AddressPair> records;
  for (int32_t i = 1; i <= n; ++i) records.push_back({i, i});
  return listing(records, error);
}

TEST(Scheduler, ProcessesTakeTurnsOfAQuantumAndEndRightAfterTheirLastRecord) {
  const struct {
    std::vector<ListSource> sources;
    ScheduleSettings settings;
    std::string text;
    size_t failed_source = ScheduleResult::npos;
  } cases[] = {
      {{counting(3), counting(1), counting(2)},
       {.quantum = 2},
       "1 1 1\n1 2 2\n2 1 1\n2 0 0\n3 1 1\n3 2 2\n3 0 0\n1 3 3\n1 0 0\n"},
      // Used up on a turn's last record: it ends at once, not a turn later.
      {{counting(2), counting(1)}, {.quantum = 2}, "1 1 1\n1 2 2\n1 0 0\n2 1 1\n2 0 0\n"},
      {{counting(0), counting(1)}, {.quantum = 5}, "1 0 0\n2 1 1\n2 0 0\n"},
      {{counting(2)}, {.terminate = false, .first_process = 7}, "7 1 1\n7 2 2\n"},
      {{counting(3), counting(1, EIO)}, {.quantum = 2}, "1 1 1\n1 2 2\n2 1 1\n", 1},
      {{listing({{1, 0},
                 {9, 10},
                 {99, 100},
                 {999, 1000},
                 {9999, 10000},
                 {65535, 99999},
                 {100000, -5},
                 {2147483647, -2147483647 - 1}})},
       {.terminate = false},
       "1 1 0\n1 9 10\n1 99 100\n1 999 1000\n1 9999 10000\n1 65535 99999\n1 100000 -5\n"
       "1 2147483647 -2147483648\n"},
  };
  for (auto c : cases) {
    std::vector<RecordSource*> sources;
    for (auto& source : c.sources) sources.push_back(&source);
    auto out = std::make_unique<OutputBuffer>();
    out->attach(-1, false);
    const ScheduleResult result = write_interleaved(sources, c.settings, out.get());
    EXPECT_EQ(out->pending(), c.text);
    EXPECT_EQ(result.records,
              static_cast<uint64_t>(std::count(c.text.begin(), c.text.end(), '\n')));
    EXPECT_EQ(result.failed_source, c.failed_source);
  }
}

}  // namespace
