#include "run/display.hpp"

#include <unistd.h>

#include <cerrno>

#include "memory/tables.hpp"

namespace {

void end_line(OutputBuffer& out, char* p) {
  *p++ = '\n';
  out.commit(p);
  out.end_message();
}

}  // namespace

void echo_record(const int32_t record[kRecordFields]) {
  OutputBuffer& out = sim.console;
  char* p = out.reserve(kMaxLineLength);
  p = append_text(p, "Break at Line ");
  p = append_int(p, sim.record_number);
  p = append_text(p, ", ");
  p = append_int(p, record[0]);
  p = append_text(p, " ");
  p = append_int(p, record[1]);
  p = append_text(p, " ");
  p = append_int(p, record[2]);
  p = append_text(p, " (pages ");
  p = append_int(p, record[1] / kPageSize);
  p = append_text(p, " ");
  p = append_int(p, record[2] / kPageSize);
  p = append_text(p, ")");
  end_line(out, p);
}

void print_state() {
  OutputBuffer& out = sim.console;
  // Free is judged by the frame number here, not by last_use: an entry that
  // was shot down shows as belonging to process -1.
  for (int i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& entry = sim.tlb[i];
    char* p = out.reserve(kMaxLineLength);
    p = append_text(p, "   TLB ");
    p = append_int(p, i);
    if (entry.physical_page < 0) {
      p = append_text(p, " is free");
    } else {
      p = append_text(p, " process ");
      p = append_int(p, entry.proc);
      p = append_text(p, ", VA ");
      p = append_int(p, entry.logical_page);
      p = append_text(p, ", PP ");
      p = append_int(p, entry.physical_page);
    }
    end_line(out, p);
  }
  // And a frame by its page number, not by its free flag.
  for (int i = 0; i < kFrames; ++i) {
    const Frame& frame = sim.frames[i];
    char* p = out.reserve(kMaxLineLength);
    p = append_text(p, "   Physical Page ");
    p = append_int(p, i);
    if (frame.logical_page < 0) {
      p = append_text(p, " is free");
    } else {
      p = append_text(p, ", Proc ");
      p = append_int(p, frame.proc);
      p = append_text(p, " Logical Page ");
      p = append_int(p, frame.logical_page);
      p = append_text(p, " ref ");
      p = append_int(p, frame.ref);
      p = append_text(p, " dirty ");
      p = append_int(p, frame.dirty);
    }
    end_line(out, p);
  }
}

void pause_display() {
  print_state();
  sim.console.put("Hit return key to continue\n");
  sim.console.end_message();
  sim.event_log.flush();
  char discarded;
  while (::read(STDIN_FILENO, &discarded, 1) < 0 && errno == EINTR) {
  }
}
