// The story of the tables, kept from the structured events of pagesim's
// machine as the one pass runs: when and why each TLB entry and frame was
// last emptied, when entries were loaded and used, and where each page was.
// The events of a record are applied when the next record starts, so at a
// difference the stories still stand as they did before its record.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/pagediff/classify.hpp"
#include "variants/events.hpp"
#include "variants/machine.hpp"

inline constexpr int32_t kNone = -1;

/// How a TLB entry, a frame or a page was last emptied or lost.
enum class Emptied {
  kNever,        ///< empty since the start
  kTermination,  ///< the end of process `proc` at `record`
  kEviction,     ///< frame `frame` was evicted at `record`
  kReplaced,     ///< a TLB entry loaded with another mapping at `record`
};

struct Emptying {
  Emptied how = Emptied::kNever;
  int64_t record = 0;
  int32_t proc = kNone;   ///< the process that ended; for an eviction, the page's new owner
  int32_t page = kNone;   ///< for an eviction or replacement, the page that came in
  int32_t frame = kNone;  ///< the evicted frame
  int32_t entry = kNone;  ///< for a page: the TLB entry it lost
};

struct EntryStory {
  Emptying emptied;
  int64_t loaded_at = 0;  ///< record of the last load, 0: never
  int64_t used_at = 0;    ///< record of the last load or hit
};

struct FrameStory {
  Emptying freed;         ///< how it last became free
  int64_t loaded_at = 0;  ///< record of the last fault into it
};

/// Where one page of one process was.
struct PageStory {
  bool known = false;     ///< the page has been in the tables
  int32_t frame = kNone;  ///< the frame holding it, or -1
  int64_t in_frame_since = 0;
  Emptying left_frame;          ///< how it last left a frame (kNever: never did)
  int32_t entry = kNone;        ///< the TLB entry in use that maps it, or -1
  int32_t entry_frame = kNone;  ///< the frame that entry names
  int64_t entry_since = 0;
  Emptying left_tlb;  ///< how it last lost its TLB entry
};

/// One reference as the machine ran it.
struct ReferenceStep {
  ReferenceFacts facts;
  int32_t entry = kNone;                ///< the TLB entry hit or loaded
  int32_t frame = kNone;                ///< the frame it ended in
  int messages = 0;                     ///< "Error, bad frame number" lines it printed
  std::vector<variants::Event> events;  ///< every step of it, in order
  std::string text;                     ///< its event-log lines
};

struct Stories {
  std::vector<EntryStory> entries;
  std::vector<FrameStory> frames;
  /// Processes 0..63, pages 0..63 kept in place, the others by key.
  static constexpr int32_t kPlaced = 64;
  std::vector<PageStory> placed = std::vector<PageStory>(kPlaced * kPlaced);
  std::unordered_map<uint64_t, PageStory> pages;
  std::vector<uint64_t> entry_pages;  ///< per entry: the key of the page it was last loaded with
  bool forgot_pages = false;  ///< stories of pages out of the tables were dropped to save memory
  int64_t terminations = 0;
  int64_t last_termination_record = 0;  ///< 0: none yet
  int32_t last_termination_proc = kNone;
  int64_t last_eviction_record = 0;  ///< 0: no eviction yet
  int32_t last_eviction_frame = kNone;
  int64_t free_faults_since_eviction = 0;
  int64_t last_free_fault_record = 0;  ///< 0: none yet
  int32_t last_free_fault_frame = kNone;

  /// The story of a page, or null when it was never in the tables (or forgotten).
  const PageStory* page(int32_t proc, int32_t page) const;
  /// The story of a page, made known.
  PageStory& story_of(int32_t proc, int32_t page);
};

/// Applies the events of record `record` to `stories`: only those of the
/// references before `which` when `which` >= 0. `before` and `after` are the
/// machine around the whole record (a termination is read from them).
/// Returns the record's references.
std::vector<ReferenceStep> apply_record(const std::vector<variants::Event>& events, int64_t record,
                                        int which, const variants::MachineState& before,
                                        const variants::MachineState& after, Stories& stories);

/// The same into `steps`, which it empties first; the steps keep their
/// events only with `keep_events`.
void apply_into(const std::vector<variants::Event>& events, int64_t record, int which,
                const variants::MachineState& before, const variants::MachineState& after,
                Stories& stories, std::vector<ReferenceStep>& steps, bool keep_events);

class History final : public variants::EventSink {
 public:
  explicit History(const variants::Geometry& geometry);
  void on_event(const variants::Event& event) override { pending_.push_back(event); }

  /// Applies the record run last; `before` and `after` are the machine
  /// around it. Then the next events belong to record `next_record`.
  void settle(const variants::MachineState& before, const variants::MachineState& after,
              int64_t next_record);

  const Stories& stories() const { return stories_; }
  /// The events of the record not yet settled.
  const std::vector<variants::Event>& pending() const { return pending_; }
  int64_t pending_record() const { return record_; }
  /// pagesim's references of a recent record (the last 64 records kept).
  std::vector<ReferenceFacts> recent_references(int64_t record) const;

 private:
  Stories stories_;
  std::vector<variants::Event> pending_;
  int64_t record_ = 0;
  std::deque<ReferenceFacts> recent_;
  std::vector<ReferenceStep> steps_;
};
