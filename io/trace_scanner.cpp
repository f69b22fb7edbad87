#include "io/trace_scanner.hpp"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "io/number_chunks.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#define PAGESIM_WINDOW_SCAN 1
#endif

namespace {

inline bool is_space(char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') < 5;  // \t \n \v \f \r
}

inline bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

ssize_t read_descriptor(void* context, char* dest, size_t capacity) {
  int fd = *static_cast<int*>(context);
  for (;;) {
    ssize_t got = ::read(fd, dest, capacity);
    if (got >= 0 || errno != EINTR) return got;
  }
}

static_assert(std::endian::native == std::endian::little,
              "the record fast path reads bytes as words");

uint64_t load_eight(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// For eight bytes less '0' each: the high bit of every byte that is not a
// digit 0..9, so the lowest set bit marks the end of the digit run.
uint64_t digit_run_end(uint64_t digits) {
  return (((digits & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | digits) & 0x8080808080808080;
}

// The value of eight digits 0..9, the first (lowest) byte the most significant:
// pairs, then quadruples, then all eight, by three multiplications.
uint64_t digit_value(uint64_t digits) {
  digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FF;
  digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFF;
  return (digits * 10000 + (digits >> 32)) & 0xFFFFFFFF;
}

// 2^31: the magnitude of INT32_MIN. Larger magnitudes are clamped just above
// it while digits are accumulated, so any number of digits is safe.
constexpr uint64_t kMagnitudeLimit = uint64_t{1} << 31;

}  // namespace

void TraceScanner::attach(int fd, size_t block_size) {
  fd_ = fd;
  attach(read_descriptor, &fd_, block_size);
}

void TraceScanner::attach(ReadBlockFunction read_block, void* context, size_t block_size) {
#if PAGESIM_WINDOW_SCAN
  __builtin_cpu_init();
  gather_ = limit_ != ScanInstructions::kPortable && __builtin_cpu_supports("ssse3");
  vex_ = gather_ && limit_ >= ScanInstructions::kAvx2 && __builtin_cpu_supports("avx2");
  chunks_ = vex_ && limit_ == ScanInstructions::kWidest && number_chunks_supported();
#endif
  read_block_ = read_block;
  context_ = context;
  block_size_ = block_size;
  buffer_[0] = '\0';
  position_ = end_ = buffer_;
  block_offset_ = 0;
  end_block();
  input_ended_ = false;
  stop_reason_ = ScanStop::kNotStopped;
  stop_offset_ = 0;
  record_offset_ = 0;
  number_offset_ = 0;
  line_loop_rest_ = 0;
}

void TraceScanner::end_block() {
  window_end_ = buffer_;
  window_bias_ = block_offset_ - reinterpret_cast<uintptr_t>(buffer_);
}

bool TraceScanner::refill() {
  block_offset_ = offset_of(end_);
  position_ = end_ = buffer_;
  buffer_[0] = '\0';
  end_block();
  if (input_ended_) return false;
  ssize_t got = read_block_(context_, buffer_, block_size_);
  if (got <= 0) {
    input_ended_ = true;
    if (got < 0) stop(ScanStop::kReadError, block_offset_);
    return false;
  }
  end_ = buffer_ + got;
  buffer_[got] = '\0';
  if (got >= kWindowBytes) window_end_ = end_ - (kWindowBytes - 1);
  return true;
}

void TraceScanner::stop(ScanStop reason, uint64_t offset) {
  window_end_ = buffer_;
  if (stop_reason_ != ScanStop::kNotStopped) return;  // a read error found first wins
  stop_reason_ = reason;
  stop_offset_ = offset;
}

bool TraceScanner::skip_space() {
  for (;;) {
    while (is_space(*position_)) ++position_;
    if (position_ != end_) return true;
    if (!refill()) {
      stop(ScanStop::kEndOfInput, block_offset_);
      return false;
    }
  }
}

bool TraceScanner::scan_number(int32_t* value) {
  if (!skip_space()) return false;
  const uint64_t start = offset_of(position_);
  bool negative = false;
  if (*position_ == '+' || *position_ == '-') {
    negative = *position_ == '-';
    ++position_;
    if (position_ == end_) refill();
  }
  if (!is_digit(*position_)) {
    stop(ScanStop::kNotANumber, start);
    return false;
  }
  uint64_t magnitude = 0;
  for (;;) {
    while (is_digit(*position_)) {
      magnitude = magnitude * 10 + static_cast<unsigned char>(*position_ - '0');
      if (magnitude > kMagnitudeLimit) magnitude = kMagnitudeLimit + 1;
      ++position_;
    }
    if (position_ != end_ || !refill()) break;
  }
  if (stop_reason_ == ScanStop::kReadError) return false;
  if (magnitude > kMagnitudeLimit - (negative ? 0 : 1)) {
    stop(ScanStop::kOutOfRange, start);
    return false;
  }
  number_offset_ = start;
  *value = negative ? static_cast<int32_t>(0 - magnitude) : static_cast<int32_t>(magnitude);
  return true;
}

bool TraceScanner::read_plain_record(int32_t fields[kRecordFields]) {
  // The common case in one pass over the block: three numbers of at most
  // seven digits, each with an optional minus sign, wholly inside the block,
  // the digits of each converted eight bytes at a time. Any other record (a
  // plus sign, a longer number, one that reaches the end of the block, an
  // item that is not a number) is left to scan_number, which starts again
  // from the same place.
  const char* p = position_;
  const char* record_start = p;
  int32_t values[kRecordFields];
#pragma GCC unroll 3
  for (int field = 0; field < kRecordFields; ++field) {
    while (is_space(*p)) ++p;
    if (field == 0) record_start = p;
    const bool negative = *p == '-';
    p += negative;
    const uint64_t digits = load_eight(p) ^ 0x3030303030303030;  // '0'..'9' become 0..9
    const uint64_t others = digit_run_end(digits);
    if (others == 0) return false;  // eight digits or more
    const int length = std::countr_zero(others) / 8;
    if (length == 0) return false;
    p += length;
    if (p == end_) return false;  // the number may go on in the next block
    const auto magnitude = static_cast<int32_t>(digit_value(digits << (64 - 8 * length)));
    values[field] = negative ? -magnitude : magnitude;
  }
  for (int field = 0; field < kRecordFields; ++field) fields[field] = values[field];
  record_offset_ = offset_of(record_start);
  position_ = p;
  return true;
}

#if PAGESIM_WINDOW_SCAN

// The window fast path. A record is looked for in the sixteen bytes at the
// reading position by the pattern of its digit bytes, and a trace's
// records show few patterns: its numbers have a handful of lengths, and the
// white space and signs between them are the same from record to record.
// What a pattern says (where the numbers lie, which separator bytes it had,
// which numbers were negative) is worked out on the first record that shows
// it, and on later records one compare of the window with it proves that
// they are alike.

namespace {

// Gives every number up to eight digits: its value fits any conversion below.
constexpr int kMaxWindowDigits = 8;
// Weights that multiply-add a number's two four-digit halves, as the two
// 16-bit halves of a 32-bit lane: 10000 and 1, or both negated.
constexpr uint32_t kHalvesWeights = 0x0001'2710;
constexpr uint32_t kNegatedHalvesWeights = 0xFFFF'D8F0;

// Bit i set when window byte i is a digit.
[[gnu::always_inline]] inline uint32_t digit_mask_of(__m128i bytes) {
  // Biased so that '0'..'9' become -128..-119, below every other byte.
  const __m128i biased = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - '0')));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmplt_epi8(biased, _mm_set1_epi8(-128 + 10))));
}

