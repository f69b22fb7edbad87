#include "policies/what_if.hpp"

#include <algorithm>
#include <memory>

#include "policies/clock.hpp"
#include "policies/event_stream.hpp"
#include "policies/fifo.hpp"
#include "policies/lru.hpp"
#include "policies/next_use.hpp"
#include "policies/opt.hpp"
#include "policies/wide_machine.hpp"

namespace {

class AnyRun {
 public:
  virtual ~AnyRun() = default;
  virtual void run(std::span<const uint32_t> events, const uint32_t* next_use) = 0;
  virtual PolicyCounts counts() const = 0;
};

template <class Machine>
class RunOf : public AnyRun {
 public:
  RunOf(int frames, const ReferenceTrace& trace) : machine_(frames, trace) {}
  void run(std::span<const uint32_t> events, const uint32_t* next_use) override {
    machine_.run(events, next_use);
  }
  PolicyCounts counts() const override { return machine_.counts(); }

 private:
  Machine machine_;
};

// Up to a word of frames, the frame bits live in registers; beyond, in rows.
template <class Narrow, class Wide>
std::unique_ptr<AnyRun> make_run_of(int frames, const ReferenceTrace& trace) {
  if (frames <= kMaxWhatIfFrames)
    return std::make_unique<RunOf<PolicyMachine<Narrow>>>(frames, trace);
  return std::make_unique<RunOf<WideMachine<Wide>>>(frames, trace);
}

std::unique_ptr<AnyRun> make_run(const WhatIfRun& run, const ReferenceTrace& trace) {
  switch (run.policy) {
    case Policy::kClock:
      return make_run_of<SecondChance, WideSecondChance>(run.frames, trace);
    case Policy::kCleanFirst:
      return make_run_of<CleanFirst, WideCleanFirst>(run.frames, trace);
    case Policy::kFifo:
      return make_run_of<FirstInFirstOut, WideFirstInFirstOut>(run.frames, trace);
    case Policy::kLru:
      return make_run_of<LeastRecentlyUsed, WideLeastRecentlyUsed>(run.frames, trace);
    case Policy::kOpt:
      break;
  }
  return make_run_of<Optimal, WideOptimal>(run.frames, trace);
}

// A reference to the page referenced just before is a hit in every run: it
// only sets bits the first one set, and the dirty bit for a write. Such
// references are folded into the one before (a write when either writes, the
// next use of the later), so that every run reads fewer events.
size_t fold_repeats(std::span<const uint32_t> events, const uint32_t* next_use,
                    std::vector<uint32_t>& folded, std::vector<uint32_t>& folded_next) {
  folded.resize(events.size());
  if (next_use != nullptr) folded_next.resize(events.size());
  size_t count = 0;
  uint32_t last = kTerminationBit;  // no reference before the first
  for (size_t i = 0; i < events.size(); ++i) {
    const uint32_t event = events[i];
    if (count > 0 && !is_termination_event(event) && !is_termination_event(last) &&
        referenced_page(event) == referenced_page(last)) {
      last |= event & 1;
      folded[count - 1] = last;
      if (next_use != nullptr) folded_next[count - 1] = next_use[i];
      continue;
    }
    folded[count] = last = event;
    if (next_use != nullptr) folded_next[count] = next_use[i];
    ++count;
  }
  return count;
}

// Events every run takes in turn: small enough to stay in the core's cache
// while all the runs go over them.
constexpr uint64_t kPieceEvents = 1 << 14;

}  // namespace

std::string_view policy_name(Policy policy) {
  switch (policy) {
    case Policy::kClock:
      return "clock";
    case Policy::kCleanFirst:
      return "clean-first";
    case Policy::kFifo:
      return "fifo";
    case Policy::kLru:
      return "lru";
    case Policy::kOpt:
      break;
  }
  return "opt";
}

std::vector<WhatIfResult> run_what_if(const ReferenceTrace& trace, std::span<const WhatIfRun> runs,
                                      std::span<const uint64_t> interval_ends) {
  std::vector<std::unique_ptr<AnyRun>> machines;
  for (const WhatIfRun& run : runs) machines.push_back(make_run(run, trace));
  std::vector<WhatIfResult> results(runs.size());
  for (WhatIfResult& result : results) result.interval_faults.reserve(interval_ends.size());

  const bool wants_next_use = std::any_of(
      runs.begin(), runs.end(), [](const WhatIfRun& run) { return run.policy == Policy::kOpt; });
  std::unique_ptr<NextUse> next_use;
  if (wants_next_use) next_use = std::make_unique<NextUse>(trace);
  std::vector<uint32_t> folded, folded_next;
  size_t next_interval = 0;

  EventStream stream(trace);
  for (std::span<const uint32_t> block = stream.next(); !block.empty(); block = stream.next()) {
    const uint64_t block_first = stream.first();
    const std::span<const uint32_t> block_next =
        next_use ? next_use->next_block() : std::span<const uint32_t>();
    // Pieces of the block, ending at interval ends.
    for (uint64_t first = block_first; first < block_first + block.size();) {
      uint64_t end = std::min(block_first + block.size(), first + kPieceEvents);
      while (next_interval < interval_ends.size() && interval_ends[next_interval] <= first)
        ++next_interval;
      if (next_interval < interval_ends.size()) end = std::min(end, interval_ends[next_interval]);
      const auto offset = static_cast<size_t>(first - block_first);
      const std::span<const uint32_t> piece =
          block.subspan(offset, static_cast<size_t>(end - first));
      const uint32_t* piece_next = next_use ? block_next.data() + offset : nullptr;
      const size_t kept = fold_repeats(piece, piece_next, folded, folded_next);
      const std::span<const uint32_t> events(folded.data(), kept);
      for (auto& machine : machines) machine->run(events, next_use ? folded_next.data() : nullptr);
      if (next_interval < interval_ends.size() && end == interval_ends[next_interval]) {
        for (size_t r = 0; r < machines.size(); ++r) {
          const int64_t before = results[r].totals.faults;
          results[r].totals = machines[r]->counts();
          results[r].interval_faults.push_back(results[r].totals.faults - before);
        }
        ++next_interval;
      }
      first = end;
    }
  }
  for (size_t r = 0; r < machines.size(); ++r) results[r].totals = machines[r]->counts();
  return results;
}

PolicyCounts run_policy(const ReferenceTrace& trace, Policy policy, int frames) {
  const WhatIfRun run{policy, frames};
  return run_what_if(trace, std::span(&run, 1)).front().totals;
}
