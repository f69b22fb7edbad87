// Results of a real pagestat analysis of a small trace, for the report tests.
#pragma once

#include <memory>

#include "tools/pagestat/results.hpp"

struct AnalysedTrace {
  std::unique_ptr<ReferenceTrace> trace = std::make_unique<ReferenceTrace>();
  PagestatResults results;
};

/// Analyses `records` ({proc, read, write} each) as pagestat does, at
/// `frames` frames and `interval` records per interval, with the curve when
/// asked.
inline AnalysedTrace analyse(const std::vector<std::array<int32_t, 3>>& records, int frames,
                             int64_t interval, bool curve) {
  AnalysedTrace analysed;
  for (const auto& record : records) analysed.trace->add_record(record[0], record[1], record[2]);
  PagestatResults& results = analysed.results;
  results.trace_name = "t.txt";
  results.trace = analysed.trace.get();
  results.frames = frames;
  results.interval = interval;
  results.interval_ends = analysed.trace->interval_ends(interval);
  for (int32_t mode = 0; mode < 2; ++mode)
    results.modes[mode] = run_pagesim(*analysed.trace, mode, results.interval_ends);
  std::vector<WhatIfRun> runs;
  for (const Policy policy : kPolicies) runs.push_back({policy, frames});
  results.what_if = run_what_if(*analysed.trace, runs, results.interval_ends);
  if (curve)
    results.curve =
        compute_curve(*analysed.trace, curve_frame_counts(analysed.trace->pages(), kMaxFrames));
  return analysed;
}
