#include "tools/pagestat/tlb_curve.hpp"

#include <algorithm>
#include <array>

#include "policies/event_stream.hpp"
#include "variants/machine.hpp"

namespace {

// pagesim's least recently used scan takes only stamps below this.
constexpr int64_t kStampLimit = 10'000'000;

// An address on `page` that is never 0, which as a read address would end
// the process.
int32_t address_on(int32_t page) {
  return page == 0 ? 1 : page * kWhatIfPageBytes;
}

// Feeds the trace's records to `machine`, each to `sink`; stops where the
// model stops.
void feed(const ReferenceTrace& trace, variants::Machine& machine, variants::EventSink& sink) {
  for (EventCursor cursor(trace); !cursor.done();) {
    const uint32_t event = cursor.take();
    int32_t fields[3];
    if (is_termination_event(event)) {
      fields[0] = trace.activity(terminated_process(event)).proc;
      fields[1] = fields[2] = 0;
    } else {
      const PageKey read = trace.page_key(referenced_page(event));
      const PageKey write = trace.page_key(referenced_page(cursor.take()));
      fields[0] = read.proc;
      fields[1] = address_on(read.page);
      fields[2] = address_on(write.page);
    }
    if (machine.run_record(fields, sink) == variants::RecordResult::kStopped) return;
  }
}

variants::Variant variant_of(int32_t mode, int tlb_entries, int frames) {
  variants::Variant variant;
  variant.mode = mode;
  variant.geometry.tlb_entries = tlb_entries;
  variant.geometry.frames = frames;
  return variant;
}

// The recency stack of the pages that have TLB entries in some size, with
// how many of its top each size holds (fewer than its entries after
// evictions and ends of processes empty entries).
class TlbStack final : public variants::EventSink {
 public:
  TlbStack() { held_.fill(0); }

  void on_event(const variants::Event& event) override {
    switch (event.kind) {
      case variants::EventKind::kTlbHit:
      case variants::EventKind::kTlbMiss:
        finish_reference();
        pending_ = key(event.proc, event.page);
        has_pending_ = true;
        break;
      case variants::EventKind::kEviction:
        // The victim's entry goes before the faulting page is loaded.
        remove_if([&](uint64_t page) { return page == key(event.old_proc, event.old_page); });
        break;
      case variants::EventKind::kRelease:
        finish_reference();
        remove_if([&](uint64_t page) { return static_cast<int32_t>(page >> 32) == event.proc; });
        break;
      default:
        break;
    }
  }

  /// Misses with k entries at misses()[k-1].
  std::array<int64_t, kTlbCurveEntries> misses() {
    finish_reference();
    return misses_;
  }

 private:
  static uint64_t key(int32_t proc, int32_t page) {
    return uint64_t{static_cast<uint32_t>(proc)} << 32 | static_cast<uint32_t>(page);
  }

  void finish_reference() {
    if (!has_pending_) return;
    has_pending_ = false;
    const size_t position =
        static_cast<size_t>(std::find(pages_.begin(), pages_.end(), pending_) - pages_.begin());
    const size_t depth = position + 1;  // beyond the stack: deeper than any size holds
    for (size_t k = 1; k <= kTlbCurveEntries && held_[k - 1] < depth; ++k) {
      ++misses_[k - 1];
      if (held_[k - 1] < k) ++held_[k - 1];  // an empty entry; else the one at depth k goes
    }
    if (position == pages_.size()) {
      if (pages_.size() == kTlbCurveEntries) pages_.pop_back();
      pages_.insert(pages_.begin(), pending_);
    } else {
      std::rotate(pages_.begin(), pages_.begin() + static_cast<ptrdiff_t>(position),
                  pages_.begin() + static_cast<ptrdiff_t>(position) + 1);
    }
  }

  template <class Removed>
  void remove_if(Removed removed) {
    std::array<size_t, kTlbCurveEntries + 1> removed_above{};  // removed at depth <= d
    size_t kept = 0;
    for (size_t i = 0; i < pages_.size(); ++i) {
      removed_above[i + 1] = removed_above[i] + (removed(pages_[i]) ? 1 : 0);
      if (!removed(pages_[i])) pages_[kept++] = pages_[i];
    }
    for (size_t i = pages_.size() + 1; i <= kTlbCurveEntries; ++i)
      removed_above[i] = removed_above[pages_.size()];
    for (size_t& held : held_) held -= removed_above[held];
    pages_.resize(kept);
  }

  std::vector<uint64_t> pages_;  ///< most recent first, at most kTlbCurveEntries
  std::array<size_t, kTlbCurveEntries> held_;
  std::array<int64_t, kTlbCurveEntries> misses_{};
  uint64_t pending_ = 0;
  bool has_pending_ = false;
};

}  // namespace

TlbCurvePoint run_machine_at(const ReferenceTrace& trace, int32_t mode, int tlb_entries,
                             int frames) {
  variants::Machine machine(variant_of(mode, tlb_entries, frames));
  variants::NullSink sink;
  feed(trace, machine, sink);
  return {tlb_entries, machine.state().tlb_misses, machine.state().page_faults};
}

bool tlb_one_pass_is_exact(const ReferenceTrace& trace) {
  return !trace.names_process_minus_one() && trace.references() <= kStampLimit;
}

std::vector<TlbCurvePoint> tlb_curve_one_pass(const ReferenceTrace& trace, int32_t mode,
                                              int frames) {
  variants::Machine machine(variant_of(mode, kTlbCurveEntries, frames));
  TlbStack stack;
  feed(trace, machine, stack);
  const std::array<int64_t, kTlbCurveEntries> misses = stack.misses();
  std::vector<TlbCurvePoint> curve;
  for (int k = 1; k <= kTlbCurveEntries; ++k)
    curve.push_back({k, misses[static_cast<size_t>(k - 1)], machine.state().page_faults});
  return curve;
}
