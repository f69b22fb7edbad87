#include "tools/pagediff/replay.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

bool frame_holds(const Frame& frame, int32_t proc, int32_t page) {
  return !frame.free && frame.proc == proc && frame.logical_page == page;
}

int32_t mapping_entry(const TlbEntry (&tlb)[kTlbEntries], int32_t proc, int32_t page) {
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    if (tlb[i].last_use >= 0 && tlb[i].proc == proc && tlb[i].logical_page == page) return i;
  }
  return kEmpty;
}

Replay::~Replay() {
  if (fd_ >= 0) ::close(fd_);
}

bool Replay::start(const std::string& trace_path, int32_t mode) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(trace_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  scanner_.attach(fd_);
  start_engine(mode);
  std::fill(std::begin(fields_), std::end(fields_), 0);
  stories_ = Stories{};
  entries_in_use_ = 0;
  return true;
}

void Replay::follow(int32_t proc, int32_t page) {
  if (stories_.page(proc, page) != nullptr) return;
  PageStory story;
  story.proc = proc;
  story.page = page;
  stories_.pages.push_back(story);
}

const PageStory* Stories::page(int32_t proc, int32_t page) const {
  for (const PageStory& story : pages) {
    if (story.proc == proc && story.page == page) return &story;
  }
  return nullptr;
}

bool Replay::read_record() {
  converted_ = scanner_.read_record(fields_);
  if (converted_ == 0) return false;
  ++sim.record_number;
  return true;
}

ReferenceStep Replay::run_reference(int which) {
  ReferenceStep step;
  step.facts = reference(which, step.entry, step.frame, &step.events, &step.messages);
  return step;
}

void Replay::pass_reference(int which) {
  int32_t entry = kEmpty, frame = kEmpty;
  reference(which, entry, frame, nullptr, nullptr);
}

uint32_t Replay::entries_in_use() {
  uint32_t in_use = 0;
  for (int32_t i = 0; i < kTlbEntries; ++i) in_use |= uint32_t{sim.tlb[i].last_use >= 0} << i;
  return in_use;
}

ReferenceFacts Replay::reference(int which, int32_t& entry, int32_t& frame, std::string* events,
                                 int* messages) {
  const int64_t misses = sim.tlb_misses, faults = sim.page_faults;
  const uint32_t free_before = sim.free_frame_mask;
  translate(fields_[0], fields_[1 + which], which);

  const std::string_view text = take_events();
  const std::string_view console = take_messages();
  if (events != nullptr) *events = text;
  if (messages != nullptr)
    *messages = static_cast<int>(std::count(console.begin(), console.end(), '\n'));
  // Every reference stamps the entry it hit or loaded with the clock.
  const int64_t record = sim.record_number;
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    if (sim.tlb[i].last_use == sim.reference_clock) entry = i;
  }
  const TlbEntry& used = sim.tlb[entry];
  frame = used.physical_page;
  ReferenceFacts facts{record, which, used.proc, used.logical_page, Outcome::kTlbHit};
  EntryStory& used_story = stories_.entries[entry];
  used_story.used_at = record;
  if (sim.tlb_misses != misses) {
    facts.outcome = sim.page_faults == faults ? Outcome::kTlbLoad
                    : free_before != 0        ? Outcome::kFreeFrameFault
                                              : Outcome::kEviction;
    used_story.loaded_at = record;
    used_story.loaded_clock = sim.reference_clock;
    // An entry that went out of use without being loaded again was shot down.
    const uint32_t in_use = entries_in_use();
    const uint32_t emptied = entries_in_use_ & ~in_use;
    for (int32_t i = 0; i < kTlbEntries; ++i) {
      if (emptied >> i & 1)
        stories_.entries[i].emptied = {Emptied::kEviction,       record, facts.proc, facts.page,
                                       sim.tlb[i].physical_page, i};
    }
    entries_in_use_ = in_use;
  }
  if (facts.outcome == Outcome::kFreeFrameFault || facts.outcome == Outcome::kEviction)
    stories_.frames[frame].loaded_at = record;
  if (facts.outcome == Outcome::kEviction) {
    stories_.last_eviction_record = record;
    stories_.last_eviction_frame = frame;
    stories_.free_faults_since_eviction = 0;
  } else if (facts.outcome == Outcome::kFreeFrameFault) {
    ++stories_.free_faults_since_eviction;
    stories_.last_free_fault_record = record;
    stories_.last_free_fault_frame = frame;
  }
  if (!stories_.pages.empty()) update_pages(&facts, frame);
  return facts;
}

