#include "tools/pagediff/cause_text.hpp"

#include <cctype>

namespace {

struct Entry {
  std::string_view id;  ///< an ID, or for "page-size-", "tlb-entries-", "frames-" its stem
  const char* yours;    ///< what their program does; "N" stands for the ID's number
  const char* pagesim;  ///< what pagesim does, and the rule
};

constexpr Entry kEntries[] = {
    {"records-from-zero",
     "Your program numbers the records from 0: your line for record R says R - 1.",
     "pagesim counts records from 1: the first record's lines say line 1."},
    {"terminations-not-counted",
     "Your program does not count a termination record, so your numbers lag by the terminations so "
     "far.",
     "pagesim counts every record it reads, terminations (first address 0) included."},
    {"page-size-", "Your program uses pages of N bytes.",
     "pagesim's pages are 1024 bytes: the page is the address / 1024, truncated toward zero."},
    {"negative-address-floor",
     "Your program rounds the page of a negative address down (-1 gives page -1).",
     "pagesim divides as C's / does, toward zero: -1..-1023 are page 0."},
    {"page-64-accepted", "Your range check lets page 64 through without a message.",
     "pagesim's pages are 0..63: page 64 prints \"Error, bad frame number\"."},
    {"write-before-read", "Your program translates a record's write before its read.",
     "pagesim translates the read (the first address) first, then the write."},
    {"tlb-line-before-fault-line",
     "Your program logs a fault's TLB line before its Page Fault line.",
     "pagesim logs the Page Fault line, then the TLB line of the load that follows it."},
    {"tlb-fifo",
     "In your program a TLB hit does not count as a use: entries are replaced by load time.",
     "pagesim sets an entry's last_use on every hit and replaces the least recently used."},
    {"tlb-empty-highest-first", "Your program takes the highest empty TLB entry first.",
     "pagesim takes the lowest empty entry first, else the least recently used."},
    {"tlb-entries-", "Your TLB has N entries.", "pagesim's TLB has 8 entries."},
    {"tlb-ignores-process",
     "Your TLB lookup compares only the page, so it matches another process's entry.",
     "pagesim's entry serves only its own process: the lookup compares process and page."},
    {"tlb-no-load-on-frame-hit",
     "After a TLB miss that finds the page in a frame, your program does not load the TLB.",
     "pagesim loads a TLB entry (one TLB line) whenever the frame search finds the page."},
    {"tlb-kept-on-eviction", "Your program keeps an evicted page's TLB entry usable.",
     "pagesim empties the evicted page's TLB entry, and a hit needs its frame to hold the page."},
    {"termination-keeps-tlb",
     "At a termination your program frees the frames but keeps the TLB entries.",
     "pagesim's termination empties the process's TLB entries and frees its frames."},
    {"termination-keeps-frames",
     "At a termination your program empties the TLB entries but keeps the frames.",
     "pagesim's termination empties the process's TLB entries and frees its frames."},
    {"no-frame-search", "After a TLB miss your program faults without searching the frames.",
     "pagesim searches the frame table after a miss; only a page in no frame faults."},
    {"frames-", "Your program has N frames.", "pagesim has 20 frames."},
    {"free-frame-highest-first", "Your program takes the highest free frame first.",
     "pagesim puts a page into the lowest free frame."},
    {"hand-moves-on-free-fault", "Your clock hand moves when a page goes into a free frame.",
     "pagesim's hand moves only at an eviction, to one past the victim."},
    {"hand-stays-on-victim", "Your clock hand stays on the victim after an eviction.",
     "pagesim moves the hand one past the victim."},
    {"hand-from-zero", "Your replacement scan starts at frame 0 every time.",
     "pagesim's scan starts at the clock hand."},
    {"no-second-chance", "Your mode 0 takes the frame at the hand whatever its ref bit.",
     "pagesim's mode 0 gives a frame with ref 1 a second chance: it clears the bit and goes on."},
    {"ref-only-on-miss", "Your program does not set the ref bit on a TLB hit.",
     "pagesim sets the frame's ref bit on every reference, hits included."},
    {"dirty-on-read", "Your program sets the dirty bit on reads too.",
     "pagesim sets the dirty bit only for a write (the second address)."},
    {"dirty-missed-on-tlb-hit",
     "Your program does not set the dirty bit when a write hits the TLB.",
     "pagesim sets the dirty bit for every write, hit or miss."},
    {"clean-first-one-turn", "Your clean-first scan gives up after one turn.",
     "pagesim's clean first looks for ref 0 and dirty 0 for two turns, then takes the frame it "
     "stands on."},
    {"clean-first-clears-dirty", "Your clean-first scan clears dirty bits as it passes.",
     "pagesim's clean first clears only ref bits."},
    {"clean-first-any-unreferenced",
     "Your clean-first scan takes the first frame with ref 0, dirty or not.",
     "pagesim's clean first takes only a frame with ref 0 and dirty 0 (clean), for two turns."},
    {"dirty-counted-at-termination",
     "Your program counts the dirty pages a termination frees as written.",
     "pagesim counts a dirty page written only when it is evicted."},
    {"every-eviction-counted", "Your program counts every eviction as a dirty page written.",
     "pagesim counts an eviction only when the victim's dirty bit is set."},
    {"faults-not-counted-as-misses",
     "Your program does not count a TLB miss that ends in a page fault as a TLB miss.",
     "pagesim counts every TLB miss, faults included: each is one TLB line of the log."},
    {"clean-first-keeps-ref", "Your clean-first scan does not clear the ref bits it passes.",
     "pagesim's clean first clears the ref bit of every frame it passes."},
    {"other-mode", "Your log is of the other replacement mode.", ""},
};

std::string with_number(const char* text, std::string_view number) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    const bool alone =
        p[0] == 'N' && (p == text || p[-1] == ' ') && (p[1] == ' ' || p[1] == '.' || p[1] == '\0');
    if (alone) {
      out += number;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> cause_paragraph(std::string_view id, int mode) {
  for (const Entry& entry : kEntries) {
    const bool stem = entry.id.back() == '-';
    if (stem ? id.substr(0, entry.id.size()) != entry.id : id != entry.id) continue;
    const std::string_view number = stem ? id.substr(entry.id.size()) : "";
    if (stem && (number.empty() || !std::isdigit(static_cast<unsigned char>(number[0])))) continue;
    std::vector<std::string> lines{with_number(entry.yours, number)};
    if (id == "other-mode") {
      lines.push_back(
          mode == 0
              ? "pagesim ran mode 0 (second chance); yours gives mode 1's (clean first) lines."
              : "pagesim ran mode 1 (clean first); yours gives mode 0's (second chance) lines.");
    } else {
      lines.emplace_back(entry.pagesim);
    }
    return lines;
  }
  return {};
}
