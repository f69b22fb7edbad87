#include <algorithm>

#include "memory/victim_scan.hpp"
#include "tools/pagediff/narrate_parts.hpp"

namespace narration {
namespace {

// "frame 4", or "frames 5 to 19 and 0 to 2" for a run in clock order.
std::string frame_run(int32_t first, int32_t count) {
  if (count == 1) return "frame " + number(first);
  const int32_t last = (first + count - 1) % kFrames;
  if (first <= last) return "frames " + number(first) + " to " + number(last);
  // Across the wrap: "frames 19 and 0", "frames 18 to 19 and 0 to 3".
  const std::string head =
      first == kFrames - 1 ? number(first) : number(first) + " to " + number(kFrames - 1);
  const std::string tail = last == 0 ? "0" : "0 to " + number(last);
  return "frames " + head + " and " + tail;
}

// Whether two emptyings tell the same story in the report.
bool same_story(const Emptying& a, const Emptying& b) {
  return a.how == b.how && a.record == b.record && a.proc == b.proc &&
         (a.how != Emptied::kEviction || a.frame == b.frame);
}

// Runs `look` on the machine as it stood just before the reference, then
// puts back the machine the replay left.
template <class Look>
auto at_reference(const Scene& scene, Look&& look) {
  const MachineState now = save_machine();
  restore_machine(scene.before_reference);
  auto result = look();
  restore_machine(now);
  return result;
}

// Where the clock scan would stop if it started at `hand`.
int32_t victim_from(const Scene& scene, int32_t hand) {
  return at_reference(scene, [hand] {
    sim.clock_hand = hand;
    return scan_for_victim([](const ScanStep&) {});
  });
}

// Where the scan of mode `mode` would stop, from the hand.
int32_t victim_in_mode(const Scene& scene, int32_t mode) {
  return at_reference(scene, [mode] {
    sim.replacement_mode = mode;
    return scan_for_victim([](const ScanStep&) {});
  });
}

std::string scan_step_text(int32_t mode, const ScanStep& step) {
  std::string text = "ref " + number(step.ref) + " dirty " + number(step.dirty) + ": ";
  if (mode == 0) return text + (step.taken ? "taken" : "second chance, ref cleared");
  if (!step.taken) return text + (step.ref ? "not clean, ref cleared" : "not clean");
  if (step.ref == 0 && step.dirty == 0) return text + "clean, taken";
  return text + number(kCleanFirstMaxMoves) + " moves (two turns) without a clean frame: taken";
}

}  // namespace

void explain_tlb_entry(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const ReferenceStep* step = focus_step(scene);
  const MachineState& state = scene.before_reference;
  const auto ours = static_cast<int32_t>(story.pagesim.entry);
  const auto theirs = static_cast<int32_t>(story.theirs.entry);
  // The entry an eviction empties is emptied by the model itself, on a copy.
  int32_t shot_down = kEmpty;
  if (step != nullptr && step->facts.outcome == Outcome::kEviction) {
    shot_down = at_reference(scene, [step] {
      TlbEntry before[kTlbEntries];
      std::copy(std::begin(sim.tlb), std::end(sim.tlb), before);
      const Frame& victim = sim.frames[step->frame];
      shoot_down_tlb(victim.proc, victim.logical_page);
      for (int32_t i = 0; i < kTlbEntries; ++i) {
        if (before[i].last_use >= 0 && sim.tlb[i].last_use < 0) return i;
      }
      return kEmpty;
    });
  }
  std::vector<int32_t> empty;
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    if (state.tlb[i].last_use < 0 || i == shot_down) empty.push_back(i);
  }
  const bool theirs_in_range = theirs >= 0 && theirs < kTlbEntries;
  const bool theirs_empty = std::find(empty.begin(), empty.end(), theirs) != empty.end();

