// Fixed sizes and numbers of the simulated machine and of the run.
#pragma once

#include <cstdint>

/// Bytes per page; a page number is an address divided by this.
inline constexpr int32_t kPageSize = 1024;
/// Logical pages per process: valid page numbers are 0..kPagesPerProcess-1.
inline constexpr int32_t kPagesPerProcess = 64;
/// Slots of the TLB.
inline constexpr int kTlbEntries = 8;
/// Physical frames.
inline constexpr int kFrames = 20;
/// The empty marker of both tables.
inline constexpr int32_t kEmpty = -1;
/// Slots of the count of resident pages: 8 processes of 64 pages each.
inline constexpr int kResidentSlots = 8 * kPagesPerProcess;
/// Moves the clean-first scan may make before it takes the frame it stands on.
inline constexpr int kCleanFirstMaxMoves = 40;

/// First record of the display window when no break line is given.
inline constexpr int32_t kDefaultBreakLine = 10'000'000;
/// The window covers break line .. break line + kDisplayWindowSpan.
inline constexpr int64_t kDisplayWindowSpan = 1000;

/// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
