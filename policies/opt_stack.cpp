#include "policies/opt_stack.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "policies/event_stream.hpp"
#include "policies/frame_set.hpp"
#include "policies/next_use.hpp"

namespace {

// Ranks: the next use; then pages never used again (in page order, any
// fixed order being as good); then the empty pages, lowest of all.
constexpr uint64_t kNeverRank = uint64_t{1} << 32;
constexpr uint64_t kEmptyRank = UINT64_MAX;
constexpr uint32_t kEmptyPage = UINT32_MAX;

// Every run's frames as OPT's own rule places pages: the lowest free frame,
// else the lowest frame among pages never used again, else the stack's
// victim. The stack's choice among pages never used again is one of its
// own (page order), and the pages each run keeps among them differ from
// the stack's; the pages used again are the same in both, and so are the
// number of pages never used again and free frames together, so the stack
// tells when a run faults and its victim among the pages used again, and
// these frames tell which page never used again goes, and its dirty bit.
class LowestFrameRuns {
 public:
  LowestFrameRuns(std::span<const int> frame_counts, const ReferenceTrace& trace)
      : runs_count_(frame_counts.size()),
        frame_of_(size_t{trace.pages()} * frame_counts.size(), kNoFrame),
        pages_of_process_(trace.processes()) {
    for (uint32_t page = 0; page < trace.pages(); ++page)
      pages_of_process_[trace.process_of(page)].push_back(page);
    size_t slots = 0;
    for (const int frames : frame_counts) {
      runs_.push_back(
          {FrameSet(frames, true), FrameSet(frames), FrameSet(frames), frames, 0, slots});
      slots += static_cast<size_t>(frames);
    }
    page_at_.assign(slots, 0);
  }

  /// A fault in run r that loads `page`; the stack's victim is used when
  /// the run has no free frame and no page never used again. Returns 1
  /// when a dirty page is written, else 0.
  int fault(size_t r, uint32_t page, bool unused, bool write, uint32_t victim, bool victim_dirty) {
    Run& run = runs_[r];
    int frame;
    int written = 0;
    if (run.free_count > 0) {
      frame = run.free.first();
      run.free.reset(frame);
      --run.free_count;
    } else if (run.unused_count > 0) {
      frame = run.unused.first();
      written = run.unused_dirty.test(frame) ? 1 : 0;
      run.unused.reset(frame);
      --run.unused_count;
    } else {
      frame = victim == kNoPage ? -1 : static_cast<int>(frame_of(victim, r));
      if (frame < 0 || page_at(run, frame) != victim)
        throw std::logic_error("OPT's stack and its runs' frames disagree");
      written = victim_dirty ? 1 : 0;
    }
    page_at(run, frame) = page;
    frame_of(page, r) = static_cast<uint32_t>(frame);
    if (unused) mark_unused(run, frame, write);
    return written;
  }

  /// A hit in run r on a page that is not used again.
  void becomes_unused(size_t r, uint32_t page, bool dirty) {
    mark_unused(runs_[r], static_cast<int>(frame_of(page, r)), dirty);
  }

  /// The end of a process: its pages in frames, all never used again,
  /// leave their frames free.
  void end_process(uint32_t process) {
    for (size_t r = 0; r < runs_count_; ++r) {
      Run& run = runs_[r];
      for (const uint32_t page : pages_of_process_[process]) {
        const uint32_t frame = frame_of(page, r);
        if (frame == kNoFrame) continue;
        frame_of(page, r) = kNoFrame;
        const int f = static_cast<int>(frame);
        if (page_at(run, f) != page || !run.unused.test(f)) continue;
        run.unused.reset(f);
        --run.unused_count;
        run.free.set(f);
        ++run.free_count;
      }
    }
  }

  static constexpr uint32_t kNoPage = UINT32_MAX;

 private:
  static constexpr uint32_t kNoFrame = UINT32_MAX;
  struct Run {
    FrameSet free;
    FrameSet unused;  ///< frames whose page is never used again
    FrameSet unused_dirty;
    int free_count;
    int unused_count;
    size_t first_slot;  ///< in page_at_
  };
  uint32_t& frame_of(uint32_t page, size_t r) { return frame_of_[page * runs_count_ + r]; }
  uint32_t& page_at(const Run& run, int frame) {
    return page_at_[run.first_slot + static_cast<size_t>(frame)];
  }
  static void mark_unused(Run& run, int frame, bool dirty) {
    run.unused.set(frame);
    run.unused_dirty.assign(frame, dirty);
    ++run.unused_count;
  }

