#include "tools/pagediff/report.hpp"

#include <vector>

#include "tools/pagediff/classify.hpp"
#include "tools/pagediff/event_line.hpp"
#include "tools/pagediff/narrate.hpp"
#include "tools/trace_findings.hpp"
#include "tools/pagediff/scene.hpp"
#include "tools/pagediff/stdout_story.hpp"

namespace {

// Records after pagesim's at which their line's record is still looked up.
constexpr int64_t kLookAhead = 1000;

std::string number(int64_t value) {
  return std::to_string(value);
}

// "1 line of ", "5 lines of ".
std::string lines_of(uint64_t count) {
  return number(static_cast<int64_t>(count)) + (count == 1 ? " line of " : " lines of ");
}

void add_lines(std::string& report, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) report += line + "\n";
}

bool fits_int32(int64_t value) {
  return value >= INT32_MIN && value <= INT32_MAX;
}

// "record 3 is data.txt:3:1: 7 3000 3100 (process 7 reads 3000, writes 3100)",
// and tracecheck's line when the record is partial.
std::string record_lines(const Options& options, const Scene& scene) {
  if (!scene.found && scene.record == 0) return "the trace has no records\n";
  if (!scene.found) return "the trace has no record " + number(scene.record) + "\n";
  const int32_t* f = scene.fields;
  std::string text = "record " + number(scene.record) + " is " +
                     trace_place(options.trace, scene.position) + number(f[0]) + " " +
                     number(f[1]) + " " + number(f[2]);
  text += scene.termination ? " (process " + number(f[0]) + " ends: its first address is 0)\n"
                            : " (process " + number(f[0]) + " reads " + number(f[1]) + ", writes " +
                                  number(f[2]) + ")\n";
  if (scene.converted < kRecordFields) {
    text +=
        trace_place(options.trace, scene.position) + "record " + number(scene.record) +
        " is partial: " + partial_record_text(scene.converted, scene.fields, scene.record == 1) +
        "\n";
  }
  return text;
}

// The tables just before the record and the events pagesim logged for it.
std::string state_lines(const Scene& scene) {
  if (!scene.found) return "";
  std::string text =
      "pagesim's tables just before record " + number(scene.record) + ":\n" + scene.tables_before;
  std::string events;
  for (const ReferenceStep& step : scene.steps) {
    for (size_t start = 0; start < step.events.size();) {
      const size_t end = step.events.find('\n', start);
      events += "   " + step.events.substr(start, end - start) + "\n";
      start = end + 1;
    }
  }
  if (events.empty()) {
    text += "pagesim logged nothing for record " + number(scene.record) +
            (scene.termination ? " (a termination).\n" : " (TLB hits).\n");
  } else {
    text += "pagesim logged for record " + number(scene.record) + ":\n" + events;
  }
  return text;
}

std::string notes(const Options& options, const PassResult& pass) {
  std::string text;
  if (pass.log_carriage_returns)
    text += "Note: " + options.their_log + " ends lines with CR LF; compared without the CR.\n";
  if (pass.stdout_carriage_returns)
    text += "Note: " + options.their_stdout + " ends lines with CR LF; compared without the CR.\n";
  if (pass.log_unterminated)
    text += "Note: the last line of " + options.their_log + " has no line feed.\n";
  if (pass.stdout_unterminated)
    text += "Note: the last line of " + options.their_stdout + " has no line feed.\n";
  return text;
}

