// The candidates compared record by record once they go their own way.
#include "tools/pagediff/pass.hpp"

namespace comparison {

void Pass::compare_runners(File file, bool base_matched) {
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

uint64_t Pass::place(const Runner& runner, File file) const {
  const Follow& follow = runner.follow[file];
  if (!follow.lockstep) return follow.cursor;
  return files_[file] != nullptr ? files_[file]->lines_read() : 0;
}

void Pass::depart(Runner& runner, bool log_to_end, bool stdout_to_end) {
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

void Pass::drop_dead() {
  std::erase_if(runners_, [](const Runner& runner) { return runner.candidate.id.empty(); });
  for (File file : {kLog, kOut}) {
    if (!windows_[file].active()) continue;
    const bool base_compares = file == kLog ? !base_log_done_ : !base_out_done_;
    uint64_t lowest = base_compares ? base_cursor_[file] : UINT64_MAX;
    for (const Runner& runner : runners_) lowest = std::min(lowest, runner.follow[file].cursor);
    if (lowest != UINT64_MAX) windows_[file].release_below(lowest);
  }
}

void Pass::end_runners() {
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

}  // namespace comparison
