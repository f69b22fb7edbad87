#include "policies/event_stream.hpp"

#include <algorithm>

EventStream::EventStream(const ReferenceTrace& trace, Direction direction, size_t first_block,
                         size_t end_block)
    : trace_(trace),
      direction_(direction),
      first_block_(first_block),
      end_block_(std::min(end_block, trace.blocks())),
      next_block_(direction == Direction::kForward ? first_block_ : end_block_) {}

std::span<const uint32_t> EventStream::next() {
  size_t block;
  if (direction_ == Direction::kForward) {
    if (next_block_ >= end_block_) return {};
    block = next_block_++;
  } else {
    if (next_block_ <= first_block_) return {};
    block = --next_block_;
  }
  first_ = uint64_t{block} * trace_.block_events();
  return trace_.load_block(block, buffer_);
}
