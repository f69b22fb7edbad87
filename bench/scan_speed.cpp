// bench_scan_speed: reads a trace held in memory through the trace scanner
// as pagesim's trace loop does (batches of 64 records, single records in
// between), ROUNDS times with each instruction set in turns, and prints for
// each the median nanoseconds per record and its ratio to the AVX2 path's:
//   bench_scan_speed TRACE [ROUNDS]
//   -> "instructions ns_per_record ratio_to_avx2", one line each
// With ONLY (avx2 or widest) as a third argument it reads the trace once with
// that set and prints nothing, for an instruction count of one path.
// Exit 1 when the paths read different records, 2 when it could not run.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/trace_scanner.hpp"

namespace {

struct MemorySource {
  const std::string* text;
  size_t position;
  static ssize_t read(void* context, char* dest, size_t capacity) {
    auto* self = static_cast<MemorySource*>(context);
    const size_t count = std::min(capacity, self->text->size() - self->position);
    std::memcpy(dest, self->text->data() + self->position, count);
    self->position += count;
    return static_cast<ssize_t>(count);
  }
};

struct Reading {
  uint64_t records;
  uint64_t sums[kRecordFields];  ///< of each field, so that the paths can be compared
  bool operator==(const Reading&) const = default;
};

TraceScanner scanner;

Reading read_all(const std::string& text, ScanInstructions limit) {
  MemorySource source{&text, 0};
  scanner.limit_instructions(limit);
  scanner.attach(MemorySource::read, &source, kTraceBlockSize);
  // Sums, not a hash: a chain of multiplications per field would take longer
  // than the scanner.
  Reading reading{0, {0, 0, 0}};
  int32_t batch[64][kBatchedRecordSlots];
  int32_t fields[kRecordFields] = {0, 0, 0};
  for (;;) {
    const int count = scanner.read_learned_records(batch, 64);
    for (int i = 0; i < count; ++i) {
      for (int field = 0; field < kRecordFields; ++field)
        reading.sums[field] += static_cast<uint32_t>(batch[i][field]);
    }
    reading.records += static_cast<uint64_t>(count);
    if (count > 0) continue;
    const int converted = scanner.read_record(fields);
    if (converted == 0) break;
    for (int field = 0; field < converted; ++field)
      reading.sums[field] += static_cast<uint32_t>(fields[field]);
    ++reading.records;
  }
  return reading;
}

bool load(const char* path, std::string* text) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return false;
  char chunk[1 << 16];
  ssize_t got;
  while ((got = read(fd, chunk, sizeof chunk)) > 0) text->append(chunk, static_cast<size_t>(got));
  close(fd);
  return got == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::puts("usage: bench_scan_speed TRACE [ROUNDS [avx2|widest]]");
    return 0;
  }
  if (argc < 2 || argc > 4) {
    std::fputs("bench_scan_speed: usage: bench_scan_speed TRACE [ROUNDS [avx2|widest]]\n", stderr);
    return 2;
  }
  std::string text;
  if (!load(argv[1], &text)) {
    std::fprintf(stderr, "bench_scan_speed: cannot read %s\n", argv[1]);
    return 2;
  }
  const int rounds = argc >= 3 ? std::atoi(argv[2]) : 9;
  if (rounds < 1) {
    std::fputs("bench_scan_speed: ROUNDS must be a positive number\n", stderr);
    return 2;
  }
  if (argc == 4) {
    const std::string only = argv[3];
    if (only != "avx2" && only != "widest") {
      std::fprintf(stderr, "bench_scan_speed: no instruction set %s\n", argv[3]);
      return 2;
    }
    read_all(text, only == "avx2" ? ScanInstructions::kAvx2 : ScanInstructions::kWidest);
    return 0;
  }
  const struct {
    const char* name;
    ScanInstructions limit;
  } paths[] = {{"avx2", ScanInstructions::kAvx2}, {"widest", ScanInstructions::kWidest}};
  std::vector<double> seconds[2];
  Reading readings[2] = {};
  for (int round = 0; round < rounds; ++round) {
    for (int path = 0; path < 2; ++path) {
      const auto start = std::chrono::steady_clock::now();
      readings[path] = read_all(text, paths[path].limit);
      seconds[path].push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  if (!(readings[0] == readings[1])) {
    std::fputs("bench_scan_speed: the two paths read different records\n", stderr);
    return 1;
  }
  double medians[2];
  for (int path = 0; path < 2; ++path) {
    std::sort(seconds[path].begin(), seconds[path].end());
    medians[path] = seconds[path][seconds[path].size() / 2];
  }
  for (int path = 0; path < 2; ++path) {
    std::printf("%s %.2f %.3f\n", paths[path].name,
                medians[path] * 1e9 / static_cast<double>(readings[path].records),
                medians[path] / medians[0]);
  }
  return 0;
}
