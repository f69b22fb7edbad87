#include "variants/frame_index.hpp"

#include <gtest/gtest.h>

#include "variants/free_frames.hpp"

namespace variants {
namespace {

// The index answers the lowest frame even when several hold one page and
// frames come and go out of order; a crowded table shares buckets.
TEST(FrameIndex, LowestFrameOfAPageAmongDuplicates) {
  FrameIndex index(4096);
  for (int32_t f = 4095; f >= 0; --f) index.insert(f, f % 7, f % 64);
  EXPECT_EQ(index.lowest(3, 3), 3);
  index.erase(3);
  EXPECT_EQ(index.lowest(3, 3), 3 + 7 * 64);
  index.insert(3, 3, 3);
  EXPECT_EQ(index.lowest(3, 3), 3);
  EXPECT_EQ(index.lowest(-1, -1), -1);
  EXPECT_EQ(index.lowest(7, 0), -1);
}

TEST(FreeFrames, LowestAndHighestAcrossWords) {
  FreeFrames free(130);
  EXPECT_EQ(free.lowest(), 0);
  EXPECT_EQ(free.highest(), 129);
  for (int32_t f = 0; f < 130; ++f) free.remove(f);
  EXPECT_EQ(free.lowest(), -1);
  EXPECT_EQ(free.highest(), -1);
  free.add(70);
  free.add(65);
  free.add(65);
  EXPECT_EQ(free.lowest(), 65);
  EXPECT_EQ(free.highest(), 70);
  free.remove(65);
  free.remove(70);
  EXPECT_EQ(free.lowest(), -1);
}

}  // namespace
}  // namespace variants
