// pagesim's machine written plainly, for explanation: every decision a named
// switch, the sizes run-time settings, every step reported to a sink, the
// state a value. With no switch set and the default geometry it produces
// pagesim's bytes exactly (the differential test proves it on every workload).
#pragma once

#include <cstdint>
#include <vector>

#include "variants/events.hpp"
#include "variants/frame_index.hpp"
#include "variants/free_frames.hpp"
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
  int64_t records_read = 0;   ///< records run so far
  int64_t record_number = 0;  ///< the "line" the messages print (records-from-zero and
                              ///< terminations-not-counted make it differ from records_read)
  int64_t steps = 0;          ///< the first total: records counted as steps
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

  /// A machine that goes on from `state`, as if it had run with `variant`'s
  /// switches to get there (the indexes beside the state are rebuilt).
  /// REQUIRES: state's tables have variant's TLB entries and frames.
  Machine(const Variant& variant, const MachineState& state);

  /// Runs one record of the trace, as pagesim's loop does: the release of a
  /// termination record (read address 0), else the read then the write.
  /// `fields` are as the trace reader leaves them (numbers a short record
  /// lacks keep the previous record's values). Every step goes to `sink`, in
  /// the order the lines it logs would be written. After kStopped, nothing.
  RecordResult run_record(const int32_t fields[3], EventSink& sink);

  const MachineState& state() const { return state_; }
  const Variant& variant() const { return variant_; }

 private:
  /// One reference of a record: which (0 read, 1 write), by whom, where.
  struct Reference {
    int which;
    int32_t proc;
    int32_t address;
    int32_t page;
  };

  // The decisions, one function each, where the mistakes change them.
  bool counts_as_step(bool termination) const;
  int64_t printed_record_number() const;
  int32_t page_of(int32_t address) const;
  bool page_in_range(int32_t page) const;
  bool write_goes_first() const;
  int usable_tlb_entry(int32_t proc, int32_t page) const;
  bool counts_misses_that_fault() const;
  bool hit_refreshes_last_use() const;
  bool sets_ref_on_tlb_hit() const;
  bool sets_dirty(const Reference& ref, bool tlb_hit) const;
  int32_t frame_holding(int32_t proc, int32_t page) const;
  bool loads_tlb_on_frame_hit() const;
  int entry_to_load() const;
  int32_t free_frame_to_take() const;
  int32_t scan_start() const;
  int32_t victim_by_second_chance(EventSink& sink);
  int32_t victim_by_clean_first(EventSink& sink);
  bool clean_first_clears_ref() const;
  bool counts_as_written(const FrameSlot& victim) const;
  bool empties_tlb_on_eviction() const;
  bool tlb_line_goes_first() const;
  int32_t hand_after_free_fault(int32_t frame) const;
  int32_t hand_after_eviction(int32_t victim) const;
  bool termination_empties_tlb() const;
  bool termination_frees_frames() const;
  int64_t written_at_termination(int32_t proc) const;

  // The steps of a record.
  bool translate(const Reference& ref, EventSink& sink);
  void search_frame_table(const Reference& ref, EventSink& sink);
  void service_page_fault(const Reference& ref, EventSink& sink);
  int32_t choose_victim(EventSink& sink);
  void load_frame(int32_t frame, const Reference& ref);
  void load_tlb(const Reference& ref, int32_t frame, EventSink& sink);
  void shoot_down_tlb(int32_t proc, int32_t page, EventSink& sink);
  void release_process(int32_t proc, EventSink& sink);
  void check_page(const Reference& ref, EventSink& sink);
  void set_bits(int32_t frame, bool ref_bit, bool dirty_bit);
  Event event_of(EventKind kind, const Reference& ref) const;
  int32_t next_frame(int32_t frame) const;

  Variant variant_;
  MachineState state_;
  FrameIndex in_use_;       ///< frames not free, by the page they hold
  FreeFrames free_frames_;  ///< frames whose free flag is set
};

}  // namespace variants
