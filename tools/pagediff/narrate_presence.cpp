#include "tools/pagediff/narrate_parts.hpp"

namespace narration {
namespace {

// Where a page was just before the reference, in a line or two.
void where_the_page_was(const Scene& scene, int32_t proc, int32_t page, Lines& lines) {
  const PageStory* story = scene.stories.page(proc, page);
  if (story == nullptr && scene.stories.forgot_pages) return;
  const PageStory never;
  if (story == nullptr) story = &never;
  std::string sentence_start = page_name(proc, page);
  sentence_start[0] = 'P';
  if (story->frame >= 0) {
    lines.push_back(sentence_start + " had been in frame " + number(story->frame) +
                    " since record " + number(story->in_frame_since) + ".");
  } else if (story->left_frame.how == Emptied::kNever) {
    lines.push_back(sentence_start + " had not been in any frame before.");
  } else if (story->left_frame.how == Emptied::kTermination) {
    lines.push_back(sentence_start + " was in no frame: frame " + number(story->left_frame.frame) +
                    " held it until the end");
    lines.push_back("of process " + number(proc) + " at record " +
                    number(story->left_frame.record) + ", which freed the process's frames.");
  } else {
    lines.push_back(sentence_start + " was in no frame: frame " + number(story->left_frame.frame) +
                    " held it until record " + number(story->left_frame.record) + ",");
    lines.push_back("when it was evicted for " +
                    page_name(story->left_frame.proc, story->left_frame.page) + ".");
  }
  if (story->entry >= 0) {
    lines.push_back("TLB entry " + number(story->entry) + " mapped it since record " +
                    number(story->entry_since) + ".");
  } else if (story->left_tlb.how == Emptied::kReplaced) {
    lines.push_back("No TLB entry mapped it: entry " + number(story->left_tlb.entry) +
                    " was given to " + page_name(story->left_tlb.proc, story->left_tlb.page) +
                    " at record " + number(story->left_tlb.record) + ".");
  } else if (story->left_tlb.how != Emptied::kNever) {
    lines.push_back("No TLB entry mapped it: entry " + number(story->left_tlb.entry) + " was " +
                    entry_emptied_text(story->left_tlb) + ".");
  } else {
    lines.push_back("No TLB entry mapped it.");
  }
}

}  // namespace

void explain_missing_fault(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const auto proc = static_cast<int32_t>(story.pagesim.proc);
  const auto page = static_cast<int32_t>(story.pagesim.page);
  const bool their_tlb_line =
      story.theirs.kind == LineKind::kTlb && story.theirs.record == story.pagesim.record;
  where_the_page_was(scene, proc, page, lines);
  lines.push_back("So " + reference_name(scene, scene.which) + " faulted.");
  lines.push_back(their_tlb_line ? "Yours logs a TLB load for it, without a fault."
                                 : "Your next line is about a later reference.");
}

namespace {

// The earlier reference their line is about, in words; and the tables'
// moment the page's story is told at.
std::string earlier_name(const LogStory& story, Lines& lines) {
  const ReferenceFacts& facts = *story.earlier;
  lines.push_back("Your line is about " + std::string(facts.which == 0 ? "the read" : "the write") +
                  " of record " + number(facts.record) + "; just before record " +
                  number(story.scene.record) + ":");
  return std::string(facts.which == 0 ? "the read" : "the write") + " of record " +
         number(facts.record);
}

}  // namespace

void explain_extra_fault(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const ReferenceStep* step = focus_step(scene);
  const auto proc = static_cast<int32_t>(story.theirs.proc);
  const auto page = static_cast<int32_t>(story.theirs.page);
  const bool hit = story.earlier != nullptr
                       ? story.earlier->outcome == Outcome::kTlbHit
                       : step != nullptr && step->facts.outcome == Outcome::kTlbHit;
  const std::string name =
      story.earlier != nullptr ? earlier_name(story, lines) : reference_name(scene, scene.which);
  where_the_page_was(scene, proc, page, lines);
  if (hit) {
    lines.push_back("So " + name + " was a TLB hit: pagesim logged nothing.");
  } else {
    lines.push_back("So after the TLB miss of " + name + ",");
    lines.push_back("pagesim found the page by searching the frames and only loaded the TLB.");
  }
  lines.push_back("Yours faults: a fault is only for a page in no frame.");
}

void explain_missing_tlb_load(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const auto proc = static_cast<int32_t>(story.pagesim.proc);
  const auto page = static_cast<int32_t>(story.pagesim.page);
  lines.push_back("pagesim had a TLB miss on " + reference_name(scene, scene.which) + ":");
  lines.push_back("no TLB entry in use mapped " + page_name(proc, page) + ".");
  where_the_page_was(scene, proc, page, lines);
  lines.push_back("So pagesim loaded TLB entry " + number(story.pagesim.entry) +
                  " from the frame table: one TLB line, no fault.");
  lines.push_back("Your next line is about a later reference.");
}

void explain_extra_tlb_load(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const auto proc = static_cast<int32_t>(story.theirs.proc);
  const auto page = static_cast<int32_t>(story.theirs.page);
  Lines before;
  const std::string name =
      story.earlier != nullptr ? earlier_name(story, before) : reference_name(scene, scene.which);
  lines.push_back("pagesim had a TLB hit on " + name + ".");
  lines.insert(lines.end(), before.begin(), before.end());
  where_the_page_was(scene, proc, page, lines);
  lines.push_back("A hit logs nothing. Yours loads the TLB here.");
}

}  // namespace narration
