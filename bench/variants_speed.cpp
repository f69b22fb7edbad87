// bench_variants_speed: records per second of the explaining model, one
// Machine with pagesim's variant, on a generated trace held in memory: with
// a TextSink (the text taken and cleared after every record, as a comparing
// tool does), with a NullSink, and pagesim's own memory model (memory/, in
// memory through its engine) on the same records, all in one run so the
// ratio is measured side by side:
//   bench_variants_speed [RECORDS [RUNS]]   (default 1000000 records, 5 runs)
//   -> one line per model: median seconds, records per second, ratio to memory/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "memory/engine.hpp"
#include "tools/trace_workloads.hpp"
#include "variants/machine.hpp"
#include "variants/text.hpp"

namespace {

using Records = std::vector<TraceRecord>;

template <class Run>
double median_seconds(int runs, Run run) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Bytes of event text, so that no run can be optimised away.
size_t text_sink_run(const Records& records) {
  variants::Machine machine{variants::Variant{}};
  variants::TextSink sink;
  size_t bytes = 0;
  for (const TraceRecord& record : records) {
    const int32_t fields[3] = {record.proc, record.first, record.second};
    machine.run_record(fields, sink);
    bytes += sink.event_log.size() + sink.console.size();
    sink.event_log.clear();
    sink.console.clear();
  }
  return bytes;
}

size_t null_sink_run(const Records& records) {
  variants::Machine machine{variants::Variant{}};
  variants::NullSink sink;
  for (const TraceRecord& record : records) {
    const int32_t fields[3] = {record.proc, record.first, record.second};
    machine.run_record(fields, sink);
  }
  return static_cast<size_t>(machine.state().page_faults);
}

size_t memory_run(const Records& records) {
  start_engine(0);
  size_t bytes = 0;
  for (const TraceRecord& record : records) {
    const int32_t fields[kRecordFields] = {record.proc, record.first, record.second};
    ++sim.record_number;
    process_record(fields);
    bytes += take_events().size() + take_messages().size();
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  if (count <= 0 || runs <= 0) {
    std::fprintf(stderr, "usage: bench_variants_speed [RECORDS [RUNS]]\n");
    return 2;
  }
  TraceGenerator generator(Workload::kUniform, 1);
  Records records(static_cast<size_t>(count));
  for (TraceRecord& record : records) record = generator.next();
  size_t sink_bytes = 0, memory_bytes = 0, faults = 0;
  const double memory = median_seconds(runs, [&] { memory_bytes = memory_run(records); });
  const double text = median_seconds(runs, [&] { sink_bytes = text_sink_run(records); });
  const double null = median_seconds(runs, [&] { faults = null_sink_run(records); });
  if (sink_bytes != memory_bytes) {
    std::fprintf(stderr, "bench_variants_speed: the model's text differs from memory/'s\n");
    return 1;
  }
  std::printf("uniform, %ld records, median of %d runs (%zu bytes of text, %zu faults)\n", count,
              runs, sink_bytes, faults);
  const struct {
    const char* name;
    double seconds;
  } rows[] = {
      {"memory/ (engine)", memory}, {"Machine + TextSink", text}, {"Machine + NullSink", null}};
  for (const auto& row : rows) {
    std::printf("%-20s %8.3f s %12.0f records/s %6.2fx memory/\n", row.name, row.seconds,
                static_cast<double>(count) / row.seconds, row.seconds / memory);
  }
  return 0;
}
