#include "tools/pagediff/tables_text.hpp"

#include <string_view>
#include <vector>

#include "memory/engine.hpp"
#include "run/display.hpp"

namespace {

// Appends `lines` (the display's, of one table) to `text`, shortening runs
// of free lines: "   ... (TLB 4 to 7 are free too)".
void append_table(std::string& text, const std::vector<std::string>& lines,
                  const std::vector<bool>& shortenable, const char* what) {
  for (size_t i = 0; i < lines.size();) {
    size_t run = i;
    while (run < lines.size() && shortenable[run]) ++run;
    if (run - i >= 3) {
      text += lines[i] + "\n   ... (" + what + " " + std::to_string(i + 1) + " to " +
              std::to_string(run - 1) + " are free too)\n";
      i = run;
      continue;
    }
    text += lines[i] + "\n";
    ++i;
  }
}

}  // namespace

std::string tables_text() {
  (void)take_messages();
  print_state();
  const std::string_view dump = take_messages();
  std::vector<std::string> lines;
  for (size_t start = 0; start < dump.size();) {
    const size_t end = dump.find('\n', start);
    lines.emplace_back(dump.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::string> tlb(lines.begin(), lines.begin() + kTlbEntries);
  std::vector<std::string> frames(lines.begin() + kTlbEntries, lines.end());
  std::vector<bool> tlb_free(kTlbEntries), frame_free(kFrames);
  for (int i = 0; i < kTlbEntries; ++i) {
    tlb_free[i] = sim.tlb[i].physical_page < 0;
    if (tlb_free[i]) continue;
    tlb[i] += "   last_use " + std::to_string(sim.tlb[i].last_use);
    if (sim.tlb[i].last_use < 0) tlb[i] += " (empty)";
  }
  for (int i = 0; i < kFrames; ++i) {
    frame_free[i] = sim.frames[i].logical_page < 0 && i != sim.clock_hand;
    if (i == sim.clock_hand) frames[i] += "   <- clock hand";
  }
  std::string text;
  append_table(text, tlb, tlb_free, "TLB");
  append_table(text, frames, frame_free, "pages");
  return text;
}
