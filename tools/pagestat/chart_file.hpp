// The file a chart goes to, opened before the work it will show, so that a
// path that cannot be written fails at once instead of after the whole run.
#pragma once

#include <string>
#include <string_view>

class ChartFile {
 public:
  ChartFile() = default;
  ChartFile(const ChartFile&) = delete;
  ChartFile& operator=(const ChartFile&) = delete;
  /// Closes the file; one this object made is removed again unless written.
  ~ChartFile();

  /// Opens `path` for writing, making it when missing; an existing file
  /// keeps its contents until write(). Returns false with errno set.
  bool open(const std::string& path);
  /// Makes `text` the whole file and closes it. Returns false with errno set.
  /// REQUIRES: open() succeeded.
  bool write(std::string_view text);

 private:
  std::string path_;
  int fd_ = -1;
  bool created_ = false;
  bool written_ = false;
};
