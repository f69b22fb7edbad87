// tracegen: writes a synthetic pagesim trace to standard output.
//   tracegen WORKLOAD RECORDS [SEED]
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "io/output_buffer.hpp"
#include "tools/trace_workloads.hpp"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitWriteError = 1;
constexpr int kExitUsage = 2;

bool parse_count(const char* text, uint64_t* value) {
  const char* end = text + std::strlen(text);
  auto [stop, error] = std::from_chars(text, end, *value);
  return error == std::errc() && stop == end && stop != text;
}

constexpr std::string_view kUsage =
    "usage: tracegen WORKLOAD RECORDS [SEED] > data.txt\n"
    "  WORKLOAD: uniform (heavy faulting), local (mostly TLB hits) or mixed\n";

int usage(std::string_view problem) {
  write_to_stderr(problem);
  write_to_stderr(kUsage);
  return kExitUsage;
}

std::string could_not_write() {
  return std::string("tracegen: could not write standard output: ") + std::strerror(errno) + "\n";
}

bool asks_for_help(int argc, char** argv) {
  return argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0);
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes the write fail, which is reported, instead of
  // ending the program with a cut trace and nothing said.
  signal(SIGXFSZ, SIG_IGN);
  if (asks_for_help(argc, argv)) {
    if (write_fully(STDOUT_FILENO, kUsage.data(), kUsage.size())) return kExitOk;
    write_to_stderr(could_not_write());
    return kExitUsage;
  }
  if (argc < 3 || argc > 4) return usage("tracegen: wrong number of arguments\n");
  Workload workload;
  if (!parse_workload(argv[1], &workload)) return usage("tracegen: unknown workload\n");
  uint64_t records = 0;
  uint64_t seed = 1;
  if (!parse_count(argv[2], &records)) return usage("tracegen: RECORDS must be a whole number\n");
  if (argc == 4 && !parse_count(argv[3], &seed))
    return usage("tracegen: SEED must be a whole number\n");

  std::unique_ptr<OutputBuffer> out;
  try {
    out = std::make_unique<OutputBuffer>();
  } catch (const std::bad_alloc&) {
    write_to_stderr("tracegen: not enough memory for the output buffer (1 MB)\n");
    return kExitUsage;
  }
  out->attach(STDOUT_FILENO, false);
  TraceGenerator generator(workload, seed);
  for (uint64_t i = 0; i < records && !out->failed(); ++i) {
    const TraceRecord record = generator.next();
    char* p = out->reserve(kMaxLineLength);
    p = append_int(p, record.proc);
    *p++ = ' ';
    p = append_int(p, record.first);
    *p++ = ' ';
    p = append_int(p, record.second);
    *p++ = '\n';
    out->commit(p);
  }
  out->flush();
  if (out->failed()) {
    write_to_stderr(could_not_write());
    return kExitWriteError;
  }
  return kExitOk;
}
