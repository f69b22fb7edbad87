#include "policies/run_group.hpp"

#include <algorithm>
#include <bit>

#include "policies/event_stream.hpp"

namespace {

constexpr uint32_t kFreeFrame = UINT32_MAX;

// One run's own state: its frames (clocks: the page in each frame, in
// clock order, and the frame bits by frame; FIFO: a ring of pages from
// `hand`, oldest load first), the frames in use and its totals.
struct Run {
  uint32_t* page;
  uint64_t* referenced;  ///< clocks: `words` words of frame bits each
  uint64_t* dirty;
  uint64_t* free;
  uint32_t frames;
  uint32_t words;
  uint32_t hand = 0;
  uint32_t used = 0;
  PolicyCounts counts;
};

// The bits of word `w` for frames lo..hi-1.
uint64_t range_mask(uint32_t w, uint32_t lo, uint32_t hi) {
  const uint32_t first = w * 64;
  const uint64_t from = lo > first ? ~uint64_t{0} << (lo - first) : ~uint64_t{0};
  const uint64_t to = hi - first >= 64 ? ~uint64_t{0} : (uint64_t{1} << (hi - first)) - 1;
  return from & to;
}

// The first frame at or after `start`, going round `frames` frames, whose
// bit is set in none of `a`, `b` (b may be null); -1 when there is none.
int64_t first_outside(const uint64_t* a, const uint64_t* b, uint32_t words, uint32_t frames,
                      uint32_t start) {
  const auto outside = [&](uint32_t w) {
    uint64_t bits = ~a[w];
    if (b != nullptr) bits &= ~b[w];
    return bits & range_mask(w, 0, frames);
  };
  const uint32_t start_word = start / 64;
  uint64_t bits = outside(start_word) & (~uint64_t{0} << (start % 64));
  if (bits != 0) return start_word * 64 + std::countr_zero(bits);
  for (uint32_t step = 1; step <= words; ++step) {
    const uint32_t w = (start_word + step) % words;
    bits = outside(w);
    if (w == start_word) bits &= (uint64_t{1} << (start % 64)) - 1;
    if (bits != 0) return w * 64 + std::countr_zero(bits);
  }
  return -1;
}

// Up to 64 runs of one policy whose frame bits are also kept by page: bit r
// of page_bits_[p].resident, page_bits_[p].referenced and page_bits_[p].dirty is run r's state of
// page p. A reference is then a few word operations for every run at once, and only the runs that
// fault, or whose bit of the page changes, do work of their own. The clocks keep each run's bits by
// frame as well, for the hand's scans a word at a time; a bit by frame changes with the page's bit,
// which for a hit happens at most once after the hand cleared it or the page was loaded.
template <Policy kPolicy>
class RunGroup {
  static constexpr bool kClock = kPolicy != Policy::kFifo;

 public:
  RunGroup(const ReferenceTrace& trace, std::span<const int> frame_counts)
      : page_process_(trace.page_processes()),
        page_bits_(trace.pages()),
        pages_of_process_(trace.processes()) {
    for (uint32_t page = 0; page < trace.pages(); ++page)
      pages_of_process_[trace.process_of(page)].push_back(page);
    size_t slots = 0, words = 0;
    for (const int frames : frame_counts) {
      slots += static_cast<size_t>(frames);
      words += static_cast<size_t>(frames + 63) / 64;
    }
    pages_.assign(slots, kFreeFrame);
    if constexpr (kClock) {
      bits_.assign(3 * words, 0);
      frame_of_.assign(size_t{trace.pages()} * frame_counts.size(), 0);
    }
    uint32_t* page = pages_.data();
    uint64_t* bits = bits_.data();
    for (const int frames : frame_counts) {
      const auto n = static_cast<uint32_t>(frames);
      const uint32_t w = kClock ? (n + 63) / 64 : 0;
      runs_.push_back({page, bits, bits + w, bits + 2 * w, n, w, 0, 0, {}});
      for (uint32_t i = 0; i < w; ++i) bits[2 * w + i] = range_mask(i, 0, n);
      page += n;
      bits += 3 * w;
    }
    all_ = runs_.size() == 64 ? ~uint64_t{0} : (uint64_t{1} << runs_.size()) - 1;
  }

  void reference(uint32_t page, bool write) {
    PageBits& bits = page_bits_[page];
    const uint64_t hits = bits.resident;
    const uint64_t misses = all_ & ~hits;
    // A hit sets the referenced bit and, for a write, the dirty bit; a load
    // sets the referenced bit and the dirty bit of a write, clearing it
    // otherwise.
    if constexpr (kClock) {
      for (uint64_t set = hits & ~bits.referenced; set != 0; set &= set - 1)
        set_frame_bit(&Run::referenced, static_cast<size_t>(std::countr_zero(set)), page);
      if (write) {
        for (uint64_t set = hits & ~bits.dirty; set != 0; set &= set - 1)
          set_frame_bit(&Run::dirty, static_cast<size_t>(std::countr_zero(set)), page);
      }
      bits.referenced = all_;
    }
    bits.resident = all_;
    bits.dirty = write ? all_ : bits.dirty & ~misses;
    for (uint64_t left = misses; left != 0; left &= left - 1)
      fault(static_cast<size_t>(std::countr_zero(left)), page, write);
  }

