#include "tools/pagestat/interval_table.hpp"

#include <algorithm>

namespace {

const std::vector<std::string>& count_headers() {
  static const std::vector<std::string> headers = [] {
    std::vector<std::string> names = {"mode 0 TLB misses", "mode 0 faults", "mode 1 TLB misses",
                                      "mode 1 faults"};
    for (const Policy policy : kPolicies) names.emplace_back(policy_name(policy));
    return names;
  }();
  return headers;
}

std::string records_label(int64_t records, int64_t interval, int64_t index) {
  const int64_t first = index * interval + 1;
  const int64_t last = std::min(records, first + interval - 1);
  return std::to_string(first) + "-" + std::to_string(last);
}

}  // namespace

IntervalTable::IntervalTable(int64_t records, int64_t interval, const IntervalRow& column_max)
    : records_(records), interval_(interval) {
  // Both ends of the label grow from row to row: the last row is widest.
  const int64_t last_index = records > 0 ? (records - 1) / interval : 0;
  widths_.push_back(
      std::max(std::string("records").size(),
               records > 0 ? records_label(records, interval, last_index).size() : 0));
  for (size_t c = 0; c < column_max.size(); ++c)
    widths_.push_back(std::max(count_headers()[c].size(), std::to_string(column_max[c]).size()));
}

std::string IntervalTable::header() const {
  return line("records", count_headers());
}

std::string IntervalTable::row(int64_t index, const IntervalRow& counts) const {
  std::vector<std::string> cells;
  for (const int64_t count : counts) cells.push_back(std::to_string(count));
  return line(records_label(records_, interval_, index), cells);
}

std::string IntervalTable::line(const std::string& first,
                                const std::vector<std::string>& cells) const {
  std::string text = first + std::string(widths_[0] - std::min(widths_[0], first.size()), ' ');
  for (size_t c = 0; c < cells.size(); ++c) {
    const size_t width = widths_[c + 1];
    text += "  " + std::string(width - std::min(width, cells[c].size()), ' ') + cells[c];
  }
  return text + "\n";
}
