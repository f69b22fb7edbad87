#include "policies/lru_stack.hpp"

#include <algorithm>
#include <cstring>

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
    pages_.reserve(static_cast<size_t>(depth_limit_));
    dirty_from_.reserve(static_cast<size_t>(depth_limit_));
  }

  void reference(uint32_t page, bool write) {
    // Depth from 1; beyond the stack, deeper than any run holds.
    size_t depth = static_cast<size_t>(depth_limit_) + 1;
    if (in_stack_[page])
      depth =
          static_cast<size_t>(std::find(pages_.begin(), pages_.end(), page) - pages_.begin()) + 1;
    // Runs that hold the page (held_ grows with the frames) keep its dirty
    // bit; the others load it now.
    const size_t runs = frames_.size();
    size_t first_hit = 0;
    while (first_hit < runs && held_[first_hit] < depth) {
      PolicyCounts& counts = counts_[first_hit];
      ++counts.faults;
      const size_t frames = static_cast<size_t>(frames_[first_hit]);
      if (held_[first_hit] < frames) {
        ++held_[first_hit];  // a free frame
      } else if (first_hit >= dirty_from_[frames - 1]) {
        ++counts.dirty_writes;  // the page at depth `frames` leaves the run
      }
      ++first_hit;
    }
    const uint32_t old = depth <= pages_.size() ? dirty_from_[depth - 1] : no_run_;
    const uint32_t top_dirty_from = write ? 0 : std::max(static_cast<uint32_t>(first_hit), old);
    // Move the page to the top; the pages above it go one down, and the
    // deepest leaves when the stack is as deep as any run holds.
    size_t from = depth - 1;
    if (depth > pages_.size()) {
      if (pages_.size() == static_cast<size_t>(depth_limit_)) {
        in_stack_[pages_.back()] = 0;
      } else {
        pages_.push_back(0);
        dirty_from_.push_back(0);
      }
      from = pages_.size() - 1;
    }
    std::memmove(pages_.data() + 1, pages_.data(), from * sizeof(uint32_t));
    std::memmove(dirty_from_.data() + 1, dirty_from_.data(), from * sizeof(uint32_t));
    pages_[0] = page;
    dirty_from_[0] = top_dirty_from;
    in_stack_[page] = 1;
  }

  void end_process(uint32_t process) {
    removed_above_.assign(pages_.size() + 1, 0);  // removed pages at depth <= d
    size_t kept = 0;
    for (size_t i = 0; i < pages_.size(); ++i) {
      removed_above_[i + 1] = removed_above_[i];
      if (page_process_[pages_[i]] == process) {
        in_stack_[pages_[i]] = 0;
        ++removed_above_[i + 1];
        continue;
      }
      pages_[kept] = pages_[i];
      dirty_from_[kept] = dirty_from_[i];
      ++kept;
    }
    for (size_t& held : held_) held -= removed_above_[held];
    pages_.resize(kept);
    dirty_from_.resize(kept);
  }

  const std::vector<PolicyCounts>& counts() const { return counts_; }

 private:
  std::vector<int> frames_;  ///< of each run, increasing
  int depth_limit_;
  uint32_t no_run_;  ///< the run count: dirty in no run
  const std::vector<uint32_t>& page_process_;
  std::vector<uint8_t> in_stack_;
  std::vector<PolicyCounts> counts_;
  // The most recently referenced pages, most recent first; deeper pages are
  // in no run's frames.
  std::vector<uint32_t> pages_;
  // Entry e: the first run in which the page at depth e+1 is dirty. With
  // more frames a page has been in them at least as long, so it is dirty in
  // every run from that one on.
  std::vector<uint32_t> dirty_from_;
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
