// Runs pagesim's memory model over the trace a second time, one reference at
// a time, and keeps the story of the tables as it goes: when and why each TLB
// entry and frame was last emptied, when entries were loaded and used, where
// the hand was left, and where a few chosen pages were. The model is
// deterministic, so this run passes through exactly the states of the first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/trace_scanner.hpp"
#include "memory/constants.hpp"
#include "memory/engine.hpp"
#include "tools/pagediff/classify.hpp"

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
  int32_t proc = kEmpty;   ///< the process that ended; for an eviction, the page's new owner
  int32_t page = kEmpty;   ///< for an eviction or replacement, the page that came in
  int32_t frame = kEmpty;  ///< the evicted frame
  int32_t entry = kEmpty;  ///< for a page: the TLB entry it lost
};

struct EntryStory {
  Emptying emptied;
  int64_t loaded_at = 0;     ///< record of the last load, 0: never
  int64_t loaded_clock = 0;  ///< reference clock at that load
  int64_t used_at = 0;       ///< record of the last load or hit
};

struct FrameStory {
  Emptying freed;         ///< how it last became free
  int64_t loaded_at = 0;  ///< record of the last fault into it
};

/// Where one page of one process was, as seen after each reference.
struct PageStory {
  int32_t proc = kEmpty;
  int32_t page = kEmpty;
  int32_t frame = kEmpty;  ///< the frame holding it, or -1
  int64_t in_frame_since = 0;
  Emptying left_frame;           ///< how it last left a frame (kNever: never did)
  int32_t entry = kEmpty;        ///< the TLB entry in use that maps it, or -1
  int32_t entry_frame = kEmpty;  ///< the frame that entry names
  int64_t entry_since = 0;
  Emptying left_tlb;  ///< how it last lost its TLB entry
};

/// One reference as the replay ran it.
struct ReferenceStep {
  ReferenceFacts facts;
  int32_t entry = kEmpty;  ///< the TLB entry hit or loaded
  int32_t frame = kEmpty;  ///< the frame it ended in
  std::string events;      ///< pagesim's log lines of it
  int messages = 0;        ///< "Error, bad frame number" lines it printed
};

/// What the replay has seen so far, as it stood after the last reference.
struct Stories {
  EntryStory entries[kTlbEntries];
  FrameStory frames[kFrames];
  std::vector<PageStory> pages;         ///< the pages followed
  int64_t terminations = 0;             ///< termination records run
  int64_t last_termination_record = 0;  ///< 0: none yet
  int32_t last_termination_proc = kEmpty;
  int64_t last_eviction_record = 0;  ///< 0: no eviction yet
  int32_t last_eviction_frame = kEmpty;
  int64_t free_faults_since_eviction = 0;
  int64_t last_free_fault_record = 0;  ///< 0: none yet
  int32_t last_free_fault_frame = kEmpty;

  /// The story of a followed page, or null.
  const PageStory* page(int32_t proc, int32_t page) const;
};

class Replay {
 public:
  Replay() = default;
  ~Replay();
  Replay(const Replay&) = delete;
  Replay& operator=(const Replay&) = delete;

  /// Opens the trace and starts the model in `mode`. Returns false with
  /// errno set when the trace cannot be opened.
  bool start(const std::string& trace_path, int32_t mode);
  /// Also tells where (proc, page) is, in stories().pages.
  void follow(int32_t proc, int32_t page);

  /// Reads the next record and counts it; false at the end of the trace.
  /// The record is not run. REQUIRES: the record before has been run.
  bool read_record();
  /// Whether the record just read ends its process.
  bool is_termination_record() const { return is_termination(fields_); }
  /// Runs the read (which 0) or the write (1) of the record just read.
  /// REQUIRES: not a termination; the read before the write.
  ReferenceStep run_reference(int which);
  /// The same, keeping only the stories: no copies of the record's text.
  void pass_reference(int which);
  /// Runs the termination record just read.
  void run_termination();
  /// Runs the whole record just read; returns its references' steps.
  std::vector<ReferenceStep> run_record();
  /// Runs the whole record just read, keeping only the stories.
  void pass_record();

  const int32_t* fields() const { return fields_; }
  int converted() const { return converted_; }  ///< numbers the record had, 1..3
  const TraceScanner& scanner() const { return scanner_; }
  const Stories& stories() const { return stories_; }

 private:
  // Runs a reference and writes the stories; `events` and `messages` get
  // the record's text when not null.
  ReferenceFacts reference(int which, int32_t& entry, int32_t& frame, std::string* events,
                           int* messages);
  void update_pages(const ReferenceFacts* facts, int32_t frame);
  // Bit i set when TLB entry i is in use (last_use set).
  static uint32_t entries_in_use();

  TraceScanner scanner_;
  int fd_ = -1;
  int32_t fields_[kRecordFields] = {0, 0, 0};
  int converted_ = 0;
  Stories stories_;
  uint32_t entries_in_use_ = 0;  ///< as of the last reference
};

/// Whether frame `frame` holds page `page` of process `proc`.
bool frame_holds(const Frame& frame, int32_t proc, int32_t page);
/// The first TLB entry in use (last_use set) that maps (proc, page); -1 when none.
int32_t mapping_entry(const TlbEntry (&tlb)[kTlbEntries], int32_t proc, int32_t page);
