#include "run/trace_run.hpp"

#include <cstring>

#include "memory/double_hit_groups.hpp"
#include "memory/double_hits.hpp"
#include "memory/engine.hpp"
#include "memory/invariants.hpp"
#include "memory/tables.hpp"
#include "run/display.hpp"

namespace {

// Records the scanner converts in one call where the trace repeats its
// layouts: enough to spread the call over many, few enough to stay in L1.
constexpr int kRecordBatch = 128;
// A batch has few TLB misses below one in this many records.
constexpr int kFewMissesPerRecord = 8;

// Runs one record read: the display around it, and the debug build's checks.
// `kMayDisplay` false: the caller knows the record is outside the display
// window.
template <bool kMayDisplay = true>
[[gnu::always_inline]] inline void run_record(const int32_t record[kRecordFields],
                                              bool& markers_apart) {
  ++sim.record_number;
  const bool displayed = kMayDisplay && in_display_window();
  if (displayed) [[unlikely]]
    echo_record(record);
  process_record(record);
  if (displayed) [[unlikely]]
    pause_display();
  if constexpr (kCheckInvariants) {
    markers_apart = markers_apart && record_keeps_markers_apart(record[0], record[1], record[2]);
    check_invariants(markers_apart);
  }
}

// Runs a batch of records: runs of double TLB hits on the short path (when
// `try_hits`), the others one by one; the display window is looked at once
// for the whole batch when it lies outside. The debug build checks the
// tables after every record of a run too.
void run_batch(const int32_t (*batch)[kBatchedRecordSlots], int count, bool try_hits,
               bool& markers_apart) {
  // Asked once: the processor does not change during the run.
  static const bool groups = double_hit_groups_supported();
  if (!display_window_misses_next(count)) [[unlikely]] {
    for (int i = 0; i < count; ++i) run_record(batch[i], markers_apart);
    return;
  }
  if (!try_hits) {
    for (int i = 0; i < count; ++i) run_record<false>(batch[i], markers_apart);
    return;
  }
  for (int i = 0; i < count;) {
    // The debug build checks the tables after every record of the one-by-one
    // short path, and after every run of the grouped one.
    const int next = groups ? run_double_tlb_hit_groups(batch, i, count)
                            : run_double_tlb_hits(batch, i, kCheckInvariants ? i + 1 : count);
    if (next == i) {
      run_record<false>(batch[i], markers_apart);
      ++i;
      continue;
    }
    if constexpr (kCheckInvariants) {
      markers_apart =
          markers_apart && record_keeps_markers_apart(batch[i][0], batch[i][1], batch[i][2]);
      check_invariants(markers_apart);
    }
    i = next;
  }
}

}  // namespace

void run_trace() {
  // Fields a short record does not convert keep the previous record's values;
  // before the first record they are 0.
  int32_t record[kRecordFields] = {0, 0, 0};
  bool markers_apart = true;  // only looked at by the debug build's checks
  int32_t batch[kRecordBatch][kBatchedRecordSlots];
  // Where most records miss the TLB, trying the short path first only adds
  // to their cost: a batch tries it when the one before had few misses.
  bool try_hits = true;
  for (;;) {
    const int count = sim.trace_file.read_learned_records(batch, kRecordBatch);
    if (count > 0) [[likely]] {
      const int64_t misses_before = sim.tlb_misses;
      run_batch(batch, count, try_hits, markers_apart);
      try_hits = (sim.tlb_misses - misses_before) * kFewMissesPerRecord < count;
      std::memcpy(record, batch[count - 1], sizeof record);
      continue;
    }
    if (sim.trace_file.read_record(record) == 0) return;
    run_record(record, markers_apart);
  }
}

void print_totals() {
  OutputBuffer& out = sim.console;
  const struct {
    const char* before;
    int64_t value;
    const char* after;
  } totals[] = {
      {"", sim.record_number, " steps were executed\n"},
      {"There were ", sim.tlb_misses, " TLB misses\n"},
      {"There were ", sim.page_faults, " page faults\n"},
      {"There were ", sim.dirty_writes, " dirty pages written to disk\n"},
  };
  for (const auto& total : totals) {
    char* p = out.reserve(kMaxLineLength);
    p = append_text(p, total.before);
    p = append_int(p, total.value);
    p = append_text(p, total.after);
    out.commit(p);
    out.end_message();
  }
}
