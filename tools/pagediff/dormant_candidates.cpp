// The candidates that start late, at the first record that can make them
// differ from pagesim.
#include "tools/pagediff/pass.hpp"

namespace comparison {

void Pass::wake_dormant() {
  // A dormant candidate gives pagesim's lines: where pagesim's departed or
  // stopped, so did its, and it can be neither cause nor coincidence.
  if (!base_running_ || base_log_done_ || result_.stdout_differs || result_.stopped) {
    dormant_.clear();
    return;
  }
  const TriggerSet fired =
      record_triggers(dormant_triggers_, base_.variant(), fields_, base_.state());
  if ((fired & dormant_triggers_) == 0) return;
  // The running candidates catch up with pagesim before the new ones join.
  flush_batch();
  dormant_triggers_ = 0;
  std::erase_if(dormant_, [&](Dormant& dormant) {
    if ((fired & trigger_bit(dormant.trigger)) == 0) {
      dormant_triggers_ |= trigger_bit(dormant.trigger);
      return false;
    }
    Runner runner{
        dormant.candidate, Machine(dormant.candidate.variant, base_.state()), {}, {}, false,
        dormant.order};
    for (File file : {kLog, kOut}) {
      if (files_[file] == nullptr || !windows_[file].active()) continue;
      // Where pagesim stands in the window: the candidate's lines were its.
      runner.follow[file] = {false, base_cursor_[file]};
    }
    // In catalogue order, as if it had run from the start.
    const auto place = std::find_if(runners_.begin(), runners_.end(), [&](const Runner& other) {
      return other.order > runner.order;
    });
    runners_.insert(place, std::move(runner));
    return true;
  });
}

}  // namespace comparison
