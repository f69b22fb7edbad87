// The breakpoint display: for the records of the window it echoes each record,
// dumps both tables after it and waits for one character of standard input.
// The TLB and page-fault echoes sit in the memory model beside the lines they
// echo.
#pragma once

#include <cstdint>

#include "io/trace_scanner.hpp"

/// "Break at Line ..." for the current record. REQUIRES: in_display_window().
void echo_record(const int32_t record[kRecordFields]);
/// Prints both tables on the console.
void print_state();
/// Dumps the tables, prompts, and consumes one character of standard input
/// (none at its end). The event log is written out first, so out.txt holds
/// every event so far while the program waits.
void pause_display();
