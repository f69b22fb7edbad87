#include "tools/pagediff/comparison_pass.hpp"

#include <string_view>

#include "memory/engine.hpp"

namespace {

// Whether their next line is `expected` (one line with its line feed). A
// last line without a line feed still matches; `unterminated` says so.
bool match_line(TheirText& text, std::string_view expected, TheirLine& mismatch,
                bool& unterminated) {
  if (text.skip_line_if_next(expected)) return true;
  bool line_feed = false;
  mismatch.number = text.lines_read() + 1;
  mismatch.ended = !text.next_line(mismatch.text, line_feed);
  mismatch.cut = !mismatch.ended && !line_feed;
  const std::string_view bare = expected.substr(0, expected.size() - 1);
  if (mismatch.cut && mismatch.text == bare) {
    unterminated = true;
    return true;
  }
  return false;
}

class Pass {
 public:
  Pass(TheirText& log, TheirText* out) : log_(log), out_(out) {}

  void run(int trace_fd, int32_t mode) {
    // A block of the trace, allocated when running: not a part of the program file.
    static TraceScanner& scanner = *new TraceScanner;
    scanner.attach(trace_fd);
    start_engine(mode);
    int32_t record[kRecordFields] = {0, 0, 0};
    while (scanner.read_record(record) > 0) {
      ++sim.record_number;
      if (is_termination(record)) {
        count_dirty_pages_of(record[0]);
        release_process(record[0]);
        continue;
      }
      // One comparison per record; where the read's text ends tells the
      // references apart when a line differs.
      const int64_t lines_before = sim.tlb_misses + sim.page_faults;
      translate(record[0], record[1], 0);
      const size_t read_events = sim.event_log.pending().size();
      const size_t read_messages = sim.console.pending().size();
      translate(record[0], record[2], 1);
      const std::string_view events = take_events();
      const auto lines = static_cast<uint64_t>(sim.tlb_misses + sim.page_faults - lines_before);
      if (!events.empty() && !log_.skip_if_next(events, lines) &&
          !locate_difference(events, read_events)) {
        finish();
        return;
      }
      const std::string_view messages = take_messages();
      if (!messages.empty()) compare_messages(messages, read_messages);
    }
    result_.stop = scanner.stop_reason();
    if (!log_.at_end()) {
      result_.log_differs = true;
      LogDifference& difference = result_.log;
      difference.record = sim.record_number;
      difference.pagesim_ended = true;
      bool line_feed = false;
      difference.theirs.number = log_.lines_read() + 1;
      log_.next_line(difference.theirs.text, line_feed);
      difference.theirs.cut = !line_feed;
    }
    finish();
    if (!result_.log_differs) compare_totals();
  }

  PassResult& result() { return result_; }

 private:
  // The chunk did not match as a whole: finds its first line that differs.
  // Returns true when every line matched after all (a last line without a
  // line feed).
  bool locate_difference(std::string_view events, size_t read_events) {
    int position = 0;
    for (size_t start = 0; start < events.size(); ++position) {
      if (start == read_events) position = 0;  // the write's first line
      const int which = start < read_events ? 0 : 1;
      const size_t end = events.find('\n', start) + 1;
      const std::string_view line = events.substr(start, end - start);
      LogDifference& difference = result_.log;
      if (!match_line(log_, line, difference.theirs, result_.log_unterminated)) {
        result_.log_differs = true;
        difference.record = sim.record_number;
        difference.reference = which;
        difference.position = position;
        difference.pagesim_line = line.substr(0, line.size() - 1);
        difference.reference_events = events;
        return false;
      }
      start = end;
    }
    return true;
  }

  void compare_messages(std::string_view messages, size_t read_messages) {
    result_.bad_references +=
        (read_messages > 0 ? 1 : 0) + (messages.size() > read_messages ? 1 : 0);
    for (size_t start = 0; start < messages.size();) {
      const size_t end = messages.find('\n', start) + 1;
      ++result_.messages;
      if (out_ != nullptr && !result_.stdout_differs) {
        const std::string_view line = messages.substr(start, end - start);
        StdoutDifference& difference = result_.out;
        if (!match_line(*out_, line, difference.theirs, result_.stdout_unterminated)) {
          result_.stdout_differs = true;
          difference.message_record = sim.record_number;
          difference.message_number = result_.messages;
          difference.pagesim_line = line.substr(0, line.size() - 1);
        }
      }
      start = end;
    }
  }

  void compare_totals() {
    if (out_ == nullptr || result_.stdout_differs) return;
    const std::string totals[4] = {
        std::to_string(result_.records) + " steps were executed\n",
        "There were " + std::to_string(result_.tlb_misses) + " TLB misses\n",
        "There were " + std::to_string(result_.page_faults) + " page faults\n",
        "There were " + std::to_string(result_.dirty_writes) + " dirty pages written to disk\n",
    };
    StdoutDifference& difference = result_.out;
    for (int total = 0; total < 4; ++total) {
      if (match_line(*out_, totals[total], difference.theirs, result_.stdout_unterminated))
        continue;
      result_.stdout_differs = true;
      difference.total = total;
      difference.pagesim_line = totals[total].substr(0, totals[total].size() - 1);
      return;
    }
    if (out_->at_end()) return;
    result_.stdout_differs = true;
    difference.total = StdoutDifference::kAfterEnd;
    bool line_feed = false;
    difference.theirs.number = out_->lines_read() + 1;
    out_->next_line(difference.theirs.text, line_feed);
    difference.theirs.cut = !line_feed;
  }

  void count_dirty_pages_of(int32_t proc) {
    for (const Frame& frame : sim.frames) {
      if (frame.proc == proc && !frame.free && frame.dirty) ++result_.dirty_pages_released;
    }
  }

  void finish() {
    result_.log_lines_matched =
        result_.log_differs ? result_.log.theirs.number - 1 : log_.lines_read();
    result_.records = sim.record_number;
    result_.tlb_misses = sim.tlb_misses;
    result_.page_faults = sim.page_faults;
    result_.dirty_writes = sim.dirty_writes;
    result_.log_carriage_returns = log_.saw_carriage_return();
    result_.stdout_carriage_returns = out_ != nullptr && out_->saw_carriage_return();
    for (const Frame& frame : sim.frames) {
      if (!frame.free && frame.dirty) ++result_.dirty_pages_at_end;
    }
  }

  TheirText& log_;
  TheirText* out_;
  PassResult result_;
};

}  // namespace

PassResult run_comparison(int trace_fd, int32_t mode, TheirText& their_log,
                          TheirText* their_stdout) {
  Pass pass(their_log, their_stdout);
  pass.run(trace_fd, mode);
  return pass.result();
}
