#include "tools/pagediff/history.hpp"

namespace {

using variants::Event;
using variants::EventKind;

uint64_t page_key(int32_t proc, int32_t page) {
  return static_cast<uint64_t>(static_cast<uint32_t>(proc)) << 32 | static_cast<uint32_t>(page);
}

// Pages followed at most; past it, those out of both tables are dropped.
constexpr size_t kMostPages = 1 << 16;

bool is_placed(int32_t proc, int32_t page) {
  return proc >= 0 && proc < Stories::kPlaced && page >= 0 && page < Stories::kPlaced;
}

PageStory& story_of(Stories& stories, int32_t proc, int32_t page) {
  return stories.story_of(proc, page);
}

PageStory* page_with_entry(Stories& stories, int32_t entry) {
  const uint64_t key = stories.entry_pages[static_cast<size_t>(entry)];
  if (key == UINT64_MAX) return nullptr;
  PageStory& story = stories.story_of(static_cast<int32_t>(key >> 32), static_cast<int32_t>(key));
  return story.entry == entry ? &story : nullptr;
}

// A record's termination, told by what it freed.
void apply_termination(int32_t proc, int64_t record, const variants::MachineState& before,
                       const variants::MachineState& after, Stories& stories) {
  ++stories.terminations;
  stories.last_termination_record = record;
  stories.last_termination_proc = proc;
  for (size_t i = 0; i < before.tlb.size() && i < after.tlb.size(); ++i) {
    if (before.tlb[i].last_use < 0 || after.tlb[i].last_use >= 0) continue;
    const auto entry = static_cast<int32_t>(i);
    stories.entries[i].emptied = {Emptied::kTermination, record, proc, kNone, kNone, entry};
    if (PageStory* page = page_with_entry(stories, entry)) {
      page->left_tlb = {Emptied::kTermination, record, proc, kNone, kNone, entry};
      page->entry = kNone;
    }
  }
  for (size_t f = 0; f < before.frames.size() && f < after.frames.size(); ++f) {
    if (before.frames[f].free || !after.frames[f].free) continue;
    const auto frame = static_cast<int32_t>(f);
    stories.frames[f].freed = {Emptied::kTermination, record, proc, kNone, frame, kNone};
    PageStory& page = story_of(stories, before.frames[f].proc, before.frames[f].logical_page);
    page.left_frame = {Emptied::kTermination, record, proc, kNone, frame, kNone};
    page.frame = kNone;
  }
}

}  // namespace

const PageStory* Stories::page(int32_t proc, int32_t page) const {
  if (is_placed(proc, page)) {
    const PageStory& story = placed[static_cast<size_t>(proc * kPlaced + page)];
    return story.known ? &story : nullptr;
  }
  const auto found = pages.find(page_key(proc, page));
  return found == pages.end() ? nullptr : &found->second;
}

PageStory& Stories::story_of(int32_t proc, int32_t page) {
  if (is_placed(proc, page)) {
    PageStory& story = placed[static_cast<size_t>(proc * kPlaced + page)];
    story.known = true;
    return story;
  }
  if (pages.size() >= kMostPages) {
    // Pages out of both tables are forgotten first.
    std::erase_if(pages,
                  [](const auto& item) { return item.second.frame < 0 && item.second.entry < 0; });
    forgot_pages = true;
  }
  PageStory& story = pages[page_key(proc, page)];
  story.known = true;
  return story;
}

std::vector<ReferenceStep> apply_record(const std::vector<Event>& events, int64_t record, int which,
                                        const variants::MachineState& before,
                                        const variants::MachineState& after, Stories& stories) {
  std::vector<ReferenceStep> steps;
  apply_into(events, record, which, before, after, stories, steps, true);
  return steps;
}

