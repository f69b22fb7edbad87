#include "policies/opt_stack.hpp"

#include <algorithm>
#include <utility>

#include "policies/next_use.hpp"

namespace {

// Ranks: the next use; then pages never used again (in page order, any
// fixed order being as good); then the empty pages, lowest of all.
constexpr uint64_t kNeverRank = uint64_t{1} << 32;
constexpr uint64_t kEmptyRank = UINT64_MAX;
constexpr uint32_t kEmptyPage = UINT32_MAX;

bool never_used(uint64_t rank) {
  return rank >= kNeverRank && rank != kEmptyRank;
}

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
        choice_among_unused_(frames_.size(), false),
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
    if (position == 0) {
      ranks_[0] = rank;
      if (write) std::fill_n(dirty_.begin(), words_, ~uint64_t{0});
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

    // Whether a page never used again stays at depths 2..i.
    bool other_unused = false;
    size_t run = 0;
    for (size_t i = 1;; ++i) {
      // The carried page leaves the run with i frames.
      while (run < frames_.size() && static_cast<size_t>(frames_[run]) < i) ++run;
      if (run < frames_.size() && static_cast<size_t>(frames_[run]) == i) {
        if (carried_page != kEmptyPage && dirty_bit(carried_dirty_.data(), run))
          ++dirty_writes_[run];
        // A choice among pages never used again. Even between pages of
        // the same dirty bit it matters: the page the run keeps may be
        // freed by its process's end, where the stack's would later be
        // written out.
        if (never_used(carried_rank) && other_unused) choice_among_unused_[run] = true;
      }
      if (i == end) break;
      if (ranks_[i] > carried_rank) {  // the page at i is used later: it goes on down
        std::swap(pages_[i], carried_page);
        std::swap(ranks_[i], carried_rank);
        std::swap_ranges(carried_dirty_.begin(), carried_dirty_.end(),
                         dirty_.begin() + static_cast<ptrdiff_t>(i * words_));
      }
      other_unused = other_unused || never_used(ranks_[i]);
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

  OptStackCurve result() const {
    OptStackCurve curve;
    curve.choice_among_unused = choice_among_unused_;
    // Faults with k frames: references at depths deeper than k.
    uint64_t deeper = 0;
    size_t depth = depth_limit_ + 1;
    curve.counts.resize(frames_.size());
    for (size_t r = frames_.size(); r-- > 0;) {
      for (; depth > static_cast<size_t>(frames_[r]); --depth)
        deeper += faults_at_depth_[depth - 1];
      curve.counts[r] = {static_cast<int64_t>(deeper), dirty_writes_[r]};
    }
    return curve;
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
  std::vector<bool> choice_among_unused_;
  std::vector<uint64_t> carried_dirty_, swap_dirty_;
};

}  // namespace

OptStackCurve opt_stack_curve(const ReferenceTrace& trace, std::span<const int> frame_counts) {
  PriorityStack stack(frame_counts, trace);
  const NextUse next_use(trace);
  std::vector<uint32_t> window;
  for (size_t w = 0; uint64_t{w} * next_use.window_events() < trace.events(); ++w) {
    next_use.fill(w, window);
    const uint64_t first = w * next_use.window_events();
    for (size_t j = 0; j < window.size(); ++j) {
      const uint32_t event = trace.event(first + j);
      if (is_termination_event(event))
        stack.end_process(terminated_process(event));
      else
        stack.reference(referenced_page(event), window[j], is_write_event(event));
    }
  }
  return stack.result();
}
