// What a catalogued mistake is, in a short paragraph of the machine's
// terms: what the user's program does, what pagesim does, and the rule.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The paragraph for catalogue ID `id` ("tlb-fifo", "frames-16"), in lines
/// of at most about 90 characters; empty for an ID not in the catalogue.
std::vector<std::string> cause_paragraph(std::string_view id, int mode);
