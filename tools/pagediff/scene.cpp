#include "tools/pagediff/scene.hpp"

#include <algorithm>

#include "tools/pagediff/tables_text.hpp"
#include "variants/text.hpp"

namespace {

// Takes a copy of the machine's state at the first step of one reference.
class ReferenceWatch final : public variants::EventSink {
 public:
  ReferenceWatch(const variants::Machine& machine, int which, variants::MachineState& state)
      : machine_(machine), which_(which), state_(state) {}
  void on_event(const variants::Event& event) override {
    if (event.which == which_ && !taken_) {
      state_ = machine_.state();
      taken_ = true;
    }
  }

 private:
  const variants::Machine& machine_;
  int which_;
  variants::MachineState& state_;
  bool taken_ = false;
};

}  // namespace

void fill_scene(const variants::Machine& before, const History& history, int64_t record,
                const int32_t fields[kRecordFields], int converted, TextPosition position,
                int which, Scene& scene) {
  scene.found = true;
  scene.record = record;
  std::copy(fields, fields + kRecordFields, scene.fields);
  scene.converted = converted;
  scene.position = position;
  scene.termination = fields[1] == 0;
  scene.variant = before.variant();
  scene.before_record = scene.before_reference = before.state();
  scene.tables_before = tables_text(before.state());
  scene.which = which;
  // The record once more on a copy, to see the machine between its references.
  variants::Machine again = before;
  if (which >= 0) {
    ReferenceWatch watch(again, which, scene.before_reference);
    again.run_record(fields, watch);
  } else {
    variants::NullSink none;
    again.run_record(fields, none);
  }
  const std::vector<variants::Event>& events = history.pending();
  Stories all = history.stories();
  scene.steps = apply_record(events, record, -1, before.state(), again.state(), all);
  scene.stories = history.stories();
  if (which >= 0) apply_record(events, record, which, before.state(), again.state(), scene.stories);
  // A difference in the record's second reference is told from the machine
  // after its first: the tables shown are those.
  scene.tables_after_first =
      which >= 0 && !scene.steps.empty() && scene.steps.front().facts.which != which;
  if (scene.tables_after_first) scene.tables_before = tables_text(scene.before_reference);
  for (ReferenceStep& step : scene.steps) {
    variants::TextSink text;
    for (const variants::Event& event : step.events) text.on_event(event);
    step.text = text.event_log;
  }
}
