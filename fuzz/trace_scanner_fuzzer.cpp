// libFuzzer target: the trace scanner on any bytes. Scanning the input in
// pieces of any size, through blocks of any size, with each instruction set
// the scanner has a path for, and in batches of learned layouts as pagesim
// reads, must give the same records and the same stop as scanning it in one
// piece; inside the 32-bit range and without NUL
// bytes the records must also equal C's sscanf("%d %d %d").
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/scan_reference.hpp"
#include "io/trace_scanner.hpp"

namespace {

struct Source {
  const uint8_t* data;
  size_t size;
  size_t piece;
  static ssize_t read(void* context, char* dest, size_t capacity) {
    auto* self = static_cast<Source*>(context);
    size_t count = self->size < capacity ? self->size : capacity;
    if (count > self->piece) count = self->piece;
    std::memcpy(dest, self->data, count);
    self->data += count;
    self->size -= count;
    return static_cast<ssize_t>(count);
  }
};

struct Outcome {
  std::vector<ScannedRecord> records;
  ScanStop stop;
  uint64_t stop_offset;
  std::vector<uint64_t> offsets;
  bool operator==(const Outcome&) const = default;
};

TraceScanner scanner;

Outcome scan(const uint8_t* data, size_t size, size_t piece, size_t block) {
  Source source{data, size, piece};
  scanner.attach(Source::read, &source, block);
  Outcome outcome{{}, ScanStop::kNotStopped, 0, {}};
  int32_t fields[kRecordFields] = {0, 0, 0};
  for (int converted; (converted = scanner.read_record(fields)) > 0;) {
    outcome.records.push_back({converted, fields[0], fields[1], fields[2]});
    outcome.offsets.push_back(scanner.record_offset());
  }
  if (scanner.read_record(fields) != 0) __builtin_trap();  // reading must stay ended
  outcome.stop = scanner.stop_reason();
  outcome.stop_offset = scanner.stop_offset();
  return outcome;
}

// Scans as pagesim's trace loop does: batches of at most `capacity` records
// of learned layouts, single records in between. Each batch's last record
// must have the offset `expected` gives it.
Outcome scan_in_batches(const uint8_t* data, size_t size, int capacity, const Outcome& expected) {
  Source source{data, size, size + 1};
  scanner.attach(Source::read, &source, kTraceBlockSize);
  Outcome outcome{{}, ScanStop::kNotStopped, 0, expected.offsets};
  int32_t batch[64][kBatchedRecordSlots];
  int32_t fields[kRecordFields] = {0, 0, 0};
  for (;;) {
    const int count = scanner.read_learned_records(batch, capacity);
    for (int i = 0; i < count; ++i) {
      outcome.records.push_back({kRecordFields, batch[i][0], batch[i][1], batch[i][2]});
      std::memcpy(fields, batch[i], sizeof fields);
    }
    if (count > 0) {
      const size_t last = outcome.records.size() - 1;
      if (last >= expected.offsets.size() || scanner.record_offset() != expected.offsets[last])
        __builtin_trap();
      continue;
    }
    const int converted = scanner.read_record(fields);
    if (converted == 0) break;
    outcome.records.push_back({converted, fields[0], fields[1], fields[2]});
  }
  outcome.stop = scanner.stop_reason();
  outcome.stop_offset = scanner.stop_offset();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t piece = 1 + data[0] % 97;
  const size_t block = 1 + data[1] * 131 % 4099;
  data += 2;
  size -= 2;
  const Outcome whole = scan(data, size, size + 1, kTraceBlockSize);
  const Outcome split = scan(data, size, piece, block);
  if (!(whole == split)) __builtin_trap();
  const int capacity = 1 + piece % 64;
  for (const ScanInstructions limit :
       {ScanInstructions::kWidest, ScanInstructions::kAvx2, ScanInstructions::kSsse3,
        ScanInstructions::kPortable}) {
    scanner.limit_instructions(limit);
    if (limit != ScanInstructions::kWidest &&
        !(whole == scan(data, size, size + 1, kTraceBlockSize)))
      __builtin_trap();
    if (!(whole == scan_in_batches(data, size, capacity, whole))) __builtin_trap();
  }
  scanner.limit_instructions(ScanInstructions::kWidest);
  if (whole.stop == ScanStop::kReadError) __builtin_trap();
  if (whole.stop_offset > size) __builtin_trap();
  if (whole.stop != ScanStop::kOutOfRange && std::memchr(data, 0, size) == nullptr) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (scan_with_sscanf(text) != whole.records) __builtin_trap();
  }
  return 0;
}
