#include "tools/pagediff/candidate_start.hpp"

#include <bit>

namespace {

using variants::Mistake;

// The one kind of record at which each mistake can first change anything;
// kFirstRecord for those that can change the first record, or where no such
// kind can be shown.
StartTrigger trigger_of(Mistake m) {
  switch (m) {
    // Only the release of a termination record looks at these.
    case Mistake::kTerminationsNotCounted:
    case Mistake::kTerminationKeepsTlb:
    case Mistake::kTerminationKeepsFrames:
    case Mistake::kDirtyCountedAtTermination:
      return StartTrigger::kTermination;
    // The page of a non-negative address is the same either way.
    case Mistake::kNegativeAddressFloor:
      return StartTrigger::kNegative;
    // The range checks differ only at that one page.
    case Mistake::kPage64Accepted:
      return StartTrigger::kPageOnePast;
    // Only the choice of a victim, the hand after it and its count.
    case Mistake::kHandStaysOnVictim:
    case Mistake::kHandFromZero:
    case Mistake::kNoSecondChance:
    case Mistake::kCleanFirstOneTurn:
    case Mistake::kCleanFirstClearsDirty:
    case Mistake::kCleanFirstAnyUnreferenced:
    case Mistake::kCleanFirstKeepsRef:
    case Mistake::kEveryEvictionCounted:
      return StartTrigger::kFewFreeFrames;
    default:
      return StartTrigger::kFirstRecord;
  }
}

// A record translates two addresses: it can take at most two free frames.
constexpr int32_t kReferencesPerRecord = 2;

bool fewer_free_than_references(const variants::MachineState& state) {
  int32_t free = 0;
  for (const variants::FrameSlot& frame : state.frames) {
    free += frame.free != 0;
    if (free >= kReferencesPerRecord) return false;
  }
  return true;
}

}  // namespace

StartTrigger start_trigger(const variants::Variant& candidate, const variants::Variant& base) {
  if (candidate.geometry != base.geometry || candidate.mode != base.mode ||
      (base.mistakes & ~candidate.mistakes) != 0)
    return StartTrigger::kFirstRecord;
  const uint32_t added = candidate.mistakes & ~base.mistakes;
  if (std::popcount(added) != 1) return StartTrigger::kFirstRecord;
  return trigger_of(static_cast<Mistake>(std::countr_zero(added)));
}

TriggerSet record_triggers(TriggerSet wanted, const variants::Variant& base,
                           const int32_t fields[3], const variants::MachineState& state) {
  TriggerSet found = trigger_bit(StartTrigger::kFirstRecord);
  const auto want = [&](StartTrigger t) { return (wanted & trigger_bit(t)) != 0; };
  // A termination translates nothing, but looking at both addresses of
  // every record only starts a candidate early, which is as exact.
  const int32_t addresses[2] = {fields[1], fields[2]};
  if (want(StartTrigger::kTermination) && fields[1] == 0)
    found |= trigger_bit(StartTrigger::kTermination);
  if (want(StartTrigger::kNegative) && (addresses[0] < 0 || addresses[1] < 0))
    found |= trigger_bit(StartTrigger::kNegative);
  if (want(StartTrigger::kPageOnePast)) {
    // A negative address has a page of 0 or below, whichever way it rounds.
    for (const int32_t address : addresses) {
      if (address >= 0 && address / base.geometry.page_size == base.geometry.pages_per_process)
        found |= trigger_bit(StartTrigger::kPageOnePast);
    }
  }
  if (want(StartTrigger::kFewFreeFrames) && fewer_free_than_references(state))
    found |= trigger_bit(StartTrigger::kFewFreeFrames);
  return found;
}
