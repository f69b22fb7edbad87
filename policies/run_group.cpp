#include "policies/run_group.hpp"

#include <algorithm>
#include <bit>

#include "policies/event_stream.hpp"
#include "policies/frame_set.hpp"

namespace {

constexpr int kGroupRuns = 64;
constexpr uint32_t kNoFrame = UINT32_MAX;

// Up to 64 runs of one policy, each with its own frames, whose bits are
// kept by page: bit r of resident_[p], referenced_[p] and dirty_[p] is run
// r's state of page p. A hit in every run that holds the page is then three
// word operations, and only the runs that fault do work of their own.
class RunGroup {
 public:
  RunGroup(const ReferenceTrace& trace, Policy policy, std::span<const int> frame_counts)
      : policy_(policy),
        resident_(trace.pages(), 0),
        referenced_(trace.pages(), 0),
        dirty_(trace.pages(), 0),
        frame_of_(size_t{trace.pages()} * frame_counts.size(), kNoFrame),
        pages_of_process_(trace.processes()) {
    for (uint32_t page = 0; page < trace.pages(); ++page)
      pages_of_process_[trace.process_of(page)].push_back(page);
    for (const int frames : frame_counts) runs_.emplace_back(frames);
    all_ = runs_.size() == 64 ? ~uint64_t{0} : (uint64_t{1} << runs_.size()) - 1;
  }

  void reference(uint32_t page, bool write) {
    const uint64_t hits = resident_[page];
    referenced_[page] |= hits;
    if (write) dirty_[page] |= hits;
    for (uint64_t misses = all_ & ~hits; misses != 0; misses &= misses - 1)
      fault(static_cast<size_t>(std::countr_zero(misses)), page, write);
  }

  void end_process(uint32_t process) {
    for (const uint32_t page : pages_of_process_[process]) {
      for (uint64_t held = resident_[page]; held != 0; held &= held - 1) {
        const size_t r = static_cast<size_t>(std::countr_zero(held));
        Run& run = runs_[r];
        const uint32_t frame = frame_of(page, r);
        run.free.set(static_cast<int>(frame));
        ++run.free_count;
        run.loaded[frame] = 0;
      }
      resident_[page] = 0;
    }
  }

  std::vector<PolicyCounts> counts() const {
    std::vector<PolicyCounts> counts;
    for (const Run& run : runs_) counts.push_back(run.counts);
    return counts;
  }

 private:
  struct Load {
    uint32_t frame;
    uint32_t number;
  };
  struct Run {
    explicit Run(int frame_count)
        : frames(frame_count),
          free(frame_count, true),
          free_count(frame_count),
          page(static_cast<size_t>(frame_count)),
          load_number(static_cast<size_t>(frame_count), 0),
          loaded(static_cast<size_t>(frame_count), 0) {}
    int frames;
    FrameSet free;
    int free_count;
    std::vector<uint32_t> page;  ///< each frame's page
    int hand = 0;
    PolicyCounts counts;
    // FIFO: loads in order from queue_head; a load whose frame was freed or
    // loaded again since is stale and passed over.
    std::vector<Load> queue;
    size_t queue_head = 0;
    std::vector<uint32_t> load_number;
    std::vector<uint8_t> loaded;
  };

  uint32_t& frame_of(uint32_t page, size_t run) { return frame_of_[page * runs_.size() + run]; }
  bool bit(const std::vector<uint64_t>& bits, uint32_t page, uint64_t run_bit) const {
    return (bits[page] & run_bit) != 0;
  }