void apply_into(const std::vector<Event>& events, int64_t record, int which,
                const variants::MachineState& before, const variants::MachineState& after,
                Stories& stories, std::vector<ReferenceStep>& steps, bool keep_events) {
  steps.clear();
  bool evicted = false;
  int32_t evicted_frame = kNone;
  for (const Event& event : events) {
    // A reference's first step may be its bad-page message; the shoot-down
    // of an eviction belongs to the reference that evicts.
    if (event.which >= 0 && (steps.empty() || steps.back().facts.which != event.which)) {
      if (which >= 0 && event.which == which) break;
      ReferenceStep step;
      step.facts = {record, event.which, event.proc, event.page, Outcome::kTlbHit};
      steps.push_back(step);
      evicted = false;
    }
    if (event.kind == EventKind::kRelease) {
      if (which < 0) apply_termination(event.proc, record, before, after, stories);
      continue;
    }
    if (steps.empty()) continue;
    ReferenceStep& step = steps.back();
    ReferenceFacts& facts = step.facts;
    if (keep_events) step.events.push_back(event);
    switch (event.kind) {
      case EventKind::kTlbHit:
        stories.entries[event.entry].used_at = record;
        step.entry = event.entry;
        step.frame = event.frame;
        break;
      case EventKind::kTlbMiss:
        facts.outcome = Outcome::kTlbLoad;
        break;
      case EventKind::kFrameHit:
        step.frame = event.frame;
        break;
      case EventKind::kEviction: {
        evicted = true;
        evicted_frame = event.frame;
        stories.last_eviction_record = record;
        stories.last_eviction_frame = event.frame;
        stories.free_faults_since_eviction = 0;
        PageStory& old = story_of(stories, event.old_proc, event.old_page);
        old.left_frame = {Emptied::kEviction, record, facts.proc, facts.page, event.frame, kNone};
        old.frame = kNone;
        break;
      }
      case EventKind::kPageFault: {
        facts.outcome = evicted ? Outcome::kEviction : Outcome::kFreeFrameFault;
        stories.frames[event.frame].loaded_at = record;
        if (!evicted) {
          ++stories.free_faults_since_eviction;
          stories.last_free_fault_record = record;
          stories.last_free_fault_frame = event.frame;
        }
        PageStory& page = story_of(stories, event.proc, event.page);
        page.frame = event.frame;
        page.in_frame_since = record;
        step.frame = event.frame;
        break;
      }
      case EventKind::kTlbLoad: {
        stories.entries[event.entry].loaded_at = record;
        stories.entries[event.entry].used_at = record;
        step.entry = event.entry;
        if (PageStory* old = page_with_entry(stories, event.entry)) {
          old->left_tlb = {Emptied::kReplaced, record, event.proc, event.page, kNone, event.entry};
          old->entry = kNone;
        }
        PageStory& page = story_of(stories, event.proc, event.page);
        page.entry = event.entry;
        stories.entry_pages[static_cast<size_t>(event.entry)] = page_key(event.proc, event.page);
        page.entry_since = record;
        page.entry_frame = event.frame;
        break;
      }
      case EventKind::kTlbShootDown: {
        const Emptying how{Emptied::kEviction, record,        facts.proc,
                           facts.page,         evicted_frame, event.entry};
        stories.entries[event.entry].emptied = how;
        if (PageStory* old = page_with_entry(stories, event.entry)) {
          old->left_tlb = how;
          old->entry = kNone;
        }
        break;
      }
      case EventKind::kBadPage:
        ++step.messages;
        break;
      default:
        break;
    }
  }
}

History::History(const variants::Geometry& geometry) {
  stories_.entries.resize(static_cast<size_t>(geometry.tlb_entries));
  stories_.frames.resize(static_cast<size_t>(geometry.frames));
  stories_.entry_pages.assign(static_cast<size_t>(geometry.tlb_entries), UINT64_MAX);
}

void History::settle(const variants::MachineState& before, const variants::MachineState& after,
                     int64_t next_record) {
  if (!pending_.empty()) {
    apply_into(pending_, record_, -1, before, after, stories_, steps_, false);
    for (const ReferenceStep& step : steps_) {
      recent_.push_back(step.facts);
      if (recent_.size() > 128) recent_.pop_front();
    }
    pending_.clear();
  }
  record_ = next_record;
}

std::vector<ReferenceFacts> History::recent_references(int64_t record) const {
  std::vector<ReferenceFacts> facts;
  for (const ReferenceFacts& reference : recent_) {
    if (reference.record == record) facts.push_back(reference);
  }
  return facts;
}
