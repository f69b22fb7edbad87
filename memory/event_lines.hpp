// The two kinds of event line, formatted straight into an output buffer.
// The breakpoint display echoes them to the console in the same words.
#pragma once

#include <cstdint>
#include <cstring>

#include "io/output_buffer.hpp"
#include "memory/constants.hpp"

/// The record number of the lines being written, formatted once per record.
inline CachedNumberText record_number_text;

/// " LP %d PP %d\n" in a fixed slot of 16 bytes, copied with one load and one
/// store; the last byte is the length.
struct PageAndFrameText {
  char text[15];
  uint8_t length;
};

namespace event_text {

constexpr char* append_decimal(char* out, int32_t value) {
  if (value >= 10) *out++ = static_cast<char>('0' + value / 10);
  *out++ = static_cast<char>('0' + value % 10);
  return out;
}

constexpr char* append_literal(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  return out;
}

struct PageAndFrameTable {
  PageAndFrameText slot[kPagesPerProcess * kFrames];
};

constexpr PageAndFrameTable make_page_and_frame_table() {
  PageAndFrameTable table{};
  for (int32_t page = 0; page < kPagesPerProcess; ++page) {
    for (int32_t frame = 0; frame < kFrames; ++frame) {
      PageAndFrameText& slot = table.slot[page * kFrames + frame];
      char* p = append_literal(slot.text, " LP ");
      p = append_decimal(p, page);
      p = append_literal(p, " PP ");
      p = append_decimal(p, frame);
      p = append_literal(p, "\n");
      slot.length = static_cast<uint8_t>(p - slot.text);
    }
  }
  return table;
}

// Eight bytes of text as one little-endian word.
constexpr uint64_t word_of(const char (&text)[9]) {
  uint64_t word = 0;
  for (int i = 7; i >= 0; --i) word = word << 8 | static_cast<unsigned char>(text[i]);
  return word;
}

}  // namespace event_text

/// The text of every page in range and frame, at page * kFrames + frame.
inline constexpr event_text::PageAndFrameTable kPageAndFrameText =
    event_text::make_page_and_frame_table();

/// Whether the mapping part of a line is written from kPageAndFrameText:
/// a process of one digit and a page in range.
inline bool has_tabled_mapping(int32_t proc, int32_t page) {
  return static_cast<uint32_t>(proc) < 10 && static_cast<uint32_t>(page) < kPagesPerProcess;
}

/// Stores `word` at `p` (eight bytes) and returns p + length.
inline char* append_word(char* p, uint64_t word, size_t length) {
  std::memcpy(p, &word, sizeof word);
  return p + length;
}

/// " proc %d LP %d PP %d\n" from the tables: two stores, and room for 24
/// bytes at p. REQUIRES: has_tabled_mapping(proc, page), frame 0..kFrames-1.
inline char* append_tabled_mapping(char* p, int32_t proc, int32_t page, int32_t frame) {
  // " proc 0" with the digit in its seventh byte.
  constexpr uint64_t kProcText = event_text::word_of(" proc 0\0");
  p = append_word(p, kProcText + (static_cast<uint64_t>(proc) << 48), 7);
  const PageAndFrameText& rest =
      kPageAndFrameText.slot[static_cast<uint32_t>(page) * kFrames + static_cast<uint32_t>(frame)];
  std::memcpy(p, &rest, sizeof rest);
  return p + rest.length;
}

/// " proc %d LP %d PP %d\n" for any process and page.
/// REQUIRES: frame in 0..kFrames-1; room for 48 bytes at p.
inline char* append_mapping(char* p, int32_t proc, int32_t page, int32_t frame) {
  if (has_tabled_mapping(proc, page)) return append_tabled_mapping(p, proc, page, frame);
  p = append_text(p, " proc ");
  p = append_int(p, proc);
  p = append_text(p, " LP ");
  p = append_int(p, page);
  p = append_text(p, " PP ");
  p = append_int(p, frame);
  *p++ = '\n';
  return p;
}

/// "TLB: line %d Entry %d" with the record number's text in `number`.
/// REQUIRES: entry in 0..kTlbEntries-1; room for 42 bytes at p.
inline char* append_tlb_line_start(char* p, const char* number, size_t number_length, int entry) {
  std::memcpy(p, "TLB: line ", 10);
  std::memcpy(p + 10, number, CachedNumberText::kTextSize);
  constexpr uint64_t kEntryText = event_text::word_of(" Entry 0");
  return append_word(p + 10 + number_length, kEntryText + (static_cast<uint64_t>(entry) << 56), 8);
}

/// "Page Fault: line %d" with the record number's text in `number`.
/// REQUIRES: room for 41 bytes at p.
inline char* append_fault_line_start(char* p, const char* number, size_t number_length) {
  std::memcpy(p, "Page Fault: line ", 17);
  std::memcpy(p + 17, number, CachedNumberText::kTextSize);
  return p + 17 + number_length;
}

/// "TLB: line %d Entry %d proc %d LP %d PP %d\n"
/// REQUIRES: entry in 0..kTlbEntries-1, frame in 0..kFrames-1.
inline void write_tlb_line(OutputBuffer& out, int64_t record, int entry, int32_t proc, int32_t page,
                           int32_t frame) {
  char* p = out.reserve(kMaxLineLength);
  record_number_text.set(record);
  p = append_tlb_line_start(p, record_number_text.text(), record_number_text.length(), entry);
  out.commit(append_mapping(p, proc, page, frame));
}

/// "Page Fault: line %d proc %d LP %d PP %d", then "\n", or for the console
/// echo " hand %d\n" when `hand` is given (non-negative).
/// REQUIRES: frame in 0..kFrames-1.
inline void write_page_fault_line(OutputBuffer& out, int64_t record, int32_t proc, int32_t page,
                                  int32_t frame, int32_t hand = -1) {
  char* p = out.reserve(kMaxLineLength);
  record_number_text.set(record);
  p = append_fault_line_start(p, record_number_text.text(), record_number_text.length());
  p = append_mapping(p, proc, page, frame);
  if (hand >= 0) {
    p = append_text(p - 1, " hand ");  // before the line's end
    p = append_int(p, hand);
    *p++ = '\n';
  }
  out.commit(p);
}

/// The page fault line and then the TLB line of the same load, both at once:
/// the record number and the mapping are looked up once for the two.
/// REQUIRES: entry in 0..kTlbEntries-1, frame in 0..kFrames-1.
inline void write_fault_and_tlb_lines(OutputBuffer& out, int64_t record, int entry, int32_t proc,
                                      int32_t page, int32_t frame) {
  if (!has_tabled_mapping(proc, page)) {
    write_page_fault_line(out, record, proc, page, frame);
    write_tlb_line(out, record, entry, proc, page, frame);
    return;
  }
  // Both lines, at most 2 * 61 bytes here, and the fixed-size copies' slack
  // fit the room of one.
  static_assert(kMaxLineLength >= 2 * 61 + 24);
  char* p = out.reserve(kMaxLineLength);
  record_number_text.set(record);
  // Copied out first: stores into the buffer could otherwise change it as
  // far as the compiler knows.
  char number[CachedNumberText::kTextSize];
  std::memcpy(number, record_number_text.text(), sizeof number);
  const size_t number_length = record_number_text.length();
  p = append_fault_line_start(p, number, number_length);
  p = append_tabled_mapping(p, proc, page, frame);
  p = append_tlb_line_start(p, number, number_length, entry);
  out.commit(append_tabled_mapping(p, proc, page, frame));
}
