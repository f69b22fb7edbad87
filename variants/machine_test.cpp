// Each switch at the one decision it changes, on small hand traces; pagesim's
// own rules are proven by the differential test.
#include "variants/machine.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

#include "tools/trace_workloads.hpp"
#include "variants/text.hpp"

namespace variants {
namespace {

struct Outcome {
  TextSink text;
  MachineState state;
  RecordResult last = RecordResult::kRan;
};

Variant variant_of(const char* id, const char* size = nullptr) {
  Variant variant;
  if (size != nullptr) variant = apply_id(variant, size).value();
  if (id != nullptr) variant = apply_id(variant, id).value();
  return variant;
}

Outcome run(const Variant& variant, const std::string& trace) {
  Outcome result;
  Machine machine(variant);
  std::istringstream in(trace);
  int32_t fields[3];
  while (in >> fields[0] >> fields[1] >> fields[2])
    result.last = machine.run_record(fields, result.text);
  result.state = machine.state();
  return result;
}

std::string last_line_starting(const std::string& log, const std::string& start) {
  std::string found, line;
  std::istringstream in(log);
  while (std::getline(in, line)) {
    if (line.starts_with(start)) found = line;
  }
  return found;
}

std::string first_line(const std::string& log) {
  return log.substr(0, log.find('\n'));
}

// Four frames filled by process 1 with pages 0..3, each read and written:
// every frame referenced and dirty, the hand at 0.
const std::string kFourFull = "1 1 1\n1 1024 1024\n1 2048 2048\n1 3072 3072\n";

struct VictimCase {
  const char* id;  ///< nullptr: pagesim
  std::string trace;
  const char* last_fault;
};

TEST(Replacement, EachHandAndScanRuleTakesItsVictim) {
  const std::string evict = kFourFull + "1 4096 4096\n";  // page 4 evicts frame 0
  const std::string hit_then_evict = evict + "1 1024 1024\n1 5120 5120\n";
  const VictimCase cases[] = {
      {nullptr, "1 100 100\n", "Page Fault: line 1 proc 1 LP 0 PP 0"},
      {"free-frame-highest-first", "1 100 100\n", "Page Fault: line 1 proc 1 LP 0 PP 3"},
      // The release frees frame 1, refilled by process 3; the next scan
      // starts at 0, or one past that free frame.
      {nullptr, "1 1 1\n2 1024 1024\n1 2048 2048\n1 3072 3072\n2 0 0\n3 100 100\n3 5000 5000\n",
       "Page Fault: line 7 proc 3 LP 4 PP 0"},
      {"hand-moves-on-free-fault",
       "1 1 1\n2 1024 1024\n1 2048 2048\n1 3072 3072\n2 0 0\n3 100 100\n3 5000 5000\n",
       "Page Fault: line 7 proc 3 LP 4 PP 2"},
      // Frame 1 referenced again after the first eviction.
      {nullptr, hit_then_evict, "Page Fault: line 7 proc 1 LP 5 PP 2"},
      {"no-second-chance", hit_then_evict, "Page Fault: line 7 proc 1 LP 5 PP 1"},
      // Pages 1, 2, 3 hit after the eviction: the scan from the victim clears
      // its ref bit and comes back to take it.
      {nullptr, evict + "1 1024 2048\n1 3072 3072\n1 5120 5120\n",
       "Page Fault: line 8 proc 1 LP 5 PP 1"},
      {"hand-stays-on-victim", evict + "1 1024 2048\n1 3072 3072\n1 5120 5120\n",
       "Page Fault: line 8 proc 1 LP 5 PP 0"},
      // Frame 0 is passed from the start where pagesim's hand is beyond it.
      {nullptr, hit_then_evict + "1 1024 1024\n1 6144 6144\n",
       "Page Fault: line 9 proc 1 LP 6 PP 3"},
      {"hand-from-zero", hit_then_evict + "1 1024 1024\n1 6144 6144\n",
       "Page Fault: line 9 proc 1 LP 6 PP 0"},
  };
  for (const VictimCase& c : cases) {
    const Outcome result = run(variant_of(c.id, "frames-4"), c.trace);
    EXPECT_EQ(last_line_starting(result.text.event_log, "Page Fault"), c.last_fault)
        << (c.id ? c.id : "pagesim") << "\n"
        << c.trace;
  }
}

struct CleanFirstCase {
  const char* id;
  int32_t victim;
  int64_t dirty_writes;
};

// Twenty frames, every one referenced, all dirty but frame 10; page 20 faults.
TEST(Replacement, CleanFirstRulesInModeOneAndNotInModeZero) {
  std::string trace;
  for (int page = 0; page < 20; ++page) {
    const int address = page * 1024 + 1;
    trace += "1 " + std::to_string(address) + ' ' + std::to_string(page == 10 ? 0 : address) + '\n';
  }
  trace += "1 20481 20481\n";
  const CleanFirstCase cases[] = {
      {nullptr, 10, 0},  // the clean frame, on the second turn
      {"clean-first-one-turn", 0, 1},
      {"clean-first-any-unreferenced", 0, 1},
      {"clean-first-clears-dirty", 0, 0},
      {"clean-first-keeps-ref", 0, 1},  // no frame ever looks unreferenced
  };
  for (const CleanFirstCase& c : cases) {
    Variant variant = variant_of(c.id);
    variant.mode = 1;
    const Outcome one = run(variant, trace);
    EXPECT_EQ(last_line_starting(one.text.event_log, "Page Fault"),
              "Page Fault: line 21 proc 1 LP 20 PP " + std::to_string(c.victim))
        << (c.id ? c.id : "pagesim");
    EXPECT_EQ(one.state.dirty_writes, c.dirty_writes) << (c.id ? c.id : "pagesim");
    variant.mode = 0;
    const Outcome zero = run(variant, trace);
    EXPECT_EQ(last_line_starting(zero.text.event_log, "Page Fault"),
              "Page Fault: line 21 proc 1 LP 20 PP 0");
    EXPECT_EQ(zero.state.dirty_writes, 1);
  }
}

struct LineCase {
  const char* id;
  const char* trace;
  const char* line;  ///< the first line of the event log, or the last TLB line
  bool last_tlb;
};

TEST(Tlb, EachLookupAndLoadRule) {
  const char* evicted_page_again = "1 1 1\n1 1024 1024\n1 1 1\n1 2048 2048\n1 1 1\n";
  const LineCase cases[] = {
      {"tlb-empty-highest-first", "1 100 100\n", "TLB: line 1 Entry 7 proc 1 LP 0 PP 0", true},
      {"tlb-line-before-fault-line", "1 100 100\n", "TLB: line 1 Entry 0 proc 1 LP 0 PP 0", false},
      {"write-before-read", "1 100 2048\n", "Page Fault: line 1 proc 1 LP 2 PP 0", false},
      // A termination: the entry kept in use pushes the load to entry 1; the
      // frame kept makes the next reference a frame hit.
      {nullptr, "1 100 100\n1 0 0\n1 100 100\n", "TLB: line 3 Entry 0 proc 1 LP 0 PP 0", true},
      {"termination-keeps-tlb", "1 100 100\n1 0 0\n1 100 100\n",
       "TLB: line 3 Entry 1 proc 1 LP 0 PP 0", true},
      {"termination-keeps-frames", "1 100 100\n1 0 0\n1 100 100\n",
       "TLB: line 3 Entry 0 proc 1 LP 0 PP 0", true},
      // Process 2 finds process 1's page in the TLB.
      {nullptr, "1 1 1\n2 100 100\n", "TLB: line 2 Entry 1 proc 2 LP 0 PP 1", true},
      {"tlb-ignores-process", "1 1 1\n2 100 100\n", "TLB: line 1 Entry 0 proc 1 LP 0 PP 0", true},
  };
  for (const LineCase& c : cases) {
    const Outcome result = run(variant_of(c.id), c.trace);
    const std::string& log = result.text.event_log;
    EXPECT_EQ(c.last_tlb ? last_line_starting(log, "TLB") : first_line(log), c.line)
        << (c.id ? c.id : "pagesim");
  }
  // Two frames: page 0 is evicted at record 4 while its entry is the most
  // recent; kept, the entry still translates it at record 5.
  const Outcome pagesim = run(variant_of(nullptr, "frames-2"), evicted_page_again);
  EXPECT_EQ(last_line_starting(pagesim.text.event_log, "Page Fault"),
            "Page Fault: line 5 proc 1 LP 0 PP 1");
  const Outcome kept = run(variant_of("tlb-kept-on-eviction", "frames-2"), evicted_page_again);
  EXPECT_EQ(last_line_starting(kept.text.event_log, "TLB"), "TLB: line 4 Entry 2 proc 1 LP 2 PP 0")
      << "entry 0 was not emptied";
  EXPECT_EQ(kept.state.page_faults, 3);
  EXPECT_EQ(kept.state.frames[0].logical_page, 2) << "the frame the stale entry names";
}

TEST(Tlb, LeastRecentlyUsedAgainstLoadOrder) {
  const std::string trace = "1 100 100\n1 1124 1124\n1 100 100\n1 2148 2148\n";
  EXPECT_EQ(
      last_line_starting(run(variant_of(nullptr, "tlb-entries-2"), trace).text.event_log, "TLB"),
      "TLB: line 4 Entry 1 proc 1 LP 2 PP 2");
  EXPECT_EQ(
      last_line_starting(run(variant_of("tlb-fifo", "tlb-entries-2"), trace).text.event_log, "TLB"),
      "TLB: line 4 Entry 0 proc 1 LP 2 PP 2");
}

TEST(Tlb, MissesThatFindTheFrame) {
  // One entry: page 0 is pushed out by page 2, then found in its frame.
  const std::string trace = "1 100 100\n1 2048 2048\n1 100 100\n";
  const Outcome pagesim = run(variant_of(nullptr, "tlb-entries-1"), trace);
  EXPECT_EQ(last_line_starting(pagesim.text.event_log, "TLB"),
            "TLB: line 3 Entry 0 proc 1 LP 0 PP 0");
  EXPECT_EQ(pagesim.state.tlb_misses, 3);
  const Outcome no_load = run(variant_of("tlb-no-load-on-frame-hit", "tlb-entries-1"), trace);
  EXPECT_EQ(last_line_starting(no_load.text.event_log, "TLB"),
            "TLB: line 2 Entry 0 proc 1 LP 2 PP 1");
  EXPECT_EQ(no_load.state.tlb_misses, 4) << "the write misses too";
  EXPECT_EQ(
      run(variant_of("faults-not-counted-as-misses", "tlb-entries-1"), trace).state.tlb_misses, 1)
      << "only the miss that found page 0 in its frame";
  const Outcome no_search = run(variant_of("no-frame-search", "tlb-entries-1"), trace);
  EXPECT_EQ(last_line_starting(no_search.text.event_log, "Page Fault"),
            "Page Fault: line 3 proc 1 LP 0 PP 2");
}

struct PageCase {
  const char* id;
  int32_t address;
  int32_t page;
  int64_t messages;  ///< of the read's fault: three when out of range
};

TEST(Pages, AddressToPageAndRangeCheck) {
  const PageCase cases[] = {
      {nullptr, -1, 0, 0},
      {nullptr, -1025, -1, 3},
      {"negative-address-floor", -1, -1, 3},
      {"negative-address-floor", -1024, -1, 3},
      {"negative-address-floor", -1025, -2, 3},
      {"page-size-512", -1, 0, 0},
      {"page-size-512", 2000, 3, 0},
      {nullptr, 65536, 64, 3},
      {"page-64-accepted", 65536, 64, 0},
      {"page-64-accepted", 66560, 65, 3},
  };
  for (const PageCase& c : cases) {
    const Outcome result = run(variant_of(c.id), "1 " + std::to_string(c.address) + " 5000\n");
    EXPECT_EQ(first_line(result.text.event_log),
              "Page Fault: line 1 proc 1 LP " + std::to_string(c.page) + " PP 0")
        << (c.id ? c.id : "pagesim") << " " << c.address;
    EXPECT_EQ(result.state.bad_page_messages, c.messages) << (c.id ? c.id : "pagesim");
  }
}

struct NumberCase {
  const char* id;
  const char* line;
  int64_t steps;
};

TEST(Records, LineNumbersAndStepsTotal) {
  const NumberCase cases[] = {
      {nullptr, "TLB: line 3 Entry 0 proc 2 LP 0 PP 0", 3},
      {"records-from-zero", "TLB: line 2 Entry 0 proc 2 LP 0 PP 0", 3},
      {"terminations-not-counted", "TLB: line 2 Entry 0 proc 2 LP 0 PP 0", 2},
  };
  for (const NumberCase& c : cases) {
    const Outcome result = run(variant_of(c.id), "1 100 0\n1 0 0\n2 100 0\n");
    EXPECT_EQ(last_line_starting(result.text.event_log, "TLB"), c.line);
    EXPECT_EQ(totals_text(result.state).substr(0, totals_text(result.state).find(' ')),
              std::to_string(c.steps));
  }
  Variant both = variant_of("records-from-zero").with(Mistake::kTerminationsNotCounted);
  EXPECT_EQ(last_line_starting(run(both, "1 100 0\n1 0 0\n2 100 0\n").text.event_log, "TLB"),
            "TLB: line 1 Entry 0 proc 2 LP 0 PP 0");
}

struct BitsCase {
  const char* id;
  std::string trace;
  int32_t frame;
  int32_t ref, dirty;
  int64_t dirty_writes;
};

TEST(Bits, ReferenceAndDirtyBitsAndWhatCounts) {
  const std::string after_eviction = kFourFull + "1 4096 4096\n1 1024 1024\n";
  const BitsCase cases[] = {
      {nullptr, "1 100 2048\n", 0, 1, 0, 0},
      {"dirty-on-read", "1 100 2048\n", 0, 1, 1, 0},
      {nullptr, "1 100 100\n", 0, 1, 1, 0},
      {"dirty-missed-on-tlb-hit", "1 100 100\n", 0, 1, 0, 0},
      {"ref-only-on-miss", after_eviction, 1, 0, 1, 1},
      {nullptr, after_eviction, 1, 1, 1, 1},
      // Page 0, the only dirty one, is evicted, then clean page 1.
      {nullptr, "1 1 100\n1 1024 100\n1 2048 100\n1 3072 100\n1 4096 100\n", 0, 1, 0, 1},
      {"every-eviction-counted", "1 1 100\n1 1024 100\n1 2048 100\n1 3072 100\n1 4096 100\n", 0, 1,
       0, 2},
      {"dirty-counted-at-termination", "1 100 100\n1 1024 2048\n1 0 0\n", 0, 1, 1, 2},
  };
  for (const BitsCase& c : cases) {
    const Outcome result = run(variant_of(c.id, "frames-4"), c.trace);
    const FrameSlot& frame = result.state.frames[static_cast<size_t>(c.frame)];
    EXPECT_EQ(frame.ref, c.ref) << (c.id ? c.id : "pagesim") << "\n" << c.trace;
    EXPECT_EQ(frame.dirty, c.dirty) << (c.id ? c.id : "pagesim") << "\n" << c.trace;
    EXPECT_EQ(result.state.dirty_writes, c.dirty_writes) << (c.id ? c.id : "pagesim");
  }
}

TEST(Machine, InconsistencyStopsTheRunWithPagesimsLines) {
  // The read finds free frame 2 (process -1, page -1) and loads entry 2; the
  // write hits it.
  const Outcome result = run(Variant{}, "7 3000 3100\n-1 -1024 -2047\n8 100 100\n");
  EXPECT_EQ(result.last, RecordResult::kStopped);
  EXPECT_TRUE(result.state.stopped);
  EXPECT_EQ(result.state.records_read, 2) << "nothing runs after the stop";
  EXPECT_EQ(result.text.errors,
            "Error, inconsistent data at line 2\nTLB entry 2 PP 2 LA -1, but page 2 has LA -1\n");
}

TEST(Machine, ACopyGoesOnAsTheOriginal) {
  TraceGenerator generator(Workload::kUniform, 5);
  Machine original(Variant{}.with(Mistake::kTlbFifo));
  TextSink before;
  for (int i = 0; i < 2000; ++i) {
    const TraceRecord record = generator.next();
    const int32_t fields[3] = {record.proc, record.first, record.second};
    original.run_record(fields, before);
  }
  Machine copy = original;
  TextSink original_text, copy_text;
  for (int i = 0; i < 2000; ++i) {
    const TraceRecord record = generator.next();
    const int32_t fields[3] = {record.proc, record.first, record.second};
    original.run_record(fields, original_text);
    copy.run_record(fields, copy_text);
  }
  EXPECT_EQ(copy.state(), original.state());
  EXPECT_EQ(copy_text.event_log, original_text.event_log);
  EXPECT_FALSE(copy_text.event_log.empty());
}

// The frame index and the free set beside the state are rebuilt from it:
// a machine started from another's state goes on as the original does,
// with frames free among used ones (the mixed workload's terminations).
TEST(Machine, OneStartedFromAStateGoesOnAsTheOriginal) {
  for (const Workload workload : {Workload::kUniform, Workload::kMixed}) {
    for (const int32_t frames : {4, 20}) {
      Variant pagesim;
      pagesim.geometry.frames = frames;
      TraceGenerator generator(workload, 11);
      Machine original(pagesim);
      std::optional<Machine> started;
      TextSink original_text, started_text;
      for (int i = 0; i < 6000; ++i) {
        if (i == 3000) started.emplace(pagesim, original.state());
        const TraceRecord record = generator.next();
        const int32_t fields[3] = {record.proc, record.first, record.second};
        original.run_record(fields, original_text);
        if (started) started->run_record(fields, started_text);
      }
      EXPECT_EQ(started_text.event_log,
                original_text.event_log.substr(original_text.event_log.size() -
                                               started_text.event_log.size()));
      EXPECT_EQ(started->state(), original.state()) << frames << " frames";
    }
  }
}

}  // namespace
}  // namespace variants
