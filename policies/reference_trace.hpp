// A trace in the form the what-if policies read it: every page of a process
// and every process get a dense number, and the records become a stream of
// 32-bit events held in fixed blocks (growing costs no copy and at most one
// block of slack). Past a memory budget, further blocks go to an unlinked
// temporary file, and passes read them back through EventStream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "policies/id_map.hpp"
#include "policies/spill_file.hpp"

/// Bytes per page: a page number is an address divided by this, truncated
/// toward zero, as pagesim divides it.
inline constexpr int32_t kWhatIfPageBytes = 1024;

/// An event with this bit set ends the process whose number is in the other
/// bits; any other event is a reference, (page number << 1) | 1 for a write.
inline constexpr uint32_t kTerminationBit = uint32_t{1} << 31;
inline bool is_termination_event(uint32_t event) {
  return (event & kTerminationBit) != 0;
}
/// The process a termination event ends.
inline uint32_t terminated_process(uint32_t event) {
  return event & ~kTerminationBit;
}
/// The page number a reference event names.
inline uint32_t referenced_page(uint32_t event) {
  return event >> 1;
}
inline bool is_write_event(uint32_t event) {
  return (event & 1) != 0;
}

/// Events per block at most (4 MiB of them), and under the default budget.
inline constexpr int kEventBlockBits = 20;
inline constexpr uint64_t kEventBlockSize = uint64_t{1} << kEventBlockBits;

/// The memory budget when none is given: 1 GiB.
inline constexpr uint64_t kDefaultMemoryBudget = uint64_t{1} << 30;
/// The smallest budget: it must hold the stream buffers of the passes.
inline constexpr uint64_t kMinMemoryBudget = uint64_t{256} << 10;

/// What a trace's events and the per-event arrays of the passes over it may
/// take in memory, and where the rest goes.
struct TraceMemory {
  uint64_t budget_bytes = kDefaultMemoryBudget;  ///< at least kMinMemoryBudget
  std::string spill_directory;                   ///< empty: $TMPDIR, else /tmp
};
/// Events a trace can hold: positions and "never" must fit 32 bits.
inline constexpr uint64_t kMaxEvents = UINT32_MAX - 1;
/// Page numbers must leave the write bit and the termination bit free.
inline constexpr uint32_t kMaxPages = uint32_t{1} << 30;

/// A page as the trace names it.
struct PageKey {
  int32_t proc;
  int32_t page;
};

/// What one process did in the trace, the same in every policy.
struct ProcessActivity {
  int32_t proc;
  int64_t records;
  int64_t terminations;
};

class ReferenceTrace {
 public:
  explicit ReferenceTrace(const TraceMemory& memory = {});

  /// Adds one record as pagesim runs it: a read address of 0 ends the
  /// process; otherwise a read of the first address, then a write of the
  /// second. Returns false, adding nothing, when the trace is full. These
  /// three throw SpillError when a block cannot be spilled.
  bool add_record(int32_t proc, int32_t read_address, int32_t write_address);
  /// Adds one reference to a page. Returns false when the trace is full.
  bool add_reference(int32_t proc, int32_t page, bool write);
  /// Adds the end of a process. Returns false when the trace is full.
  bool add_termination(int32_t proc);

  uint64_t events() const { return events_; }
  /// Events per block, a power of two; every block but the last is full.
  uint64_t block_events() const { return block_mask_ + 1; }
  size_t blocks() const { return blocks_.size(); }
  /// Whether any block went to the spill file.
  bool spilled() const { return spill_ != nullptr; }
  /// Whether block `index` is in memory (else in the spill file).
  bool holds_block(size_t index) const { return blocks_[index] != nullptr; }
  /// The events of block `index`: the block itself when held, else read
  /// into `buffer` (made block_events() long when empty). Throws SpillError
  /// when the read fails. REQUIRES: index < blocks().
  std::span<const uint32_t> load_block(size_t index, std::unique_ptr<uint32_t[]>& buffer) const;
  /// Event `position` of a block in memory. REQUIRES: position < events()
  /// and holds_block(position / block_events()).
  uint32_t held_event(uint64_t position) const {
    return blocks_[position >> block_bits_][position & block_mask_];
  }
  /// A file of one block of words per block of events, beside the spilled
  /// events: made by `make` on the first call (on whichever thread) and
  /// shared by every later call. REQUIRES: spilled().
  const SpillFile& companion_spill(const std::function<void(SpillFile&)>& make) const;

  /// Records added through add_record.
  int64_t records() const { return records_; }
  /// Termination events, and reference events: events() is their sum.
  int64_t terminations() const { return terminations_; }
  int64_t references() const { return static_cast<int64_t>(events_) - terminations_; }
  /// Distinct pages; page numbers are 0..pages()-1.
  uint32_t pages() const { return static_cast<uint32_t>(page_keys_.size()); }
  /// Distinct processes; process numbers are 0..processes()-1.
  uint32_t processes() const { return static_cast<uint32_t>(activity_.size()); }
  PageKey page_key(uint32_t page) const { return page_keys_[page]; }
  /// The process number of a page.
  uint32_t process_of(uint32_t page) const { return page_process_[page]; }
  /// Pages' process numbers, indexed by page number.
  const std::vector<uint32_t>& page_processes() const { return page_process_; }
  const ProcessActivity& activity(uint32_t process) const { return activity_[process]; }
  /// Whether a record named process -1, the empty marker of pagesim's tables.
  bool names_process_minus_one() const { return names_minus_one_; }

  /// Event positions that end each run of `records_per_interval` records
  /// added through add_record, the last one possibly shorter.
  /// REQUIRES: records_per_interval > 0.
  std::vector<uint64_t> interval_ends(int64_t records_per_interval) const;

 private:
  uint32_t process_number(int32_t proc);
  uint32_t page_number(int32_t proc, uint32_t process, int32_t page);
  bool has_room(uint64_t events, uint64_t names) const;
  void push(uint32_t event) {
    if ((events_ & block_mask_) == 0) start_block();
    filling_[events_ & block_mask_] = event;
    ++events_;
  }
  void start_block();

  struct Companion {
    std::once_flag made;
    std::unique_ptr<SpillFile> file;
  };
  TraceMemory memory_;
  int block_bits_;
  uint64_t block_mask_;
  // Blocks held in memory before the rest go to the spill file.
  size_t held_limit_;
  // By block: the events, or null for a block in the spill file. The last
  // block is always held; past the limit, its buffer is written out when it
  // is full and filled again as the next.
  std::vector<std::unique_ptr<uint32_t[]>> blocks_;
  uint32_t* filling_ = nullptr;  ///< the last block's events
  std::unique_ptr<SpillFile> spill_;
  std::unique_ptr<Companion> companion_;
  uint64_t events_ = 0;
  int64_t records_ = 0;
  int64_t terminations_ = 0;
  bool names_minus_one_ = false;
  IdMap process_ids_;
  IdMap page_ids_;
  std::vector<ProcessActivity> activity_;
  std::vector<PageKey> page_keys_;
  std::vector<uint32_t> page_process_;
  // Page numbers of pages 0..63 of the first processes, looked up without
  // hashing (kNoPage where not yet named); other pages go through page_ids_.
  static constexpr uint32_t kTabledProcesses = 4096;
  static constexpr int32_t kTabledPages = 64;
  static constexpr uint32_t kNoPage = UINT32_MAX;
  std::vector<uint32_t> page_table_;
  // The process named last, which the next record names again more often
  // than not.
  int32_t last_proc_ = 0;
  uint32_t last_process_ = 0;
};
