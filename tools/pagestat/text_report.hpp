// pagestat's report as text, one section each: pagesim's runs in both modes,
// per process, the what-if policies, the curve (when computed), intervals.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tools/pagestat/interval_table.hpp"
#include "tools/pagestat/results.hpp"

/// The whole report, with the intervals held in `results`, handed to `put`
/// a line of the intervals at a time.
/// REQUIRES: both modes were run, with the interval ends.
void write_text_report(const PagestatResults& results,
                       const std::function<void(std::string_view)>& put);
/// The same as one text.
std::string text_report(const PagestatResults& results);
/// The report up to and including the title of the intervals section.
std::string text_report_head(const PagestatResults& results);
/// The intervals table for rows made after the head is written, each column
/// as wide as the most its run can count in one interval.
IntervalTable streamed_interval_table(const PagestatResults& results);

/// "12.34": `value` with `decimals` digits after the point.
std::string fixed(double value, int decimals);
/// `part` per `per` of `whole`, "-" when whole is 0.
std::string ratio(int64_t part, int64_t whole, double per, int decimals);