  void end_process(uint32_t process) {
    const std::vector<uint32_t>& pages = pages_of_process_[process];
    uint64_t holding = 0;
    for (const uint32_t page : pages) holding |= page_bits_[page].resident;
    for (; holding != 0; holding &= holding - 1) {
      const size_t r = static_cast<size_t>(std::countr_zero(holding));
      if constexpr (kClock)
        free_frames(r, process);
      else
        drop_from_ring(runs_[r], process);
    }
    for (const uint32_t page : pages) page_bits_[page].resident = 0;
  }

  std::vector<PolicyCounts> counts() const {
    std::vector<PolicyCounts> counts;
    for (const Run& run : runs_) counts.push_back(run.counts);
    return counts;
  }

 private:
  uint16_t& frame_of(uint32_t page, size_t r) { return frame_of_[page * runs_.size() + r]; }
  void set_frame_bit(uint64_t* Run::*bits, size_t r, uint32_t page) {
    const uint32_t frame = frame_of(page, r);
    (runs_[r].*bits)[frame / 64] |= uint64_t{1} << (frame % 64);
  }

  void fault(size_t r, uint32_t page, bool write) {
    Run& run = runs_[r];
    ++run.counts.faults;
    if constexpr (!kClock) {
      // The page joins the back of the ring; a full ring's front leaves.
      if (run.used < run.frames) {
        const uint32_t back = run.hand + run.used;
        run.page[back >= run.frames ? back - run.frames : back] = page;
        ++run.used;
        return;
      }
      const uint32_t victim = run.page[run.hand];
      run.counts.dirty_writes += static_cast<int64_t>((page_bits_[victim].dirty >> r) & 1);
      page_bits_[victim].resident &= ~(uint64_t{1} << r);
      run.page[run.hand] = page;
      run.hand = run.hand + 1 == run.frames ? 0 : run.hand + 1;
    } else {
      uint32_t frame;
      const uint64_t run_bit = uint64_t{1} << r;
      if (run.used < run.frames) {
        frame = lowest_free(run);
        run.free[frame / 64] &= ~(uint64_t{1} << (frame % 64));
        ++run.used;
      } else {
        frame = choose_victim(run, run_bit);
        const uint32_t victim = run.page[frame];
        run.counts.dirty_writes += static_cast<int64_t>((page_bits_[victim].dirty >> r) & 1);
        page_bits_[victim].resident &= ~run_bit;
      }
      const uint32_t w = frame / 64;
      const uint64_t bit = uint64_t{1} << (frame % 64);
      run.referenced[w] |= bit;
      run.dirty[w] = write ? run.dirty[w] | bit : run.dirty[w] & ~bit;
      run.page[frame] = page;
      frame_of(page, r) = static_cast<uint16_t>(frame);
    }
  }

  static uint32_t lowest_free(const Run& run) {
    uint32_t w = 0;
    while (run.free[w] == 0) ++w;
    return w * 64 + static_cast<uint32_t>(std::countr_zero(run.free[w]));
  }

  // pagesim's scans: the first frame from the hand that is not referenced
  // (in clean-first, nor dirty), clearing the referenced bits passed; after
  // a turn without one, in clean-first the first clean frame, else the
  // frame at the hand. The hand moves to one past the victim.
  uint32_t choose_victim(Run& run, uint64_t run_bit) {
    if (run.words == 1) return choose_victim_in_word(run, run_bit);
    const uint32_t hand = run.hand;
    int64_t found =
        first_outside(run.referenced, kPolicy == Policy::kCleanFirst ? run.dirty : nullptr,
                      run.words, run.frames, hand);
    uint32_t victim = hand;
    if (found >= 0) {
      victim = static_cast<uint32_t>(found);
      if (victim >= hand) {
        clear_referenced(run, run_bit, hand, victim);
      } else {
        clear_referenced(run, run_bit, hand, run.frames);
        clear_referenced(run, run_bit, 0, victim);
      }
    } else {
      clear_referenced(run, run_bit, 0, run.frames);
      if constexpr (kPolicy == Policy::kCleanFirst) {
        found = first_outside(run.dirty, nullptr, run.words, run.frames, hand);
        if (found >= 0) victim = static_cast<uint32_t>(found);
      }
    }
    run.hand = victim + 1 == run.frames ? 0 : victim + 1;
    return victim;
  }

