#include "tools/pagestat/csv_report.hpp"

namespace {

std::string csv_row(Policy policy, int frames, const PolicyCounts& counts) {
  return std::string(policy_name(policy)) + "," + std::to_string(frames) + "," +
         std::to_string(counts.faults) + "," + std::to_string(counts.dirty_writes) + "\n";
}

}  // namespace

std::string csv_report(const PagestatResults& results) {
  std::string text = "policy,frames,faults,dirty_writes\n";
  for (size_t p = 0; p < kPolicies.size(); ++p) {
    if (!results.curve) {
      text += csv_row(kPolicies[p], results.frames, results.what_if[p].totals);
      continue;
    }
    const std::vector<PolicyCounts>& counts = (*results.curve)[p];
    for (size_t k = 0; k < counts.size(); ++k)
      text += csv_row(kPolicies[p], results.curve->frames[k], counts[k]);
  }
  return text;
}
