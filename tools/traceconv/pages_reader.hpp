// Reads a reference string as textbooks write it: page numbers 0..63
// separated by white space or commas. Page p becomes the record "A A" with
// A = p * 1024 + 1: a read and then a write of the page, which always hits
// and so counts as one reference; the write makes the page dirty. Anything
// else between separators (a page above 63, a sign, a letter) is malformed.
#pragma once

#include <string>

#include "tools/traceconv/line_reader.hpp"
#include "tools/traceconv/malformed_lines.hpp"
#include "tools/traceconv/record_source.hpp"

class PagesReader final : public RecordSource {
 public:
  /// Reads `lines`, counting malformed page numbers in `malformed`; both
  /// must outlive the reader.
  PagesReader(LineReader* lines, MalformedLines* malformed)
      : lines_(lines), malformed_(malformed) {}
  bool next(AddressPair* record) override;
  int read_error() const override { return lines_->error(); }

 private:
  /// Ends the word being read; true when it was a page, its record in `*record`.
  bool end_word(AddressPair* record);

  LineReader* lines_;
  MalformedLines* malformed_;
  std::string_view piece_;
  size_t at_ = 0;
  bool piece_ends_line_ = true;
  bool in_word_ = false;
  bool word_is_number_ = true;
  uint64_t word_value_ = 0;  ///< saturates above 63: only 0..63 matter
  uint64_t word_line_ = 0;
  std::string word_text_;  ///< its start, for the report of a malformed one
};
