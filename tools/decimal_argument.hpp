// Reading a count from the command line, the same way in every tool.
#pragma once

#include <cstdint>
#include <string_view>

/// Parses `text` as a decimal number from `low` to `high` and nothing else
/// (no sign, no blanks); leaves `value` alone and returns false otherwise.
inline bool parse_count(std::string_view text, int64_t low, int64_t high, int64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  int64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number < low || number > high) return false;
  *value = number;
  return true;
}
