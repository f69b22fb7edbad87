#include <algorithm>

#include "tools/pagediff/narrate_parts.hpp"

namespace narration {
namespace {

using variants::Event;
using variants::EventKind;
using variants::FrameSlot;
using variants::MachineState;
using variants::TlbSlot;

// "frame 4", or "frames 5 to 19 and 0 to 2" for a run in clock order.
std::string frame_run(int32_t first, int32_t count, int32_t frames) {
  if (count == 1) return "frame " + number(first);
  const int32_t last = (first + count - 1) % frames;
  if (first <= last) return "frames " + number(first) + " to " + number(last);
  // Across the wrap: "frames 19 and 0", "frames 18 to 19 and 0 to 3".
  const std::string head =
      first == frames - 1 ? number(first) : number(first) + " to " + number(frames - 1);
  const std::string tail = last == 0 ? "0" : "0 to " + number(last);
  return "frames " + head + " and " + tail;
}

// Whether two emptyings tell the same story in the report.
bool same_story(const Emptying& a, const Emptying& b) {
  return a.how == b.how && a.record == b.record && a.proc == b.proc &&
         (a.how != Emptied::kEviction || a.frame == b.frame);
}

// The events of one kind the reference in focus logged.
std::vector<Event> events_of(const ReferenceStep* step, EventKind kind) {
  std::vector<Event> found;
  if (step == nullptr) return found;
  for (const Event& event : step->events) {
    if (event.kind == kind) found.push_back(event);
  }
  return found;
}

std::string scan_step_text(int32_t mode, int32_t frames, const Event& step) {
  std::string text = "ref " + number(step.ref) + " dirty " + number(step.dirty) + ": ";
  if (mode == 0) return text + (step.taken ? "taken" : "second chance, ref cleared");
  if (!step.taken) return text + (step.ref ? "not clean, ref cleared" : "not clean");
  if (step.ref == 0 && step.dirty == 0) return text + "clean, taken";
  return text + number(2 * frames) + " moves (two turns) without a clean frame: taken";
}

}  // namespace

void explain_tlb_entry(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const ReferenceStep* step = focus_step(scene);
  const MachineState& state = scene.before_reference;
  const auto entries = static_cast<int32_t>(state.tlb.size());
  const auto ours = static_cast<int32_t>(story.pagesim.entry);
  const auto theirs = static_cast<int32_t>(story.theirs.entry);
  // The entry this very reference's eviction emptied, as the machine reported it.
  int32_t shot_down = kNone;
  for (const Event& event : events_of(step, EventKind::kTlbShootDown)) shot_down = event.entry;
  std::vector<int32_t> empty;
  for (int32_t i = 0; i < entries; ++i) {
    if (state.tlb[i].last_use < 0 || i == shot_down) empty.push_back(i);
  }
  const bool theirs_in_range = theirs >= 0 && theirs < entries;
  const bool theirs_empty = std::find(empty.begin(), empty.end(), theirs) != empty.end();

  if (shot_down >= 0 && shot_down == ours) {
    const FrameSlot& victim = state.frames[step->frame];
    lines.push_back("pagesim evicted frame " + number(step->frame) + " for this page; it held " +
                    page_name(victim.proc, victim.logical_page) + ",");
    lines.push_back("which TLB entry " + number(shot_down) +
                    " mapped. Evicting a frame empties that entry,");
    lines.push_back("and an empty entry is taken first: entry " + number(ours) + ".");
    if (theirs_in_range) lines.push_back("Yours took entry " + number(theirs) + ".");
    return;
  }
  if (!empty.empty()) {
    lines.push_back("Empty TLB entries before this load:");
    for (size_t i = 0; i < empty.size();) {
      // Entries in a row emptied the same way: one line for them.
      size_t run = i + 1;
      const Emptying& how = scene.stories.entries[empty[i]].emptied;
      while (run < empty.size() && empty[run] == empty[run - 1] + 1 && empty[run] != shot_down &&
             empty[i] != shot_down && same_story(scene.stories.entries[empty[run]].emptied, how))
        ++run;
      const std::string which =
          run - i == 1 ? "   entry " + number(empty[i])
                       : "   entries " + number(empty[i]) + " to " + number(empty[run - 1]);
      const std::string why =
          empty[i] == shot_down
              ? "emptied by this very fault's eviction of frame " + number(step->frame)
              : entry_emptied_text(how);
      lines.push_back(which + ": " + why);
      i = run;
    }
    lines.push_back("pagesim takes the lowest empty entry: entry " + number(ours) + ".");
    if (theirs_in_range) {
      const TlbSlot& entry = state.tlb[theirs];
      lines.push_back("Yours took entry " + number(theirs) +
                      (theirs_empty
                           ? ", also empty."
                           : ", in use for " + page_name(entry.proc, entry.logical_page) + "."));
    }
    return;
  }
  lines.push_back("Every TLB entry was in use, so pagesim replaced the least recently used");
  lines.push_back("one. last_use is the count of references at an entry's last load or hit:");
  for (int32_t i = 0; i < entries; ++i) {
    const TlbSlot& entry = state.tlb[i];
    const EntryStory& entry_story = scene.stories.entries[i];
    lines.push_back("   entry " + number(i) + ": " + page_name(entry.proc, entry.logical_page) +
                    ", loaded at record " + number(entry_story.loaded_at) +
                    ", last used at record " + number(entry_story.used_at) + " (last_use " +
                    number(entry.last_use) + ")");
  }
  lines.push_back("pagesim took entry " + number(ours) + ", the least recently used.");
  if (theirs_in_range) {
    lines.push_back("Yours took entry " + number(theirs) + ", last used at record " +
                    number(scene.stories.entries[theirs].used_at) + ".");
  }
}

void explain_free_frame(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const MachineState& state = scene.before_reference;
  const auto frames = static_cast<int32_t>(state.frames.size());
  const auto ours = static_cast<int32_t>(story.pagesim.frame);
  const auto theirs = static_cast<int32_t>(story.theirs.frame);
  const bool theirs_in_range = theirs >= 0 && theirs < frames;
  const bool theirs_free = theirs_in_range && state.frames[theirs].free;
  lines.push_back("Free frames before this fault:");
  for (int32_t f = 0; f < frames; ++f) {
    if (!state.frames[f].free) continue;
    int32_t run = 1;
    const Emptying& how = scene.stories.frames[f].freed;
    while (f + run < frames && state.frames[f + run].free &&
           same_story(scene.stories.frames[f + run].freed, how))
      ++run;
    const std::string why = how.how == Emptied::kNever
                                ? "free since the start"
                                : "freed by the end of process " + number(how.proc) +
                                      " at record " + number(how.record);
    lines.push_back("   " + frame_run(f, run, frames) + ": " + why);
    f += run - 1;
  }
  lines.push_back("A page goes into the lowest free frame while any is free: frame " +
                  number(ours) + ".");
  if (!theirs_in_range) return;
  const FrameSlot& frame = state.frames[theirs];
  lines.push_back("Yours used frame " + number(theirs) +
                  (theirs_free
                       ? ", also free."
                       : ", which held " + page_name(frame.proc, frame.logical_page) + "."));
}

void explain_victim_frame(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const Stories& stories = scene.stories;
  const MachineState& state = scene.before_reference;
  const int32_t mode = scene.variant.mode;
  const auto frames = static_cast<int32_t>(state.frames.size());
  const auto ours = static_cast<int32_t>(story.pagesim.frame);
  const auto theirs = static_cast<int32_t>(story.theirs.frame);
  const bool theirs_in_range = theirs >= 0 && theirs < frames;
  const std::vector<Event> steps = events_of(focus_step(scene), EventKind::kScanStep);
  const int32_t hand = state.clock_hand;
  lines.push_back(std::string("No frame was free: pagesim chose a victim by the clock (mode ") +
                  (mode == 0 ? "0, second chance)." : "1, clean first)."));
  std::string where = "The hand stood at frame " + number(hand);
  if (stories.last_eviction_record > 0) {
    where += ", one past frame " + number(stories.last_eviction_frame) + ", the victim at record " +
             number(stories.last_eviction_record);
  } else {
    where += ", where it starts";
  }
  lines.push_back(where + ".");
  if (stories.free_faults_since_eviction == 1) {
    lines.push_back(std::string("The fault into a free frame ") +
                    (stories.last_eviction_record > 0 ? "since then" : "so far") + " (record " +
                    number(stories.last_free_fault_record) + ") did not move it.");
  } else if (stories.free_faults_since_eviction > 1) {
    lines.push_back(
        "The " + number(stories.free_faults_since_eviction) + " faults into free frames " +
        (stories.last_eviction_record > 0 ? "since then" : "so far") + " (the last at record " +
        number(stories.last_free_fault_record) + ") did not move it.");
  }
  if (mode == 1) {
    lines.push_back("Clean first takes the first frame with ref 0 and dirty 0, clearing ref bits");
    lines.push_back("as it passes; after " + number(2 * frames) +
                    " moves it takes the frame it stands on.");
  }
  lines.push_back("The scan from the hand:");
  for (size_t i = 0; i < steps.size();) {
    size_t run = i + 1;
    const std::string text = scan_step_text(mode, frames, steps[i]);
    const int turn = steps[i].moves / frames;
    while (run < steps.size() && scan_step_text(mode, frames, steps[run]) == text &&
           steps[run].moves / frames == turn)
      ++run;
    const std::string turn_note = mode == 1 && turn > 0 ? " (turn " + number(turn + 1) + ")" : "";
    lines.push_back("   " + frame_run(steps[i].frame, static_cast<int32_t>(run - i), frames) +
                    turn_note + ": " + text);
    i = run;
  }
  if (ours >= 0 && ours < frames) {
    const FrameSlot& victim = state.frames[ours];
    lines.push_back("pagesim took frame " + number(ours) + " (it held " +
                    page_name(victim.proc, victim.logical_page) + ").");
  }
  if (theirs_in_range) lines.push_back("Yours took frame " + number(theirs) + ".");
}

}  // namespace narration
