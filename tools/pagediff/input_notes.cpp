#include "tools/pagediff/input_notes.hpp"

#include "tools/pagediff/event_line.hpp"
#include "tools/visible_bytes.hpp"

namespace {

// A line pagesim writes on standard output, never in its log.
bool is_stdout_line(std::string_view line) {
  return line == "Error, bad frame number" || line.find(" steps were executed") != line.npos ||
         line.starts_with("There were ");
}

std::string first_line(const std::string& bytes) {
  return bytes.substr(0, bytes.find('\n'));
}

bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == line.npos;
}

}  // namespace

std::string input_note(const Options& options, const FirstBytes& first, const PassResult& pass) {
  const std::string log_line = first_line(first.log);
  if (first.log.empty()) return options.their_log + ":1: note: the log is empty";
  if (is_stdout_line(log_line))
    return options.their_log + ":1: note: this looks like a standard output (\"" +
           visible_bytes(log_line) + "\"): are THEIR_LOG and THEIR_STDOUT swapped?";
  if (pass.banner_skipped)
    return options.their_stdout +
           ":1: note: it begins with pagesim's start-up banner, which goes to standard error "
           "(run with 2> /dev/null); compared from line 11";
  if (pass.log_differs && !pass.log.theirs.ended) {
    const TheirLine& theirs = pass.log.theirs;
    const std::string place = options.their_log + ":" + std::to_string(theirs.number) + ": note: ";
    if (is_blank(theirs.text)) return place + "a blank line, which pagesim never writes";
    const EventLine line = parse_event_line(theirs.text);
    // Where pagesim stopped early, the explanation says why instead.
    const bool read_to_end = pass.scene.stop == ScanStop::kEndOfInput && !pass.stopped;
    const int64_t records = pass.scene.records;
    if (line.complete && line.record > records && read_to_end)
      return place + "record " + std::to_string(line.record) + " is past the trace's end (" +
             std::to_string(records) + (records == 1 ? " record" : " records") +
             "): was it made from another trace?";
  }
  return "";
}
