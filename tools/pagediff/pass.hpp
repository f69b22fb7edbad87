// The one pass's parts: pagesim's machine with what it keeps, the candidate
// machines beside it, and the windows on the user's files they share.
// Internal to the comparison pass: run_comparison is the way in.
#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "tools/pagediff/candidate_start.hpp"
#include "tools/pagediff/comparison_pass.hpp"
#include "tools/pagediff/history.hpp"
#include "tools/pagediff/line_window.hpp"
#include "tools/pagediff/printed_events.hpp"
#include "variants/machine.hpp"
#include "variants/text.hpp"

namespace comparison {

using variants::Event;
using variants::EventKind;
using variants::Machine;
using variants::RecordResult;

enum File { kLog = 0, kOut = 1 };

inline uint64_t count_lines(std::string_view text) {
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
  size_t order = 0;  ///< place in the catalogue: ties are reported in this order
};

// A candidate not started yet: until a record with its trigger, its machine
// would be pagesim's, step for step.
struct Dormant {
  Candidate candidate;
  StartTrigger trigger;
  size_t order;
};

class Pass {
 public:
  Pass(TraceInput& trace, const variants::Variant& base, TheirText& log, TheirText* out);

  ~Pass();
  Pass(const Pass&) = delete;
  Pass& operator=(const Pass&) = delete;

  PassResult run();

 private:
  void run_base(int converted);

  void run_runners();

  // Before pagesim runs the next record: every dormant candidate whose
  // trigger the record has starts from pagesim's state, in step with the
  // running ones. Once pagesim has departed from their files, a dormant
  // candidate (its lines pagesim's) has departed with it and is dropped.
  void wake_dormant();

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

  bool batching() const;

  void keep_for_batch();

  // Runs runners [first, last) over `batch`, each until it parts.
  void run_batch(const Batch& batch, size_t first, size_t last, std::vector<Parting>& partings);

  // The filling batch is full: the helper takes it, pagesim fills the other.
  void seal_batch();

  // Waits for the helper's batch and settles how its candidates parted.
  // Returns false when some left lockstep and every kept record was run.
  bool wait_helper();

  // Runs every kept record: the helper's batch, then the filling one.
  void flush_batch();

  // The kept records from record `index` of batch `from` on, in order: the
  // rest of that batch and, when it is the helper's, all of the filling one.
  template <class Visit>
  void for_kept(int from, size_t index, Visit&& visit) const {
    for (size_t i = index; i < batches_[from].used; ++i) visit(batches_[from].records[i]);
    if (from != filling_)
      for (size_t i = 0; i < batches_[filling_].used; ++i) visit(batches_[filling_].records[i]);
  }

  // Their text from a kept record on: pagesim's, which matched it.
  std::string their_text_from(File file, int from, size_t index) const;

  bool rest_matches(File file, int from, size_t index, const std::string& text);

  // A candidate that parted where pagesim printed nothing may still give
  // their lines: those go on from there on their own; the others depart.
  // Returns false when the window opened: every kept record has then run.
  bool settle_partings(const std::vector<Parting>& partings, int from);

  // The rare candidates that gave their lines where pagesim printed none:
  // the window opens where the first of them parted, seeded with pagesim's
  // matched lines since, and every candidate runs the kept records left.
  void catch_up_rare(const std::vector<std::pair<size_t, size_t>>& rare, int from);

  void run_in_window(Runner& runner, const BatchRecord& record);

  void compare_in_window(Runner& runner);

  // Starts comparing line by line from where the file stands: every
  // candidate still in lockstep goes on from there on its own.
  void open_window(File file);

  // Whether `text` (whole lines) is next in `file` at `cursor`; moves the
  // cursor past what matched. `failed` gets the index in `text` of the line
  // that did not match.
  bool window_match(File file, std::string_view text, uint64_t& cursor, size_t* failed = nullptr,
                    bool* unterminated = nullptr);

  TheirLine their_line(File file, uint64_t cursor);

  void compare_base_log(std::string_view events, int converted);

  // pagesim's log has departed or ended: the rest of the comparison is the
  // candidates'.
  void log_done();

  void compare_base_messages(std::string_view messages, int converted);

  // pagesim's run has ended (the trace's end, or the inconsistency stop).
  void end_base();

  void end_base_stdout();

  void compare_runners(File file, bool base_matched);

  // Where a candidate stands in a file: its own cursor, or pagesim's place.
  uint64_t place(const Runner& runner, File file) const;

  void depart(Runner& runner, bool log_to_end = false, bool stdout_to_end = false);

  void drop_dead();

  void end_runners();

  void take_other_references();

  void count_dirty_pages_of(int32_t proc);

  void finish();

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
  std::vector<Dormant> dormant_;
  TriggerSet dormant_triggers_ = 0;  ///< the triggers the dormant wait for
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

}  // namespace comparison