  void fault(size_t r, uint32_t page, bool write) {
    Run& run = runs_[r];
    const uint64_t run_bit = uint64_t{1} << r;
    ++run.counts.faults;
    int frame;
    if (run.free_count > 0) {
      frame = run.free.first();
      run.free.reset(frame);
      --run.free_count;
    } else {
      frame = choose_victim(run, run_bit);
      const uint32_t victim = run.page[static_cast<size_t>(frame)];
      if (bit(dirty_, victim, run_bit)) ++run.counts.dirty_writes;
      resident_[victim] &= ~run_bit;
    }
    run.page[static_cast<size_t>(frame)] = page;
    frame_of(page, r) = static_cast<uint32_t>(frame);
    resident_[page] |= run_bit;
    referenced_[page] |= run_bit;
    dirty_[page] = write ? dirty_[page] | run_bit : dirty_[page] & ~run_bit;
    if (policy_ == Policy::kFifo) {
      if (run.queue_head > 4096 && 2 * run.queue_head > run.queue.size()) {
        run.queue.erase(run.queue.begin(),
                        run.queue.begin() + static_cast<ptrdiff_t>(run.queue_head));
        run.queue_head = 0;
      }
      const auto f = static_cast<size_t>(frame);
      run.queue.push_back({static_cast<uint32_t>(frame), ++run.load_number[f]});
      run.loaded[f] = 1;
    }
  }

  // The victim when no frame is free, by pagesim's scans or first in.
  int choose_victim(Run& run, uint64_t run_bit) {
    if (policy_ == Policy::kFifo) {
      for (;; ++run.queue_head) {
        const Load& load = run.queue[run.queue_head];
        if (run.loaded[load.frame] != 0 && run.load_number[load.frame] == load.number) break;
      }
      const int victim = static_cast<int>(run.queue[run.queue_head].frame);
      ++run.queue_head;
      run.loaded[static_cast<size_t>(victim)] = 0;
      return victim;
    }
    const auto next = [&run](int frame) { return frame + 1 == run.frames ? 0 : frame + 1; };
    int victim = -1;
    int frame = run.hand;
    // First turn: the first frame neither referenced nor (in clean-first)
    // dirty, clearing the referenced bits passed.
    for (int step = 0; step < run.frames; ++step, frame = next(frame)) {
      const uint32_t page = run.page[static_cast<size_t>(frame)];
      const bool clean = policy_ == Policy::kClock || !bit(dirty_, page, run_bit);
      if (!bit(referenced_, page, run_bit) && clean) {
        victim = frame;
        break;
      }
      referenced_[page] &= ~run_bit;
    }
    if (victim < 0 && policy_ == Policy::kCleanFirst) {
      // Second turn, every referenced bit clear: the first clean frame.
      for (int step = 0; step < run.frames; ++step, frame = next(frame)) {
        if (!bit(dirty_, run.page[static_cast<size_t>(frame)], run_bit)) {
          victim = frame;
          break;
        }
      }
    }
    if (victim < 0) victim = run.hand;
    run.hand = next(victim);
    return victim;
  }

  Policy policy_;
  std::vector<Run> runs_;
  uint64_t all_ = 0;
  std::vector<uint64_t> resident_, referenced_, dirty_;  ///< by page, bit r for run r
  std::vector<uint32_t> frame_of_;                       ///< by page, then run
  std::vector<std::vector<uint32_t>> pages_of_process_;
};

}  // namespace

std::vector<PolicyCounts> grouped_runs(const ReferenceTrace& trace, Policy policy,
                                       std::span<const int> frame_counts) {
  std::vector<PolicyCounts> counts;
  for (size_t first = 0; first < frame_counts.size(); first += kGroupRuns) {
    RunGroup group(
        trace, policy,
        frame_counts.subspan(first, std::min<size_t>(kGroupRuns, frame_counts.size() - first)));
    EventStream stream(trace);
    for (std::span<const uint32_t> block = stream.next(); !block.empty(); block = stream.next()) {
      for (const uint32_t event : block) {
        if (is_termination_event(event))
          group.end_process(terminated_process(event));
        else
          group.reference(referenced_page(event), is_write_event(event));
      }
    }
    const std::vector<PolicyCounts> part = group.counts();
    counts.insert(counts.end(), part.begin(), part.end());
  }
  return counts;
}
