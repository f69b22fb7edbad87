// Deterministic synthetic traces for pagesim: the same workload, record count
// and seed give the same records on every machine.
#pragma once

#include <cstdint>
#include <string_view>

/// xoshiro256** seeded through splitmix64: small, fast, and fully specified,
/// unlike the standard library's distributions.
class TraceRandom {
 public:
  explicit TraceRandom(uint64_t seed);
  uint64_t next();
  /// A number in 0..bound-1. REQUIRES: bound > 0.
  uint32_t below(uint32_t bound) { return static_cast<uint32_t>((next() >> 32) * bound >> 32); }
  /// True with probability 1 / one_in.
  bool one_in(uint32_t one_in) { return below(one_in) == 0; }

 private:
  uint64_t state_[4];
};

struct TraceRecord {
  int32_t proc;
  int32_t first;   ///< read address, 0: the process ends
  int32_t second;  ///< write address
};

enum class Workload { kUniform, kLocal, kMixed };

/// Parses "uniform", "local" or "mixed". Returns false for anything else.
bool parse_workload(std::string_view name, Workload* workload);

/// Produces the records of one workload, one at a time.
class TraceGenerator {
 public:
  TraceGenerator(Workload workload, uint64_t seed);
  TraceRecord next();

 private:
  TraceRecord next_uniform();
  TraceRecord next_local();
  int32_t local_address(int32_t proc);
  int32_t out_of_range_address();

  static constexpr int kMaxLocalProcesses = 6;
  Workload workload_;
  TraceRandom random_;
  uint64_t produced_ = 0;
  int32_t local_processes_;
  int32_t burst_proc_ = 0;
  uint32_t burst_left_ = 0;
  int32_t set_base_[kMaxLocalProcesses];
  int32_t set_size_[kMaxLocalProcesses];
};
