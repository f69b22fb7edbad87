// What is odd about the user's files, said in one line before the report:
// most of these make every line differ for a reason that is not a mistake
// of their simulator.
#pragma once

#include <string>
#include <string_view>

#include "tools/pagediff/command_line.hpp"
#include "tools/pagediff/comparison_pass.hpp"

/// The first bytes of their files, looked at before comparing.
struct FirstBytes {
  std::string log;     ///< up to the first line feed (or a few hundred bytes)
  std::string stdout;  ///< the same for their standard output
};

/// One line, "FILE:LINE: note: ...", or empty when nothing is odd.
std::string input_note(const Options& options, const FirstBytes& first, const PassResult& pass);
