#include "memory/double_hit_groups.hpp"

#include <bit>
#include <cstddef>

#include "memory/double_hits.hpp"
#include "memory/tables.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#define PAGESIM_HIT_GROUPS 1
#define HIT_GROUPS_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))
#endif

#if PAGESIM_HIT_GROUPS

namespace {

constexpr int kGroupRecords = 16;
// Steps one call takes at most: their entries are kept for the stamps.
constexpr int kMaxGroups = 16;
static_assert(kBatchedRecordSlots == 4 && kTlbEntries == 8 && kPagesPerProcess == 64);

/// Sixteen records of one process, as the short path needs them.
struct Group {
  __m512i low;    ///< 16-bit words: the low half of each reference's address
  __m512i high;   ///< and its high half; reference 2r: the read of record r
  __m512i procs;  ///< the records' processes, one 32-bit lane each
};

// From 16 rows of four slots. Row r is words 8r..8r+7 of the rows: the
// process in 0 and 1, the read's address in 2 and 3, the write's in 4 and 5.
HIT_GROUPS_TARGET inline Group load_group(const int32_t (*rows)[kBatchedRecordSlots]) {
  const __m512i rows_0_3 = _mm512_loadu_si512(rows[0]);
  const __m512i rows_4_7 = _mm512_loadu_si512(rows[4]);
  const __m512i rows_8_11 = _mm512_loadu_si512(rows[8]);
  const __m512i rows_12_15 = _mm512_loadu_si512(rows[12]);
  // For eight rows: the low halves of read, write, read, write..., then the
  // high halves.
  const __m512i halves =
      _mm512_set_epi16(61, 59, 53, 51, 45, 43, 37, 35, 29, 27, 21, 19, 13, 11, 5, 3, 60, 58, 52, 50,
                       44, 42, 36, 34, 28, 26, 20, 18, 12, 10, 4, 2);
  const __m512i procs = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 0, 4, 8, 12, 16, 20, 24, 28);
  const __m512i first = _mm512_permutex2var_epi16(rows_0_3, halves, rows_4_7);
  const __m512i second = _mm512_permutex2var_epi16(rows_8_11, halves, rows_12_15);
  const __m512i first_procs = _mm512_permutex2var_epi32(rows_0_3, procs, rows_4_7);
  const __m512i second_procs = _mm512_permutex2var_epi32(rows_8_11, procs, rows_12_15);
  // 128-bit quarters 0 and 1 of both, or 2 and 3 of both.
  return {_mm512_shuffle_i64x2(first, second, 0x44), _mm512_shuffle_i64x2(first, second, 0xEE),
          _mm512_shuffle_i64x2(first_procs, second_procs, 0x44)};
}

// Bit r set when record r is of process `proc` and may take the short path
// as far as its addresses go (double_hits::is_short_path_record): both below
// 65536, the read not 0.
HIT_GROUPS_TARGET inline uint32_t short_path_records(const Group& g, uint32_t proc) {
  const uint32_t high_clear = _mm512_testn_epi16_mask(g.high, g.high);
  const uint32_t read_set = _mm512_test_epi16_mask(g.low, g.low) | 0xAAAAAAAA;
  const uint32_t both = high_clear & read_set;
  return _pext_u32(both & both >> 1, 0x55555555) &
         _mm512_cmpeq_epi32_mask(g.procs, _mm512_set1_epi32(static_cast<int>(proc)));
}

// For each reference, 1 + the TLB entry the index names for its page (0: a
// miss), from the process's row of the index. REQUIRES: the addresses are
// below 65536.
HIT_GROUPS_TARGET inline __m512i indexed_entries(const Group& g, const __m512i index_row) {
  const __m512i pages = _mm512_srli_epi16(g.low, 10);
  // Each word's high byte picks row byte 0 too: cleared.
  return _mm512_and_si512(_mm512_permutexvar_epi8(pages, index_row), _mm512_set1_epi16(0xFF));
}

