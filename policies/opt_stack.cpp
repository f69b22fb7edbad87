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

// The stack's entries keep, instead of a dirty bit per run, the first run
// whose copy of the page is dirty: with more frames a used-again page has
// been in the frames at least as long, so it is dirty in every run from
// some run on. A reference walks down the stack once, looking for its page
// while the carried page goes down.
class PriorityStack {
 public:
  PriorityStack(std::span<const int> frame_counts, const ReferenceTrace& trace)
      : frames_(frame_counts.begin(), frame_counts.end()),
        depth_limit_(static_cast<size_t>(frames_.back())),
        no_run_(static_cast<uint32_t>(frames_.size())),
        page_process_(trace.page_processes()),
        in_stack_(trace.pages(), 0),
        run_with_frames_(depth_limit_ + 1, -1),
        first_run_above_(depth_limit_ + 1, 0),
        faults_at_depth_(depth_limit_ + 1, 0),
        dirty_writes_(frames_.size(), 0),
        runs_(frame_counts, trace) {
    for (size_t r = 0; r < frames_.size(); ++r)
      run_with_frames_[static_cast<size_t>(frames_[r])] = static_cast<int32_t>(r);
    for (size_t depth = 0; depth <= depth_limit_; ++depth) {
      first_run_above_[depth] = static_cast<uint32_t>(
          std::upper_bound(frames_.begin(), frames_.end(), static_cast<int>(depth)) -
          frames_.begin());
    }
    stack_.reserve(depth_limit_);
  }

  void reference(uint32_t page, uint32_t next_use, bool write) {
    const uint64_t rank = next_use == kNeverUsed ? kNeverRank + page : next_use;
    const bool unused = next_use == kNeverUsed;
    const bool present = in_stack_[page] != 0;
    if (present && stack_[0].page == page) {
      ++faults_at_depth_[0];
      Entry& top = stack_[0];
      top.rank = rank;
      if (write) top.dirty_from = 0;
      if (unused) {
        for (uint32_t r = 0; r < no_run_; ++r) runs_.becomes_unused(r, page, r >= top.dirty_from);
      }
      return;
    }
    // The old top is carried down; runs with i frames, i up to the page's
    // position (or the stack's depth), fault and evict the carried page.
    const size_t size = stack_.size();
    size_t end = 0;
    Entry carried{};
    if (size > 0) {
      carried = stack_[0];
      for (end = 1;; ++end) {
        const int32_t run = run_with_frames_[end];
        if (run >= 0) {
          const auto r = static_cast<size_t>(run);
          dirty_writes_[r] +=
              runs_.fault(r, page, unused, write,
                          carried.page == kEmptyPage ? LowestFrameRuns::kNoPage : carried.page,
                          r >= carried.dirty_from);
        }
        if (end == size || (present && stack_[end].page == page)) break;
        if (stack_[end].rank > carried.rank) std::swap(stack_[end], carried);
      }
    }
    // Runs deeper than the position hold the page and keep its dirty bit.
    const uint32_t above = first_run_above_[end];
    const uint32_t dirty_from = write     ? 0
                                : present ? std::max(above, stack_[end].dirty_from)
                                          : no_run_;
    ++faults_at_depth_[present ? end : depth_limit_];
    // Runs deeper than the stack fault into a free frame or over a page
    // never used again; runs that hold the page hit.
    if (!present || unused) {
      for (uint32_t r = above; r < no_run_; ++r) {
        if (!present)
          dirty_writes_[r] += runs_.fault(r, page, unused, write, LowestFrameRuns::kNoPage, false);
        else
          runs_.becomes_unused(r, page, r >= dirty_from);
      }
    }
    in_stack_[page] = 1;
    const Entry top{rank, page, dirty_from};
    if (size == 0) {
      stack_.push_back(top);
      return;
    }
    stack_[0] = top;
    if (present) {
      stack_[end] = carried;
    } else if (size < depth_limit_ && carried.page != kEmptyPage) {
      stack_.push_back(carried);
    } else if (carried.page != kEmptyPage) {
      in_stack_[carried.page] = 0;  // deeper than any run holds
    }
  }

  // The process's pages become empty ones; empty pages at the bottom go.
  void end_process(uint32_t process) {
    runs_.end_process(process);
    for (Entry& entry : stack_) {
      if (entry.page == kEmptyPage || page_process_[entry.page] != process) continue;
      in_stack_[entry.page] = 0;
      entry.page = kEmptyPage;
      entry.rank = kEmptyRank;
    }
    while (!stack_.empty() && stack_.back().page == kEmptyPage) stack_.pop_back();
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
  struct Entry {
    uint64_t rank;
    uint32_t page;        ///< kEmptyPage for a freed frame
    uint32_t dirty_from;  ///< the first run in which the page is dirty
  };

  std::vector<int> frames_;
  size_t depth_limit_;
  uint32_t no_run_;  ///< the run count: dirty in no run
  const std::vector<uint32_t>& page_process_;
  std::vector<uint8_t> in_stack_;
  std::vector<Entry> stack_;               ///< top first
  std::vector<int32_t> run_with_frames_;   ///< by frame count; -1 for none
  std::vector<uint32_t> first_run_above_;  ///< by 0-based position
  std::vector<uint64_t> faults_at_depth_;  ///< by 0-based position, the last beyond every run
  std::vector<int64_t> dirty_writes_;
  LowestFrameRuns runs_;
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
