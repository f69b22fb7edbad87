// A hash map from 64-bit keys to dense 32-bit ids, for the few thousand pages
// and processes of a trace looked up once per reference: open addressing,
// linear probing, no deletion.
#pragma once

#include <cstdint>
#include <vector>

class IdMap {
 public:
  /// The id stored for a key that is not in the map.
  static constexpr uint32_t kMissing = UINT32_MAX;

  IdMap() { resize(64); }
  /// The id of `key`; when the key is new it gets `new_id`.
  /// REQUIRES: new_id != kMissing.
  uint32_t find_or_add(uint64_t key, uint32_t new_id) {
    size_t slot = slot_of(key);
    for (; ids_[slot] != kMissing; slot = (slot + 1) & mask_) {
      if (keys_[slot] == key) return ids_[slot];
    }
    keys_[slot] = key;
    ids_[slot] = new_id;
    if (++used_ * 2 > ids_.size()) resize(ids_.size() * 2);
    return new_id;
  }
  /// The id of `key`, or kMissing.
  uint32_t find(uint64_t key) const {
    for (size_t slot = slot_of(key); ids_[slot] != kMissing; slot = (slot + 1) & mask_) {
      if (keys_[slot] == key) return ids_[slot];
    }
    return kMissing;
  }

 private:
  size_t slot_of(uint64_t key) const {
    // Fibonacci hashing: the high bits of the product mix every key bit.
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift_);
  }
  void resize(size_t slots) {
    std::vector<uint64_t> old_keys = std::move(keys_);
    std::vector<uint32_t> old_ids = std::move(ids_);
    keys_.assign(slots, 0);
    ids_.assign(slots, kMissing);
    mask_ = slots - 1;
    shift_ = 64;
    for (size_t s = slots; s > 1; s >>= 1) --shift_;
    for (size_t i = 0; i < old_ids.size(); ++i) {
      if (old_ids[i] == kMissing) continue;
      size_t slot = slot_of(old_keys[i]);
      while (ids_[slot] != kMissing) slot = (slot + 1) & mask_;
      keys_[slot] = old_keys[i];
      ids_[slot] = old_ids[i];
    }
  }

  std::vector<uint64_t> keys_;
  std::vector<uint32_t> ids_;
  size_t mask_ = 0;
  int shift_ = 64;
  size_t used_ = 0;
};
