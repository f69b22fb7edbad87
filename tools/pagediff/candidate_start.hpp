// When a candidate machine first needs to run: a mistake that changes only
// what happens at a recognisable kind of record leaves the machine identical
// to its base's until such a record comes, so the candidate can start then,
// from a copy of the base's state.
#pragma once

#include <cstdint>

#include "variants/machine.hpp"

/// The kind of record before which a candidate behaves as its base does.
enum class StartTrigger : uint8_t {
  kFirstRecord,    ///< no such kind is known: it runs from the start
  kTermination,    ///< a termination record
  kNegative,       ///< a negative address
  kPageOnePast,    ///< an address of the page one past a process's last
  kFewFreeFrames,  ///< fewer free frames than a record's references: it may evict
};

/// The set of triggers a record has, one bit per StartTrigger.
using TriggerSet = uint32_t;

constexpr TriggerSet trigger_bit(StartTrigger trigger) {
  return TriggerSet{1} << static_cast<int>(trigger);
}

/// What must come before `candidate` can do anything `base` does not.
/// kFirstRecord unless candidate is base with exactly one more mistake, and
/// that mistake's every effect is at one kind of record.
StartTrigger start_trigger(const variants::Variant& candidate, const variants::Variant& base);

/// The triggers among `wanted` that the record `fields`, run next by a
/// machine of `base` in `state`, has. kFirstRecord is always had.
TriggerSet record_triggers(TriggerSet wanted, const variants::Variant& base,
                           const int32_t fields[3], const variants::MachineState& state);
