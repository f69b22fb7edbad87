#include "tools/tracecheck/spooled_input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "io/output_buffer.hpp"

namespace {

TwoReaders failed(TwoReaders readers, const std::string& what) {
  const int saved_errno = errno;
  if (readers.first >= 0) close(readers.first);
  if (readers.second >= 0) close(readers.second);
  return {-1, -1, what + ": " + std::strerror(saved_errno)};
}

// Copies everything `from` gives into a new unnamed temporary file, opened
// twice from its start.
TwoReaders spool(int from, const char* path) {
  const char* folder = std::getenv("TMPDIR");
  std::string name =
      std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/tracecheck.XXXXXX";
  TwoReaders readers;
  readers.first = mkostemp(name.data(), O_CLOEXEC);
  if (readers.first < 0) return failed(readers, "cannot keep a copy of " + std::string(path));
  readers.second = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  const int open_errno = errno;
  unlink(name.c_str());
  errno = open_errno;
  if (readers.second < 0) return failed(readers, "cannot keep a copy of " + std::string(path));
  static char block[64 << 10];
  for (;;) {
    const ssize_t got = read(from, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failed(readers, "cannot read " + std::string(path));
    if (got == 0) break;
    if (!write_fully(readers.first, block, static_cast<size_t>(got)))
      return failed(readers, "cannot keep a copy of " + std::string(path));
  }
  if (lseek(readers.first, 0, SEEK_SET) != 0)
    return failed(readers, "cannot keep a copy of " + std::string(path));
  return readers;
}

}  // namespace

TwoReaders open_for_two_readers(const char* path) {
  TwoReaders readers;
  readers.first = open(path, O_RDONLY | O_CLOEXEC);
  if (readers.first < 0) return failed(readers, "cannot read " + std::string(path));
  struct stat status;
  if (fstat(readers.first, &status) != 0)
    return failed(readers, "cannot read " + std::string(path));
  if (!S_ISREG(status.st_mode)) {
    TwoReaders copy = spool(readers.first, path);
    close(readers.first);
    return copy;
  }
  readers.second = open(path, O_RDONLY | O_CLOEXEC);
  if (readers.second < 0) return failed(readers, "cannot read " + std::string(path));
  return readers;
}