  if (shot_down >= 0 && shot_down == ours) {
    const Frame& victim = state.frames[step->frame];
    if (!theirs_empty) {
      lines.push_back("Likely cause: your program does not empty the TLB entry of an");
      lines.push_back("evicted page, or does not take that empty entry first.");
    }
    lines.push_back("pagesim evicted frame " + number(step->frame) + " for this page; it held " +
                    page_name(victim.proc, victim.logical_page) + ",");
    lines.push_back("which TLB entry " + number(shot_down) +
                    " mapped. Evicting a frame empties that entry,");
    lines.push_back("and an empty entry is taken first: entry " + number(ours) + ".");
    if (!theirs_in_range) return;
    int32_t least_recent = shot_down == 0 ? 1 : 0;
    for (int32_t i = 0; i < kTlbEntries; ++i) {
      if (i != shot_down && state.tlb[i].last_use < state.tlb[least_recent].last_use)
        least_recent = i;
    }
    lines.push_back("Yours took entry " + number(theirs) +
                    (theirs == least_recent ? ", the least recently used of the others." : "."));
    return;
  }
  if (!empty.empty()) {
    if (theirs_empty && theirs > ours) {
      lines.push_back("Likely cause: your program does not take the lowest empty entry first.");
    } else if (theirs_in_range && !theirs_empty) {
      lines.push_back("Likely cause: your program replaced an entry while one was empty.");
    }
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
      const TlbEntry& entry = state.tlb[theirs];
      lines.push_back("Yours took entry " + number(theirs) +
                      (theirs_empty
                           ? ", also empty."
                           : ", in use for " + page_name(entry.proc, entry.logical_page) + "."));
    }
    return;
  }
  // Every entry in use: least recently used.
  int32_t loaded_first = 0;
  for (int32_t i = 1; i < kTlbEntries; ++i) {
    if (scene.stories.entries[i].loaded_clock < scene.stories.entries[loaded_first].loaded_clock)
      loaded_first = i;
  }
  const bool refreshed_elsewhere =
      theirs == loaded_first &&
      state.tlb[theirs].last_use > scene.stories.entries[theirs].loaded_clock;
  if (refreshed_elsewhere) {
    lines.push_back("Likely cause: a TLB hit does not count as a use in your program.");
  } else if (theirs_in_range) {
    lines.push_back("Likely cause: your program does not replace the least recently used entry.");
  }
  lines.push_back("Every TLB entry was in use, so pagesim replaced the least recently used");
  lines.push_back("one. last_use is the count of references at an entry's last load or hit:");
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& entry = state.tlb[i];
    const EntryStory& entry_story = scene.stories.entries[i];
    lines.push_back("   entry " + number(i) + ": " + page_name(entry.proc, entry.logical_page) +
                    ", loaded at record " + number(entry_story.loaded_at) +
                    ", last used at record " + number(entry_story.used_at) + " (last_use " +
                    number(entry.last_use) + ")");
  }
  lines.push_back("pagesim took entry " + number(ours) + ", the least recently used.");
  if (refreshed_elsewhere) {
    lines.push_back("Yours took entry " + number(theirs) +
                    ": loaded longest ago, but used again at record " +
                    number(scene.stories.entries[theirs].used_at) + ".");
  } else if (theirs_in_range) {
    lines.push_back("Yours took entry " + number(theirs) + ", last used at record " +
                    number(scene.stories.entries[theirs].used_at) + ".");
  }
}

void explain_free_frame(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const MachineState& state = scene.before_reference;
  const auto ours = static_cast<int32_t>(story.pagesim.frame);
  const auto theirs = static_cast<int32_t>(story.theirs.frame);
  const bool theirs_in_range = theirs >= 0 && theirs < kFrames;
  const bool theirs_free = theirs_in_range && state.frames[theirs].free;
  const Emptying& freed = scene.stories.frames[ours].freed;
  if (theirs_free) {
    lines.push_back("Likely cause: your program does not take the lowest free frame first.");
  } else if (freed.how == Emptied::kTermination) {
    lines.push_back("Likely cause: your program did not free the frames of process " +
                    number(freed.proc) + " when it");
    lines.push_back("ended at record " + number(freed.record) + ".");
  } else {
    lines.push_back("Likely cause: your program evicts while a frame is still free.");
  }
  lines.push_back("Free frames before this fault:");
  for (int32_t f = 0; f < kFrames; ++f) {
    if (!state.frames[f].free) continue;
    int32_t run = 1;
    const Emptying& how = scene.stories.frames[f].freed;
    while (f + run < kFrames && state.frames[f + run].free &&
           same_story(scene.stories.frames[f + run].freed, how))
      ++run;
    const std::string why = how.how == Emptied::kNever
                                ? "free since the start"
                                : "freed by the end of process " + number(how.proc) +
                                      " at record " + number(how.record);
    lines.push_back("   " + frame_run(f, run) + ": " + why);
    f += run - 1;
  }
  lines.push_back("A page goes into the lowest free frame while any is free: frame " +
                  number(ours) + ".");
  if (!theirs_in_range) return;
  const Frame& frame = state.frames[theirs];
  lines.push_back("Yours used frame " + number(theirs) +
                  (theirs_free
                       ? ", also free."
                       : ", which held " + page_name(frame.proc, frame.logical_page) + "."));
}

