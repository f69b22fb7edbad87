#include "tools/pageview/page_data.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "memory/engine.hpp"
#include "tools/line_locator.hpp"
#include "tools/trace_findings.hpp"
#include "tools/unlinked_copy.hpp"

namespace {

// The trace, read by the scanner and, forward, for line numbers: two
// descriptors of one regular file, each with its own offset. A pipe or a
// FIFO is copied to an unlinked file first, so that both read all of it.
struct TraceFiles {
  int scan_fd = -1;
  int locate_fd = -1;
  ~TraceFiles() {
    if (scan_fd >= 0) close(scan_fd);
    if (locate_fd >= 0) close(locate_fd);
  }
  bool open_trace(const std::string& path, int given_fd) {
    scan_fd = open((given_fd >= 0 ? reopen_path(given_fd) : path).c_str(), O_RDONLY | O_CLOEXEC);
    if (scan_fd < 0) return false;
    struct stat status {};
    if (fstat(scan_fd, &status) != 0) return false;
    if (S_ISDIR(status.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (!S_ISREG(status.st_mode)) {
      const int copy = copy_to_unlinked_file(scan_fd);
      if (copy < 0) return false;
      close(scan_fd);
      scan_fd = copy;
    }
    locate_fd = open(reopen_path(scan_fd).c_str(), O_RDONLY | O_CLOEXEC);
    return locate_fd >= 0;
  }
};

// The scanner's reads, keeping the reason of a failed one.
struct TraceReader {
  int fd = -1;
  int failure = 0;  ///< errno of a failed read
  static ssize_t read_block(void* context, char* dest, size_t capacity) {
    auto& self = *static_cast<TraceReader*>(context);
    ssize_t got;
    do {
      got = read(self.fd, dest, capacity);
    } while (got < 0 && errno == EINTR);
    if (got < 0) self.failure = errno;
    return got;
  }
};

// Reads the entry, page and frame out of the lines one reference logged.
void read_event_lines(std::string_view lines, RefStep& step) {
  bool faulted = false;
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start);
    if (end == std::string_view::npos) end = lines.size();
    const std::string line(lines.substr(start, end - start));
    long long record = 0;
    int32_t entry = 0, proc = 0, page = 0, frame = 0;
    if (std::sscanf(line.c_str(), "Page Fault: line %lld proc %d LP %d PP %d", &record, &proc,
                    &page, &frame) == 4) {
      faulted = true;
      step.page = page;
      step.frame = frame;
    } else if (std::sscanf(line.c_str(), "TLB: line %lld Entry %d proc %d LP %d PP %d", &record,
                           &entry, &proc, &page, &frame) == 5) {
      step.entry = entry;
      step.page = page;
      step.frame = frame;
      if (!faulted) step.outcome = RefOutcome::kTlbLoad;
    }
    start = end + 1;
  }
  if (faulted) step.outcome = RefOutcome::kFreeFrame;
}

int32_t count_lines(std::string_view text) {
  int32_t lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines;
}

// Runs one reference and keeps what it did; for an eviction the scan runs a
// second time from the state it started in, with an observer, and the
// machine is put back as the reference left it.
RefStep run_reference(const int32_t fields[kRecordFields], int which, std::string& events) {
  const MachineState before = save_machine();
  translate(fields[0], fields[1 + which], which);
  const std::string_view lines = take_events();
  events += lines;
  RefStep step;
  step.messages = count_lines(take_messages());
  read_event_lines(lines, step);
  if (step.outcome == RefOutcome::kTlbHit) {
    // Every reference stamps the entry it hit with the clock.
    for (int32_t i = 0; i < kTlbEntries; ++i) {
      if (sim.tlb[i].last_use == sim.reference_clock) step.entry = i;
    }
    if (step.entry >= 0) {
      step.page = sim.tlb[step.entry].logical_page;
      step.frame = sim.tlb[step.entry].physical_page;
    }
  }
  if (step.outcome == RefOutcome::kFreeFrame && before.free_frame_mask == 0) {
    step.outcome = RefOutcome::kEviction;
    const MachineState after = save_machine();
    restore_machine(before);
    scan_for_victim([&step](const ScanStep& met) { step.scan.push_back(met); });
    for (int32_t f = 0; f < kFrames; ++f) {
      if (before.frames[f].ref != 0 && sim.frames[f].ref == 0) step.cleared |= uint32_t{1} << f;
    }
    restore_machine(after);
  }
  return step;
}

std::string position_text(const std::string& path, const TextPosition& position) {
  return path + ":" + std::to_string(position.line) + ":" + std::to_string(position.column);
}

}  // namespace

