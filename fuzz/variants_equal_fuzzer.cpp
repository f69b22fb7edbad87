// libFuzzer target: the explaining model with no switch set against memory/,
// on any trace in either mode; any difference in the bytes is a finding.
// The first byte chooses: bit 0 the mode; bit 1 whether the rest is the
// trace's text as it is, or records coded three bytes each (process -1..8,
// pages -3..66 and terminations), which reach evictions, releases and the
// empty marker far more often than random text does.
#include <cstdint>
#include <cstdio>
#include <string>

#include "variants/engine_comparison.hpp"

namespace {

// Three bytes to one record line: a process, a read and a write address.
void append_coded_record(std::string& trace, const uint8_t* code) {
  const int proc = code[0] % 10 - 1;
  const int read_page = code[1] % 70 - 3;
  const int write_page = code[2] % 70 - 3;
  // Offsets from the bytes' high bits: both ends of a page and between.
  const int read_offset = (code[1] >> 6) * 341 + (code[0] >> 7);
  const int write_offset = (code[2] >> 6) * 341;
  const bool ends = code[1] % 17 == 0;
  trace += std::to_string(proc) + ' ';
  trace += ends ? std::string("0") : std::to_string(read_page * 1024 + read_offset);
  trace += ' ' + std::to_string(write_page * 1024 + write_offset) + '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  variants::Variant pagesim;
  pagesim.mode = data[0] & 1;
  std::string trace;
  if ((data[0] & 2) != 0) {
    for (size_t i = 1; i + 3 <= size; i += 3) append_coded_record(trace, data + i);
  } else {
    trace.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  }
  const auto departure = variants::compare_with_engine(trace, pagesim);
  if (departure) {
    std::fprintf(stderr, "model departs from pagesim in mode %d at record %lld (%s)\n",
                 pagesim.mode, static_cast<long long>(departure->record), departure->what.c_str());
    std::fprintf(stderr, "pagesim:\n%s\nmodel:\n%s\n", departure->pagesim.c_str(),
                 departure->model.c_str());
    __builtin_trap();
  }
  return 0;
}
