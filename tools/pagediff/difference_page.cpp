#include "tools/pagediff/difference_page.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// The first `count` lines of `text`, without the last line feed.
std::string first_lines(const std::string& text, int count) {
  size_t end = std::string::npos, from = 0;
  for (int i = 0; i < count; ++i) {
    end = text.find('\n', from);
    if (end == std::string::npos) break;
    from = end + 1;
  }
  return text.substr(0, end);
}

// The record the difference is about, within the trace pagesim read.
int64_t difference_record(const PassResult& pass) {
  int64_t record = pass.records;  // a total printed at the end is about the whole run
  if (pass.scene.found) {
    record = pass.scene.record;
  } else if (pass.log_differs) {
    record = pass.log.record;
  } else if (pass.out.total == StdoutDifference::kMessage) {
    record = pass.out.message_record;
  }
  return std::clamp<int64_t>(record, 1, std::max<int64_t>(pass.records, 1));
}

PageviewRequest base_request(const Options& options, int trace_fd, int log_fd) {
  PageviewRequest request;
  request.trace_path = options.trace;
  request.trace_fd = trace_fd;
  request.mode = options.mode;
  request.their_log = options.their_log;
  request.their_log_fd = log_fd;
  request.output_path = options.html;
  return request;
}

}  // namespace

PageviewRequest difference_page(const Options& options, const PassResult& pass,
                                const std::string& printed, int trace_fd, int log_fd) {
  PageviewRequest request = base_request(options, trace_fd, log_fd);
  request.heading = first_lines(printed, 2);
  center_on_record(request, difference_record(pass));
  return request;
}

PageviewRequest match_page(const Options& options, const std::string& printed, int trace_fd,
                           int log_fd) {
  PageviewRequest request = base_request(options, trace_fd, log_fd);
  request.heading = first_lines(printed, 1);
  request.first_record = 1;
  request.open_record = 1;
  return request;
}

bool PageFile::prepare(const std::string& path, std::initializer_list<int> inputs,
                       std::string& error) {
  path_ = path;
  struct stat status {};
  const bool existed = stat(path.c_str(), &status) == 0;
  // Opened without truncating: a page already there stays until the new
  // one replaces it.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat page {};
  const bool known = fstat(fd, &page) == 0;
  close(fd);
  made_ = !existed;
  for (const int input : inputs) {
    struct stat other {};
    if (known && input >= 0 && fstat(input, &other) == 0 && other.st_dev == page.st_dev &&
        other.st_ino == page.st_ino) {
      error = path + " is one of the inputs: the page would overwrite it";
      return false;
    }
  }
  return true;
}

PageFile::~PageFile() {
  if (made_) unlink(path_.c_str());
}
