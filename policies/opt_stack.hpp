// The optimal policy at every frame count in one pass: OPT is a stack
// algorithm (with k frames it holds the k pages of the priority stack's
// top), so a reference at depth d faults in the runs with fewer than d
// frames, and the page a run with k frames evicts is the one carried past
// depth k while the stack is brought up to date. The frames a process's end
// frees stand in the stack as empty pages that rank below every page, so
// that each run takes them first, as a run takes a free frame first.
#pragma once

#include <span>
#include <vector>

#include "policies/frame_table.hpp"

struct OptStackCurve {
  std::vector<PolicyCounts> counts;
  /// Runs in which OPT had to choose among pages never used again: the
  /// stack's choice need not be the lowest frame's, so their dirty pages
  /// written need a run of their own. Their faults are exact all the same.
  std::vector<bool> choice_among_unused;
};

/// OPT at each of `frame_counts`, in that order. REQUIRES: frame_counts
/// increasing, each from 1 to kMaxFrames.
OptStackCurve opt_stack_curve(const ReferenceTrace& trace, std::span<const int> frame_counts);