void Replay::run_termination() {
  const uint32_t free_before = sim.free_frame_mask;
  const int32_t proc = fields_[0];
  release_process(proc);
  (void)take_events();
  (void)take_messages();
  ++stories_.terminations;
  const int64_t record = sim.record_number;
  stories_.last_termination_record = record;
  stories_.last_termination_proc = proc;
  const uint32_t in_use = entries_in_use();
  for (int32_t i = 0; i < kTlbEntries; ++i) {
    if ((entries_in_use_ & ~in_use) >> i & 1)
      stories_.entries[i].emptied = {Emptied::kTermination, record, proc, kEmpty, kEmpty, i};
  }
  entries_in_use_ = in_use;
  for (int32_t f = 0; f < kFrames; ++f) {
    if ((sim.free_frame_mask & ~free_before) >> f & 1)
      stories_.frames[f].freed = {Emptied::kTermination, record, proc, kEmpty, f, kEmpty};
  }
  update_pages(nullptr, kEmpty);
}

std::vector<ReferenceStep> Replay::run_record() {
  std::vector<ReferenceStep> steps;
  if (is_termination_record()) {
    run_termination();
    return steps;
  }
  steps.push_back(run_reference(0));
  steps.push_back(run_reference(1));
  return steps;
}

void Replay::pass_record() {
  if (is_termination_record()) {
    run_termination();
    return;
  }
  pass_reference(0);
  pass_reference(1);
}

void Replay::update_pages(const ReferenceFacts* facts, int32_t frame) {
  const int64_t record = sim.record_number;
  const bool evicted = facts != nullptr && facts->outcome == Outcome::kEviction;
  for (PageStory& story : stories_.pages) {
    if (story.frame >= 0 && !frame_holds(sim.frames[story.frame], story.proc, story.page)) {
      story.left_frame =
          evicted
              ? Emptying{Emptied::kEviction, record, facts->proc, facts->page, story.frame, kEmpty}
              : Emptying{Emptied::kTermination, record, story.proc, kEmpty, story.frame, kEmpty};
      story.frame = kEmpty;
    }
    if (story.frame < 0 && facts != nullptr && facts->proc == story.proc &&
        facts->page == story.page && frame >= 0 &&
        frame_holds(sim.frames[frame], story.proc, story.page)) {
      story.frame = frame;
      story.in_frame_since = record;
    }
    if (story.entry >= 0 && mapping_entry(sim.tlb, story.proc, story.page) != story.entry) {
      const TlbEntry& now = sim.tlb[story.entry];
      const int32_t entry = story.entry;
      if (facts == nullptr) {
        story.left_tlb = {Emptied::kTermination, record, story.proc, kEmpty, kEmpty, entry};
      } else if (evicted && story.entry_frame == frame) {
        story.left_tlb = {Emptied::kEviction, record, facts->proc, facts->page, frame, entry};
      } else {
        story.left_tlb = {Emptied::kReplaced, record, now.proc, now.logical_page, kEmpty, entry};
      }
      story.entry = kEmpty;
    }
    if (story.entry < 0) {
      story.entry = mapping_entry(sim.tlb, story.proc, story.page);
      if (story.entry >= 0) {
        story.entry_since = record;
        story.entry_frame = sim.tlb[story.entry].physical_page;
      }
    }
  }
}
