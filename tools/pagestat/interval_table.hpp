// The table of the intervals section with its column widths fixed before
// the first row, so that rows can be written as they are made. Columns are
// laid out as TextTable lays them: the first to the left, the others to the
// right, two spaces apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagestat/interval_stream.hpp"

class IntervalTable {
 public:
  /// For `records` records in intervals of `interval`, where no count of
  /// column c exceeds `column_max[c]`. REQUIRES: interval > 0.
  IntervalTable(int64_t records, int64_t interval, const IntervalRow& column_max);
  /// The header line.
  std::string header() const;
  /// The line of interval `index` (from 0).
  std::string row(int64_t index, const IntervalRow& counts) const;

 private:
  std::string line(const std::string& first, const std::vector<std::string>& cells) const;

  int64_t records_;
  int64_t interval_;
  std::vector<size_t> widths_;  ///< the records column, then the counts
};
