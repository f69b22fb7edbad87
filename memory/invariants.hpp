// Consistency checks of the tables, run after every record in debug builds.
#pragma once

#include <cstdint>

#ifdef NDEBUG
inline constexpr bool kCheckInvariants = false;
#else
inline constexpr bool kCheckInvariants = true;
#endif

/// Whether a record keeps the tables free of look-alikes of the empty marker:
/// it names no process -1 and translates no page outside 0..63. Only while
/// every record so far did are pages unique and TLB entries exact.
bool record_keeps_markers_apart(int32_t proc, int32_t first_address, int32_t second_address);

/// Describes the first broken invariant in `text` and returns false, or
/// returns true when all hold. `markers_apart`: every record so far kept
/// markers apart (see above), so the stronger checks apply.
bool tables_are_consistent(bool markers_apart, char* text, int text_size);

/// Aborts with a message naming the current record when an invariant breaks.
void check_invariants(bool markers_apart);
