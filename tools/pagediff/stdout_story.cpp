#include "tools/pagediff/stdout_story.hpp"

#include <cctype>

#include "tools/pagediff/event_line.hpp"
#include "tools/pagediff/narrate.hpp"
#include "tools/trace_findings.hpp"

namespace {

using Lines = std::vector<std::string>;

std::string number(int64_t value) {
  return std::to_string(value);
}

bool is_message(const std::string& line) {
  std::string lower;
  for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("bad frame") != std::string::npos;
}

// The words of a line without its numbers and spacing: "therewerepagefaults".
std::string words_of(const std::string& line) {
  std::string words;
  for (char c : line) {
    if (std::isalpha(static_cast<unsigned char>(c)))
      words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return words;
}

const char* const kTotalNames[4] = {"steps", "TLB misses", "page faults", "dirty pages written"};

int64_t pagesim_total(const PassResult& pass, int total) {
  const int64_t values[4] = {pass.records, pass.tlb_misses, pass.page_faults, pass.dirty_writes};
  return values[total];
}

void explain_total(const StdoutStory& story, Lines& lines) {
  const StdoutDifference& difference = story.pass.out;
  const PassResult& pass = story.pass;
  const int total = difference.total;
  const int64_t ours = pagesim_total(pass, total);
  const int64_t theirs = parse_event_line(difference.theirs.text).numbers.at(0);
  const Scene& scene = story.scene;
  lines.push_back("The " + std::string(kTotalNames[total]) + " total differs: pagesim " +
                  number(ours) + ", yours " + number(theirs) + ".");
  switch (total) {
    case 0:
      lines.push_back("pagesim counts every record it reads, terminations and a partial last");
      lines.push_back("record included.");
      if (scene.last_record_partial) {
        lines.push_back(
            "The last record, " + number(scene.records) + ", is partial: " +
            partial_record_text(scene.last_converted, scene.last_fields, scene.records == 1));
      }
      if (scene.stop == ScanStop::kNotANumber || scene.stop == ScanStop::kOutOfRange) {
        lines.push_back(trace_place(story.trace_path, scene.stop_position) + "after record " +
                        number(scene.records) + ": " + stop_text(scene.stop, scene.stop_word));
      }
      break;
    case 1:
    case 2:
      lines.push_back("Every " + std::string(total == 1 ? "TLB miss" : "page fault") + " is one " +
                      (total == 1 ? "TLB" : "Page Fault") +
                      " line of the log, and your log matched");
      lines.push_back("pagesim's: your program logs them right but counts them wrong.");
      break;
    default:
      lines.push_back("A victim counts when its dirty bit is set. Pages freed by a termination");
      lines.push_back("(" + number(pass.dirty_pages_released) +
                      " dirty here) and pages still dirty " + "at the end (" +
                      number(pass.dirty_pages_at_end) + ") do not.");
      break;
  }
}

void explain_messages(const StdoutStory& story, Lines& lines) {
  const StdoutDifference& difference = story.pass.out;
  const PassResult& pass = story.pass;
  const int32_t pages = story.scene.variant.geometry.pages_per_process;
  lines.push_back("pagesim prints \"" + std::string(kBadFrameMessage) +
                  "\" at every check of a page outside");
  lines.push_back("0.." + number(pages - 1) +
                  ": in the TLB search, again in the frame search after a miss, and");
  lines.push_back("again when the fault is served. The reference goes on with the page.");
  lines.push_back("pagesim prints " + number(pass.messages) + " in all, for " +
                  number(pass.bad_references) +
                  (pass.bad_references == 1 ? " reference" : " references") + "; yours prints " +
                  number(story.their_messages) + ".");
  if (!pass.messages_by_page.empty()) {
    std::string by_page = "pagesim's by page:";
    for (const auto& [page, count] : pass.messages_by_page)
      by_page += " page " + number(page) + ": " + number(count) + ",";
    by_page.back() = '.';
    lines.push_back(by_page);
  }
  if (difference.total != StdoutDifference::kMessage) {
    lines.push_back("Yours prints more before the totals.");
    return;
  }
  const Scene& scene = story.scene;
  lines.push_back("pagesim's line here is its message " + number(difference.message_number) +
                  ", for record " + number(difference.message_record) + ":");
  for (const ReferenceStep& step : scene.steps) {
    if (step.messages == 0) continue;
    lines.push_back("   " + reference_name(scene, step.facts.which) + ", page " +
                    number(step.facts.page) + ": " + number(step.messages) +
                    (step.messages == 1 ? " message" : " messages"));
  }
}

}  // namespace

DiffKind classify_stdout(const StdoutDifference& difference) {
  const TheirLine& theirs = difference.theirs;
  if (theirs.ended) return DiffKind::kEndsEarly;
  if (difference.total == StdoutDifference::kAfterEnd)
    return is_message(theirs.text) ? DiffKind::kMessages : DiffKind::kEndsLate;
  const bool same_numbers =
      parse_event_line(difference.pagesim_line).numbers == parse_event_line(theirs.text).numbers;
  if (difference.total == StdoutDifference::kMessage)
    return is_message(theirs.text) ? DiffKind::kText : DiffKind::kMessages;
  if (is_message(theirs.text)) return DiffKind::kMessages;
  if (same_numbers) return DiffKind::kText;
  const bool one_number = parse_event_line(theirs.text).numbers.size() == 1;
  if (one_number && words_of(theirs.text) == words_of(difference.pagesim_line))
    return DiffKind::kTotals;
  return DiffKind::kOther;
}

std::vector<std::string> explain_stdout(const StdoutStory& story) {
  Lines lines;
  const StdoutDifference& difference = story.pass.out;
  switch (story.kind) {
    case DiffKind::kTotals:
      explain_total(story, lines);
      break;
    case DiffKind::kMessages:
      explain_messages(story, lines);
      break;
    case DiffKind::kText:
      lines.push_back("The numbers agree; the words or spacing differ,");
      lines.push_back(word_difference(difference.pagesim_line, difference.theirs.text) + ".");
      break;
    case DiffKind::kEndsEarly:
      lines.push_back("Your standard output ends here; pagesim's goes on.");
      lines.push_back("pagesim prints the " + std::string(kBadFrameMessage) +
                      " lines, then four totals.");
      break;
    case DiffKind::kEndsLate:
      lines.push_back("pagesim's standard output ends after its four totals; yours goes on.");
      break;
    default:
      lines.push_back("pagesim prints only \"" + std::string(kBadFrameMessage) +
                      "\" lines, then four totals.");
      break;
  }
  return lines;
}
