// pagestat's report as text, one section each: pagesim's runs in both modes,
// per process, the what-if policies, the curve (when computed), intervals.
#pragma once

#include <string>

#include "tools/pagestat/results.hpp"

/// The whole report. REQUIRES: both modes were run.
std::string text_report(const PagestatResults& results);

/// "12.34": `value` with `decimals` digits after the point.
std::string fixed(double value, int decimals);
/// `part` per `per` of `whole`, "-" when whole is 0.
std::string ratio(int64_t part, int64_t whole, double per, int decimals);
