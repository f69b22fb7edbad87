#include "tools/pageview/page_json.hpp"

#include <cstdio>

namespace {

// Appends numbers and arrays of them with commas where they belong.
class JsonOut {
 public:
  explicit JsonOut(std::string& out) : out_(out) {}
  void number(int64_t value) {
    comma();
    out_ += std::to_string(value);
  }
  void text(std::string_view value) {
    comma();
    out_ += json_string(value);
  }
  void open(char bracket) {
    comma();
    out_ += bracket;
    first_ = true;
  }
  void close(char bracket) {
    out_ += bracket;
    first_ = false;
  }
  void key(std::string_view name) {
    comma();
    out_ += json_string(name);
    out_ += ':';
    first_ = true;
  }

 private:
  void comma() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  std::string& out_;
  bool first_ = true;
};

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A stamp set during the record is written as its distance from the clock
// before the record, an emptied one as -1.
int64_t stamp_code(int64_t last_use, int64_t clock_before) {
  return last_use < 0 ? -1 : last_use - clock_before;
}

void write_tables(JsonOut& json, const TableView& view) {
  json.key("tlb");
  json.open('[');
  for (const TlbEntry& entry : view.tlb) {
    json.open('[');
    json.number(entry.proc);
    json.number(entry.logical_page);
    json.number(entry.physical_page);
    json.number(entry.last_use);
    json.close(']');
  }
  json.close(']');
  json.key("frames");
  json.open('[');
  for (int32_t f = 0; f < kFrames; ++f) {
    json.open('[');
    json.number(view.frame_proc[f]);
    json.number(view.frame_page[f]);
    json.close(']');
  }
  json.close(']');
  json.key("ref");
  json.number(view.ref_bits);
  json.key("dirty");
  json.number(view.dirty_bits);
  json.key("hand");
  json.number(view.hand);
  json.key("clock");
  json.number(view.reference_clock);
  json.key("counts");
  json.open('[');
  json.number(view.tlb_misses);
  json.number(view.page_faults);
  json.number(view.dirty_writes);
  json.close(']');
  json.key("next");
  json.number(view.next_load_entry);
}

// [outcome, entry, page, frame, messages(, scan start, "bits met", cleared)]
void write_reference(JsonOut& json, const RefStep& ref) {
  json.open('[');
  json.number(static_cast<int32_t>(ref.outcome));
  json.number(ref.entry);
  json.number(ref.page);
  json.number(ref.frame);
  json.number(ref.messages);
  if (!ref.scan.empty()) {
    // Each frame met as one digit, ref * 2 + dirty; they follow the clock
    // from the first.
    std::string met;
    for (const ScanStep& step : ref.scan) met += static_cast<char>('0' + step.ref * 2 + step.dirty);
    json.number(ref.scan.front().frame);
    json.text(met);
    json.number(ref.cleared);
  }
  json.close(']');
}

// What the record changed in the tables; see the page's script for the order.
void write_changes(JsonOut& json, const TableView& before, const TableView& after) {
  json.open('[');
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& was = before.tlb[i];
    const TlbEntry& now = after.tlb[i];
    const bool moved = was.proc != now.proc || was.logical_page != now.logical_page ||
                       was.physical_page != now.physical_page;
    if (!moved && was.last_use == now.last_use) continue;
    json.open('[');
    json.number(i);
    if (moved) {
      json.number(now.proc);
      json.number(now.logical_page);
      json.number(now.physical_page);
    }
    json.number(stamp_code(now.last_use, before.reference_clock));
    json.close(']');
  }
  json.close(']');
  json.open('[');
  for (int32_t f = 0; f < kFrames; ++f) {
    if (before.frame_proc[f] == after.frame_proc[f] && before.frame_page[f] == after.frame_page[f])
      continue;
    json.open('[');
    json.number(f);
    json.number(after.frame_proc[f]);
    json.number(after.frame_page[f]);
    json.close(']');
  }
  json.close(']');
  json.number(after.ref_bits == before.ref_bits ? -1 : int64_t{after.ref_bits});
  json.number(after.dirty_bits == before.dirty_bits ? -1 : int64_t{after.dirty_bits});
  json.number(after.hand);
  json.number(after.next_load_entry);
  const int64_t misses = after.tlb_misses - before.tlb_misses;
  const int64_t faults = after.page_faults - before.page_faults;
  const int64_t dirty = after.dirty_writes - before.dirty_writes;
  json.number(misses * 9 + faults * 3 + dirty);
  json.number(after.reference_clock - before.reference_clock);
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string event_lines_of(const RecordStep& step) {
  std::string lines;
  const std::string record = std::to_string(step.record);
  for (const RefStep& ref : step.refs) {
    if (ref.outcome == RefOutcome::kTlbHit) continue;
    const std::string mapping = " proc " + std::to_string(step.fields[0]) + " LP " +
                                std::to_string(ref.page) + " PP " + std::to_string(ref.frame) +
                                "\n";
    if (ref.outcome != RefOutcome::kTlbLoad) lines += "Page Fault: line " + record + mapping;
    lines += "TLB: line " + record + " Entry " + std::to_string(ref.entry) + mapping;
  }
  return lines;
}

std::string page_json(const PageData& data, const TheirLines* theirs, const PageText& text) {
  std::string out;
  JsonOut json(out);
  json.open('{');
  json.key("trace");
  json.text(text.trace_name);
  json.key("heading");
  json.text(text.heading);
  json.key("mode");
  json.number(data.mode);
  json.key("first");
  json.number(data.first_record);
  json.key("records");
  json.number(data.trace_records);
  json.key("open");
  json.number(text.open_record);
  json.key("notes");
  json.open('[');
  if (!data.partial_note.empty()) json.text(data.partial_note);
  if (!data.stop_note.empty()) json.text(data.stop_note);
  json.close(']');
  json.key("theirs");
  json.number(theirs != nullptr ? 1 : 0);
  json.key("before");
  json.open('{');
  write_tables(json, data.before);
  json.close('}');

  // Per record: [line step, column, process, first address, second address,
  // numbers read, references, TLB changes, frame changes, ref bits, dirty
  // bits, hand, next load entry, counter steps, clock step].
  json.key("steps");
  json.open('[');
  const TableView* before = &data.before;
  uint64_t line = 0;
  for (const RecordStep& step : data.steps) {
    json.open('[');
    json.number(static_cast<int64_t>(step.line - line));
    line = step.line;
    json.number(static_cast<int64_t>(step.column));
    for (const int32_t field : step.fields) json.number(field);
    json.number(step.converted);
    json.open('[');
    for (const RefStep& ref : step.refs) write_reference(json, ref);
    json.close(']');
    write_changes(json, *before, step.after);
    json.close(']');
    before = &step.after;
  }
  json.close(']');

  // Lines the references cannot rebuild, should the model ever log others,
  // are given as logged; and their lines where they differ from pagesim's.
  json.key("logged");
  json.open('{');
  for (size_t i = 0; i < data.steps.size(); ++i) {
    const RecordStep& step = data.steps[i];
    if (event_lines_of(step) == step.events) continue;
    json.key(std::to_string(i));
    json.open('[');
    for (const std::string& line_text : split_lines(step.events)) json.text(line_text);
    json.close(']');
  }
  json.close('}');
  json.key("differ");
  json.open('{');
  for (size_t i = 0; theirs != nullptr && i < data.steps.size(); ++i) {
    const std::vector<std::string>& their = theirs->of_record[i];
    if (their == split_lines(data.steps[i].events)) continue;
    json.key(std::to_string(i));
    json.open('[');
    for (const std::string& line_text : their) json.text(line_text);
    json.close(']');
  }
  json.close('}');
  json.close('}');
  return out;
}
