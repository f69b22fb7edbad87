#include "tools/pagestat/trace_input.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

TraceInput read_trace(const char* path, ReferenceTrace* trace) {
  TraceInput input;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    input.error = std::string("cannot read ") + path + ": " + strerror(errno);
    return input;
  }
  auto scanner = std::make_unique<TraceScanner>();
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
  input.stop = scanner->stop_reason();
  input.stop_offset = scanner->stop_offset();
  if (input.stop == ScanStop::kReadError)
    input.error = std::string("cannot read ") + path + ": " + strerror(errno);
  close(fd);
  return input;
}
