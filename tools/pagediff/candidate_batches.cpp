// The candidates in lockstep with pagesim, run in batches on a second
// thread, and those that part where pagesim printed nothing.
#include <system_error>

#include "tools/pagediff/pass.hpp"

namespace comparison {

bool Pass::batching() const {
  return base_running_ && !runners_.empty() && !windows_[kLog].active() &&
         !windows_[kOut].active() && !result_.stopped;
}

void Pass::keep_for_batch() {
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

void Pass::run_batch(const Batch& batch, size_t first, size_t last,
                     std::vector<Parting>& partings) {
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

void Pass::seal_batch() {
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

bool Pass::wait_helper() {
  if (helper_batch_ < 0) return true;
  if (helper_.joinable()) helper_.join();
  if (helper_failure_) std::rethrow_exception(helper_failure_);
  const int done = helper_batch_;
  helper_batch_ = -1;
  return settle_partings(helper_partings_, done);
}

void Pass::flush_batch() {
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
      // Joined however this thread's half ends: a running thread must not
      // be destroyed, even while an exception leaves.
      struct Joiner {
        std::thread& thread;
        ~Joiner() {
          if (thread.joinable()) thread.join();
        }
      } joiner{helper};
      run_batch(batch, 0, half, partings);
    } catch (const std::system_error&) {
      if (threaded) throw;
    }
  }
  if (failure) std::rethrow_exception(failure);
  if (!threaded) run_batch(batch, 0, runners_.size(), partings);
  settle_partings(partings, filling_);
  batches_[filling_].used = 0;
}

std::string Pass::their_text_from(File file, int from, size_t index) const {
  std::string text;
  for_kept(from, index, [&](const BatchRecord& record) {
    text += file == kLog ? record.pagesim.log_text() : record.pagesim.console_text();
  });
  return text;
}

bool Pass::rest_matches(File file, int from, size_t index, const std::string& text) {
  const std::string kept = their_text_from(file, from, index);
  if (text.size() <= kept.size()) return kept.compare(0, text.size(), text) == 0;
  return text.compare(0, kept.size(), kept) == 0 &&
         files_[file]->next_is(std::string_view(text).substr(kept.size()));
}

bool Pass::settle_partings(const std::vector<Parting>& partings, int from) {
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

void Pass::catch_up_rare(const std::vector<std::pair<size_t, size_t>>& rare, int from) {
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

void Pass::run_in_window(Runner& runner, const BatchRecord& record) {
  if (runner.candidate.id.empty()) return;
  runner.printed.clear();
  if (!runner.stopped)
    runner.stopped =
        runner.machine.run_record(record.fields, runner.printed) == RecordResult::kStopped;
  compare_in_window(runner);
}

void Pass::compare_in_window(Runner& runner) {
  for (File file : {kLog, kOut}) {
    if (files_[file] == nullptr || runner.candidate.id.empty()) continue;
    const std::string text =
        file == kLog ? runner.printed.log_text() : runner.printed.console_text();
    if (!window_match(file, text, runner.follow[file].cursor)) depart(runner);
  }
}

}  // namespace comparison
