#include "tools/pagestat/interval_stream.hpp"

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "policies/clock.hpp"
#include "policies/event_stream.hpp"
#include "policies/fifo.hpp"
#include "policies/lru.hpp"
#include "policies/next_use.hpp"
#include "policies/opt.hpp"
#include "tools/pagestat/pagesim_runs.hpp"

namespace {

// The policies' machines in kPolicies order, advanced together piece by
// piece; the optimal policy reads next uses a window at a time.
class PolicyColumns {
 public:
  PolicyColumns(const ReferenceTrace& trace, int frames)
      : machines_(
            PolicyMachine<SecondChance>(frames, trace), PolicyMachine<CleanFirst>(frames, trace),
            PolicyMachine<FirstInFirstOut>(frames, trace),
            PolicyMachine<LeastRecentlyUsed>(frames, trace), PolicyMachine<Optimal>(frames, trace)),
        stream_(trace),
        next_use_(trace) {}

  /// Runs on to each of `ends`, past the last call's, writing each
  /// interval's faults into its row from column `first_column` on.
  void run(std::span<const uint64_t> ends, std::span<IntervalRow> rows, size_t first_column) {
    for (size_t i = 0; i < ends.size(); ++i) {
      const std::array<int64_t, kPolicyCount> before = faults();
      while (position_ < ends[i]) advance(ends[i]);
      const std::array<int64_t, kPolicyCount> after = faults();
      for (size_t p = 0; p < kPolicyCount; ++p) rows[i][first_column + p] = after[p] - before[p];
    }
  }

 private:
  // Runs one piece toward `end` that stays within a block.
  void advance(uint64_t end) {
    if (position_ == block_first_ + block_.size()) {
      block_ = stream_.next();
      block_first_ = stream_.first();
      block_next_ = next_use_.next_block();
    }
    const uint64_t piece_end = std::min(end, block_first_ + block_.size());
    const auto offset = static_cast<size_t>(position_ - block_first_);
    const std::span<const uint32_t> piece =
        block_.subspan(offset, static_cast<size_t>(piece_end - position_));
    const uint32_t* next = block_next_.data() + offset;
    std::apply([&](auto&... machine) { (machine.run(piece, next), ...); }, machines_);
    position_ = piece_end;
  }

  std::array<int64_t, kPolicyCount> faults() const {
    return std::apply(
        [](const auto&... machine) {
          return std::array<int64_t, kPolicyCount>{machine.counts().faults...};
        },
        machines_);
  }

  std::tuple<PolicyMachine<SecondChance>, PolicyMachine<CleanFirst>, PolicyMachine<FirstInFirstOut>,
             PolicyMachine<LeastRecentlyUsed>, PolicyMachine<Optimal>>
      machines_;
  EventStream stream_;
  NextUse next_use_;
  // The block the machines are in, with its next uses.
  std::span<const uint32_t> block_, block_next_;
  uint64_t block_first_ = 0;
  uint64_t position_ = 0;
};

}  // namespace

void stream_interval_rows(const ReferenceTrace& trace, int frames, int64_t interval,
                          const std::array<std::optional<int64_t>, 2>& stop_before, size_t stretch,
                          const std::function<bool(std::span<const IntervalRow>)>& emit) {
  static_assert(kPolicies[0] == Policy::kClock && kPolicies[1] == Policy::kCleanFirst &&
                    kPolicies[2] == Policy::kFifo && kPolicies[3] == Policy::kLru &&
                    kPolicies[4] == Policy::kOpt,
                "the machines are listed in the report's order");
  PagesimIntervals mode0(trace, 0, stop_before[0]);
  PagesimIntervals mode1(trace, 1, stop_before[1]);
  PolicyColumns policies(trace, frames);
  std::vector<uint64_t> ends;
  std::vector<int64_t> misses, faults;
  std::vector<IntervalRow> rows;
  ends.reserve(stretch);
  int64_t records_in_interval = 0;
  for (EventCursor cursor(trace); !cursor.done();) {
    // A record is one termination or two references.
    if (!is_termination_event(cursor.take()) && !cursor.done()) cursor.take();
    const uint64_t position = cursor.position();
    if (++records_in_interval == interval || position == trace.events()) {
      ends.push_back(position);
      records_in_interval = 0;
    }
    if (ends.size() < stretch && position < trace.events()) continue;
    rows.assign(ends.size(), IntervalRow{});
    for (int mode = 0; mode < 2; ++mode) {
      misses.clear();
      faults.clear();
      (mode == 0 ? mode0 : mode1).run(ends, &misses, &faults);
      for (size_t i = 0; i < ends.size(); ++i) {
        rows[i][2 * mode] = misses[i];
        rows[i][2 * mode + 1] = faults[i];
      }
    }
    policies.run(ends, rows, 4);
    if (!emit(rows)) return;
    ends.clear();
  }
}
