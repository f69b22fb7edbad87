#include "run/trace_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "memory/engine.hpp"
#include "memory/fresh_state_test.hpp"
#include "tools/trace_workloads.hpp"

namespace {

using Totals = FreshState;

TEST_F(Totals, PrintInPlainDecimalAroundTwoToTheThirtyOne) {
  sim.record_number = 2147483647;
  sim.tlb_misses = 2147483648;
  sim.page_faults = 4294967296;
  sim.dirty_writes = 10000000;
  print_totals();
  EXPECT_EQ(console(),
            "2147483647 steps were executed\n"
            "There were 2147483648 TLB misses\n"
            "There were 4294967296 page faults\n"
            "There were 10000000 dirty pages written to disk\n");
}

TEST_F(Totals, CountingGoesOnPastTwoToTheThirtyOne) {
  // One record's two faults, with the counters just below the 32-bit limit.
  sim.reference_clock = 2147483646;
  sim.record_number = 2147483647;
  sim.tlb_misses = sim.page_faults = 2147483647;
  const char trace[] = "7 3000 3100\n";
  struct Source {
    const char* text;
    static ssize_t read(void* context, char* dest, size_t capacity) {
      auto* self = static_cast<Source*>(context);
      size_t length = std::min(capacity, strlen(self->text));
      memcpy(dest, self->text, length);
      self->text += length;
      return static_cast<ssize_t>(length);
    }
  } source{trace};
  sim.trace_file.attach(Source::read, &source, 64);
  run_trace();
  print_totals();
  EXPECT_EQ(sim.reference_clock, 2147483648);
  EXPECT_EQ(event_log(),
            "Page Fault: line 2147483648 proc 7 LP 2 PP 0\n"
            "TLB: line 2147483648 Entry 0 proc 7 LP 2 PP 0\n"
            "Page Fault: line 2147483648 proc 7 LP 3 PP 1\n"
            "TLB: line 2147483648 Entry 1 proc 7 LP 3 PP 1\n");
  EXPECT_EQ(console(),
            "2147483648 steps were executed\n"
            "There were 2147483649 TLB misses\n"
            "There were 2147483649 page faults\n"
            "There were 0 dirty pages written to disk\n");
}

// The trace loop's batches (the scanner's widest path, runs of double hits
// in groups) against one record at a time through the plain calls, on every
// workload and both modes, with a few signs and odd blanks among the
// records so that the batches stop and start again anywhere.
TEST_F(Totals, BatchedRunEqualsRecordByRecord) {
  struct Source {
    std::string text;
    size_t at = 0;
    static ssize_t read(void* context, char* dest, size_t capacity) {
      auto* self = static_cast<Source*>(context);
      const size_t length = std::min(capacity, self->text.size() - self->at);
      memcpy(dest, self->text.data() + self->at, length);
      self->at += length;
      return static_cast<ssize_t>(length);
    }
  };
  for (const Workload workload : {Workload::kLocal, Workload::kMixed, Workload::kUniform}) {
    for (const int32_t mode : {0, 1}) {
      SCOPED_TRACE("workload " + std::to_string(static_cast<int>(workload)) + " mode " +
                   std::to_string(mode));
      TraceGenerator generator(workload, 11);
      TraceRandom odd(5);
      Source source;
      std::vector<TraceRecord> records;
      for (int i = 0; i < 30000; ++i) {
        const TraceRecord r = generator.next();
        records.push_back(r);
        const char* blank = odd.one_in(500) ? "\t\r\n " : odd.one_in(500) ? "\n\n" : "\n";
        const char* sign = odd.one_in(700) ? "+" : "";
        source.text += std::string(sign) + std::to_string(r.proc) + " " + std::to_string(r.first) +
                       " " + std::to_string(r.second) + blank;
      }
      start_engine(mode);
      for (const TraceRecord& r : records) {
        const int32_t fields[kRecordFields] = {r.proc, r.first, r.second};
        ++sim.record_number;
        process_record(fields);
      }
      const MachineState expected = save_machine();
      const std::string expected_events(take_events());
      const std::string expected_messages(take_messages());

      start_engine(mode);
      sim.trace_file.attach(Source::read, &source, 4096);
      run_trace();
      const MachineState batched = save_machine();
      EXPECT_EQ(take_events(), expected_events);
      EXPECT_EQ(take_messages(), expected_messages);
      EXPECT_EQ(batched.record_number, expected.record_number);
      EXPECT_EQ(batched.reference_clock, expected.reference_clock);
      EXPECT_EQ(batched.tlb_misses, expected.tlb_misses);
      EXPECT_EQ(batched.dirty_writes, expected.dirty_writes);
      for (int e = 0; e < kTlbEntries; ++e)
        EXPECT_EQ(batched.tlb[e].last_use, expected.tlb[e].last_use) << "entry " << e;
      EXPECT_EQ(0, memcmp(batched.frames, expected.frames, sizeof expected.frames));
    }
  }
}

}  // namespace
