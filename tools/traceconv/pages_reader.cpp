#include "tools/traceconv/pages_reader.hpp"

#include "memory/constants.hpp"

namespace {

// Enough of a word to show it, and to show that it goes on.
constexpr size_t kKeptWordBytes = 48;

bool is_separator(char c) {
  return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool PagesReader::end_word(AddressPair* record) {
  in_word_ = false;
  if (word_is_number_ && word_value_ < static_cast<uint64_t>(kPagesPerProcess)) {
    const int32_t address = static_cast<int32_t>(word_value_) * kPageSize + 1;
    *record = {address, address};
    return true;
  }
  malformed_->note(word_line_, word_text_);
  return false;
}

bool PagesReader::next(AddressPair* record) {
  for (;;) {
    if (at_ == piece_.size()) {
      // A word runs on through the pieces of an over-long line.
      if (in_word_ && piece_ends_line_ && end_word(record)) return true;
      if (!lines_->next_piece(&piece_, &piece_ends_line_)) {
        piece_ = {};
        at_ = 0;
        return in_word_ && end_word(record);
      }
      at_ = 0;
      continue;
    }
    const char c = piece_[at_++];
    if (is_separator(c)) {
      if (in_word_ && end_word(record)) return true;
      continue;
    }
    if (!in_word_) {
      in_word_ = true;
      word_is_number_ = true;
      word_value_ = 0;
      word_line_ = lines_->line_number();
      word_text_.clear();
    }
    if (word_text_.size() < kKeptWordBytes) word_text_ += c;
    if (c < '0' || c > '9') {
      word_is_number_ = false;
    } else if (word_value_ < static_cast<uint64_t>(kPagesPerProcess)) {
      word_value_ = word_value_ * 10 + static_cast<uint64_t>(c - '0');
    }
  }
}
