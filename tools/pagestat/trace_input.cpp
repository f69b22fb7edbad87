#include "tools/pagestat/trace_input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

// `value` to three significant digits: an estimate shown as one.
uint64_t rounded(double value) {
  if (value < 1000) return static_cast<uint64_t>(std::llround(value));
  const double scale = std::pow(10.0, std::floor(std::log10(value)) - 2);
  return static_cast<uint64_t>(std::llround(value / scale) * scale);
}

// Why `trace` could not grow past its records: the records the whole input
// holds, estimated from a regular file's size, and the bytes they need.
std::string memory_note(int fd, const ReferenceTrace& trace, uint64_t bytes_read) {
  if (trace.records() == 0) return "not enough memory to read the trace";
  const double bytes_per_record = trace.records() > 0
                                      ? static_cast<double>(trace.events() * sizeof(uint32_t)) /
                                            static_cast<double>(trace.records())
                                      : 8.0;
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && bytes_read > 0 && trace.records() > 0) {
    const double records = static_cast<double>(trace.records()) *
                           static_cast<double>(status.st_size) / static_cast<double>(bytes_read);
    return "not enough memory for the trace (about " + std::to_string(rounded(records)) +
           " records, about " + std::to_string(rounded(records * bytes_per_record / 1e6)) +
           " MB needed)";
  }
  return "not enough memory for the trace (more than " + std::to_string(trace.records()) +
         " records, more than " +
         std::to_string(rounded(static_cast<double>(trace.records()) * bytes_per_record / 1e6)) +
         " MB needed)";
}

}  // namespace

TraceInput read_trace(const char* path, ReferenceTrace* trace) {
  TraceInput input;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    input.error = std::string("cannot read ") + path + ": " + strerror(errno);
    return input;
  }
  std::unique_ptr<TraceScanner> scanner;
  try {
    scanner = std::make_unique<TraceScanner>();
    scanner->attach(fd);
    // A short last record keeps the fields of the record before, 0 at first.
    int32_t record[kRecordFields] = {0, 0, 0};
    while (scanner->read_record(record) > 0) {
      if (!trace->add_record(record[0], record[1], record[2])) {
        input.error = std::string(path) + ": more than " + std::to_string(trace->records()) +
                      " records are more than pagestat can model";
        close(fd);
        return input;
      }
    }
  } catch (const std::bad_alloc&) {
    input.error = memory_note(fd, *trace, scanner ? scanner->record_offset() : 0);
    close(fd);
    return input;
  } catch (const SpillError& error) {
    input.error = error.what();
    close(fd);
    return input;
  }
  input.stop = scanner->stop_reason();
  input.stop_offset = scanner->stop_offset();
  if (input.stop == ScanStop::kReadError)
    input.error = std::string("cannot read ") + path + ": " + strerror(errno);
  close(fd);
  return input;
}
