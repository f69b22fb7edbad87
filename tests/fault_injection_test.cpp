// Every program under the faults a user's machine can throw at it: memory
// and file-size limits, standard output full, closed or left by its reader,
// and inputs that are directories, FIFOs, pipes, empty, random bytes,
// control bytes or one line of 100 MB. One row per program and fault; a new
// program is one more entry in programs().
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/expected_text.hpp"

namespace {

namespace fs = std::filesystem;

// A program, how it reads an input and what it says when it cannot go on.
struct Program {
  std::string name;  ///< of its rows
  std::string binary;
  /// The arguments that make it read `input` (null: it reads none); a
  /// program that reads a fixed name gets its input linked under
  /// link_input_as instead.
  std::vector<std::string> (*reading)(const std::string& input) = nullptr;
  std::string link_input_as = {};
  /// The shared input a usual run reads.
  std::string sample = "trace.txt";
  /// Arguments that start and end at once with quick_status: the baseline
  /// of the memory rows.
  std::vector<std::string> quick = {"-h"};
  int quick_status = 0;
  /// Arguments ("@name" for a shared input) that write far more to standard
  /// output than a pipe holds; a program with little output writes what it
  /// has.
  std::vector<std::string> big_output = {};
  /// Arguments whose run needs a large allocation beyond the start; empty
  /// when the program needs none and so runs under the tightest limit.
  std::vector<std::string> memory_run = {};
  bool makes_threads = false;
  /// Exit status when a write fails, and when memory runs out.
  int cannot_run = 2;
  int out_of_memory = 2;
  /// The stderr line (a regex) when standard output cannot be written,
  /// and when a file-size limit stops the writes; REASON stands for the
  /// system's words. Empty: "NAME: could not write standard output: REASON".
  std::string write_error = {};
  std::string file_size_error = {};
  /// Whether stderr starts with pagesim's banner.
  bool banner = false;
  /// A second way of reading a program already listed: its rows are those
  /// of the inputs alone.
  bool inputs_only = false;
};

// The folder of the inputs rows share, removed at the end.
const fs::path& shared() {
  static const fs::path folder = [] {
    const fs::path path =
        fs::temp_directory_path() / ("fault_injection." + std::to_string(getpid()));
    fs::create_directories(path / "dir");
    return path;
  }();
  return folder;
}

class SharedInputs : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(shared(), ignored);
  }
};
const auto* const kSharedInputs = ::testing::AddGlobalTestEnvironment(new SharedInputs);

void make_by_shell(const std::string& command) {
  const std::string line = "cd " + shell_quote(shared().string()) + " && " + command;
  if (std::system(line.c_str()) != 0) ADD_FAILURE() << "could not run: " << command;
}

