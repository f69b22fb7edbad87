#include "policies/curve.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <future>
#include <memory>

#include "policies/lru_stack.hpp"
#include "policies/opt_stack.hpp"
#include "policies/run_group.hpp"
#include "policies/wide_machine.hpp"

namespace {

// The clocks' counts whose LRU faults exceed kRunFaultsOf in kRunFaultsPer
// references run one by one: a fault costs the grouped pass about half as
// much again as a reference costs a run of its own.
constexpr int64_t kRunFaultsOf = 2;
constexpr int64_t kRunFaultsPer = 3;

}  // namespace

std::vector<int> curve_frame_counts(uint32_t pages, int frames_max) {
  const int last =
      std::max(1, static_cast<int>(std::min<int64_t>({int64_t{pages}, frames_max, kMaxFrames})));
  std::vector<int> counts;
  for (int frames = 1; frames <= std::min(last, kCurveDenseFrames); ++frames)
    counts.push_back(frames);
  // Nine steps per doubling, each rounded down but always one more frame,
  // so that every doubling past 64 holds at least eight counts.
  for (int step = 1; counts.back() < last; ++step) {
    const double grid = kCurveDenseFrames * std::exp2(step / 9.0);
    counts.push_back(std::min(last, std::max(counts.back() + 1, static_cast<int>(grid))));
  }
  return counts;
}

std::vector<PolicyCounts> policy_runs(const ReferenceTrace& trace, Policy policy,
                                      std::span<const int> frame_counts) {
  std::vector<WhatIfRun> runs;
  for (const int frames : frame_counts) runs.push_back({policy, frames});
  std::vector<PolicyCounts> counts;
  for (const WhatIfResult& result : run_what_if(trace, runs)) counts.push_back(result.totals);
  return counts;
}

std::vector<std::function<void()>> curve_tasks(const ReferenceTrace& trace,
                                               std::span<const int> frame_counts, Curve* curve) {
  curve->frames.assign(frame_counts.begin(), frame_counts.end());
  for (auto& counts : curve->counts) counts.assign(frame_counts.size(), {});
  std::vector<std::function<void()>> tasks;
  const auto slot = [curve](Policy policy) { return &curve->counts[static_cast<size_t>(policy)]; };
  // OPT's stack first, the longest.
  tasks.push_back(
      [&trace, curve, out = slot(Policy::kOpt)] { *out = opt_stack_curve(trace, curve->frames); });
  // LRU next: its faults tell the clocks' parts which counts mostly fault,
  // and its one-frame counts are every policy's.
  auto lru = std::make_shared<std::promise<void>>();
  std::shared_future<void> lru_done = lru->get_future().share();
  tasks.push_back([&trace, curve, lru, out = slot(Policy::kLru)] {
    try {
      *out = lru_curve(trace, curve->frames);
      lru->set_value();
    } catch (...) {
      lru->set_exception(std::current_exception());
    }
  });
  // FIFO and the clocks, each policy in parts of alternate counts, about
  // the same work, so that both cores share them. A part's counts go side
  // by side in one pass, but for the clocks' counts that mostly fault,
  // where the pass's work per fault costs more than a run's per event:
  // those run one by one.
  const size_t parts = std::max<size_t>(2, (frame_counts.size() + kGroupRuns - 1) / kGroupRuns);
  for (const Policy policy : {Policy::kFifo, Policy::kCleanFirst, Policy::kClock}) {
    for (size_t part = 0; part < parts; ++part) {
      tasks.push_back([&trace, curve, policy, part, parts, lru_done, out = slot(policy)] {
        const auto& lru_counts = curve->counts[static_cast<size_t>(Policy::kLru)];
        lru_done.get();
        std::vector<size_t> by_group, by_run;
        for (size_t i = part; i < curve->frames.size(); i += parts) {
          // With one frame every fault evicts the one page there, whatever
          // the policy: LRU's counts are everyone's, and a run of its own
          // would cost a whole pass.
          if (curve->frames[i] == 1) {
            (*out)[i] = lru_counts[i];
            continue;
          }
          const bool mostly_faults =
              policy != Policy::kFifo &&
              lru_counts[i].faults * kRunFaultsPer > trace.references() * kRunFaultsOf;
          (mostly_faults ? by_run : by_group).push_back(i);
        }
        for (const bool in_group : {true, false}) {
          const std::vector<size_t>& indices = in_group ? by_group : by_run;
          if (indices.empty()) continue;  // a pass for no run still reads the trace
          std::vector<int> counts;
          for (const size_t i : indices) counts.push_back(curve->frames[i]);
          const std::vector<PolicyCounts> runs =
              in_group ? grouped_runs(trace, policy, counts) : policy_runs(trace, policy, counts);
          for (size_t r = 0; r < runs.size(); ++r) (*out)[indices[r]] = runs[r];
        }
      });
    }
  }
  return tasks;
}

Curve compute_curve(const ReferenceTrace& trace, std::span<const int> frame_counts) {
  Curve curve;
  for (const auto& task : curve_tasks(trace, frame_counts, &curve)) task();
  return curve;
}

Curve compute_curve(const ReferenceTrace& trace, int max_frames) {
  std::vector<int> frame_counts;
  for (int frames = 1; frames <= max_frames; ++frames) frame_counts.push_back(frames);
  return compute_curve(trace, frame_counts);
}
