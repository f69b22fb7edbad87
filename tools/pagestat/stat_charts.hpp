// pagestat's two charts: the faults per interval of each policy over the
// trace, and the miss-ratio curve with the what-if frame count marked.
#pragma once

#include <string>

#include "tools/pagestat/results.hpp"

/// Intervals drawn at most; more are merged in equal groups.
inline constexpr size_t kMaxChartIntervals = 1000;

/// The SVG document: faults over the trace, the curve, and the TLB curve
/// when computed. REQUIRES: results.curve is set.
std::string pagestat_svg(const PagestatResults& results);
