// The TLB curve as a table in the report and as CSV.
#pragma once

#include <string>

#include "tools/pagestat/results.hpp"

/// "TLB curve at 20 frames ..." and a row per TLB size: both modes' TLB
/// misses and page faults, pagesim's 8 entries marked. REQUIRES: results.tlb_curve.
std::string tlb_curve_text(const PagestatResults& results);

/// The header "mode,tlb_entries,frames,tlb_misses,page_faults", then a row
/// per mode and size. REQUIRES: results.tlb_curve.
std::string tlb_curve_csv(const PagestatResults& results);
