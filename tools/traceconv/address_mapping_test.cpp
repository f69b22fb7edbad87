#include "tools/traceconv/address_mapping.hpp"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(AddressMapping, EachMappingKeepsTheOffsetAndSqueezesThePageItsWay) {
  const struct {
    AddressMapping mapping;
    uint64_t address;
    int32_t mapped;
  } cases[] = {
      {AddressMapping::kLow16, 0x1fff000708, 0x0708},
      {AddressMapping::kLow16, 0xffffffffffffffff, 0xffff},
      {AddressMapping::kLow16, 0x10000, 0},
      // Page 0x7ffc001 has the 6-bit groups 1, 0, 60, 63, 7: XOR 5.
      {AddressMapping::kFold, 0x1fff000708, 5 << 10 | 0x308},
      {AddressMapping::kFold, uint64_t{1} << 58 | 5, 1 << 10 | 5},  // the ninth group counts
      {AddressMapping::kFold, uint64_t{1} << 58 | 1 << 10 | 5, 5},
  };
  for (const auto& c : cases) EXPECT_EQ(map_address(c.mapping, c.address), c.mapped) << c.address;
}

TEST(AddressMapping, FoldKeepsPagesOfOne64KiBDistinctAndSeparatesAlignedRegions) {
  std::set<int32_t> pages_of_one_region, first_pages_of_regions;
  for (uint64_t page = 0; page < 64; ++page) {
    pages_of_one_region.insert(map_address(AddressMapping::kFold, 0x4a50000 + page * 1024) >> 10);
  }
  for (uint64_t region = 1; region <= 8; ++region) {
    first_pages_of_regions.insert(map_address(AddressMapping::kFold, region << 16) >> 10);
  }
  EXPECT_EQ(pages_of_one_region.size(), 64u);
  EXPECT_EQ(first_pages_of_regions.size(), 8u);  // low16 puts all eight on page 0
}

}  // namespace
