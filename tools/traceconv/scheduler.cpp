#include "tools/traceconv/scheduler.hpp"

#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// An address of 0..65535 (any int32_t works), the five digits assembled
// in a register and stored at once: the general formatter's copy of a
// variable length costs a library call per number.
char* append_address(char* at, int32_t value) {
  if constexpr (std::endian::native != std::endian::little) return append_int(at, value);
  if (value < 0 || value > 99999) return append_int(at, value);
  const auto v = static_cast<uint32_t>(value);
  uint16_t middle, low;
  std::memcpy(&middle, kDigitPairs + 2 * (v / 100 % 100), 2);
  std::memcpy(&low, kDigitPairs + 2 * (v % 100), 2);
  const uint64_t five_digits = ('0' + v / 10000) | uint64_t{middle} << 8 | uint64_t{low} << 24;
  const int count = 1 + (v >= 10) + (v >= 100) + (v >= 1000) + (v >= 10000);
  const uint64_t digits = five_digits >> 8 * (5 - count);  // leading zeros dropped
  std::memcpy(at, &digits, 8);  // the line's room covers the bytes beyond
  return at + count;
}

// "PROC READ WRITE\n"
char* append_record(char* at, int32_t proc, int32_t read, int32_t write) {
  at = append_int(at, proc);
  *at++ = ' ';
  at = append_address(at, read);
  *at++ = ' ';
  at = append_address(at, write);
  *at++ = '\n';
  return at;
}

}  // namespace

ScheduleResult write_interleaved(std::span<RecordSource* const> sources,
                                 const ScheduleSettings& settings, OutputBuffer* out) {
  // Each process holds its next record, so that it ends right after its
  // last one rather than at the start of its next turn.
  struct Process {
    RecordSource* source;
    int32_t number;
    size_t index;
    uint64_t written = 0;
    bool has_next = false;
    AddressPair next{};
  };
  std::vector<Process> running;
  for (size_t k = 0; k < sources.size(); ++k) {
    running.push_back({sources[k], settings.first_process + static_cast<int32_t>(k), k});
  }
  ScheduleResult result;
  auto fetch = [&](Process& process) {
    process.has_next =
        process.written < settings.max_records && process.source->next(&process.next);
    if (process.has_next || process.source->read_error() == 0) return true;
    result.failed_source = process.index;
    return false;
  };
  // A failed write is noticed right after it, while errno still tells why.
  auto write = [&](int32_t proc, int32_t read, int32_t write_address) {
    out->commit(append_record(out->reserve(kMaxLineLength), proc, read, write_address));
    ++result.records;
    if (!out->failed()) return true;
    result.write_failed = true;
    result.write_error = errno;
    return false;
  };
  for (Process& process : running) {
    if (!fetch(process)) return result;
  }
  size_t turn = 0;
  while (!running.empty()) {
    if (turn == running.size()) turn = 0;
    Process& process = running[turn];
    for (uint64_t i = 0; i < settings.quantum && process.has_next; ++i) {
      ++process.written;
      if (!write(process.number, process.next.read, process.next.write)) return result;
      if (!fetch(process)) return result;
    }
    if (process.has_next) {
      ++turn;
      continue;
    }
    if (settings.terminate && !write(process.number, 0, 0)) return result;
    running.erase(running.begin() + static_cast<std::ptrdiff_t>(turn));
  }
  return result;
}
