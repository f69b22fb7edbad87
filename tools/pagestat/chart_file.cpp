#include "tools/pagestat/chart_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io/output_buffer.hpp"

ChartFile::~ChartFile() {
  if (fd_ >= 0) close(fd_);
  if (created_ && !written_) unlink(path_.c_str());
}

bool ChartFile::open(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  created_ = fd_ >= 0;
  if (fd_ < 0 && errno == EEXIST) fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  return fd_ >= 0;
}

bool ChartFile::write(std::string_view text) {
  struct stat status;
  bool written = fstat(fd_, &status) == 0;
  // Only a regular file has old contents to drop (not a FIFO or a terminal).
  if (written && S_ISREG(status.st_mode)) written = ftruncate(fd_, 0) == 0;
  if (written) written = write_fully(fd_, text.data(), text.size());
  const int saved_errno = errno;
  const bool closed = close(fd_) == 0;
  fd_ = -1;
  written_ = true;  // whatever reached the file stays, as the error says
  if (!written) errno = saved_errno;
  return written && closed;
}
