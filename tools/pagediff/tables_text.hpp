// Both tables in the breakpoint display's own words, for the report.
#pragma once

#include <string>

/// The TLB and the frame table as they stand, one line each as the display
/// prints them, with each TLB entry's last_use added and the clock hand
/// marked; three or more free lines in a row are shortened to one.
std::string tables_text();
