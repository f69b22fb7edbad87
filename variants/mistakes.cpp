#include "variants/mistakes.hpp"

#include <array>
#include <charconv>

namespace variants {

namespace {

// In the order of the enum: the catalogue's order.
constexpr std::array<std::string_view, kMistakeCount> kMistakeIds = {
    "records-from-zero",
    "terminations-not-counted",
    "negative-address-floor",
    "page-64-accepted",
    "write-before-read",
    "tlb-line-before-fault-line",
    "tlb-fifo",
    "tlb-empty-highest-first",
    "tlb-ignores-process",
    "tlb-no-load-on-frame-hit",
    "tlb-kept-on-eviction",
    "termination-keeps-tlb",
    "termination-keeps-frames",
    "no-frame-search",
    "free-frame-highest-first",
    "hand-moves-on-free-fault",
    "hand-stays-on-victim",
    "hand-from-zero",
    "no-second-chance",
    "ref-only-on-miss",
    "dirty-on-read",
    "dirty-missed-on-tlb-hit",
    "clean-first-one-turn",
    "clean-first-clears-dirty",
    "clean-first-any-unreferenced",
    "dirty-counted-at-termination",
    "every-eviction-counted",
};

constexpr std::string_view kPageSizePrefix = "page-size-";
constexpr std::string_view kTlbEntriesPrefix = "tlb-entries-";
constexpr std::string_view kFramesPrefix = "frames-";
constexpr std::string_view kOtherMode = "other-mode";

// The N of "PREFIX-N" when `id` has that prefix and N is plain decimal
// digits without a leading zero that fits 32 bits.
std::optional<int32_t> size_after(std::string_view id, std::string_view prefix) {
  if (!id.starts_with(prefix)) return std::nullopt;
  const std::string_view digits = id.substr(prefix.size());
  if (digits.empty() || digits[0] < '1' || digits[0] > '9') return std::nullopt;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

bool is_power_of_two(int32_t value) {
  return value > 0 && (value & (value - 1)) == 0;
}

void add_id(std::string& ids, std::string_view id) {
  if (!ids.empty()) ids += ", ";
  ids += id;
}

}  // namespace

Variant Variant::with(Mistake m) const {
  Variant changed = *this;
  changed.mistakes |= uint32_t{1} << static_cast<int>(m);
  return changed;
}

std::string_view mistake_id(Mistake m) {
  return kMistakeIds[static_cast<size_t>(m)];
}

std::string variant_ids(const Variant& variant, const Variant& base) {
  std::string ids;
  for (int m = 0; m < kMistakeCount; ++m) {
    const auto mistake = static_cast<Mistake>(m);
    if (variant.has(mistake) && !base.has(mistake)) add_id(ids, mistake_id(mistake));
  }
  const Geometry& size = variant.geometry;
  const Geometry& base_size = base.geometry;
  if (size.page_size != base_size.page_size)
    add_id(ids, std::string(kPageSizePrefix) + std::to_string(size.page_size));
  if (size.tlb_entries != base_size.tlb_entries)
    add_id(ids, std::string(kTlbEntriesPrefix) + std::to_string(size.tlb_entries));
  if (size.frames != base_size.frames)
    add_id(ids, std::string(kFramesPrefix) + std::to_string(size.frames));
  if (variant.mode != base.mode) add_id(ids, kOtherMode);
  return ids;
}

std::optional<Variant> apply_id(const Variant& base, std::string_view id) {
  for (int m = 0; m < kMistakeCount; ++m) {
    if (kMistakeIds[static_cast<size_t>(m)] == id) return base.with(static_cast<Mistake>(m));
  }
  Variant variant = base;
  if (id == kOtherMode) {
    variant.mode = base.mode == 0 ? 1 : 0;
    return variant;
  }
  if (const auto size = size_after(id, kPageSizePrefix)) {
    if (!is_power_of_two(*size) || *size > (1 << 30)) return std::nullopt;
    variant.geometry.page_size = *size;
    return variant;
  }
  if (const auto size = size_after(id, kTlbEntriesPrefix)) {
    if (*size > kMaxTlbEntries) return std::nullopt;
    variant.geometry.tlb_entries = *size;
    return variant;
  }
  if (const auto size = size_after(id, kFramesPrefix)) {
    if (*size > kMaxFrames) return std::nullopt;
    variant.geometry.frames = *size;
    return variant;
  }
  return std::nullopt;
}

std::vector<Hypothesis> catalogue(const Variant& base) {
  std::vector<Hypothesis> hypotheses;
  auto add = [&](const std::string& id) {
    if (const auto variant = apply_id(base, id)) hypotheses.push_back({id, *variant});
  };
  for (int m = 0; m < kMistakeCount; ++m) {
    const auto mistake = static_cast<Mistake>(m);
    if (!base.has(mistake)) add(std::string(mistake_id(mistake)));
  }
  for (int32_t size = 256; size <= 8192; size *= 2) {
    if (size != base.geometry.page_size) add(std::string(kPageSizePrefix) + std::to_string(size));
  }
  for (int32_t size = 1; size <= 16; ++size) {
    if (size != base.geometry.tlb_entries)
      add(std::string(kTlbEntriesPrefix) + std::to_string(size));
  }
  for (int32_t size = 1; size <= 40; ++size) {
    if (size != base.geometry.frames) add(std::string(kFramesPrefix) + std::to_string(size));
  }
  add(std::string(kOtherMode));
  return hypotheses;
}

}  // namespace variants
