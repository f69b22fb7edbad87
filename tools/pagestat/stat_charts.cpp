#include "tools/pagestat/stat_charts.hpp"

#include <algorithm>

#include "tools/pagestat/svg_chart.hpp"

namespace {

struct Look {
  const char* color;
  const char* dash;
  Marker marker;
};
// Policies often coincide: each has its own dashes and marker as well as
// its colour, so that every line stays visible and none is told by colour
// alone.
constexpr Look kLooks[kPolicyCount] = {{"#1f77b4", "", Marker::kCircle},
                                       {"#ff7f0e", "8,4", Marker::kSquare},
                                       {"#2ca02c", "2,3", Marker::kTriangle},
                                       {"#d62728", "10,3,2,3", Marker::kDiamond},
                                       {"#7b3294", "4,4", Marker::kCross}};

// "1 frame", "20 frames".
std::string counted(int64_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

ChartSeries policy_series(size_t p) {
  ChartSeries series;
  series.name = std::string(policy_name(kPolicies[p]));
  series.color = kLooks[p].color;
  series.dash = kLooks[p].dash;
  series.marker = kLooks[p].marker;
  return series;
}

LineChart interval_chart(const PagestatResults& results) {
  const size_t intervals = results.interval_ends.size();
  const size_t group =
      std::max<size_t>(1, (intervals + kMaxChartIntervals - 1) / kMaxChartIntervals);
  const int64_t records_per_point = results.interval * static_cast<int64_t>(group);
  LineChart chart;
  chart.title = "Faults per " + counted(records_per_point, "record", "records") + " at " +
                counted(results.frames, "frame", "frames");
  chart.x_label = "record";
  chart.y_label = "page faults per " + counted(records_per_point, "record", "records");
  for (size_t p = 0; p < kPolicies.size(); ++p) {
    ChartSeries series = policy_series(p);
    const std::vector<int64_t>& faults = results.what_if[p].interval_faults;
    for (size_t first = 0; first < faults.size(); first += group) {
      const size_t end = std::min(faults.size(), first + group);
      int64_t sum = 0;
      for (size_t i = first; i < end; ++i) sum += faults[i];
      // Each stretch is a step over its records; a short last one at its
      // own width, its faults at the rate of a whole stretch.
      const int64_t first_record = static_cast<int64_t>(first) * results.interval;
      const int64_t last_record =
          std::min(results.trace->records(), static_cast<int64_t>(end) * results.interval);
      const double rate = static_cast<double>(sum) * static_cast<double>(records_per_point) /
                          static_cast<double>(std::max<int64_t>(1, last_record - first_record));
      series.x.push_back(static_cast<double>(first_record));
      series.y.push_back(rate);
      series.x.push_back(static_cast<double>(last_record));
      series.y.push_back(rate);
    }
    chart.series.push_back(std::move(series));
  }
  return chart;
}

double per_thousand(int64_t count, int64_t references) {
  return references == 0 ? 0 : static_cast<double>(count) * 1000 / static_cast<double>(references);
}

LineChart curve_chart(const PagestatResults& results) {
  LineChart chart;
  chart.title = "Miss-ratio curve: page faults per 1,000 references by frames";
  chart.x_label = "frames";
  chart.y_label = "page faults per 1,000 references";
  chart.y_scale = YScale::kLog;
  chart.marker_x = results.frames;
  chart.marker_label = counted(results.frames, "frame", "frames");
  const int64_t references = results.trace->references();
  for (size_t p = 0; p < kPolicies.size(); ++p) {
    ChartSeries series = policy_series(p);
    const std::vector<PolicyCounts>& counts = (*results.curve)[p];
    for (size_t k = 0; k < counts.size(); ++k) {
      series.x.push_back(static_cast<double>(results.curve->frames[k]));
      series.y.push_back(per_thousand(counts[k].faults, references));
    }
    chart.series.push_back(std::move(series));
  }
  return chart;
}

LineChart tlb_chart(const PagestatResults& results) {
  LineChart chart;
  chart.title = "TLB curve at " + counted(results.frames, "frame", "frames") +
                ": misses and faults per 1,000 references";
  chart.x_label = "TLB entries";
  chart.y_label = "per 1,000 references";
  chart.marker_x = 8;
  chart.marker_label = "8 entries (pagesim)";
  const int64_t references = results.trace->references();
  const Look looks[4] = {{"#1f77b4", "", Marker::kCircle},
                         {"#ff7f0e", "8,4", Marker::kSquare},
                         {"#2ca02c", "2,3", Marker::kTriangle},
                         {"#d62728", "10,3,2,3", Marker::kDiamond}};
  for (int what = 0; what < 2; ++what) {
    for (size_t mode = 0; mode < 2; ++mode) {
      const Look& look = looks[what * 2 + static_cast<int>(mode)];
      ChartSeries series;
      series.name = (what == 0 ? "misses, mode " : "faults, mode ") + std::to_string(mode);
      series.color = look.color;
      series.dash = look.dash;
      series.marker = look.marker;
      for (const TlbCurvePoint& point : (*results.tlb_curve)[mode]) {
        series.x.push_back(point.tlb_entries);
        series.y.push_back(
            per_thousand(what == 0 ? point.tlb_misses : point.page_faults, references));
      }
      chart.series.push_back(std::move(series));
    }
  }
  return chart;
}

}  // namespace

std::string pagestat_svg(const PagestatResults& results) {
  const std::string title = "pagestat: " + results.trace_name + " (" +
                            counted(results.trace->records(), "record", "records") + ")";
  std::vector<LineChart> charts = {interval_chart(results), curve_chart(results)};
  if (results.tlb_curve) charts.push_back(tlb_chart(results));
  return svg_document(title, charts);
}
