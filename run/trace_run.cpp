#include "run/trace_run.hpp"

#include "memory/engine.hpp"
#include "memory/invariants.hpp"
#include "memory/tables.hpp"
#include "run/display.hpp"

void run_trace() {
  // Fields a short record does not convert keep the previous record's values;
  // before the first record they are 0.
  int32_t record[kRecordFields] = {0, 0, 0};
  bool markers_apart = true;  // only looked at by the debug build's checks
  while (sim.trace_file.read_record(record) > 0) {
    ++sim.record_number;
    const bool displayed = in_display_window();
    if (displayed) echo_record(record);
    process_record(record);
    if (displayed) pause_display();
    if constexpr (kCheckInvariants) {
      markers_apart = markers_apart && record_keeps_markers_apart(record[0], record[1], record[2]);
      check_invariants(markers_apart);
    }
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
