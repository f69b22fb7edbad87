#include "io/number_chunks.hpp"

#if defined(__x86_64__)
#include <immintrin.h>

#include <cstddef>

// GCC 12 warns that the AVX-512 intrinsics' own placeholder operands (their
// _mm512_undefined_*()) may be uninitialized, at -O1 and -O2 (GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

#define PAGESIM_CHUNK_TARGET \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))

// Sixteen lanes of eight digits each: five records of three numbers a step.
constexpr int kLaneDigits = 8;

inline bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// Bit i set for each digit, given the bytes less '0'.
PAGESIM_CHUNK_TARGET inline uint64_t digit_bytes(__m512i digit_values, __m512i tens) {
  return _mm512_cmplt_epu8_mask(digit_values, tens);
}

// Bit i set for each byte that is neither digit nor white space (a sign,
// NUL, a letter): every byte that is either is below 64, so a table of
// their classes is looked up by the low six bits of those below 64.
PAGESIM_CHUNK_TARGET inline uint64_t other_bytes(__m512i bytes, __m512i plain_table,
                                                 __m512i sixty_fours) {
  const __m512i plain =
      _mm512_maskz_permutexvar_epi8(_mm512_cmplt_epu8_mask(bytes, sixty_fours), bytes, plain_table);
  return _mm512_testn_epi8_mask(plain, plain);
}

// 0xFF at the digits and the white-space bytes of 0..63, 0 at the others.
struct PlainBytes {
  alignas(64) uint8_t bytes[64];
};
constexpr PlainBytes plain_bytes() {
  PlainBytes table{};
  for (int c = '\t'; c <= '\r'; ++c) table.bytes[c] = 0xFF;
  table.bytes[' '] = 0xFF;
  for (int c = '0'; c <= '9'; ++c) table.bytes[c] = 0xFF;
  return table;
}
constexpr PlainBytes kPlainBytes = plain_bytes();