  size_t runs_count_;
  std::vector<Run> runs_;
  std::vector<uint32_t> frame_of_;  ///< by page, then run; kNoFrame when never loaded
  std::vector<uint32_t> page_at_;   ///< every run's frames, end to end
  std::vector<std::vector<uint32_t>> pages_of_process_;
};

class PriorityStack {
 public:
  PriorityStack(std::span<const int> frame_counts, const ReferenceTrace& trace)
      : frames_(frame_counts.begin(), frame_counts.end()),
        depth_limit_(static_cast<size_t>(frames_.back())),
        words_((frames_.size() + 63) / 64),
        page_process_(trace.page_processes()),
        in_stack_(trace.pages(), 0),
        faults_at_depth_(depth_limit_ + 1, 0),
        dirty_writes_(frames_.size(), 0),
        runs_(frame_counts, trace),
        carried_dirty_(words_),
        swap_dirty_(words_) {}

  void reference(uint32_t page, uint32_t next_use, bool write) {
    const uint64_t rank = next_use == kNeverUsed ? kNeverRank + page : next_use;
    size_t position = depth_limit_;  // beyond every run
    if (in_stack_[page])
      position =
          static_cast<size_t>(std::find(pages_.begin(), pages_.end(), page) - pages_.begin());
    // Runs with at most `position` frames fault.
    ++faults_at_depth_[position];
    const bool unused = next_use == kNeverUsed;
    if (position == 0) {
      ranks_[0] = rank;
      if (write) std::fill_n(dirty_.begin(), words_, ~uint64_t{0});
      if (unused) {
        for (size_t r = 0; r < frames_.size(); ++r)
          runs_.becomes_unused(r, page, dirty_bit(dirty_.data(), r));
      }
      return;
    }
    const bool present = position < pages_.size();
    const size_t end = present ? position : pages_.size();
    // The page's dirty bits: kept in the runs that hold it, its write's
    // elsewhere.
    for (size_t w = 0; w < words_; ++w) {
      uint64_t held = 0;
      if (present) {
        const size_t first_holding = first_run_above(position);
        held = first_holding >= (w + 1) * 64 ? 0
               : first_holding <= w * 64     ? ~uint64_t{0}
                                             : ~uint64_t{0} << (first_holding - w * 64);
        held &= dirty_[position * words_ + w];
      }
      swap_dirty_[w] = write ? ~uint64_t{0} : held;
    }
    // Runs deeper than the stack fault into a free frame or over a page
    // never used again; runs that hold the page hit.
    if (!present || unused) {
      for (size_t r = first_run_above(end); r < frames_.size(); ++r) {
        if (!present)
          dirty_writes_[r] += runs_.fault(r, page, unused, write, LowestFrameRuns::kNoPage, false);
        else
          runs_.becomes_unused(r, page, dirty_bit(swap_dirty_.data(), r));
      }
    }
    if (pages_.empty()) {
      push(page, rank, swap_dirty_.data());
      in_stack_[page] = 1;
      return;
    }
    // The old top is carried down; the page takes the top.
    uint32_t carried_page = pages_[0];
    uint64_t carried_rank = ranks_[0];
    std::copy_n(dirty_.begin(), words_, carried_dirty_.begin());
    pages_[0] = page;
    ranks_[0] = rank;
    std::copy_n(swap_dirty_.begin(), words_, dirty_.begin());
    in_stack_[page] = 1;

    size_t run = 0;
    for (size_t i = 1;; ++i) {
      // The carried page leaves the run with i frames.
      while (run < frames_.size() && static_cast<size_t>(frames_[run]) < i) ++run;
      if (run < frames_.size() && static_cast<size_t>(frames_[run]) == i) {
        dirty_writes_[run] +=
            runs_.fault(run, page, unused, write,
                        carried_page == kEmptyPage ? LowestFrameRuns::kNoPage : carried_page,
                        dirty_bit(carried_dirty_.data(), run));
      }
      if (i == end) break;
      if (ranks_[i] > carried_rank) {  // the page at i is used later: it goes on down
        std::swap(pages_[i], carried_page);
        std::swap(ranks_[i], carried_rank);
        std::swap_ranges(carried_dirty_.begin(), carried_dirty_.end(),
                         dirty_.begin() + static_cast<ptrdiff_t>(i * words_));
      }
    }
    if (present) {
      pages_[end] = carried_page;
      ranks_[end] = carried_rank;
      std::copy_n(carried_dirty_.begin(), words_,
                  dirty_.begin() + static_cast<ptrdiff_t>(end * words_));
    } else if (pages_.size() < depth_limit_ && carried_page != kEmptyPage) {
      push(carried_page, carried_rank, carried_dirty_.data());
    } else if (carried_page != kEmptyPage) {
      in_stack_[carried_page] = 0;  // deeper than any run holds
    }
  }