[[gnu::always_inline]] inline uint32_t shape_set(uint32_t digit_mask, int set_bits) {
  return (digit_mask * 0x9E37'79B1u) >> (32 - set_bits);
}

}  // namespace

TraceScanner::RecordShape TraceScanner::shape_of(uint32_t digit_mask) {
  RecordShape shape{};
  shape.key = digit_mask + 1;
  // Until separators are learned nothing matches: no window byte is 0xFF
  // where the selection is 0.
  std::memset(shape.separator_bytes, 0xFF, sizeof shape.separator_bytes);
  uint32_t starts = digit_mask & ~(digit_mask << 1);
  uint32_t ends = (digit_mask << 1) & ~digit_mask;  // the byte after each digit run
  int start[kRecordFields], end[kRecordFields];
  for (int field = 0; field < kRecordFields; ++field) {
    if (starts == 0) return shape;
    start[field] = std::countr_zero(starts);
    end[field] = std::countr_zero(ends);
    starts &= starts - 1;
    ends &= ends - 1;
    if (end[field] - start[field] > kMaxWindowDigits) return shape;
  }
  // The byte after the last digit must be in the window, or the number
  // might go on past it.
  if (end[2] >= kWindowBytes) return shape;
  shape.end = static_cast<uint8_t>(end[2]);
  shape.within_end = static_cast<uint16_t>((1u << end[2]) - 1);
  std::memset(shape.gather, 0x80, sizeof shape.gather);  // a shuffle index of 0x80 gives 0
  for (int field = 0; field < kRecordFields; ++field) {
    const int digits = end[field] - start[field];
    uint8_t* slot = &shape.gather[field / 2][(field % 2) * kMaxWindowDigits];
    for (int k = kMaxWindowDigits - digits; k < kMaxWindowDigits; ++k)
      slot[k] = static_cast<uint8_t>(end[field] - kMaxWindowDigits + k);
    shape.start[field] = static_cast<uint8_t>(start[field]);
    shape.shift[field] = static_cast<uint8_t>(64 - 8 * digits);
  }
  return shape;
}

