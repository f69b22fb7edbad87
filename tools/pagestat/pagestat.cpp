// pagestat: what a trace does to pagesim's TLB and frames, per process and
// over time, against other replacement policies at any number of frames.
//   pagestat [-f FRAMES] [-i INTERVAL] [--curve] [--frames-max N] [--tlb-curve] [--csv] [--svg
//   FILE] [--memory-max SIZE] [TRACE]
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "io/output_buffer.hpp"
#include "tools/pagestat/chart_file.hpp"
#include "tools/pagestat/command_line.hpp"
#include "tools/pagestat/csv_report.hpp"
#include "tools/pagestat/interval_stream.hpp"
#include "tools/pagestat/stat_charts.hpp"
#include "tools/pagestat/stop_note.hpp"
#include "tools/pagestat/text_report.hpp"
#include "tools/pagestat/tlb_curve_report.hpp"
#include "tools/pagestat/trace_input.hpp"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitCannotRun = 2;
// Intervals the default interval length aims at.
constexpr int64_t kDefaultIntervals = 100;
// Intervals the text report keeps from the first runs; more are run again
// and written this many at a time, so memory does not grow with them.
constexpr size_t kHeldIntervals = 4096;

int cannot_run(const std::string& message) {
  write_to_stderr("pagestat: " + message + "\n");
  return kExitCannotRun;
}

// Standard output, remembering why its first failed write failed.
class Report {
 public:
  Report() { out_.attach(STDOUT_FILENO, false); }
  void put(std::string_view text) {
    out_.put(text);
    note_failure();
  }
  /// Writes out what is buffered; false when any write failed.
  bool flush() {
    out_.flush();
    note_failure();
    return !out_.failed();
  }
  bool failed() const { return out_.failed(); }
  /// "could not write standard output: No space left on device".
  std::string failure() const {
    return std::string("could not write standard output: ") + strerror(write_errno_);
  }

 private:
  void note_failure() {
    if (out_.failed() && write_errno_ == 0) write_errno_ = errno != 0 ? errno : EIO;
  }
  OutputBuffer out_;
  int write_errno_ = 0;
};

