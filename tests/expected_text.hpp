// Texts every end-to-end test expects, written out by hand.
#pragma once

#include <string>

#include "tests/run_program.hpp"

inline const std::string kBannerText =
    "This works slightly differently from the spec because\n"
    "it allows you to display extensive debugging info\n"
    "With no arguments, it works just like your program\n"
    "If the first arg is 0, it works just like your\n"
    "program with no arguments.  If the first argument is\n"
    "1, it will work like your program with one argument.\n"
    "If there is a second argument,  and it is a number, it\n"
    "will treat it as a breakpoint and start displaying\n"
    "extensive information about the status at each\n"
    "subsequent line\n";

/// The four totals printed at the end of a run.
inline std::string totals(long steps, long misses, long faults, long dirty) {
  return std::to_string(steps) + " steps were executed\n" + "There were " + std::to_string(misses) +
         " TLB misses\n" + "There were " + std::to_string(faults) + " page faults\n" +
         "There were " + std::to_string(dirty) + " dirty pages written to disk\n";
}

/// Runs the pagesim under test.
inline RunResult pagesim(const TempFolder& folder, const std::vector<std::string>& arguments = {},
                         const RunOptions& options = {}) {
  return run_program(PAGESIM_BINARY, folder, arguments, options);
}