// Bit e set when bit 1 + e is set in any word.
HIT_GROUPS_TARGET inline uint32_t entries_named(const __m512i words) {
  const auto both = static_cast<uint32_t>(_mm512_reduce_or_epi32(words));
  return (both | both >> 16) >> 1 & 0xFF;
}

}  // namespace

HIT_GROUPS_TARGET int run_double_tlb_hit_groups(const int32_t (*records)[kBatchedRecordSlots],
                                                int begin, int end) {
  // Each step's entries (1 + entry per reference taken, else 0) and the
  // clock before it: the stamps are worked out at the end, from the last
  // step back.
  __m512i step_entries[kMaxGroups];
  int64_t step_clock[kMaxGroups];
  // Bit 1 + e of a word: entry e referenced, by any reference or by a write.
  __m512i referenced = _mm512_setzero_si512();
  __m512i written = _mm512_setzero_si512();
  int64_t clock = sim.reference_clock;
  int steps = 0;
  int i = begin;
  while (end - i >= kGroupRecords && steps < kMaxGroups) {
    const auto proc = static_cast<uint32_t>(records[i][0]);
    if (proc >= 8) break;
    const Group group = load_group(records + i);
    const __m512i row =
        _mm512_loadu_si512(sim.tlb_entry_of + static_cast<size_t>(proc) * kPagesPerProcess);
    const __m512i entries = indexed_entries(group, row);
    const uint32_t hits = _mm512_test_epi16_mask(entries, entries);
    const uint32_t both_hit = _pext_u32(hits & hits >> 1, 0x55555555);
    const int taken = std::countr_one(both_hit & short_path_records(group, proc));
    if (taken == 0) break;
    const uint32_t taken_references =
        taken == kGroupRecords ? ~uint32_t{0} : (uint32_t{1} << 2 * taken) - 1;
    const __m512i taken_entries = _mm512_maskz_mov_epi16(taken_references, entries);
    // A reference not taken sets bit 0, which names no entry.
    const __m512i bits = _mm512_sllv_epi16(_mm512_set1_epi16(1), taken_entries);
    referenced = _mm512_or_si512(referenced, bits);
    written = _mm512_or_si512(written, _mm512_maskz_mov_epi16(0xAAAAAAAA, bits));
    step_entries[steps] = taken_entries;
    step_clock[steps] = clock;
    ++steps;
    // A whole step moves on by constants: the next step's loads need not
    // wait for this one's outcome, only for the branch's prediction.
    if (taken != kGroupRecords) {
      clock += 2 * taken;
      i += taken;
      break;
    }
    clock += 2 * kGroupRecords;
    i += kGroupRecords;
  }
  if (steps != 0) {
    const uint32_t written_entries = entries_named(written);
    uint32_t ref_frames = 0;
    uint32_t dirty_frames = 0;
    for (uint32_t left = entries_named(referenced); left != 0; left &= left - 1) {
      const int e = std::countr_zero(left);
      const __m512i mine = _mm512_set1_epi16(static_cast<int16_t>(e + 1));
      // Reference j of a step is stamped its clock + j + 1; the last one stays.
      int step = steps - 1;
      uint32_t found = _mm512_cmpeq_epi16_mask(step_entries[step], mine);
      while (found == 0) found = _mm512_cmpeq_epi16_mask(step_entries[--step], mine);
      sim.tlb[e].last_use = step_clock[step] + 32 - std::countl_zero(found);
      const uint32_t frame_bit = uint32_t{1} << sim.tlb[e].physical_page;
      ref_frames |= frame_bit;
      if (written_entries >> e & 1) dirty_frames |= frame_bit;
    }
    sim.reference_clock = clock;
    sim.record_number += i - begin;
    mark_frames_used(ref_frames, dirty_frames);
    if (i != end && end - i >= kGroupRecords) return i;
  }
  // Fewer records than a step, or another process within it: one by one.
  return run_double_tlb_hits(records, i, end);
}

bool double_hit_groups_supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
}

#else

int run_double_tlb_hit_groups(const int32_t (*records)[kBatchedRecordSlots], int begin, int end) {
  return run_double_tlb_hits(records, begin, end);
}

bool double_hit_groups_supported() {
  return false;
}

#endif
