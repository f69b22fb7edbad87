#include "tools/pagestat/stat_charts.hpp"

#include <algorithm>

#include "tools/pagestat/svg_chart.hpp"

namespace {

struct Look {
  const char* color;
  const char* dash;
};
// clock and clean-first often coincide: dashes keep both visible.
constexpr Look kLooks[kPolicyCount] = {
    {"#1f77b4", ""}, {"#ff7f0e", "7,4"}, {"#2ca02c", ""}, {"#d62728", "3,3"}, {"#7b3294", ""}};

LineChart interval_chart(const PagestatResults& results) {
  const size_t intervals = results.interval_ends.size();
  const size_t group =
      std::max<size_t>(1, (intervals + kMaxChartIntervals - 1) / kMaxChartIntervals);
  const int64_t records_per_point = results.interval * static_cast<int64_t>(group);
  LineChart chart;
  chart.title = "Faults per " + std::to_string(records_per_point) + " records at " +
                std::to_string(results.frames) + " frames";
  chart.x_label = "record";
  chart.y_label = "page faults";
  for (size_t p = 0; p < kPolicies.size(); ++p) {
    ChartSeries series{
        std::string(policy_name(kPolicies[p])), kLooks[p].color, kLooks[p].dash, {}, {}};
    const std::vector<int64_t>& faults = results.what_if[p].interval_faults;
    for (size_t first = 0; first < faults.size(); first += group) {
      const size_t end = std::min(faults.size(), first + group);
      int64_t sum = 0;
      for (size_t i = first; i < end; ++i) sum += faults[i];
      // Each point sits at the last record of its stretch.
      const int64_t last_record =
          std::min(results.trace->records(), static_cast<int64_t>(end) * results.interval);
      series.x.push_back(static_cast<double>(last_record));
      series.y.push_back(static_cast<double>(sum));
    }
    chart.series.push_back(std::move(series));
  }
  return chart;
}

LineChart curve_chart(const PagestatResults& results) {
  LineChart chart;
  chart.title = "Miss-ratio curve: page faults by frames";
  chart.x_label = "frames";
  chart.y_label = "page faults";
  chart.marker_x = results.frames;
  chart.marker_label = std::to_string(results.frames) + " frames";
  for (size_t p = 0; p < kPolicies.size(); ++p) {
    ChartSeries series{
        std::string(policy_name(kPolicies[p])), kLooks[p].color, kLooks[p].dash, {}, {}};
    const std::vector<PolicyCounts>& counts = (*results.curve)[p];
    for (size_t k = 0; k < counts.size(); ++k) {
      series.x.push_back(static_cast<double>(results.curve->frames[k]));
      series.y.push_back(static_cast<double>(counts[k].faults));
    }
    chart.series.push_back(std::move(series));
  }
  return chart;
}

}  // namespace

std::string pagestat_svg(const PagestatResults& results) {
  const std::string title = "pagestat: " + results.trace_name + " (" +
                            std::to_string(results.trace->records()) + " records)";
  return svg_document(title, {interval_chart(results), curve_chart(results)});
}
