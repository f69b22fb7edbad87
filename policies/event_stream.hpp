// Sequential reading of a trace's events, the one way passes read them: a
// block at a time, forward or backward. Held blocks are handed out as they
// are, without a copy; spilled ones are read into the stream's own buffer,
// so each open stream holds at most one block of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "policies/reference_trace.hpp"

class EventStream {
 public:
  enum class Direction { kForward, kBackward };
  /// Blocks [first_block, end_block) of `trace` (end_block past the last:
  /// to the end) in `direction`. The trace must not change while it is read.
  explicit EventStream(const ReferenceTrace& trace, Direction direction = Direction::kForward,
                       size_t first_block = 0, size_t end_block = SIZE_MAX);

  /// The next block's events, empty after the last; valid until the next
  /// call. Throws SpillError when a spilled block cannot be read.
  std::span<const uint32_t> next();
  /// The trace position of the first event next() returned last.
  uint64_t first() const { return first_; }

 private:
  const ReferenceTrace& trace_;
  Direction direction_;
  size_t first_block_, end_block_;
  size_t next_block_;
  uint64_t first_ = 0;
  std::unique_ptr<uint32_t[]> buffer_;
};

/// One event at a time, forward from the first, for passes that take the
/// events a record at a time.
class EventCursor {
 public:
  explicit EventCursor(const ReferenceTrace& trace) : stream_(trace), events_(trace.events()) {}

  bool done() const { return position_ == events_; }
  /// The events taken so far: the position of the next one.
  uint64_t position() const { return position_; }
  /// The next event. REQUIRES: !done().
  uint32_t take() {
    if (index_ == block_.size()) {
      block_ = stream_.next();
      index_ = 0;
    }
    ++position_;
    return block_[index_++];
  }

 private:
  EventStream stream_;
  uint64_t events_;
  uint64_t position_ = 0;
  std::span<const uint32_t> block_;
  size_t index_ = 0;
};
