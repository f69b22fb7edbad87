// pagesim: simulates demand-paged virtual memory shared by several processes,
// driven by the trace in data.txt; logs TLB loads and page faults to out.txt.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "memory/tables.hpp"
#include "run/arguments.hpp"
#include "run/banner.hpp"
#include "run/trace_run.hpp"

namespace {

// Bytes of data.txt read at a time: a block small enough to stay in the
// processor's cache from the kernel's copy to the scan (with 1 MiB the scan
// took about 6% more time on a 137 MB trace in tmpfs).
constexpr size_t kTraceReadSize = 256 << 10;

// Opens a file on a descriptor above the three standard ones. When the
// program is started with one of them closed, open() would hand out that
// number, and the trace or the event log would stand in for standard input
// or output: the display's pauses would eat trace bytes, the console would
// write into out.txt.
int open_beside_standard_streams(const char* path, int flags, mode_t mode = 0) {
  const int fd = open(path, flags | O_CLOEXEC, mode);
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  close(fd);
  return moved;
}

[[noreturn]] void fail_on_console(std::string_view message) {
  sim.console.put(message);
  end_run(kExitFailure);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (pagesim | head) or a file-size limit must not
  // kill the run with output unwritten: the failed write is reported like
  // any other.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  // The console carries little but the display and error messages: a small
  // block keeps them from adding to the program's memory.
  sim.console.attach(STDOUT_FILENO, isatty(STDOUT_FILENO) == 1, kConsoleBlockSize);
  write_to_stderr(kBanner);

  const int arguments = argc - 1;
  if (arguments >= 3) fail_on_console("Error, too many arguments\n");
  sim.replacement_mode = arguments >= 1 ? ascii_to_int(argv[1]) : 0;
  sim.break_line = arguments == 2 ? ascii_to_int(argv[2]) : kDefaultBreakLine;
  if (sim.replacement_mode < 0 || sim.replacement_mode > 1) {
    write_to_stderr(std::string("Error, bad first argument ") + argv[1] + "\n");
    end_run(kExitFailure);
  }

  const int trace_fd = open_beside_standard_streams("data.txt", O_RDONLY);
  if (trace_fd < 0) fail_on_console("Error, could not open data.txt. Good bye!\n");
  const int log_fd = open_beside_standard_streams("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (log_fd < 0) fail_on_console("Error, could not open out.txt. Good bye!\n");
  sim.trace_file.attach(trace_fd, kTraceReadSize);
  sim.event_log.attach(log_fd, false);

  reset_tables();
  sim.reference_clock = 0;
  sim.record_number = 0;

  run_trace();
  if (sim.trace_file.stop_reason() == ScanStop::kReadError)
    fail_on_console("Error, could not read data.txt. Good bye!\n");
  print_totals();
  end_run(kExitSuccess);
}
