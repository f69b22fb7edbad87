#include "policies/lru_stack.hpp"

#include <algorithm>
#include <utility>

#include "policies/event_stream.hpp"

namespace {

class RecencyStack {
 public:
  RecencyStack(std::span<const int> frame_counts, const ReferenceTrace& trace)
      : frames_(frame_counts.begin(), frame_counts.end()),
        depth_limit_(frames_.back()),
        no_run_(static_cast<uint32_t>(frames_.size())),
        page_process_(trace.page_processes()),
        in_stack_(trace.pages(), 0),
        counts_(frames_.size()),
        held_(frames_.size(), 0) {
    stack_.reserve(static_cast<size_t>(depth_limit_));
  }

  void reference(uint32_t page, bool write) {
    // The page goes to the top and the pages above it one down, in one walk
    // that finds it; when it is not there the deepest page goes one down
    // too, leaving when the stack is as deep as any run holds.
    Entry carried{page, 0};
    size_t depth = static_cast<size_t>(depth_limit_) + 1;  // from 1; beyond, in no run
    const bool present = in_stack_[page] != 0;
    for (size_t i = 0; i < stack_.size(); ++i) {
      std::swap(stack_[i], carried);
      if (present && carried.page == page) {
        depth = i + 1;
        break;
      }
    }
    const uint32_t old = present ? carried.dirty_from : no_run_;
    uint32_t dropped_dirty_from = no_run_;
    if (!present && !stack_.empty()) {
      if (stack_.size() == static_cast<size_t>(depth_limit_)) {
        in_stack_[carried.page] = 0;
        dropped_dirty_from = carried.dirty_from;
      } else {
        stack_.push_back(carried);
      }
    } else if (stack_.empty()) {
      stack_.push_back(carried);
    }
    in_stack_[page] = 1;
    // Runs that hold the page (held_ grows with the frames) keep its dirty
    // bit; the others load it now, and a full one loses the page that was
    // at depth `frames`, now one deeper.
    const size_t runs = frames_.size();
    size_t first_hit = 0;
    while (first_hit < runs && held_[first_hit] < depth) {
      PolicyCounts& counts = counts_[first_hit];
      ++counts.faults;
      const size_t frames = static_cast<size_t>(frames_[first_hit]);
      if (held_[first_hit] < frames) {
        ++held_[first_hit];  // a free frame
      } else {
        const uint32_t dirty_from =
            frames < stack_.size() ? stack_[frames].dirty_from : dropped_dirty_from;
        if (first_hit >= dirty_from) ++counts.dirty_writes;
      }
      ++first_hit;
    }
    stack_[0].dirty_from = write ? 0 : std::max(static_cast<uint32_t>(first_hit), old);
  }

  void end_process(uint32_t process) {
    removed_above_.assign(stack_.size() + 1, 0);  // removed pages at depth <= d
    size_t kept = 0;
    for (size_t i = 0; i < stack_.size(); ++i) {
      removed_above_[i + 1] = removed_above_[i];
      if (page_process_[stack_[i].page] == process) {
        in_stack_[stack_[i].page] = 0;
        ++removed_above_[i + 1];
        continue;
      }
      stack_[kept++] = stack_[i];
    }
    for (size_t& held : held_) held -= removed_above_[held];
    stack_.resize(kept);
  }

  const std::vector<PolicyCounts>& counts() const { return counts_; }

 private:
  std::vector<int> frames_;  ///< of each run, increasing
  int depth_limit_;
  uint32_t no_run_;  ///< the run count: dirty in no run
  const std::vector<uint32_t>& page_process_;
  std::vector<uint8_t> in_stack_;
  std::vector<PolicyCounts> counts_;
  struct Entry {
    uint32_t page;
    // The first run in which the page is dirty. With more frames a page has
    // been in them at least as long, so it is dirty in every run from that
    // one on.
    uint32_t dirty_from;
  };
  // The most recently referenced pages, most recent first; deeper pages are
  // in no run's frames.
  std::vector<Entry> stack_;
  // held_[r]: how many of the top of the stack run r holds.
  std::vector<size_t> held_;
  std::vector<size_t> removed_above_;
};

}  // namespace

std::vector<PolicyCounts> lru_curve(const ReferenceTrace& trace, std::span<const int> frame_counts,
                                    uint64_t max_events) {
  RecencyStack stack(frame_counts, trace);
  EventStream stream(trace);
  for (std::span<const uint32_t> block = stream.next();
       !block.empty() && stream.first() < max_events; block = stream.next()) {
    block = block.first(
        static_cast<size_t>(std::min<uint64_t>(block.size(), max_events - stream.first())));
    for (const uint32_t event : block) {
      if (is_termination_event(event))
        stack.end_process(terminated_process(event));
      else
        stack.reference(referenced_page(event), is_write_event(event));
    }
  }
  return stack.counts();
}

std::vector<PolicyCounts> lru_curve(const ReferenceTrace& trace, int max_frames) {
  std::vector<int> frame_counts;
  for (int frames = 1; frames <= max_frames; ++frames) frame_counts.push_back(frames);
  return lru_curve(trace, frame_counts);
}
