#include "policies/lru_stack.hpp"

#include <algorithm>

namespace {

class RecencyStack {
 public:
  RecencyStack(int max_frames, const ReferenceTrace& trace)
      : max_frames_(max_frames),
        page_process_(trace.page_processes()),
        in_stack_(trace.pages(), 0),
        counts_(static_cast<size_t>(max_frames)) {}

  void reference(uint32_t page, bool write) {
    // Depth from 1; beyond the stack, deeper than any run holds.
    int depth = kMaxWhatIfFrames + 1;
    if (in_stack_[page]) {
      depth = 1;
      while (pages_[depth - 1] != page) ++depth;
    }
    // Runs that hold the page (held_ is nondecreasing in frames) keep its
    // dirty bit; the others load it now.
    uint64_t hit_runs = 0;
    for (int k = max_frames_; k >= 1 && held_[k - 1] >= depth; --k)
      hit_runs |= uint64_t{1} << (k - 1);
    const int first_hit = hit_runs == 0 ? max_frames_ + 1 : std::countr_zero(hit_runs) + 1;
    for (int k = 1; k < first_hit; ++k) {
      PolicyCounts& counts = counts_[static_cast<size_t>(k - 1)];
      ++counts.faults;
      if (held_[k - 1] < k) {
        ++held_[k - 1];  // a free frame
      } else if ((dirty_[k - 1] >> (k - 1)) & 1) {
        ++counts.dirty_writes;  // the page at depth k leaves the run with k frames
      }
    }
    const uint64_t dirty =
        write ? ~uint64_t{0} : (depth <= size_ ? dirty_[depth - 1] : 0) & hit_runs;
    // Move the page to the top; the pages above it go one down.
    int from = depth <= size_ ? depth - 1 : std::min(size_, kMaxWhatIfFrames - 1);
    if (depth > size_ && size_ == kMaxWhatIfFrames) in_stack_[pages_[kMaxWhatIfFrames - 1]] = 0;
    if (depth > size_ && size_ < kMaxWhatIfFrames) ++size_;
    for (; from > 0; --from) {
      pages_[from] = pages_[from - 1];
      dirty_[from] = dirty_[from - 1];
    }
    pages_[0] = page;
    dirty_[0] = dirty;
    in_stack_[page] = 1;
  }

  void end_process(uint32_t process) {
    int kept = 0;
    int removed_above[kMaxWhatIfFrames + 1] = {};  // removed pages at depth <= d
    for (int i = 0; i < size_; ++i) {
      removed_above[i + 1] = removed_above[i];
      if (page_process_[pages_[i]] == process) {
        in_stack_[pages_[i]] = 0;
        ++removed_above[i + 1];
        continue;
      }
      pages_[kept] = pages_[i];
      dirty_[kept] = dirty_[i];
      ++kept;
    }
    for (int k = 0; k < max_frames_; ++k) held_[k] -= removed_above[held_[k]];
    size_ = kept;
  }

  const std::vector<PolicyCounts>& counts() const { return counts_; }

 private:
  int max_frames_;
  const std::vector<uint32_t>& page_process_;
  std::vector<uint8_t> in_stack_;
  std::vector<PolicyCounts> counts_;
  // The most recently referenced pages, most recent first; deeper pages are
  // in no run's frames.
  uint32_t pages_[kMaxWhatIfFrames];
  // Bit k-1: the page is dirty in the run with k frames.
  uint64_t dirty_[kMaxWhatIfFrames];
  int size_ = 0;
  // held_[k-1]: how many of the top of the stack the run with k frames holds.
  int held_[kMaxWhatIfFrames] = {};
};

}  // namespace

std::vector<PolicyCounts> lru_curve(const ReferenceTrace& trace, int max_frames) {
  RecencyStack stack(max_frames, trace);
  for (size_t b = 0; b < trace.blocks(); ++b) {
    for (const uint32_t event : trace.block(b)) {
      if (is_termination_event(event))
        stack.end_process(terminated_process(event));
      else
        stack.reference(referenced_page(event), is_write_event(event));
    }
  }
  return stack.counts();
}
