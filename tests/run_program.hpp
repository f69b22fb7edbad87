// Runs a built program in a fresh temporary folder and captures what it did.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

/// A new empty folder that is removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  /// Where the program runs.
  const std::filesystem::path& work() const { return work_; }
  /// Where captures are kept, outside the program's folder.
  const std::filesystem::path& base() const { return base_; }
  /// Writes `text` to a file of the work folder.
  void write(const std::string& name, const std::string& text) const;
  /// The contents of a file of the work folder.
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path base_;
  std::filesystem::path work_;
};

struct RunOptions {
  std::string stdin_text;     ///< fed through a file
  std::string shell_prefix;   ///< shell commands run before the program, e.g. "ulimit -f 1;"
  std::string stdout_path;    ///< instead of a capture file, e.g. "/dev/full"; "&-": closed
  std::string stdin_path;     ///< instead of stdin_text, e.g. "/dev/null"
  bool close_stdin = false;   ///< start with standard input closed
  std::string stdin_command;  ///< instead of the above, a command piped into standard input
  std::string then;           ///< shell command run after the program on the same streams
};

struct RunResult {
  int exit_status;  ///< 128 + signal number when killed
  std::string out;  ///< standard output
  std::string err;  ///< standard error
};

/// Quotes `text` for the shell.
std::string shell_quote(const std::string& text);

/// Runs `program` with `arguments` in `folder.work()`.
RunResult run_program(const std::string& program, const TempFolder& folder,
                      const std::vector<std::string>& arguments, const RunOptions& options = {});
