#include "tools/traceconv/lackey_reader.hpp"

#include "tools/traceconv/text_fields.hpp"

namespace {

enum class LineKind { kSkipped, kLoad, kStore, kModify, kMalformed };

// " L 1fff000708,8": the size is checked but not used; a reference is
// taken to be on the page of its first byte.
LineKind parse_data_line(std::string_view line, uint64_t* address) {
  if (line.size() < 3 || line[2] != ' ') return LineKind::kMalformed;
  LineKind kind;
  switch (line[1]) {
    case 'L':
      kind = LineKind::kLoad;
      break;
    case 'S':
      kind = LineKind::kStore;
      break;
    case 'M':
      kind = LineKind::kModify;
      break;
    default:
      return LineKind::kMalformed;
  }
  size_t at = 3;
  if (!take_hex(line, &at, address) || at == line.size() || line[at] != ',') {
    return LineKind::kMalformed;
  }
  ++at;
  if (!skip_decimal(line, &at)) return LineKind::kMalformed;
  skip_blanks(line, &at);
  return at == line.size() ? kind : LineKind::kMalformed;
}

LineKind classify(std::string_view line, uint64_t* address) {
  if (line.empty()) return LineKind::kSkipped;
  switch (line[0]) {
    case 'I':  // instruction fetches: most of the log, skipped unread
      return LineKind::kSkipped;
    case ' ':
      return parse_data_line(line, address);
    case '=':
    case '-':
      return line.size() >= 2 && line[1] == line[0] ? LineKind::kSkipped : LineKind::kMalformed;
    default:
      return line == "\r" ? LineKind::kSkipped : LineKind::kMalformed;
  }
}

}  // namespace

bool LackeyReader::next(MemoryReference* reference) {
  if (store_pending_) {
    store_pending_ = false;
    *reference = {Access::kWrite, pending_address_};
    return true;
  }
  std::string_view line;
  while (next_whole_line(*lines_, *malformed_, &line)) {
    uint64_t address = 0;
    switch (classify(line, &address)) {
      case LineKind::kSkipped:
        continue;
      case LineKind::kMalformed:
        malformed_->note(lines_->line_number(), line);
        continue;
      case LineKind::kLoad:
        *reference = {Access::kRead, address};
        return true;
      case LineKind::kStore:
        *reference = {Access::kWrite, address};
        return true;
      case LineKind::kModify:
        store_pending_ = true;
        pending_address_ = address;
        *reference = {Access::kRead, address};
        return true;
    }
  }
  return false;
}
