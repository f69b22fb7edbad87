#include "variants/engine_comparison.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "io/trace_scanner.hpp"
#include "memory/engine.hpp"
#include "run/trace_run.hpp"
#include "variants/machine.hpp"
#include "variants/text.hpp"

namespace variants {

namespace {

// The trace's bytes handed to the scanner in one piece.
struct TraceBytes {
  std::string_view rest;
  static ssize_t read(void* context, char* dest, size_t capacity) {
    auto* self = static_cast<TraceBytes*>(context);
    const size_t count = self->rest.size() < capacity ? self->rest.size() : capacity;
    std::memcpy(dest, self->rest.data(), count);
    self->rest.remove_prefix(count);
    return static_cast<ssize_t>(count);
  }
};

// What memory/ wrote for one record, by stream.
struct EngineRecord {
  std::string events;
  std::string messages;
  std::string errors;
  bool stopped = false;
  bool failed = false;  ///< the child could not be run or ended otherwise
};

std::string contents_of(FILE* file) {
  std::string text;
  std::rewind(file);
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, got);
  return text;
}

// Runs the record in memory/ in a child, whose streams go to files: the
// inconsistency stop writes out what it holds and ends that process. When
// memory/ does not stop there, nothing of the child counts.
EngineRecord run_in_child(const int32_t record[kRecordFields]) {
  EngineRecord result;
  FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
  if (files[0] == nullptr || files[1] == nullptr || files[2] == nullptr) {
    result.failed = true;
  } else {
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
      sim.event_log.attach(fileno(files[0]), false);
      sim.console.attach(fileno(files[1]), false);
      if (dup2(fileno(files[2]), STDERR_FILENO) < 0) _exit(4);
      ++sim.record_number;
      process_record(record);
      _exit(3);  // no stop
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
      result.failed = true;
    } else if (WEXITSTATUS(status) != 3) {
      result.stopped = true;
      result.events = contents_of(files[0]);
      result.messages = contents_of(files[1]);
      result.errors = contents_of(files[2]);
    }
  }
  for (FILE* file : files) {
    if (file != nullptr) std::fclose(file);
  }
  return result;
}

// Whether the record could meet pagesim's inconsistency stop: a TLB hit on an
// entry whose frame is free. A free frame holds process -1 and page -1, so
// only a reference of process -1 to page -1 can hit such an entry, and only
// while some frame is free (no reference frees one).
bool may_stop(const int32_t record[kRecordFields]) {
  if (record[0] != kEmpty || is_termination(record)) return false;
  if (record[1] / kPageSize != kEmpty && record[2] / kPageSize != kEmpty) return false;
  for (const Frame& frame : sim.frames) {
    if (frame.free != 0) return true;
  }
  return false;
}

Departure departure(int64_t record, const char* what, std::string_view pagesim,
                    std::string_view model) {
  return Departure{record, what, std::string(pagesim), std::string(model)};
}

}  // namespace

std::optional<Departure> compare_with_engine(std::string_view trace, const Variant& variant,
                                             ComparisonSummary* summary) {
  ComparisonSummary count;
  // The scanner's block is large: one, allocated on first use.
  static TraceScanner& scanner = *new TraceScanner;
  TraceBytes bytes{trace};
  scanner.attach(TraceBytes::read, &bytes, kTraceBlockSize);
  start_engine(variant.mode);
  Machine model(variant);
  TextSink text;
  std::optional<Departure> found;
  int32_t record[kRecordFields] = {0, 0, 0};
  while (!found && scanner.read_record(record) > 0) {
    ++count.records;
    const RecordResult result = model.run_record(record, text);
    EngineRecord engine;
    if (may_stop(record)) engine = run_in_child(record);
    if (engine.failed) {
      found = departure(count.records, "stop", "(the child running pagesim's record failed)", "");
      break;
    }
    const bool model_stopped = result == RecordResult::kStopped;
    if (engine.stopped || model_stopped) {
      count.stopped = true;
      if (engine.stopped != model_stopped) {
        found = departure(count.records, "stop", engine.stopped ? "stops" : "goes on",
                          model_stopped ? "stops" : "goes on");
      } else if (engine.events != text.event_log) {
        found = departure(count.records, "event lines", engine.events, text.event_log);
      } else if (engine.messages != text.console) {
        found = departure(count.records, "messages", engine.messages, text.console);
      } else if (engine.errors != text.errors) {
        found = departure(count.records, "stop", engine.errors, text.errors);
      }
      break;
    }
    ++sim.record_number;
    process_record(record);
    const std::string_view events = take_events();
    const std::string_view messages = take_messages();
    count.event_bytes += static_cast<int64_t>(events.size());
    count.message_bytes += static_cast<int64_t>(messages.size());
    if (events != text.event_log) {
      found = departure(count.records, "event lines", events, text.event_log);
    } else if (messages != text.console) {
      found = departure(count.records, "messages", messages, text.console);
    } else if (!text.errors.empty()) {
      found = departure(count.records, "stop", "", text.errors);
    }
    text.event_log.clear();
    text.console.clear();
  }
  if (!found && !count.stopped) {
    print_totals();
    const std::string model_totals = totals_text(model.state());
    const std::string_view totals = take_messages();
    if (totals != model_totals) found = departure(count.records, "totals", totals, model_totals);
  }
  if (summary != nullptr) *summary = count;
  return found;
}

}  // namespace variants
