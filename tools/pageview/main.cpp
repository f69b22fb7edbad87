// pageview: one self-contained web page that steps through pagesim's run
// over a window of records, the user's log lines beside pagesim's.
//   pageview [-m MODE] [-t TRACE] [--from R] [--count N] [--theirs LOG] [-o FILE]
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <string>

#include "io/output_buffer.hpp"
#include "tools/pageview/command_line.hpp"
#include "tools/pageview/pageview.hpp"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitCannotRun = 2;

int cannot_run(const std::string& message) {
  write_to_stderr("pageview: " + message + "\n");
  return kExitCannotRun;
}

int run(int argc, char** argv) {
  PageviewRequest request;
  bool help = false;
  std::string error;
  if (!parse_pageview_command_line(argc, argv, request, help, error)) return cannot_run(error);
  if (help) {
    const char* usage = pageview_usage();
    if (!write_fully(STDOUT_FILENO, usage, std::strlen(usage)))
      return cannot_run(std::string("cannot write standard output: ") + std::strerror(errno));
    return kExitSuccess;
  }
  PageviewResult result;
  if (!write_pageview(request, result, error)) {
    if (!result.reader_left) return cannot_run(error);
    // Its reader has left: end quietly, as a filter in a pipeline does.
    signal(SIGPIPE, SIG_DFL);
    raise(SIGPIPE);
    return kExitCannotRun;
  }
  // Where pagesim stops reading early, in the form the other tools use.
  if (!result.stop_note.empty()) write_to_stderr(result.stop_note + "\n");
  return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  // A file-size limit is a write error to report, not a reason to die.
  signal(SIGXFSZ, SIG_IGN);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    return cannot_run("not enough memory to make the page");
  }
}