bool TraceScanner::learn_window_record(int32_t fields[kRecordFields]) {
  const char* window = position_;
  uint32_t digits = 0;
  for (int i = 0; i < kWindowBytes; ++i) digits |= uint32_t{is_digit(window[i])} << i;
  RecordShape* set = shapes_[shape_set(digits, kShapeSetBits)];
  // The shape learned last goes first; the one before it is kept second.
  if (set[1].key == digits + 1) std::swap(set[0], set[1]);
  if (set[0].key != digits + 1) {
    set[1] = set[0];
    set[0] = shape_of(digits);
  }
  RecordShape& shape = set[0];
  if (shape.end == 0) return false;  // not three short numbers
  // Every byte up to the last digit that is not a digit must be white space,
  // or a minus sign right before a number.
  uint8_t separators[kWindowBytes] = {};
  for (int i = 0; i < shape.end; ++i) {
    if (digits >> i & 1) continue;
    const bool sign = window[i] == '-' && (digits >> (i + 1) & 1) != 0;
    if (!sign && !is_space(window[i])) return false;
    separators[i] = static_cast<uint8_t>(window[i]);
  }
  for (int i = 0; i < kWindowBytes; ++i) {
    const bool selected = i < shape.end && (digits >> i & 1) == 0;
    shape.separator_select[i] = selected ? 0xFF : 0;
    shape.separator_bytes[i] = separators[i];
  }
  shape.negative = 0;
  for (int field = 0; field < kRecordFields; ++field) {
    const int start = shape.start[field];
    const bool negative = start > 0 && window[start - 1] == '-';
    shape.negative |= static_cast<uint8_t>(negative << field);
    shape.halves_weights[field] = negative ? kNegatedHalvesWeights : kHalvesWeights;
  }
  shape.first_item = static_cast<uint8_t>(shape.start[0] - (shape.negative & 1));
  // The window matches the shape now; should it not, the record is left to
  // the paths after this one rather than learned again.
  learning_ = true;
  const bool read = gather_ ? read_gathered_record(fields) : read_window_record(fields);
  learning_ = false;
  return read;
}

// The shape of the window's record, or nullptr when the window does not
// match a shape learned.
[[gnu::always_inline]] inline const TraceScanner::RecordShape* TraceScanner::matching_shape(
    const char* window) const {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window));
  const uint32_t digits = digit_mask_of(bytes);
  const RecordShape* shape = shapes_[shape_set(digits, kShapeSetBits)];
  if (shape->key != digits + 1) ++shape;
  const __m128i separators = _mm_and_si128(
      bytes, _mm_load_si128(reinterpret_cast<const __m128i*>(shape->separator_select)));
  const __m128i same = _mm_cmpeq_epi8(
      separators, _mm_load_si128(reinterpret_cast<const __m128i*>(shape->separator_bytes)));
  if (shape->key != digits + 1 || _mm_movemask_epi8(same) != 0xFFFF) [[unlikely]]
    return nullptr;
  return shape;
}

