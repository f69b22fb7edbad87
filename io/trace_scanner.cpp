#include "io/trace_scanner.hpp"

#include <unistd.h>

#include <cerrno>

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
  last_number_offset_ = 0;
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
  last_number_offset_ = start;
  *value = negative ? static_cast<int32_t>(0 - magnitude) : static_cast<int32_t>(magnitude);
  return true;
}

int TraceScanner::read_record(int32_t fields[kRecordFields]) {
  if (stop_reason_ != ScanStop::kNotStopped) return 0;
  int converted = 0;
  while (converted < kRecordFields && scan_number(&fields[converted])) ++converted;
  return converted;
}
