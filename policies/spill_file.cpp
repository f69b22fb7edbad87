#include "policies/spill_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string failure(const char* what, const std::string& directory, int error) {
  return std::string(what) + directory + ": " + strerror(error);
}

// A file with no name in `directory`: O_TMPFILE where the file system has it,
// else a named file removed at once.
int open_unnamed(const std::string& directory) {
  int fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = directory + "/pagestat-spill-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) unlink(name.c_str());
  return fd;
}

}  // namespace

std::string spill_directory(const std::string& directory) {
  if (!directory.empty()) return directory;
  const char* tmpdir = getenv("TMPDIR");
  return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

SpillFile::SpillFile(const std::string& directory, uint64_t block_words)
    : directory_(directory), block_words_(block_words), fd_(open_unnamed(directory)) {
  if (fd_ < 0) throw SpillError(failure("cannot make a temporary file in ", directory_, errno));
}

SpillFile::~SpillFile() {
  close(fd_);
}

void SpillFile::write_block(uint64_t index, std::span<const uint32_t> words) {
  const char* bytes = reinterpret_cast<const char*>(words.data());
  size_t left = words.size_bytes();
  auto offset = static_cast<off_t>(index * block_words_ * sizeof(uint32_t));
  while (left > 0) {
    const ssize_t written = pwrite(fd_, bytes, left, offset);
    if (written < 0 && errno == EINTR) continue;
    // A write that takes nothing without an error would go on for ever.
    if (written <= 0)
      throw SpillError(
          failure("cannot write the spilled trace to ", directory_, written < 0 ? errno : ENOSPC));
    bytes += written;
    left -= static_cast<size_t>(written);
    offset += written;
  }
}

void SpillFile::read_block(uint64_t index, std::span<uint32_t> out) const {
  char* bytes = reinterpret_cast<char*>(out.data());
  size_t left = out.size_bytes();
  auto offset = static_cast<off_t>(index * block_words_ * sizeof(uint32_t));
  while (left > 0) {
    const ssize_t got = pread(fd_, bytes, left, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0)
      throw SpillError(
          failure("cannot read the spilled trace back from ", directory_, got < 0 ? errno : EIO));
    bytes += got;
    left -= static_cast<size_t>(got);
    offset += got;
  }
}
