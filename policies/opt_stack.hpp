// The optimal policy at every frame count in one pass: OPT is a stack
// algorithm (with k frames it holds the k pages of the priority stack's
// top), so a reference at depth d faults in the runs with fewer than d
// frames, and the page a run with k frames evicts is the one carried past
// depth k while the stack is brought up to date. The frames a process's end
// frees stand in the stack as empty pages that rank below every page, so
// that each run takes them first, as a run takes a free frame first. Each
// run's frames are followed as well, for the lowest-frame rule among pages
// never used again, whose dirty bits the stack alone cannot tell.
#pragma once

#include <span>
#include <vector>

#include "policies/frame_table.hpp"

/// OPT at each of `frame_counts`, in that order. REQUIRES: frame_counts
/// increasing, each from 1 to kMaxFrames.
std::vector<PolicyCounts> opt_stack_curve(const ReferenceTrace& trace,
                                          std::span<const int> frame_counts);