  // The same scans for a run of at most 64 frames, its bits in one word.
  uint32_t choose_victim_in_word(Run& run, uint64_t run_bit) {
    const uint32_t hand = run.hand;
    const uint32_t frames = run.frames;
    const uint64_t all = frames == 64 ? ~uint64_t{0} : (uint64_t{1} << frames) - 1;
    uint64_t& referenced = run.referenced[0];
    uint64_t candidates = all & ~referenced;
    if constexpr (kPolicy == Policy::kCleanFirst) candidates &= ~run.dirty[0];
    int victim = first_from(candidates, static_cast<int>(hand));
    uint64_t cleared = referenced;
    if (victim >= 0) {
      cleared = static_cast<uint32_t>(victim) == hand
                    ? 0
                    : referenced & clock_span(static_cast<int>(hand),
                                              (victim == 0 ? static_cast<int>(frames) : victim) - 1,
                                              static_cast<int>(frames));
    } else if constexpr (kPolicy == Policy::kCleanFirst) {
      victim = first_from(all & ~run.dirty[0], static_cast<int>(hand));
    }
    if (victim < 0) victim = static_cast<int>(hand);
    for (uint64_t set = cleared; set != 0; set &= set - 1)
      page_bits_[run.page[std::countr_zero(set)]].referenced &= ~run_bit;
    referenced &= ~cleared;
    run.hand = static_cast<uint32_t>(victim) + 1 == frames ? 0 : static_cast<uint32_t>(victim) + 1;
    return static_cast<uint32_t>(victim);
  }

  // Clears the referenced bits of frames lo..hi-1, by frame and by page.
  void clear_referenced(Run& run, uint64_t run_bit, uint32_t lo, uint32_t hi) {
    if (lo >= hi) return;
    for (uint32_t w = lo / 64; w <= (hi - 1) / 64; ++w) {
      const uint64_t mask = range_mask(w, lo, hi);
      for (uint64_t set = run.referenced[w] & mask; set != 0; set &= set - 1)
        page_bits_[run.page[w * 64 + static_cast<uint32_t>(std::countr_zero(set))]].referenced &=
            ~run_bit;
      run.referenced[w] &= ~mask;
    }
  }

  // The end of a process in a clock run: its frames become free.
  void free_frames(size_t r, uint32_t process) {
    Run& run = runs_[r];
    for (uint32_t frame = 0; frame < run.frames; ++frame) {
      const uint32_t page = run.page[frame];
      if (page == kFreeFrame || page_process_[page] != process) continue;
      run.page[frame] = kFreeFrame;
      run.free[frame / 64] |= uint64_t{1} << (frame % 64);
      --run.used;
    }
  }

  // The end of a process in a FIFO run: its pages leave the ring, the
  // others keeping their order.
  void drop_from_ring(Run& run, uint32_t process) const {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < run.used; ++i) {
      const uint32_t page = run.page[slot(run, i)];
      if (page_process_[page] != process) run.page[slot(run, kept++)] = page;
    }
    run.used = kept;
  }
  static uint32_t slot(const Run& run, uint32_t i) {
    const uint32_t at = run.hand + i;
    return at >= run.frames ? at - run.frames : at;
  }

  const std::vector<uint32_t>& page_process_;
  std::vector<Run> runs_;
  uint64_t all_ = 0;
  struct PageBits {
    uint64_t resident = 0;
    uint64_t referenced = 0;
    uint64_t dirty = 0;
  };
  std::vector<PageBits> page_bits_;  ///< by page, bit r for run r
  std::vector<uint32_t> pages_;      ///< every run's frames, end to end
  std::vector<uint64_t> bits_;       ///< clocks: every run's frame bits
  std::vector<uint16_t> frame_of_;   ///< clocks: by page, then run
  std::vector<std::vector<uint32_t>> pages_of_process_;
};

template <Policy kPolicy>
std::vector<PolicyCounts> run_group(const ReferenceTrace& trace,
                                    std::span<const int> frame_counts) {
  RunGroup<kPolicy> group(trace, frame_counts);
  EventStream stream(trace);
  for (std::span<const uint32_t> block = stream.next(); !block.empty(); block = stream.next()) {
    for (const uint32_t event : block) {
      if (is_termination_event(event))
        group.end_process(terminated_process(event));
      else
        group.reference(referenced_page(event), is_write_event(event));
    }
  }
  return group.counts();
}

}  // namespace

std::vector<PolicyCounts> grouped_runs(const ReferenceTrace& trace, Policy policy,
                                       std::span<const int> frame_counts) {
  std::vector<PolicyCounts> counts;
  for (size_t first = 0; first < frame_counts.size(); first += kGroupRuns) {
    const std::span<const int> group =
        frame_counts.subspan(first, std::min(kGroupRuns, frame_counts.size() - first));
    std::vector<PolicyCounts> part;
    if (policy == Policy::kFifo)
      part = run_group<Policy::kFifo>(trace, group);
    else if (policy == Policy::kCleanFirst)
      part = run_group<Policy::kCleanFirst>(trace, group);
    else
      part = run_group<Policy::kClock>(trace, group);
    counts.insert(counts.end(), part.begin(), part.end());
  }
  return counts;
}
