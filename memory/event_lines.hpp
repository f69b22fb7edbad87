// The two kinds of event line, formatted straight into an output buffer.
// The breakpoint display echoes them to the console in the same words.
#pragma once

#include <cstdint>

#include "io/output_buffer.hpp"

/// "TLB: line %d Entry %d proc %d LP %d PP %d\n"
inline void write_tlb_line(OutputBuffer& out, int64_t record, int entry, int32_t proc, int32_t page,
                           int32_t frame) {
  char* p = out.reserve(kMaxLineLength);
  p = append_text(p, "TLB: line ");
  p = append_int(p, record);
  p = append_text(p, " Entry ");
  p = append_int(p, entry);
  p = append_text(p, " proc ");
  p = append_int(p, proc);
  p = append_text(p, " LP ");
  p = append_int(p, page);
  p = append_text(p, " PP ");
  p = append_int(p, frame);
  *p++ = '\n';
  out.commit(p);
}

/// "Page Fault: line %d proc %d LP %d PP %d", then "\n", or for the console
/// echo " hand %d\n" when `hand` is given (non-negative).
inline void write_page_fault_line(OutputBuffer& out, int64_t record, int32_t proc, int32_t page,
                                  int32_t frame, int32_t hand = -1) {
  char* p = out.reserve(kMaxLineLength);
  p = append_text(p, "Page Fault: line ");
  p = append_int(p, record);
  p = append_text(p, " proc ");
  p = append_int(p, proc);
  p = append_text(p, " LP ");
  p = append_int(p, page);
  p = append_text(p, " PP ");
  p = append_int(p, frame);
  if (hand >= 0) {
    p = append_text(p, " hand ");
    p = append_int(p, hand);
  }
  *p++ = '\n';
  out.commit(p);
}
