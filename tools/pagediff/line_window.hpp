// The lines of a user's file from some line on, kept while anyone still
// compares with them: the candidate machines read the same file at their
// own pace after the first difference, and the file is read only once.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "tools/pagediff/their_text.hpp"

struct WindowLine {
  std::string text;  ///< without the line feed
  bool cut = false;  ///< the file ends inside it
};

class LineWindow {
 public:
  /// Starts at the next line of `text`, which is its line `first` (from 0).
  void start(TheirText& text);
  /// Starts at line `first` of `text`, whose lines up to where `text`
  /// stands are `seed` (read already, kept elsewhere).
  void start_seeded(TheirText& text, uint64_t first, const std::string& seed);
  bool active() const { return text_ != nullptr; }
  /// Line `index` (from 0 in the file), or null past the end of the file.
  /// REQUIRES: active(); index >= the lowest line kept.
  const WindowLine* at(uint64_t index);
  /// Drops the lines before `index`.
  void release_below(uint64_t index);
  /// Counts, from now on, the lines read that are `marker`.
  void count_lines_equal(std::string marker) { marker_ = std::move(marker); }
  uint64_t marked() const { return marked_; }
  /// Reads the rest of the file (for the count), keeping nothing more.
  void drain();

 private:
  TheirText* text_ = nullptr;
  std::deque<WindowLine> lines_;
  uint64_t first_ = 0;  ///< index of lines_[0]
  bool ended_ = false;
  std::string marker_;
  uint64_t marked_ = 0;
};
