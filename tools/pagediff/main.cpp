// pagediff: finds the first place where a simulator's output parts from
// pagesim's on the same trace, names the mistake that reproduces it, and
// explains it from pagesim's own state.
//   pagediff [-m MODE] [-t TRACE] [--all] [--html FILE] THEIR_LOG [THEIR_STDOUT]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "io/output_buffer.hpp"
#include "tools/pagediff/command_line.hpp"
#include "tools/pagediff/comparison_pass.hpp"
#include "tools/pagediff/difference_page.hpp"
#include "tools/pagediff/input_notes.hpp"
#include "tools/pagediff/report.hpp"
#include "tools/pagediff/their_text.hpp"
#include "tools/pagediff/trace_input.hpp"
#include "tools/pageview/pageview.hpp"
#include "tools/unlinked_copy.hpp"

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitCannotRun = 2;

// Differences --all goes through at most.
constexpr int kMostDifferences = 10;

// Each holds a block of its file: kept out of the stack.
TheirText their_log;
TheirText their_stdout;
TraceInput trace_input;

int cannot_run(const std::string& message) {
  write_to_stderr("pagediff: " + message + "\n");
  return kExitCannotRun;
}

int cannot_read(const std::string& path, int error) {
  return cannot_run("cannot read " + path + ": " + std::strerror(error));
}

// Writes part of the report; a report that cannot be written is no result.
bool print(const std::string& text) {
  return write_fully(STDOUT_FILENO, text.data(), text.size());
}

int write_failed() {
  return cannot_run(std::string("could not write standard output: ") + std::strerror(errno));
}

// One of the inputs, readable from its start again for --all: a pipe or a
// FIFO is first copied to an unlinked temporary file.
struct Input {
  std::string path;
  int fd = -1;
  int error = 0;  ///< errno when it could not be opened or copied
};

bool copy_to_temporary(Input& input) {
  const int copy = copy_to_unlinked_file(input.fd);
  if (copy < 0) {
    input.error = errno;
    return false;
  }
  close(input.fd);
  input.fd = copy;
  return true;
}

