// pagediff names the cause of a difference in the output of a simulator it
// did not make: the tests' own buggy simulator, with one mistake planted per
// row, on a trace where that mistake shows and no other mistake gives the
// same output.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/run_program.hpp"
#include "tests/trace_text.hpp"

namespace {

// Process `proc` reads pages first..last, each in a record that writes
// `written`, so those pages stay clean.
std::string read_pages(int proc, int first, int last, int written) {
  std::string trace;
  for (int page = first; page <= last; ++page) trace += record(proc, page, written);
  return trace;
}

// Mode 1: frames 0..5 hold clean pages 0..4 and the written page 30, the
// rest written pages; then seven written pages fault.
const std::string kCleanPagesFirst =
    read_pages(1, 0, 4, 30) + written_pages(1, 5, 18) + written_pages(1, 40, 46);
// Mode 1: one clean frame (5) among written ones, then four faults.
const std::string kOneCleanFrame = written_pages(1, 0, 4) + read_pages(1, 5, 5, 0) +
                                   written_pages(1, 6, 19) + written_pages(1, 40, 43);
// Mode 1: half the frames clean; after the first eviction the frame at the
// hand is referenced again before the next fault.
const std::string kHandFrameReferenced = pages(1, 0, 19) + record(1, 40, 40) + record(1, 1, 1) +
                                         record(1, 41, 41) + record(1, 42, 42) + record(1, 43, 43);

struct Row {
  std::string plants;  ///< IDs to plant, separated by blanks
  std::string mode;
  bool with_stdout;  ///< their standard output goes to pagediff too
  std::string first_line;
  std::string cause;  ///< the IDs expected on the cause line
  std::string trace;
};

const Row kCatalogue[] = {
    {"records-from-zero", "0", false, "out.txt:1: record 1: record number", "records-from-zero",
     "7 3000 3100\n"},
    {"terminations-not-counted", "0", false, "out.txt:5: record 3: record number",
     "terminations-not-counted", "1 1024 2048\n1 0 0\n2 1024 2048\n"},
    // 3000 is in page 5 only for 512 and in page 1 only for 2048.
    {"page-size-512", "0", false, "out.txt:1: record 1: page number", "page-size-512",
     "7 3000 3100\n"},
    {"page-size-2048", "0", false, "out.txt:1: record 1: page number", "page-size-2048",
     "7 3000 3100\n"},
    {"negative-address-floor", "0", false, "out.txt:1: record 1: page number",
     "negative-address-floor", "5 -100 2048\n"},
    {"page-64-accepted", "0", true, "stdout.txt:1: messages", "page-64-accepted",
     "1 65536 65537\n"},
    {"write-before-read", "0", false, "out.txt:1: record 1: missing page fault",
     "write-before-read", "7 3000 5000\n"},
    {"tlb-line-before-fault-line", "0", false, "out.txt:1: record 1: missing page fault",
     "tlb-line-before-fault-line", "7 3000 3100\n"},
    // Page 0 is hit at record 5, so the least recently used entry is page 1's.
    {"tlb-fifo", "0", false, "out.txt:18: record 6: TLB entry", "tlb-fifo",
     pages(1, 0, 7) + record(1, 0, 0) + record(1, 8, 8)},
    {"tlb-empty-highest-first", "0", false, "out.txt:2: record 1: TLB entry",
     "tlb-empty-highest-first", "7 3000 3100\n"},
    // Exactly N + 1 loads tell N from the sizes next to it.
    {"tlb-entries-4", "0", false, "out.txt:10: record 3: TLB entry", "tlb-entries-4",
     pages(1, 0, 5)},
    {"tlb-entries-12", "0", false, "out.txt:18: record 5: TLB entry", "tlb-entries-12",
     pages(1, 0, 12)},
    // Each row's log goes on after the difference: a log that ends there
    // would be reproduced by every mistake that leaves its start alone.
    {"tlb-ignores-process", "0", false, "out.txt:3: record 2: missing page fault",
     "tlb-ignores-process", "1 2048 2048\n2 2048 2048\n2 4096 4096\n"},
    // Page 0 stays in frame 0 after page 8 took its TLB entry.
    {"tlb-no-load-on-frame-hit", "0", false, "out.txt:19: record 6: missing TLB load",
     "tlb-no-load-on-frame-hit", pages(1, 0, 8) + record(1, 0, 0) + record(1, 9, 9)},
    {"tlb-kept-on-eviction", "0", false, "out.txt:43: record 12: TLB entry", "tlb-kept-on-eviction",
     pages(1, 0, 19) + record(1, 0, 0) + record(1, 20, 20) + record(1, 0, 0)},
    {"termination-keeps-tlb", "0", false, "out.txt:10: record 4: TLB entry",
     "termination-keeps-tlb", "1 1024 2048\n2 3072 4096\n1 0 0\n3 5120 6144\n"},
    {"termination-keeps-frames", "0", false, "out.txt:5: record 3: free frame",
     "termination-keeps-frames", "1 1024 2048\n1 0 0\n2 3072 3072\n"},
    {"no-frame-search", "0", false, "out.txt:19: record 6: extra page fault", "no-frame-search",
     pages(1, 0, 8) + record(1, 0, 0)},
    {"frames-16", "0", false, "out.txt:33: record 9: free frame", "frames-16", pages(1, 0, 19)},
    {"frames-24", "0", false, "out.txt:41: record 11: victim frame", "frames-24", pages(1, 0, 24)},
    {"free-frame-highest-first", "0", false, "out.txt:1: record 1: free frame",
     "free-frame-highest-first", "7 3000 3100\n"},
    // Only a fault into a frame freed by a termination shows where the hand is.
    {"hand-moves-on-free-fault", "0", false, "out.txt:45: record 15: victim frame",
     "hand-moves-on-free-fault",
     pages(1, 0, 9) + record(2, 0, 0) + pages(1, 10, 18) + record(1, 19, 19) + "2 0 0\n" +
         record(3, 0, 0) + record(3, 1, 1)},
    // In mode 0 a scan from the victim passes it at once (the load set its
    // ref bit) and takes what pagesim takes; once no frame is clean,
    // clean-first takes the frame it started from: the victim, not the one
    // after it (nor frame 0, as hand-from-zero would).
    {"hand-stays-on-victim", "1", false, "out.txt:51: record 25: victim frame",
     "hand-stays-on-victim", kCleanPagesFirst},
    {"hand-from-zero", "0", false, "out.txt:45: record 13: victim frame", "hand-from-zero",
     pages(1, 0, 19) + record(1, 20, 20) + record(1, 21, 21) + record(1, 22, 22)},
    // Page 1, at the hand, is referenced again before the second eviction.
    {"no-second-chance", "0", false, "out.txt:44: record 13: victim frame", "no-second-chance",
     pages(1, 0, 19) + record(1, 20, 20) + record(1, 1, 1) + record(1, 21, 21)},
    // Page 3 is hit in the TLB after the first eviction cleared its ref bit.
    {"ref-only-on-miss", "0", false, "out.txt:53: record 19: victim frame", "ref-only-on-miss",
     pages(1, 0, 19) + record(1, 2, 3) + record(1, 4, 5) + record(1, 6, 7) + record(1, 8, 8) +
         record(1, 20, 20) + record(1, 1, 1) + record(1, 3, 3) + record(1, 21, 21) +
         record(1, 22, 22)},
    // In mode 0 a dirty bit on every frame is every eviction counted; mode 1
    // tells them apart. Its victims are those of a scan that keeps the ref
    // bits; only the dirty-pages total tells the two apart.
    {"dirty-on-read", "1", true, "out.txt:44: record 13: victim frame", "dirty-on-read",
     kHandFrameReferenced},
    // Each write hits the TLB entry its read loaded.
    {"dirty-missed-on-tlb-hit", "0", true, "stdout.txt:4: totals", "dirty-missed-on-tlb-hit",
     written_pages(1, 0, 20)},
    {"clean-first-one-turn", "1", false, "out.txt:41: record 21: victim frame",
     "clean-first-one-turn", kOneCleanFrame},
    // A frame the scan passed is clean, so this scan takes what the plain
    // clock takes: only the dirty-pages total tells it from the next row.
    {"clean-first-clears-dirty", "1", true, "out.txt:46: record 14: victim frame",
     "clean-first-clears-dirty", kHandFrameReferenced},
    // After one turn every ref bit is 0, so taking the first unreferenced
    // frame is the plain clock: no mode 1 trace tells it from other-mode.
    // The totals tell it from clean-first-clears-dirty.
    {"clean-first-any-unreferenced", "1", true, "out.txt:46: record 14: victim frame",
     "clean-first-any-unreferenced, other-mode", kHandFrameReferenced},
    {"dirty-counted-at-termination", "0", true, "stdout.txt:4: totals",
     "dirty-counted-at-termination", written_pages(1, 0, 3) + "1 0 0\n"},
    // Clean-first evicts clean frames here, which only this mistake counts.
    {"every-eviction-counted", "1", true, "stdout.txt:4: totals", "every-eviction-counted",
     kCleanPagesFirst},
    // Page 0 is the one miss of eleven that the frame table answers.
    {"faults-not-counted-as-misses", "0", true, "stdout.txt:2: totals",
     "faults-not-counted-as-misses", pages(1, 0, 8) + record(1, 0, 0) + record(1, 9, 9)},
    // With no ref bit ever cleared each victim is the frame at the hand, as
    // when every frame is dirty: only the clean frame 5 going uncounted
    // tells it from dirty-on-read. Page 1 referenced again tells it from
    // the plain clock.
    {"clean-first-keeps-ref", "1", true, "out.txt:41: record 21: victim frame",
     "clean-first-keeps-ref",
     written_pages(1, 0, 4) + read_pages(1, 5, 5, 0) + written_pages(1, 6, 19) + record(1, 40, 40) +
         record(1, 1, 1) + written_pages(1, 41, 46)},
    {"other-mode", "0", false, "out.txt:41: record 21: victim frame", "other-mode", kOneCleanFrame},
};

struct Diagnosis {
  int exit_status;
  std::vector<std::string> lines;
};

// Runs the buggy simulator with the row's plants, then pagediff (with
// `options`) on what it wrote.
Diagnosis diagnose(const Row& row, const std::vector<std::string>& options = {}) {
  TempFolder folder;
  folder.write("data.txt", row.trace);
  std::vector<std::string> arguments;
  std::istringstream plants(row.plants);
  for (std::string plant; plants >> plant;) arguments.insert(arguments.end(), {"--plant", plant});
  arguments.push_back(row.mode);
  const RunResult buggy = run_program(BUGGY_SIMULATOR_BINARY, folder, arguments);
  EXPECT_EQ(buggy.exit_status, 0) << buggy.err;
  folder.write("stdout.txt", buggy.out);
  arguments = options;
  arguments.insert(arguments.end(), {"-m", row.mode, "out.txt"});
  if (row.with_stdout) arguments.push_back("stdout.txt");
  const RunResult report = run_program(PAGEDIFF_BINARY, folder, arguments);
  Diagnosis diagnosis{report.exit_status, {}};
  std::istringstream text(report.out);
  for (std::string line; std::getline(text, line);) diagnosis.lines.push_back(line);
  diagnosis.lines.resize(std::max<size_t>(diagnosis.lines.size(), 2));
  return diagnosis;
}

TEST(PagediffCauses, EachCataloguedMistakeIsNamedOnTheSecondLine) {
  for (const Row& row : kCatalogue) {
    SCOPED_TRACE(row.plants);
    const Diagnosis diagnosis = diagnose(row);
    EXPECT_EQ(diagnosis.exit_status, 1);
    EXPECT_EQ(diagnosis.lines[0], row.first_line);
    EXPECT_EQ(diagnosis.lines[1], "cause: " + row.cause);
  }
}

TEST(PagediffCauses, AMistakeOutsideTheCatalogueIsUnknown) {
  // The victim is the frame before the one the clock chose.
  const Row row{.plants = "off-catalogue",
                .mode = "0",
                .with_stdout = false,
                .first_line = "out.txt:41: record 11: victim frame",
                .cause = "unknown",
                .trace = pages(1, 0, 19) + record(1, 20, 20)};
  const Diagnosis diagnosis = diagnose(row);
  EXPECT_EQ(diagnosis.exit_status, 1);
  EXPECT_EQ(diagnosis.lines[0], row.first_line);
  EXPECT_EQ(diagnosis.lines[1], "cause: " + row.cause);
}

TEST(PagediffCauses, AllNamesTwoMistakesPlantedAtOnce) {
  // The numbers drift only after the termination, 83 lines after the first
  // difference, so the first mistake alone reproduces well past it.
  const Row row{
      .plants = "tlb-empty-highest-first terminations-not-counted",
      .mode = "0",
      .with_stdout = false,
      .first_line = {},  // both blocks are looked for below
      .cause = {},
      .trace = "7 3000 3100\n" + pages(7, 4, 43) + "7 0 0\n" + "8 5000 6000\n" + pages(8, 10, 20)};
  const Diagnosis diagnosis = diagnose(row, {"--all"});
  EXPECT_EQ(diagnosis.exit_status, 1);
  const std::vector<std::string>& lines = diagnosis.lines;
  // Each block starts with its location and cause lines, in the order found.
  const std::vector<std::string> tlb_block{"out.txt:2: record 1: TLB entry",
                                           "cause: tlb-empty-highest-first"};
  const std::vector<std::string> number_block{"out.txt:85: record 23: record number",
                                              "cause: terminations-not-counted"};
  const auto first = std::search(lines.begin(), lines.end(), tlb_block.begin(), tlb_block.end());
  ASSERT_NE(first, lines.end());
  EXPECT_NE(std::search(first, lines.end(), number_block.begin(), number_block.end()), lines.end());
  EXPECT_EQ(lines.back(), "mistakes found: tlb-empty-highest-first, terminations-not-counted");
}

}  // namespace
