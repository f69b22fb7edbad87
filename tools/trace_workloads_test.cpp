#include "tools/trace_workloads.hpp"

#include <gtest/gtest.h>

#include <set>

namespace {

struct Profile {
  std::set<int32_t> processes;
  int terminations = 0;
  int out_of_range = 0;
  int first_address_zero_without_termination = 0;
};

Profile profile(Workload workload, uint64_t seed, int records) {
  TraceGenerator generator(workload, seed);
  Profile result;
  for (int i = 0; i < records; ++i) {
    const TraceRecord record = generator.next();
    result.processes.insert(record.proc);
    if (record.first == 0) {
      ++result.terminations;
      continue;
    }
    for (int32_t address : {record.first, record.second})
      if (address < 0 || address / 1024 >= 64) ++result.out_of_range;
  }
  return result;
}

TEST(TraceRandom, SameSeedSameNumbersOtherSeedOthers) {
  TraceRandom a(5), b(5), c(6);
  bool differs = false;
  for (int i = 0; i < 100; ++i) {
    const uint64_t x = a.next();
    EXPECT_EQ(x, b.next());
    differs = differs || x != c.next();
  }
  EXPECT_TRUE(differs);
  // Fixed values: the generator must not change under anyone's traces.
  TraceRandom fixed(1);
  EXPECT_EQ(fixed.next(), 0xb3f2af6d0fc710c5ULL);
}

TEST(TraceWorkloads, UniformUsesEightProcessesAndEndsAboutOnePercent) {
  const Profile p = profile(Workload::kUniform, 1, 100000);
  EXPECT_EQ(p.processes, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_GT(p.terminations, 800);
  EXPECT_LT(p.terminations, 1200);
  EXPECT_EQ(p.out_of_range, 0);
}

TEST(TraceWorkloads, LocalUsesFourToSixProcessesRarelyEnding) {
  for (uint64_t seed : {1, 2, 3, 4, 5}) {
    const Profile p = profile(Workload::kLocal, seed, 100000);
    EXPECT_GE(p.processes.size(), 4u);
    EXPECT_LE(p.processes.size(), 6u);
    EXPECT_LT(p.terminations, 20);
    EXPECT_EQ(p.out_of_range, 0);
  }
}

TEST(TraceWorkloads, MixedHasSomeOutOfRangeAddressesAndNeverProcessMinusOne) {
  const Profile p = profile(Workload::kMixed, 3, 200000);
  EXPECT_EQ(p.processes.count(-1), 0u);
  EXPECT_GT(p.out_of_range, 500);  // about 0.5% of 200,000 records
  EXPECT_LT(p.out_of_range, 1500);
}

TEST(TraceWorkloads, NamesParse) {
  Workload workload;
  EXPECT_TRUE(parse_workload("mixed", &workload));
  EXPECT_EQ(workload, Workload::kMixed);
  EXPECT_FALSE(parse_workload("Mixed", &workload));
  EXPECT_FALSE(parse_workload("", &workload));
}

}  // namespace
