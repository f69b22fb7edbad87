// Columns of text lined up: the first column to the left, the others to the
// right, each as wide as its widest cell.
#pragma once

#include <string>
#include <vector>

class TextTable {
 public:
  void add_row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  /// Every row as a line, columns two spaces apart, no trailing space.
  std::string render() const;

 private:
  std::vector<std::vector<std::string>> rows_;
};
