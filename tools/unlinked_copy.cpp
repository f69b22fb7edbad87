#include "tools/unlinked_copy.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "io/output_buffer.hpp"

int copy_to_unlinked_file(int fd) {
  const char* directory = std::getenv("TMPDIR");
  std::string name =
      std::string(directory != nullptr && *directory ? directory : "/tmp") + "/pagesim.XXXXXX";
  const int copy = mkostemp(name.data(), O_CLOEXEC);
  if (copy < 0) return -1;
  unlink(name.c_str());
  std::vector<char> block(1 << 16);
  for (;;) {
    const ssize_t got = read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || (got > 0 && !write_fully(copy, block.data(), static_cast<size_t>(got)))) {
      const int saved = errno;
      close(copy);
      errno = saved;
      return -1;
    }
    if (got == 0) break;
  }
  if (lseek(copy, 0, SEEK_SET) == 0) return copy;
  const int saved = errno;
  close(copy);
  errno = saved;
  return -1;
}

std::string reopen_path(int fd) {
  // Linux keeps a link to every open file here, deleted or not.
  return "/proc/self/fd/" + std::to_string(fd);
}
