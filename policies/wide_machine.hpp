// The what-if run for any number of frames up to kMaxFrames, with the same
// rules as PolicyMachine (a hit sets the referenced bit and, for a write, the
// dirty bit; a fault takes the lowest free frame, else the policy's victim;
// the end of a process frees its frames), its frame bits in FrameSets. The
// policies keep what they need per frame in arrays, so a reference costs
// the same whatever the number of frames.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "policies/frame_set.hpp"
#include "policies/frame_table.hpp"
#include "policies/next_use.hpp"

struct WideFrameBits {
  int frames;
  FrameSet free;
  FrameSet referenced;
  FrameSet dirty;
};

/// pagesim's mode 0 (see SecondChance) on a FrameSet.
class WideSecondChance {
 public:
  explicit WideSecondChance(int) {}
  int choose_victim(WideFrameBits& bits) {
    int victim = FrameSet::first_outside(bits.referenced, nullptr, hand_);
    if (victim < 0) {
      bits.referenced.clear();
      victim = hand_;
    } else {
      bits.referenced.reset_span(hand_, victim);
    }
    hand_ = victim + 1 == bits.frames ? 0 : victim + 1;
    return victim;
  }
  void on_load(int, uint32_t) {}
  void on_hit(int, uint32_t) {}
  void on_leave(int) {}

 private:
  int hand_ = 0;
};

/// pagesim's mode 1 (see CleanFirst) on a FrameSet.
class WideCleanFirst {
 public:
  explicit WideCleanFirst(int) {}
  int choose_victim(WideFrameBits& bits) {
    int victim = FrameSet::first_outside(bits.referenced, &bits.dirty, hand_);
    if (victim >= 0) {
      bits.referenced.reset_span(hand_, victim);
    } else {
      bits.referenced.clear();
      victim = FrameSet::first_outside(bits.dirty, nullptr, hand_);
      if (victim < 0) victim = hand_;
    }
    hand_ = victim + 1 == bits.frames ? 0 : victim + 1;
    return victim;
  }
  void on_load(int, uint32_t) {}
  void on_hit(int, uint32_t) {}
  void on_leave(int) {}

 private:
  int hand_ = 0;
};

/// First in, first out: loads in order in a queue. A frame freed by the
/// end of its process stays in the queue, known as stale by its load
/// number, and is passed over when it comes to the front, so that an end
/// costs no search of the queue.
class WideFirstInFirstOut {
 public:
  explicit WideFirstInFirstOut(int frames)
      : load_number_(static_cast<size_t>(frames), 0), loaded_(static_cast<size_t>(frames), 0) {}
  int choose_victim(WideFrameBits&) {
    while (!current(queue_[head_])) ++head_;
    return queue_[head_].frame;
  }
  void on_load(int frame, uint32_t) {
    if (head_ > 4096 && 2 * head_ > queue_.size()) {
      queue_.erase(queue_.begin(), queue_.begin() + static_cast<ptrdiff_t>(head_));
      head_ = 0;
    }
    queue_.push_back({frame, ++load_number_[frame]});
    loaded_[frame] = 1;
  }
  void on_hit(int, uint32_t) {}
  void on_leave(int frame) { loaded_[frame] = 0; }

 private:
  struct Load {
    int frame;
    uint32_t number;
  };
  bool current(const Load& load) const {
    return loaded_[load.frame] != 0 && load_number_[load.frame] == load.number;
  }
  std::vector<Load> queue_;  ///< from head_ on, oldest first
  size_t head_ = 0;
  std::vector<uint32_t> load_number_;
  std::vector<uint8_t> loaded_;
};

/// Least recently used: the frames in a list, most recent first.
class WideLeastRecentlyUsed {
 public:
  explicit WideLeastRecentlyUsed(int frames)
      : newer_(static_cast<size_t>(frames), -1), older_(static_cast<size_t>(frames), -1) {}
  int choose_victim(WideFrameBits&) const { return oldest_; }
  void on_load(int frame, uint32_t) { push_front(frame); }
  void on_hit(int frame, uint32_t) {
    if (frame == newest_) return;
    unlink(frame);
    push_front(frame);
  }
  void on_leave(int frame) { unlink(frame); }

 private:
  void push_front(int frame) {
    newer_[frame] = -1;
    older_[frame] = newest_;
    if (newest_ >= 0) newer_[newest_] = frame;
    newest_ = frame;
    if (oldest_ < 0) oldest_ = frame;
  }
  void unlink(int frame) {
    const int newer = newer_[frame], older = older_[frame];
    (newer >= 0 ? older_[newer] : newest_) = older;
    (older >= 0 ? newer_[older] : oldest_) = newer;
  }

  std::vector<int> newer_, older_;
  int newest_ = -1, oldest_ = -1;
};

