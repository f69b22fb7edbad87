// When each referenced page is used next, as the optimal policy sees it: the
// position of the next reference to the same page, or never when there is
// none or its process ends first. For a trace in memory, computed backward
// one window at a time from saved states, so the whole trace never needs a
// position per event in memory; for a spilled trace, computed backward once
// into a file beside the events (shared by every pass) and read back a
// block at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "policies/reference_trace.hpp"

/// The next use of a page that is not used again.
inline constexpr uint32_t kNeverUsed = UINT32_MAX;

class NextUse {
 public:
  /// Walks the trace backward once (for a spilled trace, unless another
  /// NextUse has). The trace must not change while this object is used.
  /// Throws SpillError when the spill cannot be written or read.
  explicit NextUse(const ReferenceTrace& trace);
  ~NextUse();

  /// The next uses of the events of the block after the one asked for last,
  /// from block 0 on, in step with a forward EventStream: entry j is for
  /// event j of that block (kNeverUsed for terminations). Valid until the
  /// next call. REQUIRES: fewer calls than the trace has blocks.
  std::span<const uint32_t> next_block();

 private:
  // The state of the backward walk: next reference of each page and next
  // termination of each process, both as positions or kNeverUsed.
  struct Ahead {
    std::vector<uint32_t> page_next;
    std::vector<uint32_t> process_end;
  };
  Ahead nothing_ahead() const;
  // Steps the walk back over blocks [first_block, end_block), writing next
  // uses to `out` (indexed from the first block's first event) when it is
  // not null.
  void walk_back(size_t first_block, size_t end_block, Ahead& ahead, uint32_t* out) const;
  // Steps back over `events`, which start at trace position `first`.
  void walk_back(std::span<const uint32_t> events, uint64_t first, Ahead& ahead,
                 uint32_t* out) const;
  // The next uses of the whole trace, block by block, into `file`.
  void spill_all(SpillFile& file) const;

  const ReferenceTrace& trace_;
  size_t next_block_ = 0;
  // Held trace: windows of whole blocks, each with the state at its end.
  size_t blocks_per_window_ = 1;
  std::vector<Ahead> window_end_states_;
  std::vector<uint32_t> window_;
  size_t window_first_block_ = 0, window_end_block_ = 0;
  // Spilled trace: the shared file and one block read from it.
  const SpillFile* spilled_ = nullptr;
  std::unique_ptr<uint32_t[]> block_;
};