bool open_input(Input& input, bool rereadable) {
  input.fd = open(input.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (input.fd < 0) {
    input.error = errno;
    return false;
  }
  struct stat status {};
  if (!rereadable || (fstat(input.fd, &status) == 0 && S_ISREG(status.st_mode))) return true;
  if (copy_to_temporary(input)) return true;
  if (input.error == 0) input.error = errno;
  return false;
}

// Points the readers at the start of the inputs again.
bool rewind(Input& input, bool first_round) {
  if (first_round) return true;
  if (lseek(input.fd, 0, SEEK_SET) < 0) {
    input.error = errno;
    return false;
  }
  return true;
}

int run(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parse_command_line(argc, argv, options, error)) return cannot_run(error);
  if (options.help) return print(kUsage) ? kExitSame : write_failed();

  const bool with_stdout = !options.their_stdout.empty();
  const bool with_page = !options.html.empty();
  Input trace{options.trace}, log{options.their_log}, out{options.their_stdout};
  // The page reads the trace and the log again: a pipe is copied first.
  if (!open_input(trace, options.all || with_page)) return cannot_read(trace.path, trace.error);
  if (!open_input(log, options.all || with_page)) return cannot_read(log.path, log.error);
  if (with_stdout && !open_input(out, options.all)) return cannot_read(out.path, out.error);
  PageFile page_file;
  if (with_page && !page_file.prepare(options.html, {trace.fd, log.fd, out.fd}, error))
    return cannot_run(error);
  // Writes the page once the report is out; a page that cannot be made
  // turns the run into a failure, the report on stdout already complete.
  auto with_page_written = [&](const PageviewRequest& request, int report_status) {
    std::string page_error;
    if (!write_pageview(request, page_error)) return cannot_run(page_error);
    page_file.keep();
    return report_status;
  };

  variants::Variant base;
  base.mode = options.mode;
  bool first_round = true;
  int unreadable_status = kExitSame;
  // One pass over all the inputs from their starts, with `machine` as pagesim's.
  auto run_round = [&](const variants::Variant& machine, PassResult& pass) {
    for (Input* input : {&trace, &log, &out}) {
      if (input->fd >= 0 && !rewind(*input, first_round)) {
        unreadable_status = cannot_read(input->path, input->error);
        return false;
      }
    }
    trace_input.attach(trace.fd);
    their_log.adopt(dup(log.fd));
    if (with_stdout) their_stdout.adopt(dup(out.fd));
    FirstBytes first;
    first.log = std::string(their_log.peek(512));
    if (with_stdout) first.stdout = std::string(their_stdout.peek(512));
    pass = run_comparison(trace_input, machine, their_log, with_stdout ? &their_stdout : nullptr);
    if (pass.stop == ScanStop::kReadError) {
      unreadable_status = cannot_read(options.trace, pass.read_errno);
    } else if (their_log.failed()) {
      unreadable_status = cannot_read(options.their_log, their_log.errno_value());
    } else if (with_stdout && their_stdout.failed()) {
      unreadable_status = cannot_read(options.their_stdout, their_stdout.errno_value());
    }
    if (unreadable_status != kExitSame) return false;
    if (first_round) {
      const std::string note = input_note(options, first, pass);
      if (!note.empty()) write_to_stderr("pagediff: " + note + "\n");
    }
    first_round = false;
    return true;
  };

  std::vector<std::string> found;
  int status = kExitSame;
  PassResult pass;
  PageviewRequest first_page;  // --all --html: the page of the first difference
  bool have_pass = false;      // a pass already run for `base`
  for (int round = 0; round < kMostDifferences; ++round) {
    if (!have_pass && !run_round(base, pass)) return unreadable_status;
    have_pass = false;
    if (!pass.log_differs && !pass.stdout_differs) {
      if (round > 0) break;
      const std::string report = match_report(options, pass);
      if (!print(report)) return write_failed();
      if (!with_page) return kExitSame;
      return with_page_written(match_page(options, report, trace.fd, log.fd), kExitSame);
    }
    status = kExitDifferent;
    if (!options.all) {
      const std::string report = difference_report(options, pass);
      if (!print(report)) return write_failed();
      if (!with_page) return status;
      return with_page_written(difference_page(options, pass, report, trace.fd, log.fd), status);
    }
    const std::vector<const Candidate*> named = causes(pass);
    const Candidate* joint = nullptr;
    Candidate tried;
    if (named.empty()) {
      // Two mistakes close together: the one that went furthest may be the
      // first, if with it the next difference has a cause.
      const std::vector<const Candidate*> near = coincidences(pass);
      const Candidate* best = nullptr;
      for (const Candidate* candidate : near) {
        if (best == nullptr || candidate->log_lines > best->log_lines) best = candidate;
      }
      PassResult next;
      if (best != nullptr) {
        tried = *best;
        if (!run_round(tried.variant, next)) return unreadable_status;
        const bool next_named = (next.log_differs || next.stdout_differs) && !causes(next).empty();
        if (next_named && (!next.log_differs || next.log.theirs.number > tried.log_lines)) {
          joint = &tried;
          const std::string block = difference_block(options, pass, joint);
          if (round == 0 && with_page)
            first_page = difference_page(options, pass, block, trace.fd, log.fd);
          if (!print((round > 0 ? "\n" : "") + block)) return write_failed();
          found.push_back(tried.id);
          base = tried.variant;
          pass = std::move(next);
          have_pass = true;
          continue;
        }
      }
    }
    const std::string block = difference_block(options, pass);
    if (round == 0 && with_page)
      first_page = difference_page(options, pass, block, trace.fd, log.fd);
    if (!print((round > 0 ? "\n" : "") + block)) return write_failed();
    if (named.empty()) {
      found.push_back((found.empty() ? "none, then " : "then ") + std::string("unknown"));
      break;
    }
    found.push_back(named.front()->id);
    base = named.front()->variant;
  }
  std::string last = "\nmistakes found: ";
  for (size_t i = 0; i < found.size(); ++i) last += (i > 0 ? ", " : "") + found[i];
  if (!print(last + "\n")) return write_failed();
  return with_page ? with_page_written(first_page, status) : status;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  // A file-size limit is a write error to report, not a reason to die.
  signal(SIGXFSZ, SIG_IGN);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    return cannot_run("not enough memory to run the comparison");
  } catch (const std::system_error& failure) {
    return cannot_run(std::string("could not run the comparison: ") + failure.what());
  }
}