void explain_victim_frame(const LogStory& story, Lines& lines) {
  const Scene& scene = story.scene;
  const Stories& stories = scene.stories;
  const MachineState& state = scene.before_reference;
  const auto ours = static_cast<int32_t>(story.pagesim.frame);
  const auto theirs = static_cast<int32_t>(story.theirs.frame);
  const bool theirs_in_range = theirs >= 0 && theirs < kFrames;
  std::vector<ScanStep> steps = at_reference(scene, [] {
    std::vector<ScanStep> met;
    scan_for_victim([&met](const ScanStep& step) { met.push_back(step); });
    return met;
  });

  // The likely cause: a scan pagesim's model makes from another start gives
  // their frame, or their frame was passed for a bit the scan looks at.
  const int32_t hand = state.clock_hand;
  const ScanStep* their_step = nullptr;  // where pagesim's scan first met their frame
  for (const ScanStep& step : steps) {
    if (step.frame == theirs && their_step == nullptr) their_step = &step;
  }
  if (theirs_in_range) {
    if (stories.free_faults_since_eviction > 0 &&
        next_frame(stories.last_free_fault_frame) != hand &&
        victim_from(scene, next_frame(stories.last_free_fault_frame)) == theirs) {
      lines.push_back("Likely cause: your hand moved when a page went into a free frame");
      lines.push_back("(record " + number(stories.last_free_fault_record) + ", frame " +
                      number(stories.last_free_fault_frame) + "); only an eviction moves it.");
    } else if (stories.last_eviction_record > 0 && stories.last_eviction_frame != hand &&
               victim_from(scene, stories.last_eviction_frame) == theirs) {
      lines.push_back("Likely cause: your hand stays on the last victim; pagesim moves it");
      lines.push_back("one frame past it.");
    } else if (hand != 0 && victim_from(scene, 0) == theirs) {
      lines.push_back("Likely cause: your scan starts at frame 0; pagesim's starts at the hand.");
    } else if (story.mode == 1 && steps.size() > kFrames && steps[kFrames].frame == theirs) {
      // A scan that also clears dirty bits takes the first frame it meets
      // again, on its second turn.
      lines.push_back("Likely cause: your scan clears dirty bits as it passes; pagesim clears");
      lines.push_back("only ref bits, so frame " + number(theirs) +
                      " was still dirty on its second turn.");
    } else if (story.mode == 1 && victim_in_mode(scene, 0) == theirs) {
      lines.push_back("Likely cause: your scan ignores dirty bits: frame " + number(theirs) +
                      " is the second-chance");
      lines.push_back("clock's (mode 0) choice, not clean first's.");
    } else if (story.mode == 0 && their_step != nullptr && their_step->ref == 1) {
      lines.push_back("Likely cause: your scan does not give frame " + number(theirs) +
                      " its second chance:");
      lines.push_back("pagesim met it with ref 1, cleared the bit and went on.");
    }
  }
  lines.push_back(std::string("No frame was free: pagesim chose a victim by the clock (mode ") +
                  (story.mode == 0 ? "0, second chance)." : "1, clean first)."));
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
  if (story.mode == 1) {
    lines.push_back("Clean first takes the first frame with ref 0 and dirty 0, clearing ref bits");
    lines.push_back("as it passes; after " + number(kCleanFirstMaxMoves) +
                    " moves it takes the frame it stands on.");
  }
  lines.push_back("The scan from the hand:");
  for (size_t i = 0; i < steps.size();) {
    size_t run = i + 1;
    const std::string text = scan_step_text(story.mode, steps[i]);
    const int turn = steps[i].moves / kFrames;
    while (run < steps.size() && scan_step_text(story.mode, steps[run]) == text &&
           steps[run].moves / kFrames == turn)
      ++run;
    const std::string turn_note =
        story.mode == 1 && turn > 0 ? " (turn " + number(turn + 1) + ")" : "";
    lines.push_back("   " + frame_run(steps[i].frame, static_cast<int32_t>(run - i)) + turn_note +
                    ": " + text);
    i = run;
  }
  const Frame& victim = state.frames[ours];
  lines.push_back("pagesim took frame " + number(ours) + " (it held " +
                  page_name(victim.proc, victim.logical_page) + ").");
  if (theirs_in_range) lines.push_back("Yours took frame " + number(theirs) + ".");
}

}  // namespace narration
