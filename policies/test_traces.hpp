// Reference strings for the policy tests, written the way they are worked by
// hand: "7" reads page 7 of process 0, "7w" writes it, "2.7" and "2.7w" are
// page 7 of process 2, "end2" ends process 2 ("end" ends process 0).
#pragma once

#include <sstream>
#include <string>

#include "policies/reference_trace.hpp"

inline void add_references(ReferenceTrace& trace, const std::string& text) {
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (word.rfind("end", 0) == 0) {
      trace.add_termination(word.size() == 3 ? 0 : std::stoi(word.substr(3)));
      continue;
    }
    const bool write = word.back() == 'w';
    if (write) word.pop_back();
    const size_t dot = word.find('.');
    const int proc = dot == std::string::npos ? 0 : std::stoi(word.substr(0, dot));
    const int page = std::stoi(dot == std::string::npos ? word : word.substr(dot + 1));
    trace.add_reference(proc, page, write);
  }
}
