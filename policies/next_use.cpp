#include "policies/next_use.hpp"

#include <algorithm>

NextUse::NextUse(const ReferenceTrace& trace) : trace_(trace) {
  // A saved state costs 4 bytes per page and process; windows at least
  // eight times that long keep all saved states below half a byte per event.
  const uint64_t names = uint64_t{trace.pages()} + trace.processes();
  const uint64_t blocks_per_window = std::max<uint64_t>(1, (8 * names) >> kEventBlockBits);
  window_events_ = blocks_per_window * kEventBlockSize;
  const size_t windows =
      static_cast<size_t>((trace.events() + window_events_ - 1) / window_events_);
  window_end_states_.resize(windows);
  Ahead ahead{std::vector<uint32_t>(trace.pages(), kNeverUsed),
              std::vector<uint32_t>(trace.processes(), kNeverUsed)};
  for (size_t window = windows; window-- > 0;) {
    window_end_states_[window] = ahead;
    const uint64_t first = window * window_events_;
    if (window > 0)
      walk_back(first, std::min(trace.events(), first + window_events_), ahead, nullptr);
  }
}

void NextUse::fill(size_t window, std::vector<uint32_t>& out) const {
  const uint64_t first = window * window_events_;
  const uint64_t end = std::min(trace_.events(), first + window_events_);
  out.resize(static_cast<size_t>(end - first));
  Ahead ahead = window_end_states_[window];
  walk_back(first, end, ahead, out.data());
}

void NextUse::walk_back(uint64_t first, uint64_t end, Ahead& ahead, uint32_t* out) const {
  const std::vector<uint32_t>& page_process = trace_.page_processes();
  for (uint64_t position = end; position-- > first;) {
    const uint32_t event = trace_.event(position);
    uint32_t next = kNeverUsed;
    if (is_termination_event(event)) {
      ahead.process_end[terminated_process(event)] = static_cast<uint32_t>(position);
    } else {
      const uint32_t page = referenced_page(event);
      next = ahead.page_next[page];
      // A page whose process ends first is never used again: the end frees it.
      if (ahead.process_end[page_process[page]] < next) next = kNeverUsed;
      ahead.page_next[page] = static_cast<uint32_t>(position);
    }
    if (out != nullptr) out[position - first] = next;
  }
}
