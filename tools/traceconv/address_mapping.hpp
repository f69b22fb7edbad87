// How a 64-bit address of a real program becomes an address of pagesim's
// 64 pages of 1024 bytes (0..65535). Every mapping keeps the offset within
// the 1 KiB page; they differ in how the page number is squeezed into 6 bits.
#pragma once

#include <cstdint>
#include <string_view>

enum class AddressMapping {
  /// The page number's 6-bit groups XORed together. Within each aligned
  /// 64 KiB the pages stay distinct (as with kLow16, in another order);
  /// regions that differ only above bit 16, such as the starts of aligned
  /// mappings, mostly land on different pages instead of on the same ones.
  kFold,
  /// The low 16 bits: the program's address modulo 64 KiB, easy to relate
  /// back to it; regions 64 KiB apart fall on the same pages.
  kLow16,
};

inline constexpr AddressMapping kDefaultMapping = AddressMapping::kFold;

/// Parses "fold" or "low16"; false for anything else.
bool parse_mapping(std::string_view name, AddressMapping* mapping);

/// `address` in 0..65535 under `mapping`.
inline int32_t map_address(AddressMapping mapping, uint64_t address) {
  constexpr uint64_t kOffsetMask = 1023;
  if (mapping == AddressMapping::kLow16) return static_cast<int32_t>(address & 0xffff);
  const uint64_t page = address >> 10;  // 54 bits: nine 6-bit groups
  // Each step doubles the groups XORed into every group; the ninth is added last.
  uint64_t folded = page ^ page >> 6;
  folded ^= folded >> 12;
  folded ^= folded >> 24;
  folded ^= page >> 48;
  return static_cast<int32_t>((folded & 63) << 10 | (address & kOffsetMask));
}
