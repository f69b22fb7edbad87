#include "tools/traceconv/malformed_lines.hpp"

#include "tools/traceconv/line_reader.hpp"

namespace {

// Enough of a line to recognise it.
constexpr size_t kShownBytes = 40;

std::string printable(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  for (char c : text.substr(0, kShownBytes)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
      shown += c;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  if (text.size() > kShownBytes) shown += "...";
  return shown;
}

}  // namespace

void MalformedLines::note(uint64_t line, std::string_view text) {
  if (count_++ > 0) return;
  first_line_ = line;
  first_text_ = printable(text);
}

std::string malformed_report(std::string_view path, const MalformedLines& malformed,
                             std::string_view unit) {
  std::string report(path);
  report.append(":").append(std::to_string(malformed.first_line())).append(": first of ");
  report.append(std::to_string(malformed.count())).append(" malformed ").append(unit);
  report.append(" skipped in this file: \"").append(malformed.first_text()).append("\"\n");
  return report;
}

bool next_whole_line(LineReader& lines, MalformedLines& malformed, std::string_view* line) {
  bool line_ends;
  while (lines.next_piece(line, &line_ends)) {
    if (line_ends) return true;
    malformed.note(lines.line_number(), *line);
    lines.skip_rest_of_line();
  }
  return false;
}
