// The report pagediff prints: one line when everything matched, else the
// location line, the cause line, the cause explained, the narration of
// pagesim's state with its tables, and how much matched before.
#pragma once

#include <string>

#include "tools/pagediff/command_line.hpp"
#include "tools/pagediff/comparison_pass.hpp"

/// "no difference: N lines of THEIR_LOG match[, and THEIR_STDOUT]".
/// REQUIRES: the pass found no difference.
std::string match_report(const Options& options, const PassResult& pass);

/// "THEIR_LOG:L: record R: KIND" (or THEIR_STDOUT's), without line feed.
/// REQUIRES: the pass found a difference.
std::string location_line(const Options& options, const PassResult& pass);

/// "cause: ID, ID" or "cause: unknown", without line feed.
std::string cause_line(const PassResult& pass);

/// The whole report of the first difference. REQUIRES: a difference.
std::string difference_report(const Options& options, const PassResult& pass);

/// One block of --all: the location line, the cause line, pagesim's and
/// their line, and the cause explained. `joint`, when not null, is a
/// candidate that gave the differing line and, with the mistake found at
/// the next difference, reproduces their lines: it is named the cause.
/// REQUIRES: a difference.
std::string difference_block(const Options& options, const PassResult& pass,
                             const Candidate* joint = nullptr);