// Moves past the record and stores its values.
[[gnu::always_inline]] inline void TraceScanner::finish_window_record(
    const RecordShape& shape, const char* window, const int32_t values[],
    int32_t fields[kRecordFields]) {
  position_ = window + shape.end;
  record_offset_ = reinterpret_cast<uintptr_t>(window) + window_bias_ + shape.first_item;
  for (int field = 0; field < kRecordFields; ++field) fields[field] = values[field];
}

// The record's values in `values`: each number by three multiplications of
// a word.
[[gnu::always_inline]] inline void TraceScanner::convert_window_numbers(const RecordShape& shape,
                                                                        const char* window,
                                                                        int32_t values[]) {
  for (int field = 0; field < kRecordFields; ++field) {
    const uint64_t digits = load_eight(window + shape.start[field]) ^ 0x3030303030303030;
    values[field] = static_cast<int32_t>(digit_value(digits << shape.shift[field]));
  }
  if (shape.negative != 0) [[unlikely]] {
    for (int field = 0; field < kRecordFields; ++field)
      if (shape.negative >> field & 1) values[field] = -values[field];
  }
}

// The record's values in `values` (four of them, the last unused): each
// number's digits gathered into eight bytes of their own, two numbers to a
// shuffle, then all three converted at once by multiply-adds: digit pairs,
// quadruples, then the two halves with their sign.
[[gnu::always_inline]] __attribute__((target("ssse3"))) inline void
TraceScanner::gather_window_numbers(const RecordShape& shape, const char* window,
                                    int32_t values[4]) {
  const __m128i digits =
      _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(window)), _mm_set1_epi8('0'));
  const auto* gather = reinterpret_cast<const __m128i*>(shape.gather);
  const __m128i pair_weights = _mm_set1_epi16(0x010A);      // 10, 1
  const __m128i quad_weights = _mm_set1_epi32(0x00010064);  // 100, 1
  __m128i first_two = _mm_shuffle_epi8(digits, _mm_load_si128(gather));
  __m128i third = _mm_shuffle_epi8(digits, _mm_load_si128(gather + 1));
  first_two = _mm_madd_epi16(_mm_maddubs_epi16(first_two, pair_weights), quad_weights);
  third = _mm_madd_epi16(_mm_maddubs_epi16(third, pair_weights), quad_weights);
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(values),
      _mm_madd_epi16(_mm_packs_epi32(first_two, third),
                     _mm_load_si128(reinterpret_cast<const __m128i*>(shape.halves_weights))));
}

bool TraceScanner::read_window_record(int32_t fields[kRecordFields]) {
  const char* window = position_;
  const RecordShape* shape = matching_shape(window);
  if (shape == nullptr) [[unlikely]]
    return !learning_ && learn_window_record(fields);
  int32_t values[kRecordFields];
  convert_window_numbers(*shape, window, values);
  finish_window_record(*shape, window, values, fields);
  return true;
}

__attribute__((target("ssse3"))) bool TraceScanner::read_gathered_record(
    int32_t fields[kRecordFields]) {
  const char* window = position_;
  const RecordShape* shape = matching_shape(window);
  if (shape == nullptr) [[unlikely]]
    return !learning_ && learn_window_record(fields);
  alignas(16) int32_t values[4];
  gather_window_numbers(*shape, window, values);
  finish_window_record(*shape, window, values, fields);
  return true;
}

// The batch forms of the two above: the reading position and the block's
// limits stay in registers from record to record, and the record's offset
// is worked out for the last one only. Nothing is learned here; the first
// record of a layout not met before ends the batch.
int TraceScanner::read_learned_window_records(int32_t records[][kBatchedRecordSlots],
                                              int capacity) {
  const char* window = position_;
  const char* const window_end = window_end_;
  const char* last_item = nullptr;
  int count = 0;
  for (; count < capacity && window < window_end; ++count) {
    const RecordShape* shape = matching_shape(window);
    if (shape == nullptr) break;
    convert_window_numbers(*shape, window, records[count]);
    last_item = window + shape->first_item;
    window += shape->end;
  }
  if (count == 0) return 0;
  position_ = window;
  record_offset_ = reinterpret_cast<uintptr_t>(last_item) + window_bias_;
  return count;
}

