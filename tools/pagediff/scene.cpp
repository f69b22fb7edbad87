#include "tools/pagediff/scene.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "tools/pagediff/tables_text.hpp"

namespace {

// Holds a trace block: allocated when running, outside the stack and the
// program file.
Replay& replay = *new Replay;

void keep_facts(const std::vector<ReferenceStep>& steps, std::vector<ReferenceFacts>& facts) {
  for (const ReferenceStep& step : steps) facts.push_back(step.facts);
}

}  // namespace

bool build_scene(const std::string& trace_path, int32_t mode, const SceneRequest& request,
                 Scene& scene) {
  if (!replay.start(trace_path, mode)) return false;
  // A second descriptor: the locator reads the trace on its own, forward.
  static int locator_fd = -1;
  static LineLocator* locator = nullptr;
  if (locator_fd >= 0) ::close(locator_fd);
  delete locator;
  locator_fd = ::open(trace_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (locator_fd < 0) return false;
  locator = new LineLocator(locator_fd);
  for (const auto& [proc, page] : request.follow) replay.follow(proc, page);
  scene.record = request.record;
  scene.which = request.which;

  while (replay.read_record()) {
    const int64_t record = sim.record_number;
    if (record > request.record && record > request.other_record && !request.read_to_end) break;
    if (record == request.record) {
      scene.found = true;
      std::copy(replay.fields(), replay.fields() + kRecordFields, scene.fields);
      scene.converted = replay.converted();
      scene.position = locator->locate(replay.scanner().record_offset());
      scene.termination = replay.is_termination_record();
      scene.tables_before = tables_text();
      scene.before_record = scene.before_reference = save_machine();
      scene.stories = replay.stories();
      if (scene.termination) {
        replay.run_termination();
      } else {
        for (int which = 0; which < 2; ++which) {
          if (which == request.which) {
            scene.before_reference = save_machine();
            scene.stories = replay.stories();
          }
          scene.steps.push_back(replay.run_reference(which));
        }
      }
      if (record == request.other_record) keep_facts(scene.steps, scene.other_references);
    } else if (record == request.other_record) {
      keep_facts(replay.run_record(), scene.other_references);
    } else if (record < request.record || record < request.other_record) {
      replay.pass_record();
    }
    // Past both records the rest is only read, for the count and the stop.
    scene.last_converted = replay.converted();
    std::copy(replay.fields(), replay.fields() + kRecordFields, scene.last_fields);
  }
  const TraceScanner& scanner = replay.scanner();
  if (scanner.stop_reason() == ScanStop::kReadError) {
    errno = EIO;
    return false;
  }
  if (request.read_to_end) {
    scene.records = sim.record_number;
    scene.stop = scanner.stop_reason();
    scene.last_record_partial = scene.last_converted > 0 && scene.last_converted < kRecordFields;
    if (scene.stop == ScanStop::kNotANumber || scene.stop == ScanStop::kOutOfRange) {
      scene.stop_position = locator->locate(scanner.stop_offset());
      scene.stop_word = locator->word_at_last_offset();
    }
  }
  return true;
}
