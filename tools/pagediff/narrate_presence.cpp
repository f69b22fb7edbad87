#include "tools/pagediff/narrate_parts.hpp"

namespace narration {
namespace {

// Where a page was just before the reference, in a line or two.
void where_the_page_was(const Scene& scene, int32_t proc, int32_t page, Lines& lines) {
  const PageStory* story = scene.stories.page(proc, page);
  if (story == nullptr) return;
  const std::string name = page_name(proc, page);
  std::string sentence_start = name;
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

// An entry in use for the same page of another process, or -1.
int32_t entry_of_other_process(const MachineState& state, int32_t proc, int32_t page) {
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& entry = state.tlb[i];
    if (entry.last_use >= 0 && entry.logical_page == page && entry.proc != proc) return i;
  }
  return kEmpty;
}

}  // namespace

void explain_missing_fault(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const auto proc = static_cast<int32_t>(story.pagesim.proc);
  const auto page = static_cast<int32_t>(story.pagesim.page);
  const PageStory* page_story = scene.stories.page(proc, page);
  const int32_t other = entry_of_other_process(scene.before_reference, proc, page);
  const bool their_tlb_line =
      story.theirs.kind == LineKind::kTlb && story.theirs.record == story.pagesim.record;
  if (page_story != nullptr && page_story->left_frame.how == Emptied::kTermination) {
    lines.push_back("Likely cause: your program kept the pages of process " + number(proc) +
                    " after it ended");
    lines.push_back("at record " + number(page_story->left_frame.record) +
                    "; a termination frees every frame of the process.");
  } else if (!their_tlb_line && other >= 0) {
    lines.push_back("Likely cause: your TLB matched entry " + number(other) + ", which maps " +
                    page_name(scene.before_reference.tlb[other].proc, page) + ":");
    lines.push_back("an entry serves only its own process.");
  } else if (page_story != nullptr && page_story->left_frame.how == Emptied::kEviction) {
    lines.push_back(
        "Likely cause: your program still had the page that pagesim evicted at record " +
        number(page_story->left_frame.record) + ".");
  }
  where_the_page_was(scene, proc, page, lines);
  lines.push_back("So " + reference_name(scene, scene.which) + " faulted.");
  lines.push_back(their_tlb_line ? "Yours logs a TLB load: your program found the page in a frame."
                                 : "Your next line is about a later reference: your program found");
  if (!their_tlb_line) lines.push_back("the page in its TLB.");
}

void explain_extra_fault(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const ReferenceStep* step = focus_step(scene);
  const auto proc = static_cast<int32_t>(story.theirs.proc);
  const auto page = static_cast<int32_t>(story.theirs.page);
  const bool hit = step != nullptr && step->facts.outcome == Outcome::kTlbHit;
  if (hit) {
    lines.push_back("Likely cause: your program did not find the page its TLB should map.");
  } else {
    lines.push_back("Likely cause: after a TLB miss your program does not search the frames.");
  }
  where_the_page_was(scene, proc, page, lines);
  if (hit) {
    lines.push_back("So " + reference_name(scene, scene.which) +
                    " was a TLB hit: pagesim logged nothing.");
  } else {
    lines.push_back("So after the TLB miss of " + reference_name(scene, scene.which) + ",");
    lines.push_back("pagesim found the page by searching the frames and only loaded the TLB.");
  }
  lines.push_back("Yours faults: a fault is only for a page in no frame.");
}

void explain_missing_tlb_load(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const auto proc = static_cast<int32_t>(story.pagesim.proc);
  const auto page = static_cast<int32_t>(story.pagesim.page);
  const int32_t other = entry_of_other_process(scene.before_reference, proc, page);
  if (other >= 0) {
    lines.push_back("Likely cause: your TLB matched entry " + number(other) + ", which maps " +
                    page_name(scene.before_reference.tlb[other].proc, page) + ":");
    lines.push_back("an entry serves only its own process.");
  } else {
    lines.push_back("Likely cause: your TLB still mapped a page that pagesim's no longer did.");
  }
  lines.push_back("pagesim had a TLB miss on " + reference_name(scene, scene.which) + ":");
  lines.push_back("no TLB entry in use mapped " + page_name(proc, page) + ".");
  where_the_page_was(scene, proc, page, lines);
  lines.push_back("So pagesim loaded TLB entry " + number(story.pagesim.entry) +
                  " from the frame table: one TLB line, no fault.");
  lines.push_back("Your next line is about a later reference: your program had a TLB hit here.");
}

void explain_extra_tlb_load(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const Stories& stories = scene.stories;
  const auto proc = static_cast<int32_t>(story.theirs.proc);
  const auto page = static_cast<int32_t>(story.theirs.page);
  const PageStory* page_story = stories.page(proc, page);
  const int64_t since = page_story != nullptr ? page_story->entry_since : 0;
  if (stories.last_termination_record > since && stories.last_termination_proc != proc) {
    lines.push_back("Likely cause: in your program the end of process " +
                    number(stories.last_termination_proc) + " at record " +
                    number(stories.last_termination_record));
    lines.push_back(
        "emptied this entry too; a termination empties only its own process's "
        "entries.");
  } else if (stories.last_eviction_record > since) {
    lines.push_back("Likely cause: in your program the eviction at record " +
                    number(stories.last_eviction_record) + " emptied this entry too;");
    lines.push_back("an eviction empties only the entry of the evicted page.");
  } else {
    lines.push_back("Likely cause: your program missed the TLB entry that maps this page.");
  }
  lines.push_back("pagesim had a TLB hit on " + reference_name(scene, scene.which) + ".");
  where_the_page_was(scene, proc, page, lines);
  lines.push_back("A hit logs nothing. Yours loads the TLB here.");
}

}  // namespace narration
