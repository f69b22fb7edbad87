#include "tools/pagediff/comparison_pass.hpp"

#include "run/banner.hpp"
#include "tools/pagediff/event_line.hpp"
#include "tools/pagediff/mistake_reach.hpp"
#include "tools/pagediff/pass.hpp"

namespace comparison {
namespace {

// Records after pagesim's at which their line's record is still looked up.
constexpr int64_t kLookAhead = 1000;

}  // namespace

Pass::Pass(TraceInput& trace, const variants::Variant& base, TheirText& log, TheirText* out)
    : trace_(trace), base_(base), before_(base), history_(base.geometry), sink_(history_, result_) {
  files_[kLog] = &log;
  files_[kOut] = out;
  const Compared compared{out != nullptr};
  size_t order = 0;
  for (const variants::Hypothesis& hypothesis : variants::catalogue(base)) {
    if (!can_differ(hypothesis.variant, base, compared)) continue;
    const StartTrigger trigger = start_trigger(hypothesis.variant, base);
    if (trigger != StartTrigger::kFirstRecord) {
      dormant_.push_back({{hypothesis.id, hypothesis.variant}, trigger, order++});
      dormant_triggers_ |= trigger_bit(trigger);
      continue;
    }
    Runner runner{
        {hypothesis.id, hypothesis.variant}, Machine(hypothesis.variant), {}, {}, false, order++};
    runners_.push_back(std::move(runner));
  }
  if (out == nullptr) base_out_done_ = true;
}

Pass::~Pass() {
  if (helper_.joinable()) helper_.join();
}

PassResult Pass::run() {
  if (files_[kOut] != nullptr && files_[kOut]->skip_if_next(kBanner, kBannerLines))
    result_.banner_skipped = true;
  int converted = 0;
  while ((converted = trace_.read_record(fields_)) > 0) {
    ++records_;
    last_converted_ = converted;
    if (!dormant_.empty()) wake_dormant();
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

void Pass::run_base(int converted) {
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

void Pass::run_runners() {
  for (Runner& runner : runners_) {
    runner.printed.clear();
    if (!runner.stopped)
      runner.stopped = runner.machine.run_record(fields_, runner.printed) == RecordResult::kStopped;
  }
  // In lockstep a candidate is compared with pagesim's own events, which
  // matched their file.
  const bool base_matched = base_running_ && !windows_[kLog].active();
  compare_runners(kLog, base_matched);
  if (files_[kOut] != nullptr) compare_runners(kOut, base_running_ && !windows_[kOut].active());
  drop_dead();
}

void Pass::open_window(File file) {
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

bool Pass::window_match(File file, std::string_view text, uint64_t& cursor, size_t* failed,
                        bool* unterminated) {
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

TheirLine Pass::their_line(File file, uint64_t cursor) {
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

void Pass::compare_base_log(std::string_view events, int converted) {
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
  difference.pagesim_line = std::string(events.substr(failed, events.find('\n', failed) - failed));
  difference.theirs = their_line(kLog, base_cursor_[kLog]);
  fill_scene(before_, history_, records_, fields_, converted,
             trace_.locate(trace_.scanner().record_offset()), difference.reference, result_.scene);
  const EventLine theirs = parse_event_line(difference.theirs.text);
  if (!difference.theirs.ended && theirs.complete && theirs.record >= records_ - 60 &&
      theirs.record <= records_ + kLookAhead && theirs.record != records_)
    want_record_ = theirs.record;
  log_done();
}

void Pass::log_done() {
  base_log_done_ = true;
  base_out_done_ = true;
  open_window(kLog);
  open_window(kOut);
}

void Pass::compare_base_messages(std::string_view messages, int converted) {
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

void Pass::end_base() {
  base_ended_ = true;
  if (!base_log_done_) {
    TheirText& log = *files_[kLog];
    const bool more =
        windows_[kLog].active() ? windows_[kLog].at(base_cursor_[kLog]) != nullptr : !log.at_end();
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

void Pass::end_base_stdout() {
  TheirText& out = *files_[kOut];
  StdoutDifference& difference = result_.out;
  const std::string totals = result_.stopped ? "" : variants::totals_text(base_.state());
  bool matched = windows_[kOut].active() ? false : out.skip_if_next(totals, count_lines(totals));
  if (!matched) {
    open_window(kOut);
    size_t failed = 0;
    matched = window_match(kOut, totals, base_cursor_[kOut], &failed, &result_.stdout_unterminated);
    if (!matched) {
      result_.stdout_differs = true;
      difference.total = static_cast<int>(count_lines(std::string_view(totals).substr(0, failed)));
      difference.pagesim_line = totals.substr(failed, totals.find('\n', failed) - failed);
      difference.theirs = their_line(kOut, base_cursor_[kOut]);
    }
  }
  if (matched) {
    const bool more =
        windows_[kOut].active() ? windows_[kOut].at(base_cursor_[kOut]) != nullptr : !out.at_end();
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

void Pass::take_other_references() {
  if (want_record_ == 0 || history_.pending_record() <= want_record_) return;
  result_.scene.other_references = history_.recent_references(want_record_);
  want_record_ = 0;
}

void Pass::count_dirty_pages_of(int32_t proc) {
  for (const variants::FrameSlot& frame : base_.state().frames) {
    if (frame.proc == proc && !frame.free && frame.dirty) ++result_.dirty_pages_released;
  }
}

void Pass::finish() {
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
  result_.stdout_carriage_returns = files_[kOut] != nullptr && files_[kOut]->saw_carriage_return();
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

}  // namespace comparison

PassResult run_comparison(TraceInput& trace, const variants::Variant& base, TheirText& their_log,
                          TheirText* their_stdout) {
  comparison::Pass pass(trace, base, their_log, their_stdout);
  return pass.run();
}
