// Reads trace records "%d %d %d" from a file descriptor through one fixed
// block, with the conversion rules of C's scanf: white space " \t\n\v\f\r"
// is skipped before each number; a number is an optional sign and decimal
// digits. Reading ends for good at the first item that does not convert.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

/// Bytes fetched from the file per read.
inline constexpr size_t kTraceBlockSize = 1 << 20;
/// Numbers per record: process, first address, second address.
inline constexpr int kRecordFields = 3;

/// Why reading ended.
enum class ScanStop {
  kNotStopped,  ///< still reading
  kEndOfInput,  ///< the file ended
  kNotANumber,  ///< an item that is not an optional sign followed by a digit
  kOutOfRange,  ///< a number outside the signed 32-bit range
  kReadError,   ///< the file could not be read
};

/// Supplies the next bytes of input: returns how many it stored in `dest`
/// (at most `capacity`), 0 at the end, or -1 with errno set on failure.
using ReadBlockFunction = ssize_t (*)(void* context, char* dest, size_t capacity);

class TraceScanner {
 public:
  /// Reads from `fd` in blocks of up to `block_size` bytes.
  /// REQUIRES: 0 < block_size <= kTraceBlockSize.
  void attach(int fd, size_t block_size = kTraceBlockSize);
  /// Reads through `read_block` instead of a descriptor (tests, fuzzing).
  void attach(ReadBlockFunction read_block, void* context, size_t block_size);

  /// Reads the next record into `fields`. Returns how many numbers converted,
  /// 0..3; the fields that did not convert keep their values. After a return
  /// below 3 every later call returns 0.
  int read_record(int32_t fields[kRecordFields]);

  ScanStop stop_reason() const { return stop_reason_; }
  /// Byte offset in the input of the item where reading stopped (for the end
  /// of input: its length).
  uint64_t stop_offset() const { return stop_offset_; }
  /// Byte offset of the first number of the last record read.
  uint64_t record_offset() const { return record_offset_; }

 private:
  bool read_plain_record(int32_t fields[kRecordFields]);
  bool scan_number(int32_t* value);
  bool skip_space();
  bool refill();
  void stop(ScanStop reason, uint64_t offset);
  uint64_t offset_of(const char* position) const {
    return block_offset_ + static_cast<uint64_t>(position - buffer_);
  }

  ReadBlockFunction read_block_ = nullptr;
  void* context_ = nullptr;
  int fd_ = -1;
  size_t block_size_ = kTraceBlockSize;
  // The byte after the data holds a sentinel that is neither a digit nor
  // white space, so the inner loops need no bounds check; the padding lets
  // the record fast path load eight bytes at any position up to it.
  char buffer_[kTraceBlockSize + 16] = {};
  const char* position_ = buffer_;
  const char* end_ = buffer_;
  uint64_t block_offset_ = 0;
  bool input_ended_ = false;
  ScanStop stop_reason_ = ScanStop::kNotStopped;
  uint64_t stop_offset_ = 0;
  uint64_t record_offset_ = 0;
  uint64_t number_offset_ = 0;  ///< of the last number scan_number converted
};