TableView view_tables() {
  TableView view;
  std::memcpy(view.tlb, sim.tlb, sizeof view.tlb);
  for (int32_t f = 0; f < kFrames; ++f) {
    view.frame_proc[f] = sim.frames[f].proc;
    view.frame_page[f] = sim.frames[f].logical_page;
    view.ref_bits |= static_cast<uint32_t>(sim.frames[f].ref != 0) << f;
    view.dirty_bits |= static_cast<uint32_t>(sim.frames[f].dirty != 0) << f;
  }
  view.hand = sim.clock_hand;
  view.reference_clock = sim.reference_clock;
  view.tlb_misses = sim.tlb_misses;
  view.page_faults = sim.page_faults;
  view.dirty_writes = sim.dirty_writes;
  // The model's own choice, made on a copy of its order.
  TlbOrder order = sim.tlb_order;
  view.next_load_entry =
      take_entry_to_load(order, sim.reference_clock + 1, [](int i) { return sim.tlb[i].last_use; });
  return view;
}

bool collect_page_data(const std::string& trace_path, int32_t mode, int64_t first, int64_t count,
                       PageData& data, std::string& error, int trace_fd) {
  TraceFiles files;
  if (!files.open_trace(trace_path, trace_fd)) {
    error = "cannot read " + trace_path + ": " + std::strerror(errno);
    return false;
  }
  // Both hold a block of the file: kept out of the stack.
  auto scanner = std::make_unique<TraceScanner>();
  auto locator = std::make_unique<LineLocator>(files.locate_fd);
  TraceReader reader{files.scan_fd};
  scanner->attach(&TraceReader::read_block, &reader, kTraceBlockSize);
  start_engine(mode);
  data = PageData{};
  data.mode = mode;
  data.first_record = first;
  const int64_t last = first + count - 1;
  int32_t fields[kRecordFields] = {0, 0, 0};
  int converted = 0, last_converted = 0;
  while ((converted = scanner->read_record(fields)) > 0) {
    last_converted = converted;
    ++sim.record_number;
    const int64_t record = sim.record_number;
    if (record > last) continue;  // read on only for the count and the stop
    if (record < first) {
      process_record(fields);
      (void)take_events();
      (void)take_messages();
      continue;
    }
    if (record == first) data.before = view_tables();
    RecordStep step;
    step.record = record;
    const TextPosition position = locator->locate(scanner->record_offset());
    step.line = position.line;
    step.column = position.column;
    std::copy(fields, fields + kRecordFields, step.fields);
    step.converted = converted;
    step.termination = is_termination(fields);
    if (step.termination) {
      process_record(fields);
      (void)take_events();
      (void)take_messages();
    } else {
      for (int which = 0; which < 2; ++which)
        step.refs.push_back(run_reference(fields, which, step.events));
    }
    step.after = view_tables();
    data.steps.push_back(std::move(step));
  }
  if (scanner->stop_reason() == ScanStop::kReadError) {
    error = "cannot read " + trace_path + ": " + std::strerror(reader.failure);
    return false;
  }
  data.trace_records = sim.record_number;
  const ScanStop stop = scanner->stop_reason();
  if (stop == ScanStop::kNotANumber || stop == ScanStop::kOutOfRange) {
    const std::string where = position_text(trace_path, locator->locate(scanner->stop_offset()));
    const std::string word = locator->word_at_last_offset();
    data.stop_note = where + ": after record " + std::to_string(data.trace_records) + ": " +
                     stop_text(stop, word);
  }
  if (last_converted > 0 && last_converted < kRecordFields) {
    data.partial_note = "record " + std::to_string(data.trace_records) + " is partial: " +
                        partial_record_text(last_converted, fields, data.trace_records == 1);
  }
  return true;
}
