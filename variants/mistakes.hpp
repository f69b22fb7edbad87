// The mistakes users make when they write pagesim's machine themselves, each
// a switch of the explaining model, and the catalogue of their stable IDs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace variants {

/// One decision made the wrong way. The geometry (page size, TLB entries,
/// frames) and the mode are settings, not switches: see Variant. Everything
/// a mistake does not name stays as pagesim does it.
enum class Mistake : uint8_t {
  /// "records-from-zero": every line prints the record number minus 1 (the
  /// first record is line 0); the steps total is still the number of records.
  kRecordsFromZero,
  /// "terminations-not-counted": a termination record does not add 1 to the
  /// record number, so later lines lag by the terminations so far; the steps
  /// total is the number of records that are not terminations.
  kTerminationsNotCounted,
  /// "negative-address-floor": the page of a negative address is rounded down,
  /// so -1..-1024 give page -1 (and the bad-page message), where pagesim
  /// truncates toward zero and gives page 0 for -1..-1023.
  kNegativeAddressFloor,
  /// "page-64-accepted": the range check accepts pages 0..64, so page 64
  /// prints no "Error, bad frame number".
  kPage64Accepted,
  /// "write-before-read": a record's write reference is translated before its
  /// read (each still one tick of the reference clock).
  kWriteBeforeRead,
  /// "tlb-line-before-fault-line": on a page fault the TLB line is written
  /// before the page-fault line (same values).
  kTlbLineBeforeFaultLine,
  /// "tlb-fifo": a TLB hit does not refresh last_use, so when no entry is
  /// empty the entry loaded longest ago is replaced.
  kTlbFifo,
  /// "tlb-empty-highest-first": among empty TLB entries the highest index is
  /// taken first (else the least recently used, as pagesim).
  kTlbEmptyHighestFirst,
  /// "tlb-ignores-process": the TLB lookup compares only the page: an entry in
  /// use (last_use >= 0) with that page whose frame holds that page, of any
  /// process, is a hit.
  kTlbIgnoresProcess,
  /// "tlb-no-load-on-frame-hit": a TLB miss that finds the page in a frame
  /// sets the frame's bits but does not load the TLB (no TLB line).
  kTlbNoLoadOnFrameHit,
  /// "tlb-kept-on-eviction": an eviction does not empty the evicted page's TLB
  /// entry, and a TLB hit does not check that the entry's frame still holds
  /// the page: a later reference to the evicted page hits its old entry (no
  /// fault; the bits of the frame that now holds another page are set).
  kTlbKeptOnEviction,
  /// "termination-keeps-tlb": a termination frees the process's frames but
  /// leaves its TLB entries as they are (in use, stamps kept); a hit still
  /// needs the entry's frame to hold the page.
  kTerminationKeepsTlb,
  /// "termination-keeps-frames": a termination empties the process's TLB
  /// entries but leaves its frames holding their pages (resident, bits kept).
  kTerminationKeepsFrames,
  /// "no-frame-search": every TLB miss is a page fault; the frame table is not
  /// searched, so a page can end up in two frames. The bad-page message is
  /// still printed three times for a fault.
  kNoFrameSearch,
  /// "free-frame-highest-first": the highest free frame is taken first.
  kFreeFrameHighestFirst,
  /// "hand-moves-on-free-fault": after a fault into free frame f the clock
  /// hand is set to f + 1 (0 after the last frame).
  kHandMovesOnFreeFault,
  /// "hand-stays-on-victim": after an eviction the hand stays on the victim
  /// instead of moving one past it.
  kHandStaysOnVictim,
  /// "hand-from-zero": every replacement scan starts at frame 0, wherever the
  /// hand is (the hand is still set as pagesim sets it).
  kHandFromZero,
  /// "no-second-chance": in mode 0 the frame at the hand is taken whatever its
  /// ref bit, and no bit is cleared. Mode 1 is unchanged.
  kNoSecondChance,
  /// "ref-only-on-miss": a TLB hit does not set the frame's ref bit (a write
  /// hit still sets dirty).
  kRefOnlyOnMiss,
  /// "dirty-on-read": reads set the dirty bit too, on a TLB hit, a frame hit
  /// and a fault (a loaded frame is always dirty).
  kDirtyOnRead,
  /// "dirty-missed-on-tlb-hit": a write that hits the TLB does not set the
  /// dirty bit.
  kDirtyMissedOnTlbHit,
  /// "clean-first-one-turn": in mode 1 the scan gives up after one turn (as
  /// many moves as frames) instead of two, and takes the frame it then stands
  /// on. Mode 0 is unchanged.
  kCleanFirstOneTurn,
  /// "clean-first-clears-dirty": in mode 1 every frame the scan passes gets
  /// both its ref and its dirty bit cleared. Mode 0 is unchanged.
  kCleanFirstClearsDirty,
  /// "clean-first-any-unreferenced": in mode 1 the scan takes the first frame
  /// whose ref bit is 0, dirty or not (still clearing the ref bits of the
  /// frames it passes, still at most two turns). Mode 0 is unchanged.
  kCleanFirstAnyUnreferenced,
  /// "dirty-counted-at-termination": a termination adds to the dirty-pages
  /// total the number of frames it frees whose dirty bit is set.
  kDirtyCountedAtTermination,
  /// "every-eviction-counted": every eviction adds 1 to the dirty-pages total,
  /// clean or dirty.
  kEveryEvictionCounted,
  kCount
};

