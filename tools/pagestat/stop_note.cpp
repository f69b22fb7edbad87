#include "tools/pagestat/stop_note.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "tools/line_locator.hpp"
#include "tools/trace_findings.hpp"

std::string stop_note(const char* path, int64_t records, ScanStop reason, uint64_t offset) {
  std::string where = std::string(path) + ": byte " + std::to_string(offset);
  std::string word;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    auto locator = std::make_unique<LineLocator>(fd);
    const TextPosition position = locator->locate(offset);
    word = locator->word_at_last_offset();
    if (!locator->failed()) {
      where = std::string(path) + ":" + std::to_string(position.line) + ":" +
              std::to_string(position.column);
    }
  }
  if (fd >= 0) close(fd);
  return where + ": after record " + std::to_string(records) + ": " + stop_text(reason, word);
}
