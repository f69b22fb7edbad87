// The display on a real pseudo-terminal: the program must stop at each pause,
// with everything so far on the screen and in out.txt, until a key arrives.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

#include "tests/expected_text.hpp"

namespace {

class Terminal {
 public:
  // Starts pagesim with `arguments` in `folder` on a new pseudo-terminal.
  Terminal(const TempFolder& folder, const char* mode, const char* break_line) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (chdir(folder.work().c_str()) != 0) _exit(126);
      execl(PAGESIM_BINARY, PAGESIM_BINARY, mode, break_line, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  bool started() const { return pid_ > 0; }

  // Collects the screen until `wanted` has appeared `times` times, or until
  // `limit` passes. Returns whether it appeared.
  bool read_until(const std::string& wanted, size_t times, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (occurrences(wanted) < times) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !read_some(static_cast<int>(left.count()))) return false;
    }
    return true;
  }
  // Reads whatever arrives within `wait`.
  void drain(std::chrono::milliseconds wait) {
    while (read_some(static_cast<int>(wait.count()))) {
    }
  }
  void type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  size_t occurrences(const std::string& wanted) const {
    size_t found = 0;
    for (size_t at = screen_.find(wanted); at != std::string::npos;
         at = screen_.find(wanted, at + 1))
      ++found;
    return found;
  }
  const std::string& screen() const { return screen_; }

 private:
  bool read_some(int timeout_ms) {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) <= 0) return false;
    char chunk[4096];
    ssize_t got = read(master_, chunk, sizeof chunk);
    if (got <= 0) return false;
    screen_.append(chunk, static_cast<size_t>(got));
    return true;
  }
  int master_ = -1;
  pid_t pid_ = -1;
  std::string screen_;
};

TEST(Terminal, DisplayWaitsForAKeyWithScreenAndLogUpToDate) {
  using namespace std::chrono_literals;
  TempFolder folder;
  folder.write("data.txt", "7 3000 3100\n8 5000 5000\n9 0 0\n");
  Terminal terminal(folder, "0", "0");
  ASSERT_TRUE(terminal.started());
  const std::string prompt = "Hit return key to continue";

  ASSERT_TRUE(terminal.read_until(prompt, 1, 10s)) << terminal.screen();
  terminal.drain(300ms);
  EXPECT_EQ(terminal.occurrences(prompt), 1u) << "it must wait at the first pause";
  EXPECT_EQ(terminal.occurrences("Break at Line 2"), 0u);
  // A terminal shows each line as it was printed, with a carriage return.
  EXPECT_NE(terminal.screen().find("TLB: line 1 Entry 1 proc 7 LP 3 PP 1\r\n"), std::string::npos);
  EXPECT_NE(terminal.screen().find("   Physical Page 19 is free\r\n" + prompt), std::string::npos);
  EXPECT_EQ(folder.read("out.txt"),
            "Page Fault: line 1 proc 7 LP 2 PP 0\n"
            "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 1 proc 7 LP 3 PP 1\n"
            "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n");

  terminal.type("\r");
  ASSERT_TRUE(terminal.read_until(prompt, 2, 10s)) << terminal.screen();
  terminal.drain(300ms);
  EXPECT_EQ(terminal.occurrences(prompt), 2u) << "return releases one pause only";
  EXPECT_EQ(terminal.occurrences("steps were executed"), 0u);

  terminal.type("\r");
  terminal.type("\r");
  ASSERT_TRUE(terminal.read_until("There were 0 dirty pages written to disk", 1, 10s))
      << terminal.screen();
}

}  // namespace