namespace {

// Bit i set when byte i of the 64 at `p` is a newline.
[[gnu::always_inline]] __attribute__((target("ssse3"))) inline uint64_t newline_mask(
    const char* p) {
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const auto newlines =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
    mask |= uint64_t{newlines} << (16 * i);
  }
  return mask;
}

}  // namespace

// Whether the line from `window` to the newline at `next` is a record of
// `shape`: it ends there, and up to there its digits lie where the shape's
// do and its other bytes are the shape's separators. Those bytes alone make
// the record, so this proves what matching_shape does without looking the
// shape up (the bytes after the newline, which its digit mask covers too,
// belong to the next record).
[[gnu::always_inline]] __attribute__((target("ssse3"))) inline bool TraceScanner::line_fits_shape(
    const RecordShape& shape, const char* window, const char* next) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window));
  if (((digit_mask_of(bytes) ^ (shape.key - 1)) & shape.within_end) != 0) return false;
  // A shape whose separators are not learned yet has 0xFF there: no fit.
  const __m128i separators = _mm_and_si128(
      bytes, _mm_load_si128(reinterpret_cast<const __m128i*>(shape.separator_select)));
  const __m128i same = _mm_cmpeq_epi8(
      separators, _mm_load_si128(reinterpret_cast<const __m128i*>(shape.separator_bytes)));
  return window + shape.end == next && _mm_movemask_epi8(same) == 0xFFFF;
}

// How many of up to `capacity` records from `window` on surely start below
// window_end_: a record moves the window on by kWindowBytes - 1 at most, so
// a batch loop that runs this many needs no check of the window's own.
int TraceScanner::records_within_reach(const char* window, int capacity) const {
  if (window >= window_end_) return 0;
  const auto reach = (window_end_ - window + kWindowBytes - 2) / (kWindowBytes - 1);
  return reach < capacity ? static_cast<int>(reach) : capacity;
}

// The batch loop for records of a line each, the window starting at the
// newline before the record. Where the next record starts is the next
// newline, found in a mask of 64 bytes at a time, not the end of the record
// just matched: the records' shape lookups do not wait for one another. A
// record counts only when its shape ends at that newline, so each is read
// as the loop below would read it; any other (a layout not learned, several
// records to a line, "\r\n") ends this loop.
[[gnu::always_inline]] __attribute__((target("ssse3"))) inline int
TraceScanner::gather_line_records(int32_t records[][kBatchedRecordSlots], int capacity,
                                  int* misfits) {
  const char* window = position_;
  const char* const window_end = window_end_;
  // 64 bytes can be loaded from positions up to here.
  const char* const mask_end = buffer_ + sizeof buffer_ - 64;
  if (window >= window_end || window > mask_end || *window != '\n') return 0;
  const char* base = window;
  uint64_t newlines = newline_mask(base) & ~uint64_t{1};  // those after the window's own
  // The shape of the line before, which the next line mostly has too; at
  // first one that no line fits (its end is 0).
  static const RecordShape kNoShape{};
  const RecordShape* shape = &kNoShape;
  const int limit = records_within_reach(window, capacity);
  const char* last_window = nullptr;
  int count = 0;
  for (; count < limit; ++count) {
    if (newlines == 0) {
      // The window's newline is the last of those 64 bytes: the next 64.
      if (window > mask_end) break;
      base = window;
      newlines = newline_mask(base) & ~uint64_t{1};
      if (newlines == 0) break;
    }
    const char* const next = base + static_cast<uint32_t>(std::countr_zero(newlines));
    if (!line_fits_shape(*shape, window, next)) [[unlikely]] {
      ++*misfits;
      const RecordShape* const found = matching_shape(window);
      if (found == nullptr || window + found->end != next) break;
      shape = found;
    }
    gather_window_numbers(*shape, window, records[count]);
    last_window = window;
    window = next;
    newlines &= newlines - 1;
  }
  if (count == 0) return 0;
  position_ = window;
  // `shape` is still the last record's.
  record_offset_ = reinterpret_cast<uintptr_t>(last_window) + window_bias_ + shape->first_item;
  return count;
}

