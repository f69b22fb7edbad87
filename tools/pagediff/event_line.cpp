#include "tools/pagediff/event_line.hpp"

#include <cctype>
#include <string>

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string lower_case(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Integers with an optional minus sign written right before the digits; a
// minus inside a word ("x-1") is a hyphen. Huge numbers saturate.
std::vector<int64_t> numbers_of(std::string_view text) {
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  std::vector<int64_t> numbers;
  for (size_t i = 0; i < text.size();) {
    if (!is_digit(text[i])) {
      ++i;
      continue;
    }
    const bool negative = i > 0 && text[i - 1] == '-' &&
                          (i == 1 || !std::isalnum(static_cast<unsigned char>(text[i - 2])));
    int64_t value = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
      if (value < kLimit) value = value * 10 + (text[i] - '0');
    }
    numbers.push_back(negative ? -value : value);
  }
  return numbers;
}

}  // namespace

EventLine parse_event_line(std::string_view text) {
  EventLine line;
  line.numbers = numbers_of(text);
  const std::string lower = lower_case(text);
  const size_t first = lower.find_first_not_of(" \t");
  if (first != std::string::npos && lower.compare(first, 3, "tlb") == 0) {
    line.kind = LineKind::kTlb;
  } else if (lower.find("fault") != std::string::npos) {
    line.kind = LineKind::kPageFault;
  }
  const std::vector<int64_t>& n = line.numbers;
  if (line.kind == LineKind::kTlb && n.size() == 5) {
    line.complete = true;
    line.record = n[0];
    line.entry = n[1];
    line.proc = n[2];
    line.page = n[3];
    line.frame = n[4];
  } else if (line.kind == LineKind::kPageFault && n.size() == 4) {
    line.complete = true;
    line.record = n[0];
    line.proc = n[1];
    line.page = n[2];
    line.frame = n[3];
  }
  return line;
}
