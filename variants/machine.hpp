// pagesim's machine written plainly, for explanation: every decision a named
// switch, the sizes run-time settings, every step reported to a sink, the
// state a value. With no switch set and the default geometry it produces
// pagesim's bytes exactly (the differential test proves it on every workload).
#pragma once

#include <cstdint>
#include <vector>

#include "variants/events.hpp"
#include "variants/mistakes.hpp"

namespace variants {

/// One TLB slot, as in pagesim. Empty for loading when last_use < 0.
struct TlbSlot {
  int32_t proc = 0;
  int32_t logical_page = -1;
  int32_t physical_page = -1;
  int64_t last_use = -1;
  int64_t loaded_at = -1;  ///< reference clock of the last load (tlb-fifo's order)
  bool operator==(const TlbSlot&) const = default;
};

/// One physical frame, as in pagesim. Free frames hold process -1, page -1.
struct FrameSlot {
  int32_t ref = 0;
  int32_t dirty = 0;
  int32_t free = 1;
  int32_t logical_page = -1;
  int32_t proc = -1;
  bool operator==(const FrameSlot&) const = default;
};

/// Everything the machine is, as a value: copy it to keep a moment of a run.
struct MachineState {
  std::vector<TlbSlot> tlb;
  std::vector<FrameSlot> frames;
  int64_t reference_clock = 0;
  int64_t records_read = 0;    ///< records run so far
  int64_t record_number = 0;   ///< the "line" the messages print (records-from-zero and
                               ///< terminations-not-counted make it differ from records_read)
  int64_t tlb_misses = 0;
  int64_t page_faults = 0;
  int64_t dirty_writes = 0;
  int64_t bad_page_messages = 0;  ///< "Error, bad frame number" lines printed
  int32_t clock_hand = 0;
  bool stopped = false;  ///< the inconsistency stop happened; nothing more runs
  bool operator==(const MachineState&) const = default;
};

/// What running a record came to.
enum class RecordResult {
  kRan,
  kStopped,  ///< the inconsistency stop: pagesim would end here (its two lines were reported)
};

class Machine {
 public:
  /// Fresh tables, as pagesim's after its start-up.
  /// REQUIRES: geometry sizes >= 1, page_size a power of two, mode 0 or 1.
  explicit Machine(const Variant& variant);

  /// Runs one record of the trace, as pagesim's loop does: the release of a
  /// termination record (read address 0), else the read then the write.
  /// `fields` are as the trace reader leaves them (numbers a short record
  /// lacks keep the previous record's values). Every step goes to `sink`, in
  /// the order the lines it logs would be written. After kStopped, nothing.
  RecordResult run_record(const int32_t fields[3], EventSink& sink);

  const MachineState& state() const { return state_; }
  const Variant& variant() const { return variant_; }

 private:
  Variant variant_;
  MachineState state_;
};

}  // namespace variants
