#include "tools/pagestat/text_report.hpp"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "tools/pagestat/interval_table.hpp"
#include "tools/pagestat/text_table.hpp"
#include "tools/pagestat/tlb_curve_report.hpp"

namespace {

// Processes listed one by one; the rest are summed in the total.
constexpr size_t kListedProcesses = 100;
// pagesim's frames: where clock and clean-first are its two modes.
constexpr int kPagesimFrames = 20;

const char* const kModeNames[2] = {"mode 0, second-chance clock", "mode 1, clean-first"};

std::string count(int64_t value) {
  return std::to_string(value);
}

std::string section_pagesim(const PagestatResults& results) {
  std::string text = "pagesim's run, both modes\n";
  for (const auto& mode : results.modes) {
    const PagesimRun& run = *mode;
    text += "  " + std::string(kModeNames[run.mode]) + ":\n";
    if (run.ended_at_record) {
      text += "    pagesim ends the program at record " + count(*run.ended_at_record) +
              " on an inconsistent TLB entry (process -1 leads\n"
              "    there) and prints no totals; these counts cover the records before it.\n";
    }
    const std::string besides[4] = {
        "",
        run.references == 0
            ? std::string("no references")
            : "TLB hit ratio " + ratio(run.references - run.tlb_misses, run.references, 100, 2) +
                  "%",
        ratio(run.page_faults, run.references, 1000, 3) + " page faults per 1,000 references",
        run.evictions == 0 ? std::string("no evictions")
                           : ratio(run.dirty_writes, run.evictions, 100, 1) + "% of the " +
                                 count(run.evictions) + " evictions wrote a dirty page"};
    std::vector<std::string> lines;
    for (size_t start = 0; start < run.totals_text.size();) {
      const size_t end = run.totals_text.find('\n', start);
      lines.push_back(run.totals_text.substr(start, end - start));
      start = end == std::string::npos ? run.totals_text.size() : end + 1;
    }
    size_t width = 0;
    for (const std::string& line : lines) width = std::max(width, line.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string line = "    " + lines[i];
      if (i < 4 && !besides[i].empty())
        line += std::string(width - lines[i].size() + 3, ' ') + besides[i];
      text += line + "\n";
    }
  }
  return text;
}

std::string section_processes(const PagestatResults& results) {
  const ReferenceTrace& trace = *results.trace;
  std::vector<uint32_t> order(trace.processes());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&trace](uint32_t a, uint32_t b) {
    return trace.activity(a).proc < trace.activity(b).proc;
  });
  TextTable table;
  table.add_row({"", "", "", "", "mode 0:", "", "", "mode 1:", "", ""});
  table.add_row({"process", "records", "references", "ends", "TLB misses", "faults", "dirty",
                 "TLB misses", "faults", "dirty"});
  std::vector<int64_t> total(10, 0);
  for (size_t i = 0; i < order.size(); ++i) {
    const ProcessActivity& activity = trace.activity(order[i]);
    std::vector<int64_t> values = {activity.records, 2 * (activity.records - activity.terminations),
                                   activity.terminations};
    for (const auto& mode : results.modes) {
      const ProcessCounts& counts = mode->processes[order[i]];
      values.insert(values.end(), {counts.tlb_misses, counts.page_faults, counts.dirty_writes});
    }
    for (size_t v = 0; v < values.size(); ++v) total[v + 1] += values[v];
    if (i >= kListedProcesses) continue;
    std::vector<std::string> row = {count(activity.proc)};
    for (const int64_t value : values) row.push_back(count(value));
    table.add_row(std::move(row));
  }
  if (order.size() > kListedProcesses)
    table.add_row({"(" + count(static_cast<int64_t>(order.size() - kListedProcesses)) + " more)"});
  std::vector<std::string> row = {"total"};
  for (size_t v = 1; v < total.size(); ++v) row.push_back(count(total[v]));
  table.add_row(std::move(row));
  return "Per process (ends: terminations; dirty: its pages written to disk when evicted)\n" +
         table.render();
}

std::string section_what_if(const PagestatResults& results) {
  const int64_t references = results.trace->references();
  TextTable table;
  table.add_row({"policy", "faults", "per 1,000 references", "dirty written"});
  for (size_t p = 0; p < kPolicies.size(); ++p) {
    const PolicyCounts& counts = results.what_if[p].totals;
    table.add_row({std::string(policy_name(kPolicies[p])), count(counts.faults),
                   ratio(counts.faults, references, 1000, 3), count(counts.dirty_writes)});
  }
  std::string text = "What-if at " + count(results.frames) +
                     " frames (frames only: each reference faults or hits by its page alone)\n" +
                     table.render();
  if (results.trace->names_process_minus_one()) {
    text +=
        "The trace names process -1, the tables' empty marker: there pagesim's TLB can change "
        "which pages are resident, so clock and clean-first need not match pagesim's modes.\n";
  } else if (results.frames == kPagesimFrames) {
    text += clocks_match_pagesim(results)
                ? "clock and clean-first give pagesim's page faults and dirty pages written in "
                  "modes 0 and 1.\n"
                : "clock and clean-first differ from pagesim's modes 0 and 1: please report "
                  "this trace.\n";
  }
  return text;
}