// The gathering batch loop, compiled once for SSSE3 and once for AVX2: the
// records of a line each first, then any record of a learned layout.
[[gnu::always_inline]] __attribute__((target("ssse3"))) inline int
TraceScanner::gather_learned_records(int32_t records[][kBatchedRecordSlots], int capacity) {
  if (line_loop_rest_ != 0) {
    --line_loop_rest_;
    return gather_any_learned_records(records, capacity);
  }
  int misfits = 0;
  const int lines = gather_line_records(records, capacity, &misfits);
  // Where few lines have the layout of the line before (a trace of many
  // layouts, about equally common), the loop costs more than it saves: it
  // is left alone for a while.
  if (misfits * 4 > lines) line_loop_rest_ = kLineLoopRest;
  if (lines == capacity) return lines;
  return lines + gather_any_learned_records(records + lines, capacity - lines);
}

[[gnu::always_inline]] __attribute__((target("ssse3"))) inline int
TraceScanner::gather_any_learned_records(int32_t records[][kBatchedRecordSlots], int capacity) {
  const char* window = position_;
  const char* const window_end = window_end_;
  const char* last_item = nullptr;
  int count = 0;
  for (; count < capacity && window < window_end; ++count) {
    const RecordShape* shape = matching_shape(window);
    if (shape == nullptr) break;
    gather_window_numbers(*shape, window, records[count]);
    last_item = window + shape->first_item;
    window += shape->end;
  }
  if (count == 0) return 0;
  position_ = window;
  record_offset_ = reinterpret_cast<uintptr_t>(last_item) + window_bias_;
  return count;
}

__attribute__((target("ssse3"))) int TraceScanner::read_learned_gathered_records(
    int32_t records[][kBatchedRecordSlots], int capacity) {
  return gather_learned_records(records, capacity);
}

// The same instructions in their VEX form, which names its destination: no
// register copies around the shuffles and compares.
__attribute__((target("avx2"))) int TraceScanner::read_learned_gathered_records_vex(
    int32_t records[][kBatchedRecordSlots], int capacity) {
  return gather_learned_records(records, capacity);
}

// Plain records 64 bytes a step first; from the first step that is not
// plain on (a letter, a lone sign, a long number, the block's last bytes),
// the rest of the batch by the layouts learned, so such a record costs the
// batch little.
int TraceScanner::read_chunked_records(int32_t records[][kBatchedRecordSlots], int capacity) {
  // Nothing is read once reading has stopped: window_end_ is buffer_ then.
  if (position_ >= window_end_) return 0;
  const ChunkRun run = convert_number_chunks(buffer_, position_, end_, records, capacity);
  if (run.count == 0) return read_learned_gathered_records_vex(records, capacity);
  position_ = run.end;
  record_offset_ = offset_of(run.last_record);
  if (run.count == capacity) return capacity;
  return run.count + read_learned_gathered_records_vex(records + run.count, capacity - run.count);
}

#endif  // PAGESIM_WINDOW_SCAN

int TraceScanner::read_learned_records(int32_t records[][kBatchedRecordSlots], int capacity) {
#if PAGESIM_WINDOW_SCAN
  if (chunks_) return read_chunked_records(records, capacity);
  if (vex_) return read_learned_gathered_records_vex(records, capacity);
  return gather_ ? read_learned_gathered_records(records, capacity)
                 : read_learned_window_records(records, capacity);
#else
  (void)records;
  (void)capacity;
  return 0;
#endif
}

int TraceScanner::read_record(int32_t fields[kRecordFields]) {
#if PAGESIM_WINDOW_SCAN
  // No window fits once reading has stopped.
  if (position_ < window_end_ &&
      (gather_ ? read_gathered_record(fields) : read_window_record(fields)))
    return kRecordFields;
#endif
  if (stop_reason_ != ScanStop::kNotStopped) return 0;
  if (read_plain_record(fields)) return kRecordFields;
  int converted = 0;
  while (converted < kRecordFields && scan_number(&fields[converted])) {
    if (converted == 0) record_offset_ = number_offset_;
    ++converted;
  }
  return converted;
}
