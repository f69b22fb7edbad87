// pagesim's bytes from the model's events: the event log, the console
// messages, the inconsistency report and the totals, in pagesim's words.
#pragma once

#include <string>

#include "variants/events.hpp"
#include "variants/machine.hpp"

namespace variants {

/// Collects the text a run writes, by stream. The caller takes and clears
/// the strings as it compares them.
class TextSink final : public EventSink {
 public:
  void on_event(const Event& event) override;
  std::string event_log;  ///< "TLB: ..." and "Page Fault: ..." lines (out.txt)
  std::string console;    ///< "Error, bad frame number" lines (standard output)
  std::string errors;     ///< the two inconsistency lines (standard error)
};

/// The four totals pagesim prints at the end of a run that was not stopped;
/// the first is state.steps.
std::string totals_text(const MachineState& state);

}  // namespace variants
