// pagediff: finds the first place where a simulator's output parts from
// pagesim's on the same trace, and explains it from pagesim's own state.
//   pagediff [-m MODE] [-t TRACE] THEIR_LOG [THEIR_STDOUT]
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "io/output_buffer.hpp"
#include "tools/pagediff/command_line.hpp"
#include "tools/pagediff/comparison_pass.hpp"
#include "tools/pagediff/report.hpp"
#include "tools/pagediff/their_text.hpp"

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitCannotRun = 2;

// Each holds a block of the file: kept out of the stack.
TheirText their_log;
TheirText their_stdout;

int cannot_run(const std::string& message) {
  write_to_stderr("pagediff: " + message + "\n");
  return kExitCannotRun;
}

int cannot_read(const std::string& path, int error) {
  return cannot_run("cannot read " + path + ": " + std::strerror(error));
}

// Writes the report; a report that cannot be written is no result.
int print(const std::string& text, int status) {
  if (!write_fully(STDOUT_FILENO, text.data(), text.size()))
    return cannot_run(std::string("could not write standard output: ") + std::strerror(errno));
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  Options options;
  std::string error;
  if (!parse_command_line(argc, argv, options, error)) return cannot_run(error);
  if (options.help) return print(kUsage, kExitSame);

  const int trace_fd = open(options.trace.c_str(), O_RDONLY | O_CLOEXEC);
  if (trace_fd < 0) return cannot_read(options.trace, errno);
  if (!their_log.open(options.their_log)) return cannot_read(options.their_log, errno);
  const bool with_stdout = !options.their_stdout.empty();
  if (with_stdout && !their_stdout.open(options.their_stdout))
    return cannot_read(options.their_stdout, errno);

  const PassResult pass =
      run_comparison(trace_fd, options.mode, their_log, with_stdout ? &their_stdout : nullptr);
  if (pass.stop == ScanStop::kReadError) return cannot_read(options.trace, EIO);
  if (their_log.failed()) return cannot_read(options.their_log, their_log.errno_value());
  if (with_stdout && their_stdout.failed())
    return cannot_read(options.their_stdout, their_stdout.errno_value());

  if (!pass.log_differs && !pass.stdout_differs)
    return print(match_report(options, pass), kExitSame);
  std::string report, unreadable;
  if (!difference_report(options, pass, report, unreadable)) return cannot_read(unreadable, errno);
  return print(report, kExitDifferent);
}
