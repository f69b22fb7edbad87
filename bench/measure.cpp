// bench_measure: runs a command once to warm up, then RUNS times, in the
// current folder with standard input and both outputs on /dev/null, and
// prints the medians of wall, user and system seconds and the largest peak
// resident set of the measured runs:
//   bench_measure RUNS COMMAND [ARGUMENT...]
//   -> "wall_seconds user_seconds system_seconds peak_rss_kib"
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || atoi(argv[1]) < 1) {
    fprintf(stderr, "usage: bench_measure RUNS COMMAND [ARGUMENT...]\n");
    return 2;
  }
  const int runs = atoi(argv[1]);
  std::vector<double> walls, users, systems;
  long peak = 0;
  for (int run = 0; run <= runs; ++run) {
    Sample sample;
    if (!run_once(argv + 2, &sample)) return 1;
    if (run == 0) continue;  // warm-up: first use of the file's memory
    walls.push_back(sample.wall);
    users.push_back(sample.user);
    systems.push_back(sample.system);
    peak = std::max(peak, sample.peak_rss_kib);
  }
  if (printf("%.3f %.3f %.3f %ld\n", median(walls), median(users), median(systems), peak) < 0 ||
      fflush(stdout) != 0)
    return 1;
  return 0;
}