inline constexpr int kMistakeCount = static_cast<int>(Mistake::kCount);
static_assert(kMistakeCount <= 32, "Variant keeps the mistakes in 32 bits");

/// The largest TLB and frame table the model takes.
inline constexpr int32_t kMaxTlbEntries = 64;
inline constexpr int32_t kMaxFrames = 65536;

/// The machine's sizes. pagesim's are the defaults.
struct Geometry {
  int32_t tlb_entries = 8;
  int32_t frames = 20;
  int32_t page_size = 1024;
  int32_t pages_per_process = 64;
  bool operator==(const Geometry&) const = default;
};

/// One machine to model: pagesim's with every switch off, the default
/// geometry and the mode pagesim was asked for.
struct Variant {
  Geometry geometry;
  int32_t mode = 0;       ///< 0: second chance, 1: clean first
  uint32_t mistakes = 0;  ///< bit m: Mistake m is made
  bool has(Mistake m) const { return (mistakes >> static_cast<int>(m) & 1) != 0; }
  Variant with(Mistake m) const;
  bool operator==(const Variant&) const = default;
};

/// The stable ID of a mistake, as in "tlb-fifo".
std::string_view mistake_id(Mistake m);

/// The IDs of everything in which `variant` departs from `base` (pagesim in
/// base's mode), joined by ", ": the mistakes variant makes and base does
/// not, in catalogue order, then "page-size-N", "tlb-entries-N", "frames-N",
/// "other-mode". Empty when there is none. The pages per process have no ID.
std::string variant_ids(const Variant& variant, const Variant& base);

/// `base` with the one catalogue ID `id` applied ("tlb-fifo", "frames-16",
/// "page-size-512", "other-mode"); nothing for an ID not in the catalogue or
/// a size outside what the model takes (TLB entries 1..kMaxTlbEntries,
/// frames 1..kMaxFrames, a page size a power of two up to 2^30; N in plain
/// decimal digits without leading zeros).
std::optional<Variant> apply_id(const Variant& base, std::string_view id);

/// One candidate cause: its ID and the machine that makes that mistake.
struct Hypothesis {
  std::string id;
  Variant variant;
};

/// Every single mistake of the catalogue, applied to `base`: each switch
/// base does not make, page sizes 256..8192 (powers of two), TLB sizes 1..16
/// and frame counts 1..40 (each but base's own), and the other mode.
std::vector<Hypothesis> catalogue(const Variant& base);

}  // namespace variants
