// Next uses against a forward computation, across several windows.
#include "policies/next_use.hpp"

#include <gtest/gtest.h>

#include <random>

namespace {

// Forward: when a page is referenced, the reference before it learns its
// next use, unless the process ended in between.
std::vector<uint32_t> next_uses_forward(const ReferenceTrace& trace) {
  std::vector<uint32_t> next(trace.events(), kNeverUsed);
  std::vector<int64_t> last_use(trace.pages(), -1), last_end(trace.processes(), -1);
  for (uint64_t i = 0; i < trace.events(); ++i) {
    const uint32_t event = trace.held_event(i);
    if (is_termination_event(event)) {
      last_end[terminated_process(event)] = static_cast<int64_t>(i);
      continue;
    }
    const uint32_t page = referenced_page(event);
    const int64_t before = last_use[page];
    if (before >= 0 && last_end[trace.process_of(page)] < before) next[before] = uint32_t(i);
    last_use[page] = static_cast<int64_t>(i);
  }
  return next;
}

TEST(NextUse, EveryWindowAgreesWithTheForwardComputation) {
  std::mt19937 random(11);
  ReferenceTrace trace;
  // Over two blocks, so that windows start from saved states.
  while (trace.events() < 2 * kEventBlockSize + 12345) {
    const int32_t proc = static_cast<int32_t>(random() % 5);
    if (random() % 500 == 0)
      trace.add_termination(proc);
    else
      trace.add_reference(proc, static_cast<int32_t>(random() % 300), false);
  }
  const std::vector<uint32_t> expected = next_uses_forward(trace);
  NextUse next_use(trace);
  for (size_t b = 0; b < trace.blocks(); ++b) {
    const std::span<const uint32_t> block = next_use.next_block();
    const uint64_t first = b * trace.block_events();
    ASSERT_EQ(block.size(), std::min(trace.block_events(), trace.events() - first));
    for (size_t j = 0; j < block.size(); ++j) {
      if (is_termination_event(trace.held_event(first + j))) continue;
      ASSERT_EQ(block[j], expected[first + j]) << "event " << first + j;
    }
  }
}

}  // namespace
