// bench_count_instructions: runs COMMAND one instruction at a time under
// ptrace and prints how many user-mode instructions it executed, and how
// many of them lay in the given ranges of the program's code (offsets from
// where its file is mapped first, as `nm` gives them for a PIE program):
//   bench_count_instructions [OFFSET:SIZE]... -- COMMAND [ARGUMENT...]
//   -> "total_instructions instructions_in_ranges"
// It counts on any processor, with any instruction set (callgrind knows no
// AVX-512); a string instruction counts once per repetition. Exit 0 when the
// command exited 0, 1 when it failed, 2 when it could not be run.
#include <sys/ptrace.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Range {
  uint64_t begin, end;
};

// Where the program's file is mapped first: the base its offsets are from;
// 0 for a program linked to fixed addresses, whose offsets are addresses.
bool load_base(pid_t pid, uint64_t* base) {
  char exe[4096];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t length = readlink(link.c_str(), exe, sizeof exe - 1);
  if (length <= 0) return false;
  exe[length] = '\0';
  FILE* file = std::fopen(exe, "rb");
  if (file == nullptr) return false;
  unsigned char header[18] = {};
  const bool read = std::fread(header, 1, sizeof header, file) == sizeof header;
  std::fclose(file);
  if (!read) return false;
  constexpr int kElfTypeFixed = 2;  // ET_EXEC, little-endian e_type at byte 16
  if (header[16] == kElfTypeFixed && header[17] == 0) {
    *base = 0;
    return true;
  }
  FILE* maps = std::fopen(("/proc/" + std::to_string(pid) + "/maps").c_str(), "r");
  if (maps == nullptr) return false;
  char line[4096 + 128];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long long start = 0;
    char path[4096] = "";
    if (std::sscanf(line, "%llx-%*x %*s %*s %*s %*s %4095s", &start, path) == 2 &&
        std::strcmp(path, exe) == 0) {
      *base = start;
      found = true;
    }
  }
  std::fclose(maps);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::puts("usage: bench_count_instructions [OFFSET:SIZE]... -- COMMAND [ARGUMENT...]");
    return 0;
  }
  std::vector<Range> offsets;
  int arg = 1;
  for (; arg < argc && std::strcmp(argv[arg], "--") != 0; ++arg) {
    unsigned long long offset = 0, size = 0;
    char end = '\0';
    if (std::sscanf(argv[arg], "%llx:%llx%c", &offset, &size, &end) != 2) {
      std::fprintf(stderr, "bench_count_instructions: not OFFSET:SIZE in hex: %s\n", argv[arg]);
      return 2;
    }
    offsets.push_back({offset, offset + size});
  }
  if (arg + 1 >= argc) {
    std::fputs(
        "bench_count_instructions: usage: bench_count_instructions [OFFSET:SIZE]... -- "
        "COMMAND [ARGUMENT...]\n",
        stderr);
    return 2;
  }
  const pid_t child = fork();
  if (child < 0) {
    std::perror("bench_count_instructions: fork");
    return 2;
  }
  if (child == 0) {
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execvp(argv[arg + 1], argv + arg + 1);
    std::fprintf(stderr, "bench_count_instructions: cannot run %s: %s\n", argv[arg + 1],
                 std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  // The child stops at its exec; then one step at a time.
  if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) {
    std::fputs("bench_count_instructions: the command did not start\n", stderr);
    return 2;
  }
  ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_EXITKILL);
  uint64_t base = 0;
  if (!offsets.empty() && !load_base(child, &base)) {
    std::fputs("bench_count_instructions: cannot find where the program is mapped\n", stderr);
    kill(child, SIGKILL);
    return 2;
  }
  uint64_t total = 0, in_ranges = 0;
  int signal_to_pass = 0;
  for (;;) {
    if (ptrace(PTRACE_SINGLESTEP, child, nullptr, signal_to_pass) != 0) {
      std::perror("bench_count_instructions: ptrace");
      return 2;
    }
    if (waitpid(child, &status, 0) != child) {
      std::perror("bench_count_instructions: waitpid");
      return 2;
    }
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    signal_to_pass = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
    if (signal_to_pass != 0) continue;
    ++total;
    if (offsets.empty()) continue;
    errno = 0;
    const auto rip = static_cast<uint64_t>(
        ptrace(PTRACE_PEEKUSER, child, offsetof(user_regs_struct, rip), nullptr));
    if (errno != 0) continue;
    for (const Range& range : offsets) {
      if (rip - base >= range.begin && rip - base < range.end) {
        ++in_ranges;
        break;
      }
    }
  }
  std::printf("%llu %llu\n", static_cast<unsigned long long>(total),
              static_cast<unsigned long long>(in_ranges));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