// Runs the tasks on this thread and one more, each task once: the machine
// this is made for has two cores. Tasks come longest first. A task's
// exception stops both threads taking more and is thrown again here; a
// helper that cannot start throws std::system_error, saying so, before any
// task runs.
void run_on_two_threads(const std::vector<std::function<void()>>& tasks) {
  std::atomic<size_t> next{0};
  std::exception_ptr failures[2];
  const auto work = [&](std::exception_ptr* failure) {
    try {
      for (size_t task; (task = next++) < tasks.size();) tasks[task]();
    } catch (...) {
      *failure = std::current_exception();
      next = tasks.size();
    }
  };
  std::thread helper;
  try {
    helper = std::thread(work, &failures[1]);
  } catch (const std::system_error& error) {
    throw std::system_error(error.code(), "not enough memory for a second thread");
  }
  work(&failures[0]);
  helper.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// "30000000 records; the trace takes 240 MB".
std::string trace_size(const ReferenceTrace& trace) {
  return std::to_string(trace.records()) + " records; the trace takes " +
         std::to_string((trace.events() * sizeof(uint32_t) + 500'000) / 1'000'000) + " MB";
}

// The runs and the report of a trace read in full.
int report_on(const PagestatOptions& options, const ReferenceTrace& trace, ChartFile& chart,
              Report& report) {
  PagestatResults results;
  results.trace_name = options.trace_path;
  results.trace = &trace;
  results.frames = options.frames;
  results.interval =
      options.interval.value_or(std::max<int64_t>(1, trace.records() / kDefaultIntervals));
  const bool wants_pagesim = !options.csv;
  const bool wants_curve = options.curve || !options.svg_path.empty();
  const int64_t intervals = (trace.records() + results.interval - 1) / results.interval;
  // The chart reads every interval's faults from the first runs.
  const bool streams_intervals =
      wants_pagesim && options.svg_path.empty() && intervals > static_cast<int64_t>(kHeldIntervals);
  if ((wants_pagesim && !streams_intervals) || !options.svg_path.empty())
    results.interval_ends = trace.interval_ends(results.interval);

  // pagesim's model ends the whole program on an inconsistent TLB entry, so
  // a trace that can lead there is first tried in a child process, while
  // this process is still one thread.
  std::array<std::optional<int64_t>, 2> ends_at;
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
  if (options.tlb_curve) {
    results.tlb_curve.emplace();
    results.tlb_curve_one_pass = tlb_one_pass_is_exact(trace);
    auto& tlb = *results.tlb_curve;
    for (int32_t mode = 0; mode < 2; ++mode) {
      if (results.tlb_curve_one_pass) {
        tasks.push_back([&trace, &tlb, &options, mode] {
          tlb[mode] = tlb_curve_one_pass(trace, mode, options.frames);
        });
        continue;
      }
      tlb[mode].resize(kTlbCurveEntries);
      for (int entries = 1; entries <= kTlbCurveEntries; ++entries) {
        tasks.push_back([&trace, &tlb, &options, mode, entries] {
          tlb[mode][entries - 1] = run_machine_at(trace, mode, entries, options.frames);
        });
      }
    }
  }
  // Whole passes of their own, each as long as a curve's longest tasks.
  std::vector<std::function<void()>> passes;
  if (wants_pagesim) {
    // One task: the model is one global machine.
    passes.push_back([&] {
      for (int32_t mode = 0; mode < 2; ++mode)
        results.modes[mode] = run_pagesim(trace, mode, results.interval_ends, ends_at[mode]);
    });
  }
  // A CSV of a curve or of the TLB curve, without a chart, shows no what-if.
  if (!options.csv || !options.svg_path.empty() || (!options.curve && !options.tlb_curve)) {
    passes.push_back([&] {
      std::vector<WhatIfRun> runs;
      for (const Policy policy : kPolicies) runs.push_back({policy, options.frames});
      results.what_if = run_what_if(trace, runs, results.interval_ends);
    });
  }
  // After the curve's first two tasks (OPT's stack and LRU's, which the
  // rest wait for), so that the curve's parts, shorter, come last and the
  // two threads end together instead of one running a whole pass alone.
  const size_t passes_at = std::min<size_t>(wants_curve ? 2 : 0, tasks.size());
  tasks.insert(tasks.begin() + static_cast<ptrdiff_t>(passes_at), passes.begin(), passes.end());
  run_on_two_threads(tasks);

  if (options.csv) {
    if (trace.names_process_minus_one()) {
      write_to_stderr("pagestat: " + options.trace_path +
                      " names process -1, the tables' empty marker: clock and clean-first need "
                      "not match pagesim's modes\n");
    }
    report.put(options.tlb_curve ? tlb_curve_csv(results) : csv_report(results));
  } else if (!streams_intervals) {
    write_text_report(results, [&report](std::string_view text) { report.put(text); });
  } else {
    report.put(text_report_head(results));
    const IntervalTable table = streamed_interval_table(results);
    report.put(table.header());
    int64_t index = 0;
    std::string lines;
    stream_interval_rows(trace, options.frames, results.interval, ends_at, kHeldIntervals,
                         [&](std::span<const IntervalRow> rows) {
                           lines.clear();
                           for (const IntervalRow& row : rows) lines += table.row(index++, row);
                           report.put(lines);
                           return !report.failed();
                         });
  }
  if (!report.flush()) return cannot_run(report.failure());
  if (!options.svg_path.empty() && !chart.write(pagestat_svg(results)))
    return cannot_run("cannot write " + options.svg_path + ": " + strerror(errno));
  return kExitSuccess;
}

int analyse(const PagestatOptions& options, Report& report) {
  ChartFile chart;
  if (!options.svg_path.empty() && !chart.open(options.svg_path))
    return cannot_run("cannot write " + options.svg_path + ": " + strerror(errno));

  ReferenceTrace trace(TraceMemory{.budget_bytes = options.memory_max, .spill_directory = {}});
  const TraceInput input = read_trace(options.trace_path.c_str(), &trace);
  if (!input.error.empty()) return cannot_run(input.error);
  if (input.stop == ScanStop::kNotANumber || input.stop == ScanStop::kOutOfRange) {
    write_to_stderr(
        stop_note(options.trace_path.c_str(), trace.records(), input.stop, input.stop_offset) +
        "\n");
  }
  try {
    return report_on(options, trace, chart, report);
  } catch (const std::bad_alloc&) {
    report.flush();
    return cannot_run("not enough memory to run the trace (" + trace_size(trace) + ")");
  } catch (const SpillError& error) {
    report.flush();
    return cannot_run(error.what());
  } catch (const std::system_error& error) {
    report.flush();
    return cannot_run(error.what());  // the helper thread or the trial process
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a write fail, which is reported, instead of
  // ending the program with part of the report written and nothing said.
  signal(SIGXFSZ, SIG_IGN);
  static Report report;
  try {
    PagestatOptions options;
    std::string error;
    if (!parse_command_line(argc, argv, &options, &error)) return cannot_run(error);
    if (options.help) {
      report.put(usage_text());
      return report.flush() ? kExitSuccess : cannot_run(report.failure());
    }
    return analyse(options, report);
  } catch (const std::bad_alloc&) {
    report.flush();
    return cannot_run("not enough memory");
  }
}