  // The process's pages become empty ones; empty pages at the bottom go.
  void end_process(uint32_t process) {
    runs_.end_process(process);
    for (size_t i = 0; i < pages_.size(); ++i) {
      if (pages_[i] == kEmptyPage || page_process_[pages_[i]] != process) continue;
      in_stack_[pages_[i]] = 0;
      pages_[i] = kEmptyPage;
      ranks_[i] = kEmptyRank;
    }
    while (!pages_.empty() && pages_.back() == kEmptyPage) {
      pages_.pop_back();
      ranks_.pop_back();
      dirty_.resize(dirty_.size() - words_);
    }
  }

  std::vector<PolicyCounts> result() const {
    std::vector<PolicyCounts> counts(frames_.size());
    // Faults with k frames: references at depths deeper than k.
    uint64_t deeper = 0;
    size_t depth = depth_limit_ + 1;
    for (size_t r = frames_.size(); r-- > 0;) {
      for (; depth > static_cast<size_t>(frames_[r]); --depth)
        deeper += faults_at_depth_[depth - 1];
      counts[r] = {static_cast<int64_t>(deeper), dirty_writes_[r]};
    }
    return counts;
  }

 private:
  // The first run with more than `position` frames.
  size_t first_run_above(size_t position) const {
    return static_cast<size_t>(
        std::upper_bound(frames_.begin(), frames_.end(), static_cast<int>(position)) -
        frames_.begin());
  }
  static bool dirty_bit(const uint64_t* dirty, size_t run) {
    return (dirty[run / 64] >> (run % 64)) & 1;
  }
  void push(uint32_t page, uint64_t rank, const uint64_t* dirty) {
    pages_.push_back(page);
    ranks_.push_back(rank);
    dirty_.insert(dirty_.end(), dirty, dirty + words_);
  }

  std::vector<int> frames_;
  size_t depth_limit_;
  size_t words_;
  const std::vector<uint32_t>& page_process_;
  std::vector<uint8_t> in_stack_;
  std::vector<uint32_t> pages_;  ///< top first; kEmptyPage for a freed frame
  std::vector<uint64_t> ranks_;
  std::vector<uint64_t> dirty_;            ///< words_ per entry: bit r for run r
  std::vector<uint64_t> faults_at_depth_;  ///< by 0-based position, the last beyond every run
  std::vector<int64_t> dirty_writes_;
  LowestFrameRuns runs_;
  std::vector<uint64_t> carried_dirty_, swap_dirty_;
};

}  // namespace

std::vector<PolicyCounts> opt_stack_curve(const ReferenceTrace& trace,
                                          std::span<const int> frame_counts) {
  PriorityStack stack(frame_counts, trace);
  NextUse next_use(trace);
  EventStream stream(trace);
  for (std::span<const uint32_t> block = stream.next(); !block.empty(); block = stream.next()) {
    const std::span<const uint32_t> next = next_use.next_block();
    for (size_t j = 0; j < block.size(); ++j) {
      const uint32_t event = block[j];
      if (is_termination_event(event))
        stack.end_process(terminated_process(event));
      else
        stack.reference(referenced_page(event), next[j], is_write_event(event));
    }
  }
  return stack.result();
}
