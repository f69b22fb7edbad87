#include "tools/pagediff/tables_text.hpp"

#include <vector>

namespace {

// Appends `lines` (of one table) to `text`, shortening runs of free lines:
// "   ... (TLB 4 to 7 are free too)".
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

std::string n(int64_t value) {
  return std::to_string(value);
}

}  // namespace

std::string tables_text(const variants::MachineState& state) {
  // As the display judges it: an entry is free by its frame number, a frame
  // by its page number.
  std::vector<std::string> tlb, frames;
  std::vector<bool> tlb_free, frame_free;
  for (size_t i = 0; i < state.tlb.size(); ++i) {
    const variants::TlbSlot& entry = state.tlb[i];
    const bool free = entry.physical_page < 0;
    tlb_free.push_back(free);
    std::string line = "   TLB " + n(static_cast<int64_t>(i));
    if (free) {
      line += " is free";
    } else {
      line += " process " + n(entry.proc) + ", VA " + n(entry.logical_page) + ", PP " +
              n(entry.physical_page) + "   last_use " + n(entry.last_use);
      if (entry.last_use < 0) line += " (empty)";
    }
    tlb.push_back(line);
  }
  for (size_t i = 0; i < state.frames.size(); ++i) {
    const variants::FrameSlot& frame = state.frames[i];
    const bool hand = static_cast<int32_t>(i) == state.clock_hand;
    // A frame in use with a negative page (a negative address's) looks free
    // to the display; the line says what it really holds, so that the tables
    // agree with a narration that calls no frame free.
    const bool looks_free = frame.logical_page < 0;
    const bool really_free = looks_free && frame.free != 0;
    frame_free.push_back(really_free && !hand);
    std::string line = "   Physical Page " + n(static_cast<int64_t>(i));
    if (looks_free) {
      line += " is free";
      if (!really_free)
        line += "   <- in use: Proc " + n(frame.proc) + " Logical Page " + n(frame.logical_page) +
                " ref " + n(frame.ref) + " dirty " + n(frame.dirty);
    } else {
      line += ", Proc " + n(frame.proc) + " Logical Page " + n(frame.logical_page) + " ref " +
              n(frame.ref) + " dirty " + n(frame.dirty);
    }
    if (hand) line += "   <- clock hand";
    frames.push_back(line);
  }
  std::string text;
  append_table(text, tlb, tlb_free, "TLB");
  append_table(text, frames, frame_free, "pages");
  return text;
}
