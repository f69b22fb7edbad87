#include "io/number_chunks.hpp"

#if defined(__x86_64__)
#include <immintrin.h>

#include <bit>

namespace {

#define PAGESIM_CHUNK_TARGET \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))

inline bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// Bit i set for each digit byte.
PAGESIM_CHUNK_TARGET inline uint64_t digit_bytes(__m512i bytes) {
  return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8('0')),
                                _mm512_set1_epi8(10));
}

// Bit i set for each byte scanf skips as white space: ' ' and '\t'..'\r'.
PAGESIM_CHUNK_TARGET inline uint64_t space_bytes(__m512i bytes) {
  return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(' ')) |
         _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8('\t')),
                                _mm512_set1_epi8(5));
}

// Bit i set for each sign byte, '+' or '-', and of the minus signs alone.
PAGESIM_CHUNK_TARGET inline uint64_t minus_bytes(__m512i bytes) {
  return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('-'));
}
PAGESIM_CHUNK_TARGET inline uint64_t sign_bytes(__m512i bytes) {
  return minus_bytes(bytes) | _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('+'));
}

// Byte k of the result: the position of the k-th set bit of `mask` (0 past
// the last), by compressing the byte positions 0..63.
PAGESIM_CHUNK_TARGET inline __m512i set_bit_positions(uint64_t mask) {
  const __m512i positions = _mm512_set_epi8(
      63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41,
      40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
      17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  return _mm512_maskz_compress_epi8(mask, positions);
}

// Eight lanes of eight bytes, lane s holding number `lane_numbers[8 * s]`'s
// digit values right-aligned, the bytes before its first digit 0. Each lane
// broadcasts its number's first and last positions, counts back from the
// last, and keeps the positions from the first on.
PAGESIM_CHUNK_TARGET inline __m512i gather_lanes(__m512i digit_values, __m512i firsts,
                                                 __m512i lasts, __m512i lane_numbers) {
  const __m512i back = _mm512_set1_epi64(0x00FF'FEFD'FCFB'FAF9);  // -7..0, in memory order
  const __m512i positions = _mm512_add_epi8(_mm512_permutexvar_epi8(lane_numbers, lasts), back);
  const __mmask64 digits =
      _mm512_cmpge_epi8_mask(positions, _mm512_permutexvar_epi8(lane_numbers, firsts));
  return _mm512_maskz_permutexvar_epi8(digits, positions, digit_values);
}

// The value of each lane's eight digits as two four-digit halves, 32 bits
// each: digit pairs by one multiply-add, then the pairs by another.
PAGESIM_CHUNK_TARGET inline __m512i lane_halves(__m512i lanes) {
  const __m512i pairs = _mm512_maddubs_epi16(lanes, _mm512_set1_epi16(0x010A));  // 10, 1
  return _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x0001'0064));               // 100, 1
}

// Sixteen numbers in order from the halves of two gathers, lanes taken in
// the order the pack interleaves them (see lane_numbers).
PAGESIM_CHUNK_TARGET inline __m512i join_halves(__m512i first_halves, __m512i second_halves) {
  return _mm512_madd_epi16(_mm512_packs_epi32(first_halves, second_halves),
                           _mm512_set1_epi32(0x0001'2710));  // 10000, 1
}

// Which number each gather's lanes hold: the pack takes four halves from
// each in turn, 128 bits at a time, so lanes 2k and 2k + 1 of the first
// gather hold numbers 4k and 4k + 1, those of the second 4k + 2 and 4k + 3.
PAGESIM_CHUNK_TARGET inline __m512i lane_numbers(int first) {
  return _mm512_add_epi8(
      _mm512_set_epi64(0x0D0D'0D0D'0D0D'0D0D, 0x0C0C'0C0C'0C0C'0C0C, 0x0909'0909'0909'0909,
                       0x0808'0808'0808'0808, 0x0505'0505'0505'0505, 0x0404'0404'0404'0404,
                       0x0101'0101'0101'0101, 0x0000'0000'0000'0000),
      _mm512_set1_epi8(static_cast<char>(first)));
}

// Position of the n-th (from 1) set bit of `mask`.
PAGESIM_CHUNK_TARGET inline int nth_set_bit(uint64_t mask, int n) {
  return static_cast<int>(_tzcnt_u64(_pdep_u64(uint64_t{1} << (n - 1), mask)));
}

}  // namespace

bool number_chunks_supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
}

namespace {

// Steps start a fixed distance apart, so that no step waits for the one
// before it to find where it ends. A step owns the ends of numbers at its
// bytes kLookBack..62 (byte 63 shows whether one at 62 ends there); the
// bytes before them hold the first digits of the numbers that end early.
constexpr int kLookBack = 16;
constexpr int kOwnedBytes = kChunkBytes - 1 - kLookBack;
constexpr uint64_t kOwned = ((uint64_t{1} << kOwnedBytes) - 1) << kLookBack;
// Where the signs of the numbers a step owns can be: a number of eight
// digits that ends at byte kLookBack has its sign at kLookBack - 8.
constexpr uint64_t kSignReach = kOwned | kOwned >> 8;
// Records one run converts at most, and steps it takes at most.
constexpr int kMaxRunRecords = 128;
constexpr int kMaxSteps = 128;
// Numbers a step can own, one digit and one blank each: two conversions of
// sixteen hold them.
static_assert((kOwnedBytes + 1) / 2 <= 32);

/// Where a step's numbers lie.
struct Step {
  const char* load;  ///< its first byte
  uint64_t ends;     ///< bit i: a number it owns ends at byte i
  uint64_t digits;   ///< bit i: byte i is a digit
  int before;        ///< numbers of the run before the step's
};

// Bit i set where bytes i..i+8 are all digits: a number of more than
// eight digits, which the lanes cannot hold, ends at i + 8 or later.
PAGESIM_CHUNK_TARGET inline uint64_t nine_digit_runs(uint64_t digits) {
  const uint64_t two = digits & digits >> 1;
  const uint64_t four = two & two >> 2;
  return four & four >> 4 & digits >> 8;
}

// The first digits of the numbers a step owns, in the same order as their
// ends: those of numbers that end in the look-back bytes are left out; the
// one number that reaches from them into the owned bytes is kept.
PAGESIM_CHUNK_TARGET inline uint64_t owned_firsts(uint64_t digits) {
  const uint64_t firsts = digits & ~(digits << 1);
  const uint64_t look_back = firsts & ((uint64_t{1} << kLookBack) - 1);
  const bool crossing = (digits >> (kLookBack - 1) & 3) == 3;
  const uint64_t last_look_back =
      look_back == 0 ? 0 : uint64_t{1} << (63 - std::countl_zero(look_back));
  return (firsts & ~((uint64_t{1} << kLookBack) - 1)) | (crossing ? last_look_back : 0);
}

// Where the number whose last digit is at `last` starts, its sign included,
// in the step loaded at `load` whose digit bits are `digits`; no sign is
// looked for before `begin`. REQUIRES: it starts inside the step.
PAGESIM_CHUNK_TARGET inline const char* first_item(const char* begin, const char* load,
                                                   uint64_t digits, int last) {
  const uint64_t before = ~digits & ((uint64_t{1} << last) - 1);
  const char* first = load + 64 - std::countl_zero(before);
  return first > begin && (first[-1] == '-' || first[-1] == '+') ? first - 1 : first;
}

// `values` with the lanes of `lanes` negated.
PAGESIM_CHUNK_TARGET inline __m512i negated(__m512i values, uint32_t lanes) {
  return _mm512_mask_sub_epi32(values, static_cast<__mmask16>(lanes), _mm512_setzero_si512(),
                               values);
}

// The rows of the run's records from its numbers, three a record: four rows
// per store, the last store masked to the records there are.
PAGESIM_CHUNK_TARGET inline void store_records(const int32_t* numbers, int count,
                                               int32_t records[][kBatchedRecordSlots]) {
  const __m512i spread = _mm512_set_epi32(11, 11, 10, 9, 8, 8, 7, 6, 5, 5, 4, 3, 2, 2, 1, 0);
  for (int r = 0; r < count; r += 4) {
    const __m512i rows = _mm512_permutexvar_epi32(spread, _mm512_loadu_si512(numbers + 3 * r));
    const int left = count - r;
    if (left >= 4) {
      _mm512_storeu_si512(records + r, rows);
    } else {
      _mm512_mask_storeu_epi32(records + r, static_cast<__mmask16>((1u << 4 * left) - 1), rows);
    }
  }
}

}  // namespace

PAGESIM_CHUNK_TARGET ChunkRun convert_number_chunks(const char* data_begin, const char* begin,
                                                    const char* data_end,
                                                    int32_t records[][kBatchedRecordSlots],
                                                    int capacity) {
  ChunkRun run{0, begin, nullptr};
  if (data_end - begin < kChunkBytes) return run;
  // A digit at `begin` is taken as a number's first: it must be one.
  if (begin != data_begin && is_digit(begin[-1]) && is_digit(begin[0])) return run;
  if (capacity > kMaxRunRecords) capacity = kMaxRunRecords;
  const int wanted = kRecordFields * capacity;
  const __m512i lanes[4] = {lane_numbers(0), lane_numbers(2), lane_numbers(16), lane_numbers(18)};
  // Sixteen values are stored at a time past the last number kept.
  alignas(64) int32_t numbers[kRecordFields * kMaxRunRecords + 2 * 16];
  Step steps[kMaxSteps];
  int step_count = 0;
  int total = 0;
  const char* load = begin - kLookBack;
  while (step_count < kMaxSteps && total < wanted && data_end - load >= kChunkBytes) {
    // The first step's look-back bytes lie before `begin`: blanks for it.
    const __m512i bytes = step_count == 0 ? _mm512_mask_loadu_epi8(_mm512_set1_epi8(' '),
                                                                   ~uint64_t{0} << kLookBack, load)
                                          : _mm512_loadu_si512(load);
    const uint64_t digits = digit_bytes(bytes);
    const uint64_t others = ~(digits | space_bytes(bytes)) & kSignReach;
    const uint64_t ends = digits & ~(digits >> 1) & kOwned;
    if ((nine_digit_runs(digits) << 8 & ends) != 0) break;
    const uint64_t firsts_mask = owned_firsts(digits);
    // Bit n: number n of the step is negative.
    uint32_t negative = 0;
    if (others != 0) [[unlikely]] {
      // The only other bytes a step takes are signs right before a digit (those
      // before its own bytes were checked by the step that owns them).
      const uint64_t signs = sign_bytes(bytes);
      if ((others & kOwned & ~(signs & digits >> 1)) != 0) break;
      negative =
          static_cast<uint32_t>(_pext_u64(minus_bytes(bytes) << 1 & firsts_mask, firsts_mask));
    }
    const __m512i firsts = set_bit_positions(firsts_mask);
    const __m512i lasts = set_bit_positions(ends);
    const __m512i digit_values = _mm512_sub_epi8(bytes, _mm512_set1_epi8('0'));
    const __m512i values =
        join_halves(lane_halves(gather_lanes(digit_values, firsts, lasts, lanes[0])),
                    lane_halves(gather_lanes(digit_values, firsts, lasts, lanes[1])));
    _mm512_storeu_si512(numbers + total, negated(values, negative));
    const int count = static_cast<int>(_mm_popcnt_u64(ends));
    if (count > 16) [[unlikely]] {
      const __m512i more =
          join_halves(lane_halves(gather_lanes(digit_values, firsts, lasts, lanes[2])),
                      lane_halves(gather_lanes(digit_values, firsts, lasts, lanes[3])));
      _mm512_storeu_si512(numbers + total + 16, negated(more, negative >> 16));
    }
    steps[step_count++] = {load, ends, digits, total};
    total += count;
    load += kOwnedBytes;
  }
  run.count = total / kRecordFields < capacity ? total / kRecordFields : capacity;
  if (run.count == 0) return run;
  // The step of a number of the run, and where in it that number ends.
  const auto locate = [&steps, step_count](int number, int* last) {
    int k = step_count - 1;
    while (steps[k].before > number) --k;
    *last = nth_set_bit(steps[k].ends, number - steps[k].before + 1);
    return k;
  };
  int last = 0;
  const int end_step = locate(kRecordFields * run.count - 1, &last);
  run.end = steps[end_step].load + last + 1;
  const int first_step = locate(kRecordFields * (run.count - 1), &last);
  run.last_record = first_item(begin, steps[first_step].load, steps[first_step].digits, last);
  store_records(numbers, run.count, records);
  return run;
}

#else  // not x86-64

bool number_chunks_supported() {
  return false;
}

ChunkRun convert_number_chunks(const char*, const char* begin, const char*,
                               int32_t[][kBatchedRecordSlots], int) {
  return {0, begin, nullptr};
}

#endif
