// The trace loop and the totals.
#pragma once

/// Feeds every record of sim.trace_file to the memory model. Returns when
/// reading ends; sim.trace_file.stop_reason() tells why.
void run_trace();
/// Prints the four totals on the console.
void print_totals();
