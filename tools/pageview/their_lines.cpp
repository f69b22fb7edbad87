#include "tools/pageview/their_lines.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/unlinked_copy.hpp"

namespace {

// The record number after "line " in an event line; -1 when there is none.
int64_t named_record(const std::string& line) {
  const size_t at = line.find("line ");
  if (at == std::string::npos) return -1;
  int64_t number = 0;
  size_t i = at + 5, digits = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 18; ++i, ++digits)
    number = number * 10 + (line[i] - '0');
  return digits == 0 ? -1 : number;
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool read_their_lines(const std::string& path, int64_t first, int64_t count, TheirLines& lines,
                      std::string& error, int fd) {
  const std::unique_ptr<FILE, FileCloser> file(
      std::fopen((fd >= 0 ? reopen_path(fd) : path).c_str(), "rb"));
  if (!file) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  lines.first = first;
  lines.of_record.assign(static_cast<size_t>(count), {});
  std::vector<int64_t> dropped(static_cast<size_t>(count), 0);
  std::string line;
  int64_t record = -1;
  const auto keep = [&] {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const int64_t named = named_record(line);
    if (named >= 0) record = named;
    if (record >= first && record - first < count) {
      const auto index = static_cast<size_t>(record - first);
      if (lines.of_record[index].size() < kTheirLinesPerRecord)
        lines.of_record[index].push_back(line);
      else
        ++dropped[index];
    }
    line.clear();
  };
  char block[1 << 16];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
    for (size_t i = 0; i < got; ++i) {
      if (block[i] == '\n') {
        keep();
      } else if (line.size() < kTheirLineLimit) {
        line += block[i];
      } else if (line.size() == kTheirLineLimit) {
        line += "...";
      }
    }
  }
  if (std::ferror(file.get())) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!line.empty()) keep();
  for (size_t i = 0; i < dropped.size(); ++i) {
    if (dropped[i] > 0)
      lines.of_record[i].push_back("(" + std::to_string(dropped[i]) + " more lines)");
  }
  return true;
}
