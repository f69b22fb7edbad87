// The order in which TLB loads take entries (empty ones lowest index first,
// then the least recently used), kept so that a load finds its entry without
// comparing all stamps, and a hit costs nothing beyond its stamp.
#pragma once

#include <bit>
#include <cstdint>

#include "memory/constants.hpp"

/// The TLB entries in the order loads take them, with the stamp each had when
/// it took its place. Places go by (place stamp, entry index). The stamp
/// (last_use) of an entry in use is its place stamp, or higher after hits and
/// after a load into it while it was empty; empty entries are in the mask.
struct TlbOrder {
  uint32_t entries;  ///< four bits an entry, the next to be taken lowest
  uint32_t empty;    ///< bit i: entry i is empty (its stamp is -1)
  int64_t place_stamp[kTlbEntries];
};

namespace tlb_order {

static_assert(kTlbEntries == 8, "eight entries of four bits fill the word");

/// The entry at `place` (0: the next one taken).
inline int entry_at(uint32_t entries, int place) {
  return static_cast<int>(entries >> 4 * place & 15);
}

/// Whether `other` has its place before (stamp, entry).
inline bool goes_before(const TlbOrder& order, int other, int64_t stamp, int entry) {
  const int64_t other_stamp = order.place_stamp[other];
  return other_stamp < stamp || (other_stamp == stamp && other < entry);
}

/// Seven entries `rest` with `entry` put in at `place` (0..7).
inline uint32_t put_in(uint32_t rest, int place, int entry) {
  const uint32_t below = (uint32_t{1} << 4 * place) - 1;
  return (rest & below) | static_cast<uint32_t>(entry) << 4 * place | (rest & ~below) << 4;
}

}  // namespace tlb_order

/// Every entry empty, in index order.
inline void reset_tlb_order(TlbOrder& order) {
  order.entries = 0x76543210;
  order.empty = (uint32_t{1} << kTlbEntries) - 1;
  for (int64_t& stamp : order.place_stamp) stamp = -1;
}

/// Takes the entry a load at `stamp` (the reference clock) goes to: the
/// lowest empty one, else the least recently used; `last_use(i)` is entry
/// i's stamp (the rule over all stamps at once: Machine::entry_to_load in
/// variants/machine.cpp). REQUIRES: the caller stamps the entry with `stamp`.
template <class LastUse>
inline int take_entry_to_load(TlbOrder& order, int64_t stamp, LastUse last_use) {
  using tlb_order::entry_at, tlb_order::goes_before, tlb_order::put_in;
  if (order.empty != 0) {
    // It keeps its place: its new stamp is above the place stamp, as after
    // a hit, and it is put where it belongs when it comes first.
    const int taken = std::countr_zero(order.empty);
    order.empty &= order.empty - 1;
    return taken;
  }
  for (;;) {
    const int next = entry_at(order.entries, 0);
    const uint32_t rest = order.entries >> 4;
    const int64_t next_stamp = last_use(next);
    // Raised since it took its place: its place by its stamp, from the front.
    int place = 0;
    if (next_stamp != order.place_stamp[next]) {
      while (place < kTlbEntries - 1 && goes_before(order, entry_at(rest, place), next_stamp, next))
        ++place;
    }
    if (place == 0) {
      // The least recently used: every other entry's stamp is at least its
      // place stamp, which comes after this one's stamp. It goes last, but
      // for entries of the same stamp and a higher index (loads at one clock
      // value, which only direct calls make).
      order.place_stamp[next] = stamp;
      constexpr int kLast = kTlbEntries - 1;
      if (goes_before(order, entry_at(rest, kLast - 1), stamp, next)) [[likely]] {
        order.entries = rest | static_cast<uint32_t>(next) << 4 * kLast;
        return next;
      }
      place = kLast - 1;
      while (place > 0 && !goes_before(order, entry_at(rest, place - 1), stamp, next)) --place;
      order.entries = put_in(rest, place, next);
      return next;
    }
    order.place_stamp[next] = next_stamp;
    order.entries = put_in(rest, place, next);
  }
}

/// Marks entry `index`, whose stamp is now -1, empty.
inline void mark_tlb_entry_empty(TlbOrder& order, int index) {
  order.empty |= uint32_t{1} << index;
}