bool log_report(const Options& options, const PassResult& pass, std::string& report) {
  const LogDifference& difference = pass.log;
  const EventLine ours =
      difference.pagesim_ended ? EventLine{} : parse_event_line(difference.pagesim_line);
  const EventLine theirs =
      difference.theirs.ended ? EventLine{} : parse_event_line(difference.theirs.text);
  SceneRequest request;
  request.record = difference.record;
  request.which = difference.reference;
  if (theirs.complete && theirs.record >= 1 && theirs.record <= difference.record + kLookAhead)
    request.other_record = theirs.record;
  if (ours.complete)
    request.follow.emplace_back(static_cast<int32_t>(ours.proc), static_cast<int32_t>(ours.page));
  if (theirs.complete && fits_int32(theirs.proc) && fits_int32(theirs.page))
    request.follow.emplace_back(static_cast<int32_t>(theirs.proc),
                                static_cast<int32_t>(theirs.page));
  request.read_to_end =
      difference.pagesim_ended || difference.theirs.ended || difference.theirs.cut;
  Scene scene;
  if (!build_scene(options.trace, options.mode, request, scene)) return false;

  LinePair pair;
  pair.pagesim_ended = difference.pagesim_ended;
  pair.pagesim = ours;
  pair.pagesim_position = difference.position;
  if (difference.reference >= 0 && difference.reference < static_cast<int>(scene.steps.size()))
    pair.pagesim_reference = scene.steps[difference.reference].facts;
  pair.their_ended = difference.theirs.ended;
  pair.their_line_cut = difference.theirs.cut;
  pair.same_numbers = !pair.pagesim_ended && !pair.their_ended && ours.numbers == theirs.numbers;
  pair.their_line_is_prefix = difference.pagesim_line.compare(0, difference.theirs.text.size(),
                                                              difference.theirs.text) == 0;
  pair.theirs = theirs;
  pair.their_record_references = scene.other_references;
  const DiffKind kind = classify(pair);

  // An extra load or fault is about an earlier reference of theirs: explain
  // the machine as it stood there.
  Scene their_scene;
  const Scene* focus = &scene;
  const ReferenceFacts* reference = their_reference(pair);
  if ((kind == DiffKind::kExtraTlbLoad || kind == DiffKind::kExtraPageFault) &&
      reference != nullptr &&
      (reference->record != difference.record || reference->which != difference.reference)) {
    SceneRequest their_request;
    their_request.record = reference->record;
    their_request.which = reference->which;
    their_request.follow.emplace_back(reference->proc, reference->page);
    if (!build_scene(options.trace, options.mode, their_request, their_scene)) return false;
    focus = &their_scene;
  }

  report = options.their_log + ":" + number(static_cast<int64_t>(difference.theirs.number)) +
           ": record " + number(difference.record) + ": " + kind_name(kind) + "\n";
  report +=
      "pagesim: " + (difference.pagesim_ended ? "(its log has ended)" : difference.pagesim_line) +
      "\n";
  report +=
      "yours:   " + (difference.theirs.ended ? "(your log has ended)" : difference.theirs.text) +
      (difference.theirs.cut ? "   (no line feed: the file ends here)" : "") + "\n";
  report += record_lines(options, scene);
  if (focus != &scene) report += record_lines(options, *focus);
  report += "\n";
  add_lines(report,
            explain_log({kind, options.mode, options.trace, ours, theirs, difference, *focus}));
  const std::string state = state_lines(*focus);
  if (!state.empty()) report += "\n" + state;
  report += "\n" + lines_of(pass.log_lines_matched) + options.their_log + " matched " +
            (difference.pagesim_ended ? "(all of pagesim's log).\n" : "before this one.\n");
  if (!options.their_stdout.empty())
    report += options.their_stdout + " was not compared: the logs differ.\n";
  report += notes(options, pass);
  return true;
}

// Their lines that are pagesim's message, read through once more.
bool count_their_messages(const std::string& path, int64_t& count) {
  static TheirText text;
  if (!text.open(path)) return false;
  std::string line;
  bool line_feed = false;
  count = 0;
  while (text.next_line(line, line_feed)) count += line == kBadFrameMessage ? 1 : 0;
  return !text.failed();
}

bool stdout_report(const Options& options, const PassResult& pass, std::string& report,
                   std::string& unreadable) {
  const StdoutDifference& difference = pass.out;
  const DiffKind kind = classify_stdout(difference);
  SceneRequest request;
  if (difference.total == StdoutDifference::kMessage) {
    request.record = difference.message_record;
  } else {
    request.record = pass.records;
    request.read_to_end = true;
  }
  Scene scene;
  if (!build_scene(options.trace, options.mode, request, scene)) return false;
  int64_t their_messages = 0;
  if (!count_their_messages(options.their_stdout, their_messages)) {
    unreadable = options.their_stdout;
    return false;
  }

  report = options.their_stdout + ":" + number(static_cast<int64_t>(difference.theirs.number)) +
           ": " + kind_name(kind) + "\n";
  report += "pagesim: " +
            (difference.total == StdoutDifference::kAfterEnd ? "(its output has ended)"
                                                             : difference.pagesim_line) +
            "\n";
  report +=
      "yours:   " + (difference.theirs.ended ? "(your output has ended)" : difference.theirs.text) +
      "\n";
  if (difference.total == StdoutDifference::kMessage) report += record_lines(options, scene);
  report += "\n";
  add_lines(report, explain_stdout({kind, options.trace, pass, scene, their_messages}));
  report += "\nThe logs match: " + lines_of(pass.log_lines_matched) + options.their_log + ".\n";
  report += notes(options, pass);
  return true;
}

}  // namespace

std::string match_report(const Options& options, const PassResult& pass) {
  std::string text = "no difference: " + lines_of(pass.log_lines_matched) + options.their_log +
                     (pass.log_lines_matched == 1 ? " matches" : " match");
  if (!options.their_stdout.empty()) text += ", and " + options.their_stdout;
  if (pass.log_carriage_returns || pass.stdout_carriage_returns)
    text += " (lines ending in CR LF compared without the CR)";
  return text + "\n";
}

bool difference_report(const Options& options, const PassResult& pass, std::string& report,
                       std::string& unreadable) {
  unreadable = options.trace;
  return pass.log_differs ? log_report(options, pass, report)
                          : stdout_report(options, pass, report, unreadable);
}
