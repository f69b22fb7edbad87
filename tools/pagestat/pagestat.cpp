// pagestat: what a trace does to pagesim's TLB and frames, per process and
// over time, against other replacement policies at any number of frames.
//   pagestat [-f FRAMES] [-i INTERVAL] [--curve] [--frames-max N] [--csv] [--svg FILE] [TRACE]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "io/output_buffer.hpp"
#include "tools/pagestat/command_line.hpp"
#include "tools/pagestat/csv_report.hpp"
#include "tools/pagestat/stat_charts.hpp"
#include "tools/pagestat/stop_note.hpp"
#include "tools/pagestat/text_report.hpp"
#include "tools/pagestat/trace_input.hpp"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitCannotRun = 2;
// Intervals the default interval length aims at.
constexpr int64_t kDefaultIntervals = 100;

int cannot_run(const std::string& message) {
  write_to_stderr("pagestat: " + message + "\n");
  return kExitCannotRun;
}

// Runs the tasks on this thread and one more, each task once: the machine
// this is made for has two cores. Tasks come longest first.
void run_on_two_threads(const std::vector<std::function<void()>>& tasks) {
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t task; (task = next++) < tasks.size();) tasks[task]();
  };
  std::thread helper(work);
  work();
  helper.join();
}

bool write_file(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = write_fully(fd, text.data(), text.size());
  const int saved_errno = errno;
  if (close(fd) != 0 || !written) {
    if (!written) errno = saved_errno;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  PagestatOptions options;
  std::string error;
  if (!parse_command_line(argc, argv, &options, &error)) return cannot_run(error);
  static OutputBuffer out;
  out.attach(STDOUT_FILENO, false);
  if (options.help) {
    out.put(usage_text());
    out.flush();
    return out.failed() ? cannot_run("could not write standard output") : kExitSuccess;
  }

  ReferenceTrace trace;
  const TraceInput input = read_trace(options.trace_path.c_str(), &trace);
  if (!input.error.empty()) return cannot_run(input.error);
  if (input.stop == ScanStop::kNotANumber || input.stop == ScanStop::kOutOfRange) {
    write_to_stderr(
        stop_note(options.trace_path.c_str(), trace.records(), input.stop, input.stop_offset) +
        "\n");
  }

  PagestatResults results;
  results.trace_name = options.trace_path;
  results.trace = &trace;
  results.frames = options.frames;
  results.interval =
      options.interval.value_or(std::max<int64_t>(1, trace.records() / kDefaultIntervals));
  results.interval_ends = trace.interval_ends(results.interval);
  const bool wants_pagesim = !options.csv;
  const bool wants_curve = options.curve || !options.svg_path.empty();

  // pagesim's model ends the whole program on an inconsistent TLB entry, so
  // a trace that can lead there is first tried in a child process, while
  // this process is still one thread.
  std::optional<int64_t> ends_at[2];
  if (wants_pagesim && trace.names_process_minus_one()) {
    for (int32_t mode = 0; mode < 2; ++mode) ends_at[mode] = find_inconsistent_record(trace, mode);
  }

  std::vector<std::function<void()>> tasks;
  std::vector<int> curve_frames;
  if (wants_curve) {
    curve_frames = curve_frame_counts(trace.pages(), options.frames_max);
    results.curve.emplace();
    tasks = curve_tasks(trace, curve_frames, &*results.curve);
  }
  if (wants_pagesim) {
    // One task: the model is one global machine.
    tasks.push_back([&] {
      for (int32_t mode = 0; mode < 2; ++mode)
        results.modes[mode] = run_pagesim(trace, mode, results.interval_ends, ends_at[mode]);
    });
  }
  tasks.push_back([&] {
    std::vector<WhatIfRun> runs;
    for (const Policy policy : kPolicies) runs.push_back({policy, options.frames});
    results.what_if = run_what_if(trace, runs, results.interval_ends);
  });
  run_on_two_threads(tasks);

  if (options.csv) {
    if (trace.names_process_minus_one()) {
      write_to_stderr("pagestat: " + options.trace_path +
                      " names process -1, the tables' empty marker: clock and clean-first need "
                      "not match pagesim's modes\n");
    }
    out.put(csv_report(results));
  } else {
    out.put(text_report(results));
  }
  out.flush();
  if (out.failed()) return cannot_run("could not write standard output");
  if (!options.svg_path.empty() && !write_file(options.svg_path, pagestat_svg(results)))
    return cannot_run("cannot write " + options.svg_path + ": " + strerror(errno));
  return kExitSuccess;
}
