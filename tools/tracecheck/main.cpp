// tracecheck: reads a trace exactly as pagesim does and reports what pagesim
// would do silently or oddly with it.
//   tracecheck [FILE]     (default data.txt)
#include <unistd.h>

#include <bitset>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <new>
#include <string>

#include "io/output_buffer.hpp"
#include "io/trace_scanner.hpp"
#include "memory/constants.hpp"
#include "tools/line_locator.hpp"
#include "tools/trace_findings.hpp"
#include "tools/tracecheck/spooled_input.hpp"

namespace {

/// "1 record", "2 records", "3 processes".
std::string counted(int64_t n, const std::string& noun) {
  const bool es = noun.back() == 's';
  return std::to_string(n) + " " + noun + (n == 1 ? "" : es ? "es" : "s");
}

constexpr int kExitClean = 0;
constexpr int kExitFindings = 1;
constexpr int kExitCannotRead = 2;
// Processes listed one by one in the summary; the rest are counted.
constexpr size_t kListedProcesses = 100;

constexpr const char kUsage[] = "usage: tracecheck [FILE]   (default data.txt)\n";

TraceScanner scanner;
OutputBuffer out;
// Processes in the table so far, for a report that it ran out of memory.
size_t processes_seen = 0;
// Why the first write to standard output failed; 0 while none has.
int write_errno = 0;

void note_write_failure() {
  if (out.failed() && write_errno == 0) write_errno = errno != 0 ? errno : EIO;
}

void print(const std::string& text) {
  out.put(text);
  out.end_message();
  note_write_failure();
}

int could_not_write() {
  write_to_stderr(std::string("tracecheck: could not write standard output: ") +
                  strerror(write_errno) + "\n");
  return kExitCannotRead;
}

std::string location(const char* path, const TextPosition& position) {
  return std::string(path) + ":" + std::to_string(position.line) + ":" +
         std::to_string(position.column) + ": ";
}

int cannot_run(const std::string& message) {
  write_to_stderr("tracecheck: " + message + "\n");
  return kExitCannotRead;
}

int check(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  try {
    return check(argc, argv);
  } catch (const std::bad_alloc&) {
    out.flush();  // the findings so far stay written
    write_to_stderr("tracecheck: not enough memory for the table of every process's pages (" +
                    std::to_string(processes_seen) + " processes)\n");
    return kExitCannotRead;
  }
}

namespace {

int check(int argc, char** argv) {
  // A file-size limit makes a write fail, which is reported, instead of
  // ending the program with the report cut and nothing said.
  signal(SIGXFSZ, SIG_IGN);
  if (argc == 2 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0)) {
    out.attach(STDOUT_FILENO, false);
    print(kUsage);
    out.flush();
    note_write_failure();
    return out.failed() ? could_not_write() : kExitClean;
  }
  if (argc > 2) {
    write_to_stderr("tracecheck: too many arguments (tracecheck -h shows the usage)\n");
    return kExitCannotRead;
  }
  const char* path = argc == 2 ? argv[1] : "data.txt";
  const TwoReaders input = open_for_two_readers(path);
  if (!input.error.empty()) return cannot_run(input.error);
  scanner.attach(input.first);
  static LineLocator locator(input.second);
  out.attach(STDOUT_FILENO, isatty(STDOUT_FILENO) == 1);

  int64_t records = 0, terminations = 0, findings = 0;
  std::map<int32_t, std::bitset<kPagesPerProcess>> pages_of_process;
  int32_t fields[kRecordFields] = {0, 0, 0};
  for (int converted; (converted = scanner.read_record(fields)) > 0;) {
    ++records;
    const std::string where = location(path, locator.locate(scanner.record_offset())) + "record " +
                              std::to_string(records);
    if (converted < kRecordFields) {
      ++findings;
      print(where + " is partial: " + partial_record_text(converted, fields, records == 1) + "\n");
    }
    const int32_t proc = fields[0];
    auto& pages = pages_of_process[proc];
    processes_seen = pages_of_process.size();
    if (proc == kEmpty) {
      ++findings;
      print(where + ": process -1 is the tables' empty marker\n");
    }
    if (fields[1] == 0) {
      ++terminations;
      continue;
    }
    for (int field = 1; field < kRecordFields; ++field) {
      const int32_t page = fields[field] / kPageSize;
      if (page >= 0 && page < kPagesPerProcess) {
        pages.set(static_cast<size_t>(page));
        continue;
      }
      ++findings;
      print(where + ": " + kFieldNames[field] + " " + std::to_string(fields[field]) +
            " is on page " + std::to_string(page) + ", outside 0.." +
            std::to_string(kPagesPerProcess - 1) + "\n");
    }
  }

  const ScanStop stop = scanner.stop_reason();
  if (stop == ScanStop::kReadError) {
    const int read_errno = errno;
    out.flush();
    return cannot_run("cannot read " + std::string(path) + ": " + strerror(read_errno));
  }
  if (stop == ScanStop::kNotANumber || stop == ScanStop::kOutOfRange) {
    ++findings;
    const std::string where = location(path, locator.locate(scanner.stop_offset()));
    const std::string word = locator.word_at_last_offset();
    print(where + "after record " + std::to_string(records) + ": " + stop_text(stop, word) + "\n");
  }

  print(counted(records, "record") + ", " +
        counted(static_cast<int64_t>(pages_of_process.size()), "process") + ", " +
        counted(terminations, "termination") + "\n");
  size_t listed = 0;
  for (const auto& [proc, pages] : pages_of_process) {
    if (listed++ == kListedProcesses) {
      print("... and " + std::to_string(pages_of_process.size() - kListedProcesses) +
            " more processes\n");
      break;
    }
    print("process " + std::to_string(proc) + ": " +
          counted(static_cast<int64_t>(pages.count()), "page") + " touched\n");
  }
  out.flush();
  note_write_failure();
  if (out.failed()) return could_not_write();
  return findings > 0 ? kExitFindings : kExitClean;
}

}  // namespace
