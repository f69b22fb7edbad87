#include "run/trace_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "memory/fresh_state_test.hpp"

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

}  // namespace
