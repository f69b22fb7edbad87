// The command line of pageview.
#pragma once

#include <string>

#include "tools/pageview/pageview.hpp"

/// The usage text, printed by -h and named in argument errors.
const char* pageview_usage();

/// Reads argv[1..argc-1] into `request` (or sets `help`). Returns false on a
/// mistake, with `error` set to one line (no program name, no newline).
bool parse_pageview_command_line(int argc, const char* const* argv, PageviewRequest& request,
                                 bool& help, std::string& error);