/// Belady's optimal policy (see Optimal): pages never used again first, the
/// lowest frame among them; else the farthest next use, kept at the root of
/// a tournament tree over the frames.
class WideOptimal {
 public:
  explicit WideOptimal(int frames) : never_used_(frames) {
    while (leaves_ < frames) leaves_ *= 2;
    tree_.assign(2 * static_cast<size_t>(leaves_), 0);
  }
  int choose_victim(WideFrameBits&) const {
    const int never = never_used_.first();
    if (never >= 0) return never;
    return kMaxFrames - 1 - static_cast<int>(tree_[1] & (kMaxFrames - 1));
  }
  void on_load(int frame, uint32_t next_use) {
    if (mark_never_used(frame, next_use)) return;
    size_t node = static_cast<size_t>(leaves_ + frame);
    uint64_t highest = rank(frame, next_use);
    tree_[node] = highest;
    for (; node > 1; node /= 2) {
      highest = std::max(highest, tree_[node ^ 1]);
      tree_[node / 2] = highest;
    }
  }
  void on_hit(int frame, uint32_t next_use) { on_load(frame, next_use); }
  void on_leave(int frame) { never_used_.reset(frame); }

 private:
  bool mark_never_used(int frame, uint32_t next_use) {
    never_used_.assign(frame, next_use == kNeverUsed);
    return next_use == kNeverUsed;
  }
  static uint64_t rank(int frame, uint32_t next_use) {
    return uint64_t{next_use} << 16 | static_cast<uint64_t>(kMaxFrames - 1 - frame);
  }

  FrameSet never_used_;
  int leaves_ = 1;
  std::vector<uint64_t> tree_;
};

/// The run; Policy is one of the Wide* classes above.
template <class Policy>
class WideMachine {
 public:
  /// REQUIRES: 1 <= frames <= kMaxFrames; `trace` outlives the machine and
  /// gains no pages meanwhile.
  WideMachine(int frames, const ReferenceTrace& trace)
      : policy_(frames),
        bits_{frames, FrameSet(frames, true), FrameSet(frames), FrameSet(frames)},
        trace_(trace),
        frame_of_page_(trace.pages(), -1),
        frame_page_(static_cast<size_t>(frames)),
        frame_process_(static_cast<size_t>(frames)),
        free_count_(frames) {}

  /// Runs `events`; `next_use`, when not null, holds one entry per event.
  void run(std::span<const uint32_t> events, const uint32_t* next_use) {
    for (size_t i = 0; i < events.size(); ++i) {
      const uint32_t event = events[i];
      if (is_termination_event(event)) {
        end_process(terminated_process(event));
        continue;
      }
      const uint32_t page = referenced_page(event);
      const bool write = is_write_event(event);
      const uint32_t next = next_use != nullptr ? next_use[i] : 0;
      int frame = frame_of_page_[page];
      if (frame >= 0) {
        bits_.referenced.set(frame);
        if (write) bits_.dirty.set(frame);
        policy_.on_hit(frame, next);
        continue;
      }
      ++counts_.faults;
      if (free_count_ > 0) {
        frame = bits_.free.first();
        bits_.free.reset(frame);
        --free_count_;
      } else {
        frame = policy_.choose_victim(bits_);
        counts_.dirty_writes += bits_.dirty.test(frame) ? 1 : 0;
        frame_of_page_[frame_page_[frame]] = -1;
        policy_.on_leave(frame);
      }
      bits_.referenced.set(frame);
      bits_.dirty.assign(frame, write);
      frame_page_[frame] = page;
      frame_process_[frame] = trace_.process_of(page);
      frame_of_page_[page] = frame;
      policy_.on_load(frame, next);
    }
  }

  PolicyCounts counts() const { return counts_; }

 private:
  void free_frame(int frame) {
    frame_of_page_[frame_page_[frame]] = -1;
    policy_.on_leave(frame);
    bits_.free.set(frame);
    ++free_count_;
  }
  // The end of process number `process`: its frames become free. Looked for
  // by its pages when it has fewer pages than there are frames.
  void end_process(uint32_t process) {
    if (pages_of_process_.empty()) {
      pages_of_process_.resize(trace_.processes());
      for (uint32_t page = 0; page < trace_.pages(); ++page)
        pages_of_process_[trace_.process_of(page)].push_back(page);
    }
    const std::vector<uint32_t>& pages = pages_of_process_[process];
    if (pages.size() < static_cast<size_t>(bits_.frames)) {
      for (const uint32_t page : pages)
        if (frame_of_page_[page] >= 0) free_frame(frame_of_page_[page]);
      return;
    }
    for (int frame = 0; frame < bits_.frames; ++frame)
      if (!bits_.free.test(frame) && frame_process_[frame] == process) free_frame(frame);
  }

  Policy policy_;
  WideFrameBits bits_;
  const ReferenceTrace& trace_;
  PolicyCounts counts_;
  std::vector<int32_t> frame_of_page_;
  std::vector<uint32_t> frame_page_;
  std::vector<uint32_t> frame_process_;
  std::vector<std::vector<uint32_t>> pages_of_process_;
  int free_count_;
};
