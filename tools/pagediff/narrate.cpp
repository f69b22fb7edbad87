#include "tools/pagediff/narrate.hpp"

#include <algorithm>

#include "tools/pagediff/narrate_parts.hpp"
#include "tools/trace_findings.hpp"
#include "tools/visible_bytes.hpp"

namespace narration {

std::string number(int64_t value) {
  return std::to_string(value);
}

// "1 record", "2 records".
std::string count_of(int64_t count, const std::string& thing) {
  return number(count) + " " + thing + (count == 1 ? "" : "s");
}

std::string entry_emptied_text(const Emptying& emptying) {
  switch (emptying.how) {
    case Emptied::kNever:
      return "empty since the start";
    case Emptied::kTermination:
      return "emptied by the end of process " + number(emptying.proc) + " at record " +
             number(emptying.record);
    case Emptied::kEviction:
      return "emptied when frame " + number(emptying.frame) + " was evicted at record " +
             number(emptying.record);
    case Emptied::kReplaced:
      break;
  }
  return "replaced at record " + number(emptying.record);
}

// The reference of the scene and what pagesim did on it.
const ReferenceStep* focus_step(const Scene& scene) {
  if (scene.which < 0 || scene.which >= static_cast<int>(scene.steps.size())) return nullptr;
  return &scene.steps[scene.which];
}

}  // namespace narration

using namespace narration;

namespace {

void explain_page_number(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const variants::Geometry& geometry = scene.variant.geometry;
  const int which = std::max(scene.which, 0);
  const int64_t ours = story.pagesim.page, theirs = story.theirs.page;
  lines.push_back("pagesim's page for " + reference_name(scene, which) + " is " + number(ours) +
                  ":");
  lines.push_back("the address divided by " + number(geometry.page_size) +
                  ", truncated toward zero as C's / does. Yours is " + number(theirs) + ".");
  if (ours < 0 || ours >= geometry.pages_per_process) {
    lines.push_back("The page is outside 0.." + number(geometry.pages_per_process - 1) +
                    ": pagesim prints \"Error, bad frame number\"");
    lines.push_back("and goes on with that page as it is.");
  }
}

void explain_record_number(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const int64_t ours = story.pagesim.record;
  const int64_t terminations = scene.stories.terminations;
  lines.push_back("pagesim numbers each line with the count of records read so far:");
  lines.push_back("this is record " + number(ours) + ", which starts at line " +
                  number(static_cast<int64_t>(scene.position.line)) + ", column " +
                  number(static_cast<int64_t>(scene.position.column)) + " of " + story.trace_path +
                  ".");
  if (terminations > 0)
    lines.push_back("The records before it include " +
                    count_of(terminations, "termination record") + " (first address 0).");
}

void explain_ends_early(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const LogDifference& difference = story.difference;
  if (difference.theirs.cut) lines.push_back("Your log stops inside a line: it has no line feed.");
  lines.push_back("Your log ends here; pagesim's goes on with this line, for record " +
                  number(difference.record) + ".");
  lines.push_back("pagesim reads " + count_of(scene.records, "record") + " in all.");
  if (scene.last_record_partial && scene.records > 0)
    lines.push_back("The last record, " + number(scene.records) + ", is partial; pagesim runs it.");
}

void explain_ends_late(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const bool stopped = scene.stop == ScanStop::kNotANumber || scene.stop == ScanStop::kOutOfRange;
  lines.push_back("pagesim's log ends here: pagesim reads " + count_of(scene.records, "record") +
                  ".");
  if (stopped) {
    lines.push_back(trace_place(story.trace_path, scene.stop_position) + "after record " +
                    number(scene.records) + ": " + stop_text(scene.stop, scene.stop_word));
    lines.push_back("pagesim stops there without a word, and ignores the rest of the file.");
  }
  if (story.stopped)
    lines.push_back("pagesim stopped at record " + number(scene.records) +
                    ": its tables contradicted themselves (the inconsistency stop).");
  if (story.theirs.complete) {
    lines.push_back("Your line is for record " + number(story.theirs.record) + ".");
    if (story.theirs.record > scene.records && !story.stopped)
      lines.push_back("The trace has no record " + number(story.theirs.record) +
                      ": was your log made from another trace?");
  }
}

}  // namespace

