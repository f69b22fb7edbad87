// The one-pass TLB curve against a run of the model at every size.
#include "tools/pagestat/tlb_curve.hpp"

#include <gtest/gtest.h>

#include "policies/random_trace.hpp"

namespace {

TEST(TlbCurve, OnePassEqualsARunAtEverySize) {
  // Records through add_record, as pagestat reads them: two references or
  // an end each.
  std::mt19937 random(5);
  ReferenceTrace trace;
  for (int r = 0; r < 4000; ++r) {
    const int32_t proc = static_cast<int32_t>(random() % 4);
    const bool ends = random() % 80 == 0;
    const auto address = [&] {
      return static_cast<int32_t>(random() % 2 == 0 ? random() % 6 : random() % 40) * 1024 + 3;
    };
    trace.add_record(proc, ends ? 0 : address(), address());
  }
  ASSERT_TRUE(tlb_one_pass_is_exact(trace));
  for (const int frames : {20, 7, 90}) {
    for (int32_t mode = 0; mode < 2; ++mode) {
      const std::vector<TlbCurvePoint> curve = tlb_curve_one_pass(trace, mode, frames);
      ASSERT_EQ(curve.size(), size_t{kTlbCurveEntries});
      for (int entries = 1; entries <= kTlbCurveEntries; ++entries)
        EXPECT_EQ(curve[entries - 1], run_machine_at(trace, mode, entries, frames))
            << entries << " entries, " << frames << " frames, mode " << mode;
    }
  }
}

TEST(TlbCurve, ProcessMinusOneNeedsARunPerSize) {
  ReferenceTrace trace;
  trace.add_record(3, 5000, 6000);
  EXPECT_TRUE(tlb_one_pass_is_exact(trace));
  trace.add_record(-1, 5000, 6000);
  EXPECT_FALSE(tlb_one_pass_is_exact(trace));
}

}  // namespace
