// The report pagediff prints: one line when everything matched, else the
// diagnostic line, both lines, the explanation, pagesim's tables and events
// around the record, and how much matched before.
#pragma once

#include <string>

#include "tools/pagediff/command_line.hpp"
#include "tools/pagediff/comparison_pass.hpp"

/// "no difference: N lines of THEIR_LOG match[, and THEIR_STDOUT]".
/// REQUIRES: the pass found no difference.
std::string match_report(const Options& options, const PassResult& pass);

/// The report of the first difference, into `report`. Returns false with
/// errno set and `unreadable` naming the file when the trace or their
/// standard output cannot be read again. REQUIRES: the pass found a difference.
bool difference_report(const Options& options, const PassResult& pass, std::string& report,
                       std::string& unreadable);