// Writes the shared input `name`.
void make_input(const std::string& name) {
  const fs::path path = shared() / name;
  if (name == "trace.txt") {
    make_by_shell(shell_quote(TRACEGEN_BINARY) + " mixed 3000 5 > trace.txt");
  } else if (name == "big.txt") {
    make_by_shell(shell_quote(TRACEGEN_BINARY) + " local 2000000 5 > big.txt");
  } else if (name == "log.txt") {
    // pagesim's own log of trace.txt with its 40th line gone: a difference
    // that pagediff explains from a second look at the trace.
    const std::string trace = shell_quote((shared() / "trace.txt").string());
    make_by_shell("mkdir -p run && cp " + trace + " run/data.txt && cd run && " +
                  shell_quote(PAGESIM_BINARY) + " > /dev/null 2>&1; sed 40d out.txt > ../log.txt");
  } else if (name == "lackey.log") {
    std::ofstream lackey(path);
    for (int i = 0; i < 20000; ++i)
      lackey << std::hex << " L " << 0x400000 + i * 64 << ",4\n S " << 0x7ff000 + i * 8 << ",8\n";
  } else if (name == "minus-one.txt") {
    std::ofstream minus_one(path);
    for (int i = 0; i < 20000; ++i) minus_one << "-1 1024 2048\n";
  } else if (name == "processes.txt") {
    std::ofstream processes(path);
    for (int i = 1; i <= 300000; ++i) processes << i << " 1024 2048\n";
  } else if (name == "empty") {
    std::ofstream empty(path);
  } else if (name == "random.bin") {
    std::mt19937 random(7);
    std::string bytes(1 << 16, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
  } else if (name == "control.bin") {
    // A terminal would clear its screen and take a new title from these.
    const std::string line = "\x1b[2J\x1b]0;title\x07 1 1024 2048";
    std::ofstream(path, std::ios::binary) << line << '\0' << "\n 2 3 4\n L 1000,4\x1b[31m\n"
                                          << line << "\n";
  } else if (name == "long.txt") {
    std::ofstream(path) << "1 1024 2048\n" << std::string(100 << 20, 'x') << "\n";
  }
}

// The path of the shared input `name`, made on first use.
std::string at(const std::string& name) {
  static std::map<std::string, bool> made;
  if (name == "log.txt") at("trace.txt");
  if (!made[name] && name != "dir") make_input(name);
  made[name] = true;
  return (shared() / name).string();
}

// Arguments with "@name" for the shared input `name`.
std::vector<std::string> with_inputs(std::vector<std::string> arguments) {
  for (std::string& argument : arguments)
    if (argument.rfind('@', 0) == 0) argument = at(argument.substr(1));
  return arguments;
}

// pagediff compares its log of trace.txt, with one line gone, against the
// trace given.
std::vector<std::string> pagediff_reading(const std::string& input) {
  return {"-t", input, "@log.txt"};
}
// And the same with the user's log as the input.
std::vector<std::string> pagediff_reading_log(const std::string& input) {
  return {"-t", "@trace.txt", input};
}

std::vector<std::string> one_argument(const std::string& input) {
  return {input};
}

const std::vector<Program>& programs() {
  static const std::vector<Program> table = {
      {.name = "pagesim",
       .binary = PAGESIM_BINARY,
       .reading = [](const std::string&) { return std::vector<std::string>{}; },
       .link_input_as = "data.txt",
       .quick = {"1", "2", "3"},
       .quick_status = 1,
       .cannot_run = 1,
       .write_error = "Error, could not write standard output",
       .file_size_error = "Error, could not write out.txt",
       .banner = true},
      {.name = "pagediff",
       .binary = PAGEDIFF_BINARY,
       .reading = pagediff_reading,
       .big_output = pagediff_reading("@trace.txt"),
       .memory_run = pagediff_reading("@trace.txt")},
      {.name = "pagediff_html",
       .binary = PAGEDIFF_BINARY,
       .reading =
           [](const std::string& input) {
             std::vector<std::string> arguments = {"--html", "page.html"};
             for (const std::string& argument : pagediff_reading(input))
               arguments.push_back(argument);
             return arguments;
           },
       .inputs_only = true},
      {.name = "pagediff_their_log",
       .binary = PAGEDIFF_BINARY,
       .reading = pagediff_reading_log,
       .sample = "log.txt",
       .inputs_only = true},
      {.name = "pagestat",
       .binary = PAGESTAT_BINARY,
       .reading =
           [](const std::string& input) {
             return std::vector<std::string>{"-i", "100", input};
           },
       .big_output = {"-i", "1", "@trace.txt"},
       .memory_run = {"@big.txt"},
       .makes_threads = true},
      {.name = "traceconv",
       .binary = TRACECONV_BINARY,
       .reading =
           [](const std::string& input) {
             return std::vector<std::string>{"lackey", input};
           },
       .sample = "lackey.log",
       .big_output = {"lackey", "@lackey.log"},
       .memory_run =
           [] {
             std::vector<std::string> many = {"lackey"};
             for (int i = 0; i < 100; ++i) many.push_back("@lackey.log");
             return many;
           }()},
      {.name = "tracecheck",
       .binary = TRACECHECK_BINARY,
       .reading = one_argument,
       .big_output = {"@minus-one.txt"},
       .memory_run = {"@processes.txt"}},
      {.name = "pageview",
       .binary = PAGEVIEW_BINARY,
       .reading =
           [](const std::string& input) {
             return std::vector<std::string>{"-t", input, "-o", "-"};
           },
       .big_output = {"-t", "@trace.txt", "--count", "3000", "-o", "-"},
       .memory_run = {"-t", "@trace.txt", "--count", "5000", "-o", "-"},
       .write_error = "pageview: cannot write standard output: REASON"},
      {.name = "tracegen",
       .binary = TRACEGEN_BINARY,
       .sample = "",
       .big_output = {"mixed", "200000"},
       .memory_run = {"mixed", "1000"},
       .cannot_run = 1},
  };
  return table;
}

enum class Fault {
  kMemory,
  kMemoryForThread,
  kFileSize,
  kStdoutFull,
  kStdoutClosed,
  kReaderLeaves,
  kDirectory,
  kFifo,
  kPipe,
  kEmpty,
  kRandomBytes,
  kControlBytes,
  kLongLine,
};

const char* fault_name(Fault fault) {
  switch (fault) {
    case Fault::kMemory:
      return "MemoryLimit";
    case Fault::kMemoryForThread:
      return "MemoryLimitForThread";
    case Fault::kFileSize:
      return "FileSizeLimit";
    case Fault::kStdoutFull:
      return "StdoutFull";
    case Fault::kStdoutClosed:
      return "StdoutClosed";
    case Fault::kReaderLeaves:
      return "ReaderLeaves";
    case Fault::kDirectory:
      return "InputDirectory";
    case Fault::kFifo:
      return "InputFifo";
    case Fault::kPipe:
      return "InputPipe";
    case Fault::kEmpty:
      return "InputEmpty";
    case Fault::kRandomBytes:
      return "InputRandomBytes";
    case Fault::kControlBytes:
      return "InputNulAndEscapeBytes";
    case Fault::kLongLine:
      break;
  }
  return "InputLineOf100MB";
}

bool is_input_fault(Fault fault) {
  return fault >= Fault::kDirectory;
}

struct Row {
  size_t program;
  Fault fault;
};

// How ctest and a failure name a row.
void PrintTo(const Row& row, std::ostream* out) {
  *out << programs()[row.program].name << " " << fault_name(row.fault);
}

std::vector<Row> rows() {
  std::vector<Row> all;
  for (size_t p = 0; p < programs().size(); ++p) {
    for (int f = 0; f <= static_cast<int>(Fault::kLongLine); ++f) {
      const Fault fault = static_cast<Fault>(f);
      if (fault == Fault::kMemoryForThread && !programs()[p].makes_threads) continue;
      if (is_input_fault(fault) && programs()[p].reading == nullptr) continue;
      if (!is_input_fault(fault) && programs()[p].inputs_only) continue;
      all.push_back({p, fault});
    }
  }
  return all;
}

// The name the program gives itself in its messages.
std::string command_name(const Program& program) {
  return fs::path(program.binary).filename().string();
}

std::string write_error(const Program& program) {
  return program.write_error.empty()
             ? command_name(program) + ": could not write standard output: REASON"
             : program.write_error;
}

std::string file_size_error(const Program& program) {
  return program.file_size_error.empty() ? write_error(program) : program.file_size_error;
}

// Whether the sanitizers are built in: they reserve terabytes of address
// space, so no memory limit leaves them room to start.
constexpr bool kSanitized = PAGESIM_SANITIZED != 0;

// What a run wrote to stderr, without pagesim's banner.
std::string messages(const Program& program, const RunResult& run) {
  if (program.banner && run.err.rfind(kBannerText, 0) == 0)
    return run.err.substr(kBannerText.size());
  return run.err;
}

std::regex pattern(const std::string& line, const std::string& reason) {
  std::string text = line;
  const size_t slot = text.find("REASON");
  if (slot != std::string::npos) text.replace(slot, 6, reason);
  return std::regex(text + "\n");
}

// No byte of a user's file reaches the terminal raw: the only control bytes
// are line ends and tabs.
bool free_of_control_bytes(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7f) return false;
  }
  return true;
}

