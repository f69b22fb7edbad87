#include "tools/pagediff/mistake_reach.hpp"

namespace {

using variants::Mistake;

// The mistakes that change nothing but standard output: the dirty-pages
// total, or the bad-page messages of page 64.
bool changes_only_stdout(Mistake m, int32_t mode) {
  switch (m) {
    case Mistake::kDirtyCountedAtTermination:
    case Mistake::kEveryEvictionCounted:
    case Mistake::kFaultsNotCountedAsMisses:
    case Mistake::kPage64Accepted:
      return true;
    case Mistake::kDirtyOnRead:
    case Mistake::kDirtyMissedOnTlbHit:
      // Only clean first looks at dirty bits when it picks a victim.
      return mode == 0;
    default:
      return false;
  }
}

// The mistakes of one mode's scan, which leave the other mode as it is.
bool changes_nothing_in(Mistake m, int32_t mode) {
  switch (m) {
    case Mistake::kCleanFirstOneTurn:
    case Mistake::kCleanFirstClearsDirty:
    case Mistake::kCleanFirstAnyUnreferenced:
    case Mistake::kCleanFirstKeepsRef:
      return mode == 0;
    case Mistake::kNoSecondChance:
      return mode == 1;
    default:
      return false;
  }
}

}  // namespace

bool can_differ(const variants::Variant& candidate, const variants::Variant& base,
                const Compared& compared) {
  if (candidate.geometry != base.geometry || candidate.mode != base.mode) return true;
  const uint32_t added = candidate.mistakes & ~base.mistakes;
  for (int m = 0; m < variants::kMistakeCount; ++m) {
    if ((added >> m & 1) == 0) continue;
    const auto mistake = static_cast<Mistake>(m);
    if (changes_nothing_in(mistake, candidate.mode)) continue;
    if (changes_only_stdout(mistake, candidate.mode) && !compared.stdout_totals) continue;
    return true;
  }
  return false;
}
