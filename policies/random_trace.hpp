// Small random traces for the property tests: few processes and pages, so
// that hits, evictions at every frame count and terminations all happen.
#pragma once

#include <cstdint>
#include <random>

#include "policies/reference_trace.hpp"

struct RandomTraceShape {
  int records = 3000;
  int processes = 3;
  int pages = 24;        ///< per process
  int end_one_in = 60;   ///< a record ends its process with chance 1 in this
  int write_one_in = 2;  ///< a reference writes with chance 1 in this
};

inline ReferenceTrace random_trace(uint32_t seed, const RandomTraceShape& shape = {}) {
  std::mt19937 random(seed);
  const auto below = [&random](int bound) { return static_cast<int>(random() % bound); };
  ReferenceTrace trace;
  for (int r = 0; r < shape.records; ++r) {
    const int proc = below(shape.processes);
    if (below(shape.end_one_in) == 0) {
      trace.add_termination(proc);
      continue;
    }
    // Half the references go to a few hot pages, so that small frame counts hit.
    const int page = below(2) == 0 ? below(4) : below(shape.pages);
    trace.add_reference(proc, page, below(shape.write_one_in) == 0);
  }
  return trace;
}
