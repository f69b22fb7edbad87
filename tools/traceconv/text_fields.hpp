// Hand-written field parsing for the trace readers: faster than the
// standard conversions on short fields, and strict about what they accept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

/// Digits of a 64-bit number in hexadecimal.
inline constexpr size_t kMaxHexDigits = 16;

/// The value of a hexadecimal digit, or -1.
inline int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

/// Reads hexadecimal digits from `text[*at]` on into `*value`, and moves
/// `*at` past them. False when there are none, or when the value does not
/// fit 64 bits (more than 16 digits after any leading zeros).
inline bool take_hex(std::string_view text, size_t* at, uint64_t* value) {
  uint64_t result = 0;
  const size_t start = *at;
  size_t i = start;
  size_t significant = 0;  // digits from the first that is not 0
  for (int digit; i < text.size() && (digit = hex_digit_value(text[i])) >= 0; ++i) {
    result = result << 4 | static_cast<uint64_t>(digit);
    if (significant > 0 || digit != 0) ++significant;
  }
  if (i == start || significant > kMaxHexDigits) return false;
  *at = i;
  *value = result;
  return true;
}

/// Moves `*at` past decimal digits; false when there are none.
inline bool skip_decimal(std::string_view text, size_t* at) {
  const size_t start = *at;
  while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') ++*at;
  return *at > start;
}

inline bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

/// Moves `*at` past spaces, tabs and carriage returns.
inline void skip_blanks(std::string_view text, size_t* at) {
  while (*at < text.size() && is_blank(text[*at])) ++*at;
}
