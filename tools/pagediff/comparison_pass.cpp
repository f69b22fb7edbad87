#include "tools/pagediff/comparison_pass.hpp"

#include <algorithm>
#include <exception>
#include <string_view>
#include <system_error>
#include <thread>

#include "tools/pagediff/event_line.hpp"
#include "tools/pagediff/line_window.hpp"
#include "tools/pagediff/mistake_reach.hpp"
#include "tools/pagediff/printed_events.hpp"
#include "variants/text.hpp"

namespace {

using variants::Event;
using variants::EventKind;
using variants::Machine;
using variants::RecordResult;

// pagesim's start-up banner, which a program run with 2>&1 leaves in its
// standard output.
constexpr std::string_view kBanner =
    "This works slightly differently from the spec because\n"
    "it allows you to display extensive debugging info\n"
    "With no arguments, it works just like your program\n"
    "If the first arg is 0, it works just like your\n"
    "program with no arguments.  If the first argument is\n"
    "1, it will work like your program with one argument.\n"
    "If there is a second argument,  and it is a number, it\n"
    "will treat it as a breakpoint and start displaying\n"
    "extensive information about the status at each\n"
    "subsequent line\n";
constexpr uint64_t kBannerLines = 10;

// Records after pagesim's at which their line's record is still looked up.
constexpr int64_t kLookAhead = 1000;

enum File { kLog = 0, kOut = 1 };

uint64_t count_lines(std::string_view text) {
  return static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

// The base machine's events: its text, the history, and where the second
// reference's text starts.
class BaseSink final : public variants::EventSink {
 public:
  BaseSink(History& history, PassResult& result) : history_(history), result_(result) {}
  void on_event(const Event& event) override {
    if (event.which >= 0) {
      if (first_which_ == -2) {
        first_which_ = event.which;
      } else if (event.which != first_which_ && second_events_ == std::string::npos) {
        second_events_ = text.event_log.size();
        second_messages_ = text.console.size();
      }
    }
    if (event.kind == EventKind::kBadPage) ++result_.messages_by_page[event.page];
    text.on_event(event);
    printed.on_event(event);
    history_.on_event(event);
  }
  void clear() {
    text.event_log.clear();
    text.console.clear();
    text.errors.clear();
    printed.clear();
    first_which_ = -2;
    second_events_ = second_messages_ = std::string::npos;
  }
  /// Which reference the text at `offset` belongs to (the order they ran in).
  int which_at(size_t offset) const {
    if (second_events_ == std::string::npos || offset < second_events_) return first_which_;
    return 1 - first_which_;
  }
  size_t second_events() const { return second_events_; }
  size_t second_messages() const { return second_messages_; }

  variants::TextSink text;
  PrintedEvents printed;

 private:
  History& history_;
  PassResult& result_;
  int first_which_ = -2;
  size_t second_events_ = std::string::npos;
  size_t second_messages_ = std::string::npos;
};

// One candidate's progress in one of the user's files.
struct Follow {
  bool lockstep = true;  ///< the same text as pagesim's so far, which matched
  uint64_t cursor = 0;   ///< the next line to match, once not in lockstep
};

struct Runner {
  Candidate candidate;
  Machine machine;
  PrintedEvents printed;
  Follow follow[2];
  bool stopped = false;
};

class Pass {
 public:
  Pass(TraceInput& trace, const variants::Variant& base, TheirText& log, TheirText* out)
      : trace_(trace),
        base_(base),
        before_(base),
        history_(base.geometry),
        sink_(history_, result_) {
    files_[kLog] = &log;
    files_[kOut] = out;
    const Compared compared{out != nullptr};
    for (const variants::Hypothesis& hypothesis : variants::catalogue(base)) {
      if (!can_differ(hypothesis.variant, base, compared)) continue;
      Runner runner{
          {hypothesis.id, hypothesis.variant}, Machine(hypothesis.variant), {}, {}, false};
      runners_.push_back(std::move(runner));
    }
    if (out == nullptr) base_out_done_ = true;
  }

  ~Pass() {
    if (helper_.joinable()) helper_.join();
  }
  Pass(const Pass&) = delete;
  Pass& operator=(const Pass&) = delete;

  PassResult run() {
    if (files_[kOut] != nullptr && files_[kOut]->skip_if_next(kBanner, kBannerLines))
      result_.banner_skipped = true;
    int converted = 0;
    while ((converted = trace_.read_record(fields_)) > 0) {
      ++records_;
      last_converted_ = converted;
      if (base_running_) run_base(converted);
      // While pagesim's lines match theirs, the candidates are only compared
      // with pagesim's: they run later, in batches, on both cores.
      if (batching()) {
        keep_for_batch();
      } else {
        flush_batch();
        if (!runners_.empty()) run_runners();
      }
      if (base_running_ && !base_ended_ && result_.stopped) end_base();
      if (base_running_ && base_log_done_ && (want_record_ == 0 || records_ > want_record_ + 1))
        base_running_ = false;
      if (!base_running_ && runners_.empty()) {
        // Only the count and where reading stops are wanted now.
        while (trace_.read_record(fields_) > 0) ++records_;
        break;
      }
    }
    flush_batch();
    result_.stop = trace_.scanner().stop_reason();
    result_.read_errno = trace_.read_errno();
    // The last record's events are still pending: the scene of an ending
    // is built from them.
    if (!base_ended_) end_base();
    if (base_running_) {
      history_.settle(before_.state(), base_.state(), records_ + 1);
      take_other_references();
    }
    end_runners();
    finish();
    return std::move(result_);
  }

 private:
  void run_base(int converted) {
    history_.settle(before_.state(), base_.state(), records_);
    take_other_references();
    if (fields_[1] == 0) count_dirty_pages_of(fields_[0]);
    before_ = base_;
    sink_.clear();
    if (base_.run_record(fields_, sink_) == RecordResult::kStopped && !result_.stopped) {
      result_.stopped = true;
      stopped_at_ = records_;
    }
    const std::string_view events = sink_.text.event_log;
    const std::string_view messages = sink_.text.console;
    if (!base_log_done_) compare_base_log(events, converted);
    if (!base_out_done_ && !messages.empty()) compare_base_messages(messages, converted);
    if (!messages.empty() && !base_log_done_) {
      result_.messages += static_cast<int64_t>(count_lines(messages));
      const size_t second = sink_.second_messages();
      result_.bad_references += (second == std::string::npos ? 1 : 0) +
                                (second != std::string::npos && second > 0 ? 1 : 0) +
                                (second != std::string::npos && second < messages.size() ? 1 : 0);
    }
  }

  void run_runners() {
    for (Runner& runner : runners_) {
      runner.printed.clear();
      if (!runner.stopped)
        runner.stopped =
            runner.machine.run_record(fields_, runner.printed) == RecordResult::kStopped;
    }
    // In lockstep a candidate is compared with pagesim's own events, which
    // matched their file.
    const bool base_matched = base_running_ && !windows_[kLog].active();
    compare_runners(kLog, base_matched);
    if (files_[kOut] != nullptr) compare_runners(kOut, base_running_ && !windows_[kOut].active());
    drop_dead();
  }

  // ---- Batches: the candidates in lockstep, run beside pagesim ----
  //
  // While pagesim's lines match theirs, a candidate need only give
  // pagesim's lines. The records are kept in batches: while pagesim runs
  // one batch, a second thread runs the candidates over the one before.

  struct BatchRecord {
    int32_t fields[kRecordFields];
    PrintedEvents pagesim;
    uint64_t lines_before[2];  ///< their lines matched before the record, per file
  };

  struct Batch {
    std::vector<BatchRecord> records;
    size_t used = 0;
  };

  // Where a candidate parted from pagesim's events in a batch.
  struct Parting {
    size_t record = SIZE_MAX;  ///< index in the batch; SIZE_MAX: it did not
    int file = kLog;
  };

  bool batching() const {
    return base_running_ && !runners_.empty() && !windows_[kLog].active() &&
           !windows_[kOut].active() && !result_.stopped;
  }

  void keep_for_batch() {
    Batch& batch = batches_[filling_];
    if (batch.used == batch.records.size()) batch.records.emplace_back();
    BatchRecord& record = batch.records[batch.used++];
    std::copy(fields_, fields_ + kRecordFields, record.fields);
    record.pagesim = sink_.printed;
    for (File file : {kLog, kOut})
      record.lines_before[file] = files_[file] != nullptr ? files_[file]->lines_read() : 0;
    // Taken after pagesim's lines matched: step back over them.
    record.lines_before[kLog] -= record.pagesim.log.size();
    record.lines_before[kOut] -= static_cast<uint64_t>(record.pagesim.messages);
    if (batch.used == kBatchRecords) seal_batch();
  }

  // Runs runners [first, last) over `batch`, each until it parts.
  void run_batch(const Batch& batch, size_t first, size_t last, std::vector<Parting>& partings) {
    for (size_t r = first; r < last; ++r) {
      Runner& runner = runners_[r];
      for (size_t i = 0; i < batch.used; ++i) {
        const BatchRecord& record = batch.records[i];
        runner.printed.clear();
        if (!runner.stopped)
          runner.stopped =
              runner.machine.run_record(record.fields, runner.printed) == RecordResult::kStopped;
        const bool log_same = runner.printed.same_log(record.pagesim);
        const bool out_same =
            files_[kOut] == nullptr || runner.printed.messages == record.pagesim.messages;
        if (log_same && out_same) continue;
        partings[r] = {i, log_same ? kOut : kLog};
        break;
      }
    }
  }

  // The filling batch is full: the helper takes it, pagesim fills the other.
  void seal_batch() {
    if (!wait_helper()) return;  // the candidates left lockstep: no more batches
    const int sealed = filling_;
    filling_ = 1 - filling_;
    batches_[filling_].used = 0;
    helper_partings_.assign(runners_.size(), Parting{});
    helper_batch_ = sealed;
    try {
      helper_ = std::thread([this, sealed] {
        try {
          run_batch(batches_[sealed], 0, runners_.size(), helper_partings_);
        } catch (...) {
          helper_failure_ = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No second thread to be had: the same work on this one.
      run_batch(batches_[sealed], 0, runners_.size(), helper_partings_);
    }
  }

  // Waits for the helper's batch and settles how its candidates parted.
  // Returns false when some left lockstep and every kept record was run.
  bool wait_helper() {
    if (helper_batch_ < 0) return true;
    if (helper_.joinable()) helper_.join();
    if (helper_failure_) std::rethrow_exception(helper_failure_);
    const int done = helper_batch_;
    helper_batch_ = -1;
    return settle_partings(helper_partings_, done);
  }

  // Runs every kept record: the helper's batch, then the filling one.
  void flush_batch() {
    wait_helper();
    Batch& batch = batches_[filling_];
    if (batch.used == 0) return;
    std::vector<Parting> partings(runners_.size());
    const size_t half = runners_.size() / 2;
    bool threaded = false;
    std::exception_ptr failure;
    if (half > 0) {
      try {
        std::thread helper([&] {
          try {
            run_batch(batch, half, runners_.size(), partings);
          } catch (...) {
            failure = std::current_exception();
          }
        });
        threaded = true;
        run_batch(batch, 0, half, partings);
        helper.join();
      } catch (const std::system_error&) {
        if (threaded) throw;
      }
    }
    if (failure) std::rethrow_exception(failure);
    if (!threaded) run_batch(batch, 0, runners_.size(), partings);
    settle_partings(partings, filling_);
    batches_[filling_].used = 0;
  }

  // The kept records from record `index` of batch `from` on, in order: the
  // rest of that batch and, when it is the helper's, all of the filling one.
  template <class Visit>
  void for_kept(int from, size_t index, Visit&& visit) const {
    for (size_t i = index; i < batches_[from].used; ++i) visit(batches_[from].records[i]);
    if (from != filling_)
      for (size_t i = 0; i < batches_[filling_].used; ++i) visit(batches_[filling_].records[i]);
  }

  // Their text from a kept record on: pagesim's, which matched it.
  std::string their_text_from(File file, int from, size_t index) const {
    std::string text;
    for_kept(from, index, [&](const BatchRecord& record) {
      text += file == kLog ? record.pagesim.log_text() : record.pagesim.console_text();
    });
    return text;
  }

  bool rest_matches(File file, int from, size_t index, const std::string& text) {
    const std::string kept = their_text_from(file, from, index);
    if (text.size() <= kept.size()) return kept.compare(0, text.size(), text) == 0;
    return text.compare(0, kept.size(), kept) == 0 &&
           files_[file]->next_is(std::string_view(text).substr(kept.size()));
  }

  // A candidate that parted where pagesim printed nothing may still give
  // their lines: those go on from there on their own; the others depart.
  // Returns false when the window opened: every kept record has then run.
  bool settle_partings(const std::vector<Parting>& partings, int from) {
    std::vector<std::pair<size_t, size_t>> rare;  // (runner, record)
    for (size_t r = 0; r < runners_.size(); ++r) {
      const Parting& parting = partings[r];
      if (parting.record == SIZE_MAX) continue;
      Runner& runner = runners_[r];
      const BatchRecord& at = batches_[from].records[parting.record];
      const File file = static_cast<File>(parting.file);
      const bool silent = file == kLog ? at.pagesim.log.empty() : at.pagesim.messages == 0;
      const std::string text =
          file == kLog ? runner.printed.log_text() : runner.printed.console_text();
      if (!silent || !rest_matches(file, from, parting.record, text)) {
        depart(runner);
        continue;
      }
      rare.emplace_back(r, parting.record);
    }
    const bool opened = !rare.empty();
    if (opened) catch_up_rare(rare, from);
    drop_dead();
    return !opened;
  }

  // The rare candidates that gave their lines where pagesim printed none:
  // the window opens where the first of them parted, seeded with pagesim's
  // matched lines since, and every candidate runs the kept records left.
  void catch_up_rare(const std::vector<std::pair<size_t, size_t>>& rare, int from) {
    size_t first = SIZE_MAX;
    for (const auto& [runner, record] : rare) first = std::min(first, record);
    const BatchRecord& start = batches_[from].records[first];
    for (File file : {kLog, kOut}) {
      if (files_[file] == nullptr || windows_[file].active()) continue;
      windows_[file].start_seeded(*files_[file], start.lines_before[file],
                                  their_text_from(file, from, first));
      if (file == kOut) windows_[file].count_lines_equal("Error, bad frame number");
      base_cursor_[file] = files_[file]->lines_read();
    }
    // Those still in lockstep finished the batch `from`: they go on from the
    // next kept record, where their file stood then.
    const bool more = from != filling_ && batches_[filling_].used > 0;
    for (Runner& runner : runners_) {
      for (File file : {kLog, kOut}) {
        if (files_[file] == nullptr || !runner.follow[file].lockstep) continue;
        runner.follow[file].lockstep = false;
        runner.follow[file].cursor =
            more ? batches_[filling_].records[0].lines_before[file] : base_cursor_[file];
      }
    }
    std::vector<bool> is_rare(runners_.size(), false);
    for (const auto& [index, record] : rare) {
      is_rare[index] = true;
      Runner& runner = runners_[index];
      for (File file : {kLog, kOut}) {
        if (files_[file] != nullptr)
          runner.follow[file].cursor = batches_[from].records[record].lines_before[file];
      }
      // The record it parted at has run: compare it, then run the rest.
      compare_in_window(runner);
      for_kept(from, record + 1, [&](const BatchRecord& kept) { run_in_window(runner, kept); });
    }
    if (more) {
      for (size_t r = 0; r < runners_.size(); ++r) {
        if (is_rare[r]) continue;
        for_kept(filling_, 0, [&](const BatchRecord& kept) { run_in_window(runners_[r], kept); });
      }
    }
    batches_[0].used = batches_[1].used = 0;
  }

  void run_in_window(Runner& runner, const BatchRecord& record) {
    if (runner.candidate.id.empty()) return;
    runner.printed.clear();
    if (!runner.stopped)
      runner.stopped =
          runner.machine.run_record(record.fields, runner.printed) == RecordResult::kStopped;
    compare_in_window(runner);
  }

  void compare_in_window(Runner& runner) {
    for (File file : {kLog, kOut}) {
      if (files_[file] == nullptr || runner.candidate.id.empty()) continue;
      const std::string text =
          file == kLog ? runner.printed.log_text() : runner.printed.console_text();
      if (!window_match(file, text, runner.follow[file].cursor)) depart(runner);
    }
  }

  // Starts comparing line by line from where the file stands: every
  // candidate still in lockstep goes on from there on its own.
  void open_window(File file) {
    flush_batch();
    LineWindow& window = windows_[file];
    if (window.active() || files_[file] == nullptr) return;
    window.start(*files_[file]);
    if (file == kOut) window.count_lines_equal("Error, bad frame number");
    base_cursor_[file] = files_[file]->lines_read();
    for (Runner& runner : runners_) {
      if (!runner.follow[file].lockstep) continue;
      runner.follow[file].lockstep = false;
      runner.follow[file].cursor = base_cursor_[file];
    }
  }

  // Whether `text` (whole lines) is next in `file` at `cursor`; moves the
  // cursor past what matched. `failed` gets the index in `text` of the line
  // that did not match.
  bool window_match(File file, std::string_view text, uint64_t& cursor, size_t* failed = nullptr,
                    bool* unterminated = nullptr) {
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find('\n', start);
      const std::string_view line = text.substr(start, end - start);
      const WindowLine* theirs = windows_[file].at(cursor);
      if (theirs == nullptr || theirs->text != line) {
        if (failed != nullptr) *failed = start;
        return false;
      }
      if (theirs->cut && unterminated != nullptr) *unterminated = true;
      ++cursor;
      start = end + 1;
    }
    return true;
  }

  TheirLine their_line(File file, uint64_t cursor) {
    TheirLine line;
    line.number = cursor + 1;
    const WindowLine* theirs = windows_[file].at(cursor);
    line.ended = theirs == nullptr;
    if (theirs != nullptr) {
      line.text = theirs->text;
      line.cut = theirs->cut;
    }
    return line;
  }

  void compare_base_log(std::string_view events, int converted) {
    if (events.empty()) return;
    TheirText& log = *files_[kLog];
    if (!windows_[kLog].active() && log.skip_if_next(events, count_lines(events))) return;
    open_window(kLog);
    size_t failed = 0;
    if (window_match(kLog, events, base_cursor_[kLog], &failed, &result_.log_unterminated)) return;
    LogDifference& difference = result_.log;
    result_.log_differs = true;
    difference.record = records_;
    difference.reference = sink_.which_at(failed);
    const size_t reference_start =
        sink_.second_events() != std::string::npos && failed >= sink_.second_events()
            ? sink_.second_events()
            : 0;
    difference.position =
        static_cast<int>(count_lines(events.substr(reference_start, failed - reference_start)));
    difference.pagesim_line =
        std::string(events.substr(failed, events.find('\n', failed) - failed));
    difference.theirs = their_line(kLog, base_cursor_[kLog]);
    fill_scene(before_, history_, records_, fields_, converted,
               trace_.locate(trace_.scanner().record_offset()), difference.reference,
               result_.scene);
    const EventLine theirs = parse_event_line(difference.theirs.text);
    if (!difference.theirs.ended && theirs.complete && theirs.record >= records_ - 60 &&
        theirs.record <= records_ + kLookAhead && theirs.record != records_)
      want_record_ = theirs.record;
    log_done();
  }

  // pagesim's log has departed or ended: the rest of the comparison is the
  // candidates'.
  void log_done() {
    base_log_done_ = true;
    base_out_done_ = true;
    open_window(kLog);
    open_window(kOut);
  }

  void compare_base_messages(std::string_view messages, int converted) {
    TheirText& out = *files_[kOut];
    if (!windows_[kOut].active() && out.skip_if_next(messages, count_lines(messages))) {
      result_.their_messages += static_cast<int64_t>(count_lines(messages));
      return;
    }
    open_window(kOut);
    size_t failed = 0;
    if (window_match(kOut, messages, base_cursor_[kOut], &failed, &result_.stdout_unterminated))
      return;
    StdoutDifference& difference = result_.out;
    result_.stdout_differs = true;
    base_out_done_ = true;
    difference.total = StdoutDifference::kMessage;
    difference.message_record = records_;
    difference.message_number =
        result_.messages + static_cast<int64_t>(count_lines(messages.substr(0, failed))) + 1;
    difference.pagesim_line =
        std::string(messages.substr(failed, messages.find('\n', failed) - failed));
    difference.theirs = their_line(kOut, base_cursor_[kOut]);
    fill_scene(before_, history_, records_, fields_, converted,
               trace_.locate(trace_.scanner().record_offset()), -1, result_.scene);
  }

  // pagesim's run has ended (the trace's end, or the inconsistency stop).
  void end_base() {
    base_ended_ = true;
    if (!base_log_done_) {
      TheirText& log = *files_[kLog];
      const bool more = windows_[kLog].active() ? windows_[kLog].at(base_cursor_[kLog]) != nullptr
                                                : !log.at_end();
      if (more) {
        open_window(kLog);
        LogDifference& difference = result_.log;
        result_.log_differs = true;
        difference.record = records_;
        difference.pagesim_ended = true;
        difference.theirs = their_line(kLog, base_cursor_[kLog]);
        fill_scene(before_, history_, records_, fields_, last_converted_,
                   trace_.locate(trace_.scanner().record_offset()), -1, result_.scene);
        const EventLine theirs = parse_event_line(difference.theirs.text);
        if (theirs.complete && theirs.record >= records_ - 60 && theirs.record < records_)
          want_record_ = theirs.record;
        base_out_done_ = true;
      }
      result_.log_lines_matched = windows_[kLog].active() ? base_cursor_[kLog] : log.lines_read();
      if (more) result_.log_lines_matched = base_cursor_[kLog];
    }
    if (!base_out_done_) end_base_stdout();
    open_window(kLog);
    open_window(kOut);
  }

  void end_base_stdout() {
    TheirText& out = *files_[kOut];
    StdoutDifference& difference = result_.out;
    const std::string totals = result_.stopped ? "" : variants::totals_text(base_.state());
    bool matched = windows_[kOut].active() ? false : out.skip_if_next(totals, count_lines(totals));
    if (!matched) {
      open_window(kOut);
      size_t failed = 0;
      matched =
          window_match(kOut, totals, base_cursor_[kOut], &failed, &result_.stdout_unterminated);
      if (!matched) {
        result_.stdout_differs = true;
        difference.total =
            static_cast<int>(count_lines(std::string_view(totals).substr(0, failed)));
        difference.pagesim_line = totals.substr(failed, totals.find('\n', failed) - failed);
        difference.theirs = their_line(kOut, base_cursor_[kOut]);
      }
    }
    if (matched) {
      const bool more = windows_[kOut].active() ? windows_[kOut].at(base_cursor_[kOut]) != nullptr
                                                : !out.at_end();
      if (more) {
        open_window(kOut);
        result_.stdout_differs = true;
        difference.total = StdoutDifference::kAfterEnd;
        difference.theirs = their_line(kOut, base_cursor_[kOut]);
      }
    }
    result_.stdout_lines_matched = windows_[kOut].active() ? base_cursor_[kOut] : out.lines_read();
    if (result_.stdout_differs && difference.total != StdoutDifference::kMessage &&
        !result_.scene.found)
      fill_scene(before_, history_, records_, fields_, last_converted_,
                 trace_.locate(trace_.scanner().record_offset()), -1, result_.scene);
  }

  void compare_runners(File file, bool base_matched) {
    const PrintedEvents& pagesim = sink_.printed;
    for (Runner& runner : runners_) {
      if (runner.candidate.id.empty()) continue;  // already departed
      Follow& follow = runner.follow[file];
      const PrintedEvents& printed = runner.printed;
      if (follow.lockstep && base_matched &&
          (file == kLog ? printed.same_log(pagesim) : printed.messages == pagesim.messages))
        continue;
      const std::string text = file == kLog ? printed.log_text() : printed.console_text();
      // Where pagesim wrote nothing, their file may still hold this
      // candidate's lines: from here on each goes its own way.
      const bool pagesim_silent = file == kLog ? pagesim.log.empty() : pagesim.messages == 0;
      if (follow.lockstep && base_matched && pagesim_silent && files_[file]->next_is(text))
        open_window(file);
      if (follow.lockstep || !window_match(file, text, follow.cursor)) depart(runner);
    }
  }

  // Where a candidate stands in a file: its own cursor, or pagesim's place.
  uint64_t place(const Runner& runner, File file) const {
    const Follow& follow = runner.follow[file];
    if (!follow.lockstep) return follow.cursor;
    return files_[file] != nullptr ? files_[file]->lines_read() : 0;
  }

  void depart(Runner& runner, bool log_to_end = false, bool stdout_to_end = false) {
    // Those that part before any difference are of no interest.
    if (windows_[kLog].active() || windows_[kOut].active()) {
      Candidate candidate = runner.candidate;
      candidate.log_lines = place(runner, kLog);
      candidate.stdout_lines = place(runner, kOut);
      candidate.log_to_end = log_to_end;
      candidate.stdout_to_end = stdout_to_end;
      result_.candidates.push_back(std::move(candidate));
    }
    runner.candidate.id.clear();
  }

  void drop_dead() {
    std::erase_if(runners_, [](const Runner& runner) { return runner.candidate.id.empty(); });
    for (File file : {kLog, kOut}) {
      if (!windows_[file].active()) continue;
      const bool base_compares = file == kLog ? !base_log_done_ : !base_out_done_;
      uint64_t lowest = base_compares ? base_cursor_[file] : UINT64_MAX;
      for (const Runner& runner : runners_) lowest = std::min(lowest, runner.follow[file].cursor);
      if (lowest != UINT64_MAX) windows_[file].release_below(lowest);
    }
  }

  void end_runners() {
    for (Runner& runner : runners_) {
      if (runner.candidate.id.empty()) continue;
      if (files_[kOut] != nullptr && !runner.stopped) {
        const std::string totals = variants::totals_text(runner.machine.state());
        if (!window_match(kOut, totals, runner.follow[kOut].cursor)) {
          depart(runner);
          continue;
        }
      }
      const bool log_end = windows_[kLog].at(runner.follow[kLog].cursor) == nullptr;
      const bool out_end =
          files_[kOut] == nullptr || windows_[kOut].at(runner.follow[kOut].cursor) == nullptr;
      depart(runner, log_end, log_end && out_end);
    }
    runners_.clear();
  }

  void take_other_references() {
    if (want_record_ == 0 || history_.pending_record() <= want_record_) return;
    result_.scene.other_references = history_.recent_references(want_record_);
    want_record_ = 0;
  }

  void count_dirty_pages_of(int32_t proc) {
    for (const variants::FrameSlot& frame : base_.state().frames) {
      if (frame.proc == proc && !frame.free && frame.dirty) ++result_.dirty_pages_released;
    }
  }

  void finish() {
    Scene& scene = result_.scene;
    if (files_[kOut] != nullptr) {
      open_window(kOut);
      windows_[kOut].drain();
      result_.their_messages += static_cast<int64_t>(windows_[kOut].marked());
    }
    if (result_.log_differs) {
      result_.log_lines_matched = result_.log.theirs.number - 1;
      const EventLine theirs = parse_event_line(result_.log.theirs.text);
      if (theirs.complete && theirs.record == scene.record) {
        for (const ReferenceStep& step : scene.steps) scene.other_references.push_back(step.facts);
      }
    }
    const variants::MachineState& state = base_.state();
    result_.records = result_.stopped ? stopped_at_ : records_;
    result_.tlb_misses = state.tlb_misses;
    result_.page_faults = state.page_faults;
    result_.dirty_writes = state.dirty_writes;
    result_.log_carriage_returns = files_[kLog]->saw_carriage_return();
    result_.stdout_carriage_returns =
        files_[kOut] != nullptr && files_[kOut]->saw_carriage_return();
    for (const variants::FrameSlot& frame : state.frames) {
      if (!frame.free && frame.dirty) ++result_.dirty_pages_at_end;
    }
    scene.records = result_.stopped ? stopped_at_ : records_;
    scene.stop = result_.stop;
    if (scene.stop == ScanStop::kNotANumber || scene.stop == ScanStop::kOutOfRange) {
      scene.stop_position = trace_.locate(trace_.scanner().stop_offset());
      scene.stop_word = trace_.word_at(trace_.scanner().stop_offset());
    }
    scene.last_converted = last_converted_;
    std::copy(fields_, fields_ + kRecordFields, scene.last_fields);
    scene.last_record_partial = last_converted_ > 0 && last_converted_ < kRecordFields;
  }

  TraceInput& trace_;
  TheirText* files_[2] = {nullptr, nullptr};
  LineWindow windows_[2];
  uint64_t base_cursor_[2] = {0, 0};
  Machine base_;
  Machine before_;
  History history_;
  PassResult result_;
  BaseSink sink_;
  std::vector<Runner> runners_;
  static constexpr size_t kBatchRecords = 4096;
  Batch batches_[2];
  int filling_ = 0;        ///< the batch pagesim's records go into
  int helper_batch_ = -1;  ///< the batch the helper thread runs, -1: none
  std::thread helper_;
  std::vector<Parting> helper_partings_;
  std::exception_ptr helper_failure_;
  int32_t fields_[kRecordFields] = {0, 0, 0};
  int64_t records_ = 0;
  int last_converted_ = 0;
  int64_t want_record_ = 0;
  bool base_running_ = true;
  bool base_log_done_ = false;
  bool base_out_done_ = false;
  bool base_ended_ = false;
  int64_t stopped_at_ = 0;  ///< records pagesim ran before its inconsistency stop
};

}  // namespace

PassResult run_comparison(TraceInput& trace, const variants::Variant& base, TheirText& their_log,
                          TheirText* their_stdout) {
  Pass pass(trace, base, their_log, their_stdout);
  return pass.run();
}

namespace {

// How far a candidate went, for ordering: to the end beats any count.
auto reach(const Candidate& c) {
  return std::make_tuple(c.log_to_end, c.log_to_end ? 0 : c.log_lines, c.stdout_to_end,
                         c.stdout_to_end ? 0 : c.stdout_lines);
}

bool reproduces(const PassResult& pass, const Candidate& c) {
  if (pass.log_differs) {
    const uint64_t differing = pass.log.theirs.number - 1;
    if (c.log_to_end) return c.stdout_to_end;
    return c.log_lines >= differing + 1 + kReproducedLines;
  }
  if (!pass.stdout_differs || !c.log_to_end) return false;
  const uint64_t differing = pass.out.theirs.number - 1;
  return c.stdout_to_end || c.stdout_lines >= differing + 1 + kReproducedLines;
}

}  // namespace

std::vector<const Candidate*> causes(const PassResult& pass) {
  std::vector<const Candidate*> found;
  for (const Candidate& candidate : pass.candidates) {
    if (reproduces(pass, candidate)) found.push_back(&candidate);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Candidate* a, const Candidate* b) { return reach(*a) > reach(*b); });
  std::erase_if(found, [&](const Candidate* c) { return reach(*c) != reach(*found.front()); });
  return found;
}

std::vector<const Candidate*> coincidences(const PassResult& pass) {
  std::vector<const Candidate*> found;
  if (!pass.log_differs) return found;
  for (const Candidate& candidate : pass.candidates) {
    if (candidate.log_lines > pass.log.theirs.number - 1 && !reproduces(pass, candidate))
      found.push_back(&candidate);
  }
  return found;
}