// Bits of the bytes before the first that is neither digit nor white space.
PAGESIM_CHUNK_TARGET inline uint64_t bytes_before_other(uint64_t others) {
  return _blsmsk_u64(others) >> 1;
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

// Bit k set when the step's k-th number has more than eight digits (they
// would not all be gathered into its lane).
PAGESIM_CHUNK_TARGET inline uint32_t long_numbers(__m512i firsts, __m512i lasts,
                                                  __m128i longest_spans) {
  const __m128i spans = _mm_sub_epi8(_mm512_castsi512_si128(lasts), _mm512_castsi512_si128(firsts));
  return _mm_cmpgt_epi8_mask(spans, longest_spans);
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
// the order the pack interleaves them (see lane_numbers()).
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

// Rows of the step's records: four slots each, a record's three numbers
// then one more (slot 3 is free); the first four rows, then the fifth.
PAGESIM_CHUNK_TARGET inline __m512i first_four_rows(__m512i numbers) {
  return _mm512_permutexvar_epi32(
      _mm512_set_epi32(11, 11, 10, 9, 8, 8, 7, 6, 5, 5, 4, 3, 2, 2, 1, 0), numbers);
}
PAGESIM_CHUNK_TARGET inline __m128i fifth_row(__m512i numbers) {
  return _mm512_castsi512_si128(_mm512_permutexvar_epi32(
      _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14, 14, 13, 12), numbers));
}

// Stores the step's `rows` records (at most 5) where up to `room` rows may
// be written: all five rows at once while there is room for them (the rows
// past `rows` are written again by the next step), only `rows` at the end.
PAGESIM_CHUNK_TARGET inline void store_rows(__m512i numbers, int rows, ptrdiff_t room,
                                            int32_t records[][kBatchedRecordSlots]) {
  const auto base = reinterpret_cast<uintptr_t>(records);
  if (room >= 5) [[likely]] {
    _mm512_storeu_si512(records, first_four_rows(numbers));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(records + 4), fifth_row(numbers));
    return;
  }
  const uint32_t slots = _bzhi_u32(0xF'FFFF, static_cast<uint32_t>(rows) * kBatchedRecordSlots);
  // The fifth row's address as a number: it is past the array when room is short.
  _mm512_mask_storeu_epi32(records, static_cast<__mmask16>(slots), first_four_rows(numbers));
  _mm_mask_storeu_epi32(reinterpret_cast<void*>(base + 4 * sizeof records[0]),
                        static_cast<__mmask8>(slots >> 16), fifth_row(numbers));
}

// Records a step takes of `numbers` whole numbers: five at most (the lanes),
// whole records only.
constexpr uint8_t kRowsOfNumbers[64] = {
    0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};

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

PAGESIM_CHUNK_TARGET ChunkRun convert_number_chunks(const char* data_begin, const char* begin,
                                                    const char* data_end,
                                                    int32_t records[][kBatchedRecordSlots],
                                                    int capacity) {
  ChunkRun run{0, begin, nullptr};
  if (data_end - begin < kChunkBytes) return run;
  // A digit at `begin` is taken as a number's first: it must be one.
  if (begin != data_begin && is_digit(begin[-1]) && is_digit(begin[0])) return run;
  const __m512i plain = _mm512_load_si512(kPlainBytes.bytes);
  __m512i zero_chars = _mm512_set1_epi8('0');
  __m512i tens = _mm512_set1_epi8(10);
  __m512i sixty_fours = _mm512_set1_epi8(64);
  __m128i longest_spans = _mm_set1_epi8(kLaneDigits - 1);
  // Made opaque so that they stay in registers: GCC would broadcast them
  // again at every step.
  asm("" : "+v"(zero_chars), "+v"(tens), "+v"(sixty_fours), "+v"(longest_spans));
  const __m512i first_lanes = lane_numbers(0);
  const __m512i second_lanes = lane_numbers(2);
  const char* const last_step = data_end - kChunkBytes;
  int32_t(*row)[kBatchedRecordSlots] = records;
  int32_t(*const rows_end)[kBatchedRecordSlots] = records + capacity;
  const char* p = begin;
  // The last step's start, its numbers' first digits and how many it took:
  // the last record's offset is worked out once, after the loop.
  const char* step = nullptr;
  uint64_t step_firsts = 0;
  int step_taken = 0;
  while (p <= last_step) {
    const __m512i bytes = _mm512_loadu_si512(p);
    const __m512i digit_values = _mm512_sub_epi8(bytes, zero_chars);
    const uint64_t digits = digit_bytes(digit_values, tens);
    // A step starts at a non-digit or a number's first digit, so every run
    // of digits in it is a whole number's start. A number whose last digit
    // is the step's last byte may go on past it.
    const uint64_t firsts_mask = digits & ~(digits << 1);
    const uint64_t lasts_mask = digits & ~(digits >> 1) & ~(uint64_t{1} << 63);
    // The rows of the numbers as though all were plain and short, so that
    // where the next step starts does not wait for the checks below (which
    // a trace of plain records always passes).
    const auto room = static_cast<int>(rows_end - row);
    int rows = kRowsOfNumbers[_mm_popcnt_u64(lasts_mask)];
    rows = rows < room ? rows : room;
    if (rows == 0) break;
    int last_digit = nth_set_bit(lasts_mask, rows * kRecordFields);
    const __m512i firsts = set_bit_positions(firsts_mask);
    const __m512i lasts = set_bit_positions(lasts_mask);
    const uint64_t others = other_bytes(bytes, plain, sixty_fours);
    const uint32_t longer = long_numbers(firsts, lasts, longest_spans);
    // Any other byte or long number in the step, even past the records
    // taken, sends it the exact way: one test, and plain traces have none.
    if ((others | longer) != 0) [[unlikely]] {
      // Only the numbers before the first other byte and before the first
      // long number (where those lie past the records taken, the same rows).
      const int plain_numbers =
          static_cast<int>(_mm_popcnt_u64(lasts_mask & bytes_before_other(others)));
      const int short_numbers = static_cast<int>(_tzcnt_u32(longer | 1u << 16));
      rows = kRowsOfNumbers[plain_numbers < short_numbers ? plain_numbers : short_numbers];
      rows = rows < room ? rows : room;
      if (rows == 0) break;
      last_digit = nth_set_bit(lasts_mask, rows * kRecordFields);
    }
    const __m512i values =
        join_halves(lane_halves(gather_lanes(digit_values, firsts, lasts, first_lanes)),
                    lane_halves(gather_lanes(digit_values, firsts, lasts, second_lanes)));
    store_rows(values, rows, room, row);
    row += rows;
    step = p;
    step_firsts = firsts_mask;
    step_taken = rows * kRecordFields;
    p += last_digit + 1;
  }
  const auto count = static_cast<int>(row - records);
  run.count = count;
  run.end = p;
  if (count > 0) run.last_record = step + nth_set_bit(step_firsts, step_taken - 2);
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