// Every line of stderr names the program (pagesim's own messages start
// with "Error"), or is a diagnostic of the input in FILE:LINE: form.
void expect_messages_name_the_program(const Program& program, const std::string& err,
                                      const std::string& input) {
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    const std::string prefix = program.banner ? "Error" : command_name(program) + ": ";
    EXPECT_TRUE(line.rfind(prefix, 0) == 0 || line.rfind(input + ":", 0) == 0)
        << "a line of stderr: " << line;
  }
}

class FaultInjection : public ::testing::TestWithParam<Row> {
 protected:
  const Program& program() const { return programs()[GetParam().program]; }

  // Runs the program in `folder` on `arguments` ("@name" for shared
  // inputs), `input` linked under the program's fixed name when it has
  // one, within `seconds`.
  RunResult run(const TempFolder& folder, const std::vector<std::string>& arguments,
                const RunOptions& options = {}, const std::string& input = "",
                int seconds = 20) const {
    if (!program().link_input_as.empty()) {
      const std::string target = input.empty() ? at("trace.txt") : input;
      fs::create_symlink(target, folder.work() / program().link_input_as);
    }
    std::vector<std::string> timed = {std::to_string(seconds), program().binary};
    for (const std::string& argument : with_inputs(arguments)) timed.push_back(argument);
    return run_program("timeout", folder, timed, options);
  }