std::string section_curve(const PagestatResults& results) {
  const Curve& curve = *results.curve;
  TextTable table;
  std::vector<std::string> header = {"frames"};
  for (const Policy policy : kPolicies) header.emplace_back(policy_name(policy));
  table.add_row(std::move(header));
  for (size_t k = 0; k < curve.frames.size(); ++k) {
    const int frames = curve.frames[k];
    std::vector<std::string> row = {count(frames) + (frames == results.frames ? " <" : "")};
    for (const auto& counts : curve.counts) row.push_back(count(counts[k].faults));
    table.add_row(std::move(row));
  }
  const bool dense = curve.frames.size() == static_cast<size_t>(curve.frames.back());
  return std::string("Curve: what-if faults at ") +
         (dense ? "every frame count" : "every frame count to 64, then at least 8 per doubling") +
         " (< marks " + count(results.frames) + ")\n" + table.render();
}

// Interval `i` as the results hold it.
IntervalRow held_row(const PagestatResults& results, size_t i) {
  IntervalRow row;
  size_t c = 0;
  for (const auto& mode : results.modes) {
    row[c++] = mode->interval_tlb_misses[i];
    row[c++] = mode->interval_faults[i];
  }
  for (const WhatIfResult& what_if : results.what_if) row[c++] = what_if.interval_faults[i];
  return row;
}

}  // namespace

std::string fixed(double value, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string ratio(int64_t part, int64_t whole, double per, int decimals) {
  if (whole == 0) return "-";
  return fixed(static_cast<double>(part) * per / static_cast<double>(whole), decimals);
}

bool clocks_match_pagesim(const PagestatResults& results) {
  for (int mode = 0; mode < 2; ++mode) {
    const PolicyCounts& counts = results.what_if[static_cast<size_t>(mode)].totals;
    if (counts.faults != results.modes[mode]->page_faults ||
        counts.dirty_writes != results.modes[mode]->dirty_writes)
      return false;
  }
  return true;
}

std::string text_report_head(const PagestatResults& results) {
  const ReferenceTrace& trace = *results.trace;
  const auto counted = [](int64_t n, const char* one, const char* many) {
    return count(n) + (n == 1 ? one : many);
  };
  std::string text = "pagestat: " + results.trace_name + ": " +
                     counted(trace.records(), " record, ", " records, ") +
                     counted(trace.references(), " reference, ", " references, ") +
                     counted(trace.processes(), " process, ", " processes, ") +
                     counted(trace.terminations(), " termination, ", " terminations, ") +
                     counted(trace.pages(), " page\n\n", " pages\n\n");
  text += section_pagesim(results) + "\n" + section_processes(results) + "\n" +
          section_what_if(results) + "\n";
  if (results.curve) text += section_curve(results) + "\n";
  if (results.tlb_curve) text += tlb_curve_text(results) + "\n";
  return text + "Intervals of " + count(results.interval) + " records (policies' faults at " +
         count(results.frames) + " frames)\n";
}

IntervalTable streamed_interval_table(const PagestatResults& results) {
  // An interval makes at most two references a record.
  const int64_t per_interval = 2 * results.interval;
  IntervalRow most{};
  size_t c = 0;
  for (const auto& mode : results.modes) {
    most[c++] = std::min(per_interval, mode->tlb_misses);
    most[c++] = std::min(per_interval, mode->page_faults);
  }
  for (const WhatIfResult& what_if : results.what_if)
    most[c++] = std::min(per_interval, what_if.totals.faults);
  return IntervalTable(results.trace->records(), results.interval, most);
}

void write_text_report(const PagestatResults& results,
                       const std::function<void(std::string_view)>& put) {
  const size_t intervals = results.interval_ends.size();
  IntervalRow most{};
  for (size_t i = 0; i < intervals; ++i) {
    const IntervalRow row = held_row(results, i);
    for (size_t c = 0; c < row.size(); ++c) most[c] = std::max(most[c], row[c]);
  }
  const IntervalTable table(results.trace->records(), results.interval, most);
  put(text_report_head(results) + table.header());
  for (size_t i = 0; i < intervals; ++i)
    put(table.row(static_cast<int64_t>(i), held_row(results, i)));
}

std::string text_report(const PagestatResults& results) {
  std::string text;
  write_text_report(results, [&text](std::string_view part) { text += part; });
  return text;
}
