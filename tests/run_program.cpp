#include "tests/run_program.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "pagesim_test_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  base_ = pattern;
  work_ = base_ / "work";
  fs::create_directory(work_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(base_, ignored);
}

void TempFolder::write(const std::string& name, const std::string& text) const {
  std::ofstream(work_ / name, std::ios::binary) << text;
}

static std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempFolder::read(const std::string& name) const {
  return read_file(work_ / name);
}

bool TempFolder::exists(const std::string& name) const {
  return fs::exists(fs::symlink_status(work_ / name));
}

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

RunResult run_program(const std::string& program, const TempFolder& folder,
                      const std::vector<std::string>& arguments, const RunOptions& options) {
  const fs::path in = folder.base() / "stdin";
  const fs::path out = folder.base() / "stdout";
  const fs::path err = folder.base() / "stderr";
  std::ofstream(in, std::ios::binary) << options.stdin_text;
  // Built by appending: GCC 12 warns falsely on chains of string "+".
  std::string command = "cd ";
  command.append(shell_quote(folder.work().string())).append(" && ");
  command.append(options.shell_prefix);
  if (!options.stdin_command.empty())
    command.append(" ").append(options.stdin_command).append(" |");
  command.append(options.then.empty() ? " exec " : " { ").append(shell_quote(program));
  for (const std::string& argument : arguments) command.append(" ").append(shell_quote(argument));
  // The program's status survives the command that follows it.
  if (!options.then.empty()) command.append("; s=$?; ").append(options.then).append("; exit $s; }");
  if (options.close_stdin)
    command.append(" <&-");
  else if (options.stdin_command.empty())
    command.append(" <").append(
        shell_quote(options.stdin_path.empty() ? in.string() : options.stdin_path));
  if (options.stdout_path == "&-")
    command.append(" >&-");
  else
    command.append(" >").append(
        shell_quote(options.stdout_path.empty() ? out.string() : options.stdout_path));
  command.append(" 2>").append(shell_quote(err.string()));
  int status = std::system(command.c_str());
  RunResult result{};
  if (WIFEXITED(status))
    result.exit_status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exit_status = 128 + WTERMSIG(status);
  else
    result.exit_status = -1;
  result.out = options.stdout_path.empty() ? read_file(out) : "";
  result.err = read_file(err);
  return result;
}
