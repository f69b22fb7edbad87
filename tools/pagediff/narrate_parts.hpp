// Pieces shared by the explanations of each kind of log difference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagediff/narrate.hpp"

namespace narration {

using Lines = std::vector<std::string>;

/// "12".
std::string number(int64_t value);
/// "1 record", "2 records".
std::string count_of(int64_t count, const std::string& thing);
/// "emptied by the end of process 2 at record 11", and the other ways.
std::string entry_emptied_text(const Emptying& emptying);
/// The reference of the scene and what pagesim did on it; null for a record.
const ReferenceStep* focus_step(const Scene& scene);

// The TLB and the frames: which entry or frame pagesim took, and why.
void explain_tlb_entry(const LogStory& story, Lines& lines);
void explain_free_frame(const LogStory& story, Lines& lines);
void explain_victim_frame(const LogStory& story, Lines& lines);

// Where the page was: a fault or a TLB load one side has and the other lacks.
void explain_missing_fault(const LogStory& story, Lines& lines);
void explain_extra_fault(const LogStory& story, Lines& lines);
void explain_missing_tlb_load(const LogStory& story, Lines& lines);
void explain_extra_tlb_load(const LogStory& story, Lines& lines);

}  // namespace narration
