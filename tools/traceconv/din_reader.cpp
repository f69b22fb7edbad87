#include "tools/traceconv/din_reader.hpp"

#include "tools/traceconv/text_fields.hpp"

namespace {

enum class LineKind { kSkipped, kRead, kWrite, kMalformed };

LineKind parse_line(std::string_view line, uint64_t* address) {
  size_t at = 0;
  skip_blanks(line, &at);
  if (at == line.size()) return LineKind::kSkipped;
  const size_t label_start = at;
  if (!skip_decimal(line, &at)) return LineKind::kMalformed;
  const std::string_view label = line.substr(label_start, at - label_start);
  if (label.size() != 1 || label[0] > '4') return LineKind::kMalformed;
  if (label[0] >= '2') return LineKind::kSkipped;
  const size_t label_end = at;
  skip_blanks(line, &at);
  if (at == label_end) return LineKind::kMalformed;
  if (line.substr(at, 2) == "0x" || line.substr(at, 2) == "0X") at += 2;
  if (!take_hex(line, &at, address)) return LineKind::kMalformed;
  if (at < line.size() && !is_blank(line[at])) return LineKind::kMalformed;
  return label[0] == '0' ? LineKind::kRead : LineKind::kWrite;
}

}  // namespace

bool DinReader::next(MemoryReference* reference) {
  std::string_view line;
  while (next_whole_line(*lines_, *malformed_, &line)) {
    uint64_t address = 0;
    switch (parse_line(line, &address)) {
      case LineKind::kSkipped:
        continue;
      case LineKind::kMalformed:
        malformed_->note(lines_->line_number(), line);
        continue;
      case LineKind::kRead:
        *reference = {Access::kRead, address};
        return true;
      case LineKind::kWrite:
        *reference = {Access::kWrite, address};
        return true;
    }
  }
  return false;
}
