#include "policies/next_use.hpp"

#include <algorithm>

#include "policies/event_stream.hpp"

NextUse::NextUse(const ReferenceTrace& trace) : trace_(trace) {
  if (trace.spilled()) {
    spilled_ = &trace.companion_spill([this](SpillFile& file) { spill_all(file); });
    return;
  }
  // A saved state costs 4 bytes per page and process; windows at least
  // eight times that long keep all saved states below half a byte per event.
  const uint64_t names = uint64_t{trace.pages()} + trace.processes();
  blocks_per_window_ = static_cast<size_t>(std::max<uint64_t>(1, 8 * names / trace.block_events()));
  const size_t windows = (trace.blocks() + blocks_per_window_ - 1) / blocks_per_window_;
  window_end_states_.resize(windows);
  Ahead ahead = nothing_ahead();
  for (size_t window = windows; window-- > 0;) {
    window_end_states_[window] = ahead;
    const size_t first = window * blocks_per_window_;
    if (window > 0) walk_back(first, first + blocks_per_window_, ahead, nullptr);
  }
}

NextUse::~NextUse() = default;

std::span<const uint32_t> NextUse::next_block() {
  const size_t block = next_block_++;
  const uint64_t block_events = trace_.block_events();
  const auto size =
      static_cast<size_t>(std::min(trace_.events() - uint64_t{block} * block_events, block_events));
  if (spilled_ != nullptr) {
    if (!block_) block_ = std::make_unique_for_overwrite<uint32_t[]>(block_events);
    spilled_->read_block(block, {block_.get(), size});
    return {block_.get(), size};
  }
  if (block >= window_end_block_) {
    const size_t window = block / blocks_per_window_;
    window_first_block_ = window * blocks_per_window_;
    window_end_block_ = std::min(trace_.blocks(), window_first_block_ + blocks_per_window_);
    window_.resize(
        static_cast<size_t>(std::min(trace_.events(), uint64_t{window_end_block_} * block_events) -
                            uint64_t{window_first_block_} * block_events));
    Ahead ahead = window_end_states_[window];
    walk_back(window_first_block_, window_end_block_, ahead, window_.data());
  }
  return {window_.data() + (block - window_first_block_) * block_events, size};
}

NextUse::Ahead NextUse::nothing_ahead() const {
  return {std::vector<uint32_t>(trace_.pages(), kNeverUsed),
          std::vector<uint32_t>(trace_.processes(), kNeverUsed)};
}

void NextUse::walk_back(size_t first_block, size_t end_block, Ahead& ahead, uint32_t* out) const {
  const uint64_t first = uint64_t{first_block} * trace_.block_events();
  EventStream stream(trace_, EventStream::Direction::kBackward, first_block, end_block);
  for (std::span<const uint32_t> events = stream.next(); !events.empty(); events = stream.next())
    walk_back(events, stream.first(), ahead,
              out == nullptr ? nullptr : out + (stream.first() - first));
}

void NextUse::walk_back(std::span<const uint32_t> events, uint64_t first, Ahead& ahead,
                        uint32_t* out) const {
  const std::vector<uint32_t>& page_process = trace_.page_processes();
  for (size_t i = events.size(); i-- > 0;) {
    const uint32_t event = events[i];
    const auto position = static_cast<uint32_t>(first + i);
    uint32_t next = kNeverUsed;
    if (is_termination_event(event)) {
      ahead.process_end[terminated_process(event)] = position;
    } else {
      const uint32_t page = referenced_page(event);
      next = ahead.page_next[page];
      // A page whose process ends first is never used again: the end frees it.
      if (ahead.process_end[page_process[page]] < next) next = kNeverUsed;
      ahead.page_next[page] = position;
    }
    if (out != nullptr) out[i] = next;
  }
}

void NextUse::spill_all(SpillFile& file) const {
  Ahead ahead = nothing_ahead();
  std::vector<uint32_t> out(static_cast<size_t>(trace_.block_events()));
  EventStream stream(trace_, EventStream::Direction::kBackward);
  for (std::span<const uint32_t> events = stream.next(); !events.empty(); events = stream.next()) {
    walk_back(events, stream.first(), ahead, out.data());
    file.write_block(stream.first() / trace_.block_events(), {out.data(), events.size()});
  }
}
