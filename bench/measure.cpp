// bench_measure: runs each command once to warm up, then RUNS rounds of
// every command once, in turns (each round starts one command later, so
// that none always runs right after the same one), in the current folder
// with standard input and both outputs on /dev/null, and prints for each
// command, in the order given, the medians of wall, user and system seconds
// and the largest peak resident set of its measured runs:
//   bench_measure RUNS COMMAND [ARGUMENT...] [-- COMMAND [ARGUMENT...]]...
//   -> "wall_seconds user_seconds system_seconds peak_rss_kib", one line each
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Sample {
  double wall;
  double user;
  double system;
  long peak_rss_kib;
};

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
}

bool run_once(char** command, Sample* sample) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execvp(command[0], command);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return false;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "bench_measure: %s failed (status %d)\n", command[0], status);
    return false;
  }
  *sample = {wall.count(), seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss};
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Command {
  char** argv;
  std::vector<double> walls, users, systems;
  long peak = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || atoi(argv[1]) < 1 || std::strcmp(argv[2], "--") == 0) {
    fprintf(stderr,
            "usage: bench_measure RUNS COMMAND [ARGUMENT...] [-- COMMAND [ARGUMENT...]]...\n");
    return 2;
  }
  const int runs = atoi(argv[1]);
  // Each "--" ends the command before it: it becomes the end of its argv.
  std::vector<Command> commands;
  commands.push_back({argv + 2, {}, {}, {}, 0});
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") != 0) continue;
    argv[i] = nullptr;
    if (i + 1 >= argc || std::strcmp(argv[i + 1], "--") == 0) {
      fprintf(stderr, "bench_measure: a command is missing after --\n");
      return 2;
    }
    commands.push_back({argv + i + 1, {}, {}, {}, 0});
  }
  const int count = static_cast<int>(commands.size());
  for (int round = 0; round <= runs; ++round) {
    for (int turn = 0; turn < count; ++turn) {
      Command& command = commands[(round + turn) % count];
      Sample sample;
      if (!run_once(command.argv, &sample)) return 1;
      if (round == 0) continue;  // warm-up: first use of the file's memory
      command.walls.push_back(sample.wall);
      command.users.push_back(sample.user);
      command.systems.push_back(sample.system);
      command.peak = std::max(command.peak, sample.peak_rss_kib);
    }
  }
  for (const Command& command : commands) {
    if (printf("%.3f %.3f %.3f %ld\n", median(command.walls), median(command.users),
               median(command.systems), command.peak) < 0)
      return 1;
  }
  return fflush(stdout) == 0 ? 0 : 1;
}
