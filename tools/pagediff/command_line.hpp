// The command line of pagediff: the mode, the trace and the user's files.
#pragma once

#include <cstdint>
#include <string>

/// The usage line, printed by -h and named in argument errors.
inline constexpr const char* kUsage =
    "usage: pagediff [-m MODE] [-t TRACE] [--all] [--html FILE] THEIR_LOG [THEIR_STDOUT]\n";

struct Options {
  int32_t mode = 0;                ///< pagesim's first argument: 0 or 1
  std::string trace = "data.txt";  ///< the trace both programs ran
  std::string their_log;           ///< their out.txt
  std::string their_stdout;        ///< their standard output; empty: not compared
  bool help = false;               ///< -h: print the usage and stop
  bool all = false;  ///< --all: name a cause, apply it, and go on to the next difference
  std::string html;  ///< --html: the page of the run around the first difference; empty: none
};

/// Reads argv[1..argc-1] into `options`. Returns false on a mistake, with
/// `error` set to one line that explains it (no program name, no newline).
bool parse_command_line(int argc, const char* const* argv, Options& options, std::string& error);