  // The arguments that read `input`, none for a program without input.
  std::vector<std::string> reading(const std::string& input) const {
    return program().reading(input);
  }

  // The smallest `ulimit -v` (KB) under which the program starts and ends
  // at once: below it the loader itself fails, before the program can say
  // anything.
  long baseline_kb() const {
    long low = 1000, high = 400000;  // fails, works
    while (high - low > 64) {
      const long middle = (low + high) / 2;
      TempFolder folder;
      RunOptions options;
      options.shell_prefix = "ulimit -v " + std::to_string(middle) + ";";
      const RunResult result = run_program(program().binary, folder, program().quick, options);
      (result.exit_status == program().quick_status ? high : low) = middle;
    }
    return high;
  }

  // A run that must stop on the fault with `status` and one line saying so.
  void expect_one_line(const RunResult& result, int status, const std::string& line,
                       const std::string& reason = "") const {
    EXPECT_EQ(result.exit_status, status) << result.err;
    const std::string err = messages(program(), result);
    EXPECT_TRUE(std::regex_match(err, pattern(line, reason)))
        << "stderr: " << err << "\nwanted one line: " << line;
  }
};

TEST_P(FaultInjection, HoldsWithOneClearLine) {
  const Program& p = program();
  const Fault fault = GetParam().fault;
  if ((fault == Fault::kMemory || fault == Fault::kMemoryForThread) && kSanitized)
    GTEST_SKIP() << "the sanitizers reserve more address space than any memory limit allows";
  TempFolder folder;
  RunOptions options;
  switch (fault) {
    case Fault::kMemory: {
      // Room for the start and a little more, not for the first large
      // allocation.
      const long limit = baseline_kb() + 256;
      options.shell_prefix = "ulimit -v " + std::to_string(limit) + ";";
      if (p.memory_run.empty()) {
        // Needs nothing more than it had at the start: runs as without it.
        const RunResult free_run = run(folder, {});
        TempFolder limited_folder;
        const RunResult limited = run(limited_folder, {}, options);
        EXPECT_EQ(limited.exit_status, free_run.exit_status) << limited.err;
        EXPECT_EQ(limited.out, free_run.out);
        EXPECT_EQ(limited.err, free_run.err);
        return;
      }
      expect_one_line(run(folder, p.memory_run, options), p.out_of_memory,
                      command_name(p) + ": not enough memory[^\n]*");
      return;
    }
    case Fault::kMemoryForThread: {
      // Thread stacks are as large as the stack limit: 1 GB, which the room
      // under the memory limit cannot hold.
      options.shell_prefix =
          "ulimit -s 1048576; ulimit -v " + std::to_string(baseline_kb() + 200000) + ";";
      expect_one_line(run(folder, reading(at("trace.txt")), options), p.out_of_memory,
                      command_name(p) + ": not enough memory for a[^\n]*thread[^\n]*");
      return;
    }
    case Fault::kFileSize: {
      // 2 KB in /bin/sh's 512-byte blocks: room for the messages on stderr.
      options.shell_prefix = "ulimit -f 4;";
      options.stdout_path = "report";
      expect_one_line(run(folder, p.big_output, options), p.cannot_run, file_size_error(p),
                      "File too large");
      return;
    }
    case Fault::kStdoutFull: {
      options.stdout_path = "/dev/full";
      expect_one_line(run(folder, p.big_output, options), p.cannot_run, write_error(p),
                      "No space left on device");
      return;
    }
    case Fault::kStdoutClosed: {
      options.stdout_path = "&-";
      expect_one_line(run(folder, p.big_output, options), p.cannot_run, write_error(p),
                      "Bad file descriptor");
      return;
    }
    case Fault::kReaderLeaves: {
      // As `program | head -1`: the end is quiet, by SIGPIPE as a filter's,
      // or as usual when everything fitted the pipe before the reader left.
      TempFolder usual_folder;
      const RunResult usual = run(usual_folder, p.big_output);
      options.shell_prefix = "mkfifo pipe; head -1 pipe > first &";
      options.stdout_path = "pipe";
      const RunResult result = run(folder, p.big_output, options);
      EXPECT_TRUE(result.exit_status == 128 + SIGPIPE || result.exit_status == usual.exit_status)
          << result.exit_status;
      EXPECT_EQ(messages(p, result), "");
      return;
    }
    case Fault::kDirectory: {
      const RunResult result = run(folder, reading(at("dir")), {}, at("dir"));
      if (p.banner) {  // pagesim says it on standard output, as it always has
        EXPECT_EQ(result.exit_status, p.cannot_run);
        EXPECT_EQ(result.out, "Error, could not read data.txt. Good bye!\n");
        return;
      }
      expect_one_line(result, 2, command_name(p) + ": [^\n]*Is a directory");
      return;
    }
    case Fault::kFifo:
    case Fault::kPipe: {
      // The same report as from a file of the same name.
      const std::string source = at(p.sample);
      const std::string path =
          fault == Fault::kPipe ? "/dev/stdin" : (folder.work() / "fifo").string();
      TempFolder file_folder;
      const std::string file = (file_folder.work() / "fifo").string();
      fs::copy_file(source, file);
      const RunResult from_file = run(file_folder, reading(file), {}, file);
      if (fault == Fault::kFifo) {
        options.shell_prefix = "mkfifo fifo; timeout 20 sh -c 'cat " + source + " > fifo' &";
      } else {
        options.stdin_command = "cat " + shell_quote(source);
      }
      const RunResult result = run(folder, reading(path), options, path);
      EXPECT_EQ(result.exit_status, from_file.exit_status) << result.err;
      const auto same_names = [&](std::string text) {
        for (size_t i; (i = text.find(path)) != std::string::npos;)
          text.replace(i, path.size(), file);
        return text;
      };
      EXPECT_EQ(same_names(result.out), from_file.out);
      EXPECT_EQ(same_names(result.err), from_file.err);
      return;
    }
    case Fault::kEmpty:
    case Fault::kRandomBytes:
    case Fault::kControlBytes:
    case Fault::kLongLine: {
      const char* name = fault == Fault::kEmpty          ? "empty"
                         : fault == Fault::kRandomBytes  ? "random.bin"
                         : fault == Fault::kControlBytes ? "control.bin"
                                                         : "long.txt";
      const std::string input = at(name);
      const RunResult result = run(folder, reading(input), {}, input, 120);
      // A documented status, in time, not a signal.
      EXPECT_LE(result.exit_status, 2) << result.err;
      EXPECT_TRUE(free_of_control_bytes(result.out)) << result.out;
      EXPECT_TRUE(free_of_control_bytes(result.err)) << result.err;
      EXPECT_LT(result.out.size() + result.err.size(), size_t{1} << 16)
          << "the input is echoed, not reported";
      expect_messages_name_the_program(p, messages(p, result), input);
      return;
    }
  }
}

// Every program with options answers -h and --help with its usage on
// standard output (pagesim's command line is a mode and a breakpoint).
TEST(EveryProgram, HelpPrintsTheUsageOnStandardOutput) {
  for (const Program& program : programs()) {
    if (program.banner || program.inputs_only) continue;
    for (const std::string option : {"-h", "--help"}) {
      TempFolder folder;
      const RunResult run = run_program(program.binary, folder, {option});
      EXPECT_EQ(run.exit_status, 0) << program.name << " " << option;
      EXPECT_EQ(run.out.rfind("usage: " + command_name(program) + " ", 0), 0u)
          << program.name << " " << option << ": " << run.out;
      EXPECT_EQ(run.err, "") << program.name << " " << option;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, FaultInjection, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return programs()[info.param.program].name + "_" +
                                  fault_name(info.param.fault);
                         });

}  // namespace
