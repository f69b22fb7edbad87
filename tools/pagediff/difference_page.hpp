// The page of pagesim's run that pagediff --html writes: around the first
// difference, its location and cause at the top, the user's log beside
// pagesim's; from the first record when everything matched.
#pragma once

#include <initializer_list>
#include <string>

#include "tools/pagediff/command_line.hpp"
#include "tools/pagediff/comparison_pass.hpp"
#include "tools/pageview/pageview.hpp"

/// The page around the first difference of `pass`; `printed` is the report
/// pagediff printed for it, whose first two lines (location and cause) head
/// the page. The trace and the log are read from `trace_fd` and `log_fd`.
/// REQUIRES: the pass found a difference; both descriptors regular files.
PageviewRequest difference_page(const Options& options, const PassResult& pass,
                                const std::string& printed, int trace_fd, int log_fd);

/// The page from record 1, headed by `printed`'s first line (the match).
/// REQUIRES: both descriptors regular files.
PageviewRequest match_page(const Options& options, const std::string& printed, int trace_fd,
                           int log_fd);

/// The page's file, made (or found writable) before the long work, so that
/// a page that cannot be written stops the run at once; a file made here
/// and never filled is removed again.
class PageFile {
 public:
  /// Returns false with `error` set (one line) when `path` cannot be
  /// written or is the file of one of `inputs` (descriptors; -1: none),
  /// which the page would overwrite.
  bool prepare(const std::string& path, std::initializer_list<int> inputs, std::string& error);
  /// The page is written: the file stays.
  void keep() { made_ = false; }
  ~PageFile();

 private:
  std::string path_;
  bool made_ = false;  ///< made by prepare() and not yet filled
};
