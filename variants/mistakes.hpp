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
/// frames) and the mode are settings, not switches: see Variant.
enum class Mistake : uint8_t {
  kRecordsFromZero,            ///< "records-from-zero"
  kTerminationsNotCounted,     ///< "terminations-not-counted"
  kNegativeAddressFloor,       ///< "negative-address-floor"
  kPage64Accepted,             ///< "page-64-accepted"
  kWriteBeforeRead,            ///< "write-before-read"
  kTlbLineBeforeFaultLine,     ///< "tlb-line-before-fault-line"
  kTlbFifo,                    ///< "tlb-fifo"
  kTlbEmptyHighestFirst,       ///< "tlb-empty-highest-first"
  kTlbIgnoresProcess,          ///< "tlb-ignores-process"
  kTlbNoLoadOnFrameHit,        ///< "tlb-no-load-on-frame-hit"
  kTlbKeptOnEviction,          ///< "tlb-kept-on-eviction"
  kTerminationKeepsTlb,        ///< "termination-keeps-tlb"
  kTerminationKeepsFrames,     ///< "termination-keeps-frames"
  kNoFrameSearch,              ///< "no-frame-search"
  kFreeFrameHighestFirst,      ///< "free-frame-highest-first"
  kHandMovesOnFreeFault,       ///< "hand-moves-on-free-fault"
  kHandStaysOnVictim,          ///< "hand-stays-on-victim"
  kHandFromZero,               ///< "hand-from-zero"
  kNoSecondChance,             ///< "no-second-chance"
  kRefOnlyOnMiss,              ///< "ref-only-on-miss"
  kDirtyOnRead,                ///< "dirty-on-read"
  kDirtyMissedOnTlbHit,        ///< "dirty-missed-on-tlb-hit"
  kCleanFirstOneTurn,          ///< "clean-first-one-turn"
  kCleanFirstClearsDirty,      ///< "clean-first-clears-dirty"
  kCleanFirstAnyUnreferenced,  ///< "clean-first-any-unreferenced"
  kDirtyCountedAtTermination,  ///< "dirty-counted-at-termination"
  kEveryEvictionCounted,       ///< "every-eviction-counted"
  kCount
};

inline constexpr int kMistakeCount = static_cast<int>(Mistake::kCount);

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
  int32_t mode = 0;          ///< 0: second chance, 1: clean first
  uint32_t mistakes = 0;     ///< bit m: Mistake m is made
  bool has(Mistake m) const { return (mistakes >> static_cast<int>(m) & 1) != 0; }
  Variant with(Mistake m) const;
  bool operator==(const Variant&) const = default;
};

/// The stable ID of a mistake, as in "tlb-fifo".
std::string_view mistake_id(Mistake m);

/// The IDs of everything in which `variant` departs from `base` (pagesim in
/// base's mode), joined by ", ": mistakes in catalogue order, then
/// "page-size-N", "tlb-entries-N", "frames-N", "other-mode". Empty when equal.
std::string variant_ids(const Variant& variant, const Variant& base);

/// `base` with the one catalogue ID `id` applied ("tlb-fifo", "frames-16",
/// "page-size-512", "other-mode"); nothing for an ID not in the catalogue or
/// a size outside what the model takes.
std::optional<Variant> apply_id(const Variant& base, std::string_view id);

/// One candidate cause: its ID and the machine that makes that mistake.
struct Hypothesis {
  std::string id;
  Variant variant;
};

/// Every single mistake of the catalogue, applied to `base`: each switch,
/// page sizes 256..8192 (powers of two), TLB sizes 1..16, frame counts 1..40
/// (each but base's own), and the other mode.
std::vector<Hypothesis> catalogue(const Variant& base);

}  // namespace variants
