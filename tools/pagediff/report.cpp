#include "tools/pagediff/report.hpp"

#include <vector>

#include "tools/pagediff/cause_text.hpp"
#include "tools/pagediff/classify.hpp"
#include "tools/pagediff/event_line.hpp"
#include "tools/pagediff/narrate.hpp"
#include "tools/pagediff/stdout_story.hpp"
#include "tools/trace_findings.hpp"
#include "tools/visible_bytes.hpp"

namespace {

// Bytes of a line of theirs shown at most.
constexpr size_t kShownBytes = 300;

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

// A line of theirs as the report quotes it: every byte visible, and what
// cannot be seen said.
std::string shown(const TheirLine& line, const char* ended) {
  if (line.ended) return ended;
  if (line.text.empty()) return "(an empty line)";
  std::string text = visible_bytes(line.text.substr(0, kShownBytes));
  if (line.text.size() > kShownBytes) text += "... (" + number(line.text.size()) + " bytes)";
  const char last = line.text.back();
  if (last == ' ') text += "   (ends in a blank)";
  if (last == '\t') text += "   (ends in a tab)";
  if (line.cut) text += "   (no line feed: the file ends here)";
  return text;
}

// "record 3 is data.txt:3:1: 7 3000 3100 (process 7 reads 3000, writes 3100)",
// and tracecheck's line when the record is partial.
std::string record_lines(const Options& options, const Scene& scene) {
  if (!scene.found && scene.records == 0) return "the trace has no records\n";
  if (!scene.found) return "";
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
  const std::string moment =
      scene.tables_after_first
          ? std::string(scene.which == 0 ? "the read" : "the write") + " of record "
          : "record ";
  std::string text =
      "pagesim's tables just before " + moment + number(scene.record) + ":\n" + scene.tables_before;
  std::string events;
  for (const ReferenceStep& step : scene.steps) {
    for (size_t start = 0; start < step.text.size();) {
      const size_t end = step.text.find('\n', start);
      events += "   " + step.text.substr(start, end - start) + "\n";
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

DiffKind log_kind(const PassResult& pass, EventLine& ours, EventLine& theirs) {
  const LogDifference& difference = pass.log;
  ours = difference.pagesim_ended ? EventLine{} : parse_event_line(difference.pagesim_line);
  theirs = difference.theirs.ended ? EventLine{} : parse_event_line(difference.theirs.text);
  LinePair pair;
  pair.pagesim_ended = difference.pagesim_ended;
  pair.pagesim = ours;
  pair.pagesim_position = difference.position;
  for (const ReferenceStep& step : pass.scene.steps) {
    if (step.facts.which == difference.reference) pair.pagesim_reference = step.facts;
  }
  pair.their_ended = difference.theirs.ended;
  pair.their_line_cut = difference.theirs.cut;
  pair.same_numbers = !pair.pagesim_ended && !pair.their_ended && ours.numbers == theirs.numbers;
  pair.their_line_is_prefix = difference.pagesim_line.compare(0, difference.theirs.text.size(),
                                                              difference.theirs.text) == 0;
  pair.theirs = theirs;
  pair.their_record_references = pass.scene.other_references;
  return classify(pair);
}

// How far a cause's machine went along their log, in words.
std::string reach_text(const PassResult& pass, const Candidate& candidate) {
  if (candidate.log_to_end)
    return candidate.stdout_to_end && pass.stdout_lines_matched + pass.stdout_differs > 0
               ? "to the end of your log and your standard output"
               : "to the end of your log";
  const uint64_t past = candidate.log_lines - pass.log.theirs.number;
  return "through line " + number(static_cast<int64_t>(candidate.log_lines)) + " of your log, " +
         number(static_cast<int64_t>(past)) + " lines past this one";
}

// The cause named, in the machine's terms; or plainly that none was found.
std::vector<std::string> cause_lines(const PassResult& pass, bool short_form) {
  std::vector<std::string> lines;
  const std::vector<const Candidate*> found = causes(pass);
  if (found.empty()) {
    lines.push_back("No mistake of the catalogue gives your lines here (each was run beside");
    lines.push_back("pagesim's machine): the cause is not one pagediff knows.");
    for (const Candidate* candidate : coincidences(pass)) {
      if (lines.size() >= 6) break;
      lines.push_back(candidate->id + " gives this line too but parts from your log at line " +
                      number(static_cast<int64_t>(candidate->log_lines + 1)) +
                      ": a coincidence, not the cause.");
    }
    return lines;
  }
  for (const Candidate* candidate : found) {
    if (found.size() > 1) lines.push_back(candidate->id + ":");
    for (const std::string& line : cause_paragraph(candidate->id, pass.scene.variant.mode))
      lines.push_back(line);
    if (short_form) continue;
    lines.push_back("pagesim's machine with this mistake gives your lines from the start " +
                    reach_text(pass, *candidate) + ".");
    // Where it first shows: the line that differs here is that machine's.
    const Scene& scene = pass.scene;
    if (pass.log_differs && scene.found && pass.log.reference >= 0)
      lines.push_back("It first shows at " + reference_name(scene, pass.log.reference) +
                      ", where that machine logs your line.");
  }
  return lines;
}

std::string log_head(const Options& options, const PassResult& pass, DiffKind kind) {
  const LogDifference& difference = pass.log;
  std::string head = options.their_log + ":" +
                     number(static_cast<int64_t>(difference.theirs.number)) + ": record " +
                     number(difference.record) + ": " + kind_name(kind) + "\n";
  head += cause_line(pass) + "\n";
  head +=
      "pagesim: " + (difference.pagesim_ended ? "(its log has ended)" : difference.pagesim_line) +
      "\n";
  head += "yours:   " + shown(difference.theirs, "(your log has ended)") + "\n";
  return head;
}

std::string log_report(const Options& options, const PassResult& pass) {
  EventLine ours, theirs;
  const DiffKind kind = log_kind(pass, ours, theirs);
  const LogDifference& difference = pass.log;
  const Scene& scene = pass.scene;
  std::string report = log_head(options, pass, kind);
  report += record_lines(options, scene) + "\n";
  add_lines(report, cause_lines(pass, false));
  report += "\n";
  // An extra load or fault may be about an earlier reference of pagesim's.
  LinePair pair;
  pair.theirs = theirs;
  for (const ReferenceStep& step : scene.steps) {
    if (step.facts.which == difference.reference) pair.pagesim_reference = step.facts;
  }
  pair.their_record_references = scene.other_references;
  const ReferenceFacts* reference = their_reference(pair);
  const bool earlier = (kind == DiffKind::kExtraTlbLoad || kind == DiffKind::kExtraPageFault) &&
                       reference != nullptr && reference->record != difference.record;
  add_lines(report, explain_log({kind, pass.stopped, options.trace, ours, theirs, difference, scene,
                                 earlier ? reference : nullptr}));
  const std::string state = state_lines(scene);
  if (!state.empty()) report += "\n" + state;
  report += "\n" + lines_of(pass.log_lines_matched) + options.their_log + " matched " +
            (difference.pagesim_ended ? "(all of pagesim's log).\n" : "before this one.\n");
  if (!options.their_stdout.empty())
    report +=
        options.their_stdout + " was compared only by the candidate causes: the logs differ.\n";
  return report + notes(options, pass);
}

std::string stdout_head(const Options& options, const PassResult& pass, DiffKind kind) {
  const StdoutDifference& difference = pass.out;
  std::string head = options.their_stdout + ":" +
                     number(static_cast<int64_t>(difference.theirs.number)) + ": " +
                     kind_name(kind) + "\n";
  head += cause_line(pass) + "\n";
  head += "pagesim: " +
          (difference.total == StdoutDifference::kAfterEnd ? "(its output has ended)"
                                                           : difference.pagesim_line) +
          "\n";
  head += "yours:   " + shown(difference.theirs, "(your output has ended)") + "\n";
  return head;
}

std::string stdout_report(const Options& options, const PassResult& pass) {
  const StdoutDifference& difference = pass.out;
  const DiffKind kind = classify_stdout(difference);
  std::string report = stdout_head(options, pass, kind);
  if (difference.total == StdoutDifference::kMessage) report += record_lines(options, pass.scene);
  report += "\n";
  add_lines(report, cause_lines(pass, false));
  report += "\n";
  add_lines(report, explain_stdout({kind, options.trace, pass, pass.scene, pass.their_messages}));
  report += "\nThe logs match: " + lines_of(pass.log_lines_matched) + options.their_log + ".\n";
  return report + notes(options, pass);
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

std::string location_line(const Options& options, const PassResult& pass) {
  EventLine ours, theirs;
  if (pass.log_differs) {
    const std::string head = log_head(options, pass, log_kind(pass, ours, theirs));
    return head.substr(0, head.find('\n'));
  }
  const std::string head = stdout_head(options, pass, classify_stdout(pass.out));
  return head.substr(0, head.find('\n'));
}

std::string cause_line(const PassResult& pass) {
  const std::vector<const Candidate*> found = causes(pass);
  if (found.empty()) return "cause: unknown";
  std::string line = "cause: ";
  for (const Candidate* candidate : found) line += candidate->id + ", ";
  return line.substr(0, line.size() - 2);
}

std::string difference_report(const Options& options, const PassResult& pass) {
  return pass.log_differs ? log_report(options, pass) : stdout_report(options, pass);
}

std::string difference_block(const Options& options, const PassResult& pass,
                             const Candidate* joint) {
  EventLine ours, theirs;
  std::string block = pass.log_differs ? log_head(options, pass, log_kind(pass, ours, theirs))
                                       : stdout_head(options, pass, classify_stdout(pass.out));
  if (joint == nullptr) {
    add_lines(block, cause_lines(pass, true));
    return block;
  }
  // The cause line the head holds is this pass's alone: name the joint one.
  const size_t cause_start = block.find("\ncause: ") + 1;
  const size_t cause_end = block.find('\n', cause_start);
  block.replace(cause_start, cause_end - cause_start, "cause: " + joint->id);
  add_lines(block, cause_paragraph(joint->id, pass.scene.variant.mode));
  block += "Alone it parts from your log at line " +
           number(static_cast<int64_t>(joint->log_lines + 1)) +
           ", where the next difference is; with the mistake found\nthere as well, the machine "
           "gives your lines on from the start.\n";
  return block;
}
