// The frames of the what-if model: which page each frame holds, its
// referenced and dirty bits, and the run of one replacement policy over the
// trace's events with pagesim's rules for everything but the choice of the
// victim: a hit sets the referenced bit and, for a write, the dirty bit; a
// fault takes the lowest free frame, else the policy's victim, counted as a
// dirty page written when its dirty bit is set; the end of a process frees
// its frames.
#pragma once

#include <bit>
#include <cstdint>
#include <span>
#include <vector>

#include "policies/reference_trace.hpp"

/// Frames of the runs whose frame bits are one word each.
inline constexpr int kMaxWhatIfFrames = 64;
/// Frames any what-if run can have; past kMaxWhatIfFrames, the frame bits
/// are rows of words (wide_machine.hpp).
inline constexpr int kMaxFrames = 65536;

/// Page faults and dirty pages written by one run.
struct PolicyCounts {
  int64_t faults = 0;
  int64_t dirty_writes = 0;
  bool operator==(const PolicyCounts&) const = default;
};

/// The frame bits, one bit per frame, that policies choose victims by.
struct FrameBits {
  int frames;
  uint64_t all;  ///< one bit for every frame
  uint64_t free;
  uint64_t referenced;
  uint64_t dirty;
};

/// The lowest set bit of `mask` at or after `start`, wrapping around to the
/// lowest set bit overall; -1 when `mask` is 0. REQUIRES: start < 64.
inline int first_from(uint64_t mask, int start) {
  const uint64_t ahead = mask & (~uint64_t{0} << start);
  if (ahead != 0) return std::countr_zero(ahead);
  return mask != 0 ? std::countr_zero(mask) : -1;
}

/// Bits first..last going round the clock of `frames` frames, both included.
inline uint64_t clock_span(int first, int last, int frames) {
  const auto up_to = [](int bit) { return bit == 63 ? ~uint64_t{0} : (uint64_t{2} << bit) - 1; };
  const uint64_t below_first = (uint64_t{1} << first) - 1;
  if (first <= last) return up_to(last) & ~below_first;
  return (up_to(frames - 1) & ~below_first) | up_to(last);
}

/// A frame number kept in a byte that, unlike a character type, aliases
/// nothing else, so the compiler keeps the rest of the state in registers.
enum class FrameSlot : uint8_t { kNone = 0xFF };

/// A policy provides:
///   int choose_victim(FrameBits&)       a frame to evict (no frame is free)
///   void on_load(int frame, uint32_t next_use)
///   void on_hit(int frame, uint32_t next_use)
///   void on_leave(int frame)            evicted or freed
/// where next_use is the event's position of next use (kNeverUsed) when the
/// run is given next uses, else 0.
template <class Policy>
class PolicyMachine {
 public:
  /// REQUIRES: 1 <= frames <= kMaxWhatIfFrames; `trace` outlives the
  /// machine and gains no pages meanwhile.
  PolicyMachine(int frames, const ReferenceTrace& trace)
      : policy_(frames),
        page_process_(trace.page_processes().data()),
        frame_of_page_(trace.pages(), FrameSlot::kNone) {
    bits_.frames = frames;
    bits_.all = frames == 64 ? ~uint64_t{0} : (uint64_t{1} << frames) - 1;
    bits_.free = bits_.all;
    bits_.referenced = bits_.dirty = 0;
  }

  /// Runs `events`; `next_use`, when not null, holds one entry per event.
  void run(std::span<const uint32_t> events, const uint32_t* next_use) {
    // The state in locals for the loop, stored back at the end.
    FrameBits bits = bits_;
    PolicyCounts counts = counts_;
    FrameSlot* const frame_of_page = frame_of_page_.data();
    for (size_t i = 0; i < events.size(); ++i) {
      const uint32_t event = events[i];
      if (is_termination_event(event)) {
        end_process(terminated_process(event), bits, frame_of_page);
        continue;
      }
      const uint32_t page = referenced_page(event);
      const bool write = is_write_event(event);
      const uint32_t next = next_use != nullptr ? next_use[i] : 0;
      int frame = static_cast<int>(frame_of_page[page]);
      if (frame != static_cast<int>(FrameSlot::kNone)) {
        const uint64_t bit = uint64_t{1} << frame;
        bits.referenced |= bit;
        if (write) bits.dirty |= bit;
        policy_.on_hit(frame, next);
        continue;
      }
      ++counts.faults;
      if (bits.free != 0) {
        frame = std::countr_zero(bits.free);
      } else {
        frame = policy_.choose_victim(bits);
        counts.dirty_writes += static_cast<int64_t>((bits.dirty >> frame) & 1);
        frame_of_page[frame_page_[frame]] = FrameSlot::kNone;
        policy_.on_leave(frame);
      }
      const uint64_t bit = uint64_t{1} << frame;
      bits.free &= ~bit;
      bits.referenced |= bit;
      bits.dirty = write ? bits.dirty | bit : bits.dirty & ~bit;
      frame_page_[frame] = page;
      frame_process_[frame] = page_process_[page];
      frame_of_page[page] = static_cast<FrameSlot>(frame);
      policy_.on_load(frame, next);
    }
    bits_ = bits;
    counts_ = counts;
  }

  PolicyCounts counts() const { return counts_; }

 private:
  // The end of process number `process`: its frames become free.
  void end_process(uint32_t process, FrameBits& bits, FrameSlot* frame_of_page) {
    for (uint64_t used = bits.all & ~bits.free; used != 0; used &= used - 1) {
      const int frame = std::countr_zero(used);
      if (frame_process_[frame] != process) continue;
      frame_of_page[frame_page_[frame]] = FrameSlot::kNone;
      policy_.on_leave(frame);
      bits.free |= uint64_t{1} << frame;
    }
  }

  Policy policy_;
  FrameBits bits_;
  PolicyCounts counts_;
  const uint32_t* page_process_;
  std::vector<FrameSlot> frame_of_page_;
  uint32_t frame_page_[kMaxWhatIfFrames] = {};
  uint32_t frame_process_[kMaxWhatIfFrames] = {};
};
