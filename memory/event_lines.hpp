// The two kinds of event line, formatted straight into an output buffer.
// The breakpoint display echoes them to the console in the same words.
#pragma once

#include <cstdint>

#include "io/output_buffer.hpp"

/// The record number of the lines being written, formatted once per record.
inline CachedNumberText record_number_text;

/// " proc %d LP %d PP %d": the mapping both kinds of line end with.
/// REQUIRES: frame in 0..kFrames-1.
inline char* append_mapping(char* p, int32_t proc, int32_t page, int32_t frame) {
  p = append_text(p, " proc ");
  p = append_int(p, proc);
  p = append_text(p, " LP ");
  p = append_index(p, page);
  p = append_text(p, " PP ");
  return append_small(p, static_cast<uint32_t>(frame));
}

/// "TLB: line %d Entry %d proc %d LP %d PP %d\n"
/// REQUIRES: entry in 0..kTlbEntries-1, frame in 0..kFrames-1.
inline void write_tlb_line(OutputBuffer& out, int64_t record, int entry, int32_t proc, int32_t page,
                           int32_t frame) {
  char* p = out.reserve(kMaxLineLength);
  p = append_text(p, "TLB: line ");
  p = record_number_text.append(p, record);
  p = append_text(p, " Entry ");
  p = append_small(p, static_cast<uint32_t>(entry));
  p = append_mapping(p, proc, page, frame);
  *p++ = '\n';
  out.commit(p);
}

/// "Page Fault: line %d proc %d LP %d PP %d", then "\n", or for the console
/// echo " hand %d\n" when `hand` is given (non-negative).
/// REQUIRES: frame in 0..kFrames-1.
inline void write_page_fault_line(OutputBuffer& out, int64_t record, int32_t proc, int32_t page,
                                  int32_t frame, int32_t hand = -1) {
  char* p = out.reserve(kMaxLineLength);
  p = append_text(p, "Page Fault: line ");
  p = record_number_text.append(p, record);
  p = append_mapping(p, proc, page, frame);
  if (hand >= 0) {
    p = append_text(p, " hand ");
    p = append_int(p, hand);
  }
  *p++ = '\n';
  out.commit(p);
}
