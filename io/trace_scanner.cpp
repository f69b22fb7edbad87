#include "io/trace_scanner.hpp"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

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
  read_block_ = read_block;
  context_ = context;
  block_size_ = block_size;
  buffer_[0] = '\0';
  position_ = end_ = buffer_;
  block_offset_ = 0;
  input_ended_ = false;
  stop_reason_ = ScanStop::kNotStopped;
  stop_offset_ = 0;
  record_offset_ = 0;
  number_offset_ = 0;
}

bool TraceScanner::refill() {
  block_offset_ = offset_of(end_);
  position_ = end_ = buffer_;
  buffer_[0] = '\0';
  if (input_ended_) return false;
  ssize_t got = read_block_(context_, buffer_, block_size_);
  if (got <= 0) {
    input_ended_ = true;
    if (got < 0) stop(ScanStop::kReadError, block_offset_);
    return false;
  }
  end_ = buffer_ + got;
  buffer_[got] = '\0';
  return true;
}

void TraceScanner::stop(ScanStop reason, uint64_t offset) {
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

int TraceScanner::read_record(int32_t fields[kRecordFields]) {
  if (stop_reason_ != ScanStop::kNotStopped) return 0;
  if (read_plain_record(fields)) return kRecordFields;
  int converted = 0;
  while (converted < kRecordFields && scan_number(&fields[converted])) {
    if (converted == 0) record_offset_ = number_offset_;
    ++converted;
  }
  return converted;
}
