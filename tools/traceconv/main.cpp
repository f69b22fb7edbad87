// traceconv: turns traces of real programs (valgrind lackey logs, din
// files, textbook reference strings) into pagesim's data.txt.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "io/output_buffer.hpp"
#include "tools/traceconv/command_line.hpp"
#include "tools/traceconv/din_reader.hpp"
#include "tools/traceconv/lackey_reader.hpp"
#include "tools/traceconv/pages_reader.hpp"
#include "tools/traceconv/record_pairing.hpp"
#include "tools/traceconv/scheduler.hpp"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitMalformed = 1;
constexpr int kExitCannotRun = 2;

// One input file and everything read from it.
struct Input {
  std::string path;
  std::unique_ptr<LineReader> lines;
  MalformedLines malformed;
  std::unique_ptr<ReferenceReader> references;
  std::unique_ptr<RecordSource> records;
};

int fail(const std::string& message) {
  write_to_stderr("traceconv: " + message + "\n");
  return kExitCannotRun;
}

// "not enough memory for the buffers of 2 inputs and the output (about 2 MB)".
std::string buffers_missing(size_t inputs) {
  const size_t bytes = inputs * LineReader::kDefaultBlockSize + kOutputBlockSize;
  return "not enough memory for the buffers of " + std::to_string(inputs) +
         (inputs == 1 ? " input" : " inputs") + " and the output (about " +
         std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB)";
}

void make_records(const ConversionOptions& options, Input* input) {
  switch (options.format) {
    case TraceFormat::kLackey:
      input->references = std::make_unique<LackeyReader>(input->lines.get(), &input->malformed);
      break;
    case TraceFormat::kDin:
      input->references = std::make_unique<DinReader>(input->lines.get(), &input->malformed);
      break;
    case TraceFormat::kPages:
      input->records = std::make_unique<PagesReader>(input->lines.get(), &input->malformed);
      return;
  }
  input->records = std::make_unique<PairedRecords>(input->references.get(), options.mapping);
}

// Lackey and din inputs become processes 1, 2, ... taking turns; the pages
// of every file make one reference string of process 1, which never ends.
ScheduleResult convert(const ConversionOptions& options, std::vector<Input>& inputs,
                       OutputBuffer* out) {
  std::vector<RecordSource*> sources;
  for (Input& input : inputs) sources.push_back(input.records.get());
  ScheduleSettings settings;
  if (options.format != TraceFormat::kPages) {
    settings.quantum = options.quantum;
    settings.max_records = options.max_records;
    return write_interleaved(sources, settings, out);
  }
  settings.terminate = false;
  ScheduleResult total;
  for (size_t k = 0; k < sources.size(); ++k) {
    const ScheduleResult result = write_interleaved({&sources[k], 1}, settings, out);
    total.records += result.records;
    if (result.failed_source != ScheduleResult::npos) total.failed_source = k;
    total.write_failed = result.write_failed;
    total.write_error = result.write_error;
    if (result.failed_source != ScheduleResult::npos || result.write_failed) break;
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine command_line = parse_command_line(argc - 1, argv + 1);
  if (command_line.action == CommandLine::Action::kShowUsage) {
    const bool written = write_fully(STDOUT_FILENO, kUsage, std::strlen(kUsage));
    return written ? kExitOk
                   : fail(std::string("could not write standard output: ") + std::strerror(errno));
  }
  if (command_line.action == CommandLine::Action::kRefuse) {
    return fail(command_line.problem + " (traceconv -h shows the usage)");
  }
  const ConversionOptions& options = command_line.options;

  // Every input is opened before anything is written, so that a missing
  // file leaves no partial trace behind.
  std::vector<Input> inputs;
  std::unique_ptr<OutputBuffer> out;
  try {
    inputs.resize(options.files.size());
    for (size_t k = 0; k < inputs.size(); ++k) {
      inputs[k].path = options.files[k];
      inputs[k].lines = LineReader::open(inputs[k].path.c_str());
      if (inputs[k].lines == nullptr) return fail(inputs[k].path + ": " + std::strerror(errno));
      make_records(options, &inputs[k]);
    }
    out = std::make_unique<OutputBuffer>();
  } catch (const std::bad_alloc&) {
    return fail(buffers_missing(inputs.size()));
  }

  // A file-size limit is reported like any other failed write.
  signal(SIGXFSZ, SIG_IGN);
  out->attach(STDOUT_FILENO, false);
  ScheduleResult result;
  try {
    result = convert(options, inputs, out.get());
  } catch (const std::bad_alloc&) {
    out->flush();  // the records converted so far stay written
    return fail("not enough memory to go on converting (the records before stay written)");
  }
  if (!result.write_failed && result.failed_source == ScheduleResult::npos) {
    out->flush();
    if (out->failed()) {
      result.write_failed = true;
      result.write_error = errno;
    }
  }
  if (result.write_failed) {
    return fail(std::string("could not write standard output: ") +
                std::strerror(result.write_error));
  }
  if (result.failed_source != ScheduleResult::npos) {
    out->flush();  // what was converted before the failure stays written
    const Input& input = inputs[result.failed_source];
    return fail(input.path + ": " + std::strerror(input.lines->error()));
  }

  const char* unit = options.format == TraceFormat::kPages ? "page numbers" : "lines";
  uint64_t malformed = 0;
  for (const Input& input : inputs) {
    if (input.malformed.count() == 0) continue;
    malformed += input.malformed.count();
    write_to_stderr(malformed_report(input.path, input.malformed, unit));
  }
  if (malformed == 0) return kExitOk;
  write_to_stderr("traceconv: " + std::to_string(malformed) + " malformed " + unit + " skipped\n");
  return kExitMalformed;
}