std::string page_name(int64_t proc, int64_t page) {
  return "page " + number(page) + " of process " + number(proc);
}

std::string trace_place(const std::string& trace_path, const TextPosition& position) {
  return trace_path + ":" + number(static_cast<int64_t>(position.line)) + ":" +
         number(static_cast<int64_t>(position.column)) + ": ";
}

std::string reference_name(const Scene& scene, int which) {
  if (which < 0) return "record " + number(scene.record);
  return std::string(which == 0 ? "the read" : "the write") + " of record " + number(scene.record) +
         " (address " + number(scene.fields[1 + which]) + ")";
}

std::string word_difference(std::string_view ours, std::string_view theirs) {
  size_t column = 0;
  while (column < ours.size() && column < theirs.size() && ours[column] == theirs[column]) ++column;
  // From the start of the word the difference falls in.
  while (column > 0 && ours[column - 1] != ' ' && ours[column - 1] != '\t') --column;
  auto word_at = [column](std::string_view text) -> std::string {
    if (column >= text.size()) return "the end of the line";
    size_t end = column;
    while (end < text.size() && end - column < 20 &&
           (end == column || (text[end] != ' ' && text[end] != '\t')))
      ++end;
    std::string word(text.substr(column, end - column));
    if (word == " ") return "a space";
    if (word == "\t") return "a tab";
    if (word == "\r") return "a carriage return";
    return "\"" + visible_bytes(word) + "\"";
  };
  return "from column " + number(static_cast<int64_t>(column + 1)) + ": pagesim has " +
         word_at(ours) + ", yours " + word_at(theirs);
}

std::vector<std::string> explain_log(const LogStory& story) {
  Lines lines;
  switch (story.kind) {
    case DiffKind::kText:
      lines.push_back("The numbers agree; the words or spacing differ,");
      lines.push_back(word_difference(story.difference.pagesim_line, story.difference.theirs.text) +
                      ".");
      lines.push_back("Tools that compare outputs byte for byte see this as a difference.");
      break;
    case DiffKind::kRecordNumber:
      explain_record_number(story, lines);
      break;
    case DiffKind::kPageNumber:
      explain_page_number(story, lines);
      break;
    case DiffKind::kTlbEntry:
      explain_tlb_entry(story, lines);
      break;
    case DiffKind::kFreeFrame:
      explain_free_frame(story, lines);
      break;
    case DiffKind::kVictimFrame:
      explain_victim_frame(story, lines);
      break;
    case DiffKind::kMissingPageFault:
      explain_missing_fault(story, lines);
      break;
    case DiffKind::kExtraPageFault:
      explain_extra_fault(story, lines);
      break;
    case DiffKind::kMissingTlbLoad:
      explain_missing_tlb_load(story, lines);
      break;
    case DiffKind::kExtraTlbLoad:
      explain_extra_tlb_load(story, lines);
      break;
    case DiffKind::kEndsEarly:
      explain_ends_early(story, lines);
      break;
    case DiffKind::kEndsLate:
      explain_ends_late(story, lines);
      break;
    case DiffKind::kTotals:
    case DiffKind::kMessages:
    case DiffKind::kOther:
      if (!story.difference.theirs.ended && story.theirs.kind == LineKind::kUnknown) {
        lines.push_back("Your line is neither a TLB line nor a Page Fault line: pagesim's log");
        lines.push_back("has only those two kinds. Does your program log other text there?");
        break;
      }
      lines.push_back("pagesim's tables below show the state it had.");
      break;
  }
  return lines;
}
