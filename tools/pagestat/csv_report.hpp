// The what-if table, and the curve when computed, as CSV.
#pragma once

#include <string>

#include "tools/pagestat/results.hpp"

/// The header "policy,frames,faults,dirty_writes", then one row per policy
/// (kPolicies order) and frame count: every count of the curve when there
/// is one, else the what-if frame count.
std::string csv_report(const PagestatResults& results);
