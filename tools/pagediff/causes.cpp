#include <algorithm>
#include <tuple>

#include "tools/pagediff/comparison_pass.hpp"

namespace {

// How far a candidate went, for ordering: to the end beats any count.
auto reach(const Candidate& c) {
  return std::make_tuple(c.log_to_end, c.log_to_end ? 0 : c.log_lines, c.stdout_to_end,
                         c.stdout_to_end ? 0 : c.stdout_lines);
}

bool reproduces(const PassResult& pass, const Candidate& c) {
  if (pass.log_differs) {
    const uint64_t differing = pass.log.theirs.number - 1;
    if (c.log_to_end) return c.stdout_to_end;
    return c.log_lines >= differing + 1 + kReproducedLines;
  }
  if (!pass.stdout_differs || !c.log_to_end) return false;
  const uint64_t differing = pass.out.theirs.number - 1;
  return c.stdout_to_end || c.stdout_lines >= differing + 1 + kReproducedLines;
}

}  // namespace

std::vector<const Candidate*> causes(const PassResult& pass) {
  std::vector<const Candidate*> found;
  for (const Candidate& candidate : pass.candidates) {
    if (reproduces(pass, candidate)) found.push_back(&candidate);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Candidate* a, const Candidate* b) { return reach(*a) > reach(*b); });
  std::erase_if(found, [&](const Candidate* c) { return reach(*c) != reach(*found.front()); });
  return found;
}

std::vector<const Candidate*> coincidences(const PassResult& pass) {
  std::vector<const Candidate*> found;
  if (!pass.log_differs) return found;
  for (const Candidate& candidate : pass.candidates) {
    if (candidate.log_lines > pass.log.theirs.number - 1 && !reproduces(pass, candidate))
      found.push_back(&candidate);
  }
  return found;
}
