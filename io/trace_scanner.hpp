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
/// Bytes the record fast path looks at in one go.
inline constexpr int kWindowBytes = 16;
/// Slots of a record read in a batch: its fields, then one the conversion
/// writes over, so that a record is stored in one go.
inline constexpr int kBatchedRecordSlots = kRecordFields + 1;

/// Why reading ended.
enum class ScanStop {
  kNotStopped,  ///< still reading
  kEndOfInput,  ///< the file ended
  kNotANumber,  ///< an item that is not an optional sign followed by a digit
  kOutOfRange,  ///< a number outside the signed 32-bit range
  kReadError,   ///< the file could not be read
};

/// The instruction sets the scanner has paths for, each with those before.
enum class ScanInstructions {
  kPortable,  ///< what every x86-64 has
  kSsse3,     ///< byte shuffles
  kAvx2,      ///< SSSE3's shuffles in three-operand form
  kWidest,    ///< AVX-512 where the processor has it: several records a step
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
  /// With `portable` set, scans with the instructions every x86-64 has even
  /// where the processor has more, as on one that has not (tests compare the
  /// two). Takes effect at the next attach().
  void limit_to_portable_instructions(bool portable) {
    limit_ = portable ? ScanInstructions::kPortable : ScanInstructions::kWidest;
  }
  /// The same for any of the instruction sets the scanner has a path for.
  void limit_instructions(ScanInstructions limit) { limit_ = limit; }

  /// Reads the next record into `fields`. Returns how many numbers converted,
  /// 0..3; the fields that did not convert keep their values. After a return
  /// below 3 every later call returns 0.
  int read_record(int32_t fields[kRecordFields]);

  /// Reads up to `capacity` whole records into `records` (slot 3 of each is
  /// overwritten) without a call per record: plain records of numbers of up
  /// to eight digits (with AVX-512) and those of a layout read before. Returns how
  /// many, 0 at the first record of another kind or near the end of the
  /// block. read_record() goes on where it stopped, as after that many calls.
  int read_learned_records(int32_t records[][kBatchedRecordSlots], int capacity);

  ScanStop stop_reason() const { return stop_reason_; }
  /// Byte offset in the input of the item where reading stopped (for the end
  /// of input: its length).
  uint64_t stop_offset() const { return stop_offset_; }
  /// Byte offset of the first number of the last record read.
  uint64_t record_offset() const { return record_offset_; }

 private:
  /// A pattern of digit bytes in a window of input: where the record's
  /// numbers lie, and the separators and signs of the last record learned.
  struct RecordShape {
    alignas(16) uint8_t gather[2][16];  ///< shuffles: each number right-aligned in 8 bytes
    alignas(16) uint8_t separator_select[kWindowBytes];  ///< 0xFF at each separator byte
    alignas(16) uint8_t separator_bytes[kWindowBytes];   ///< the separators, 0 elsewhere
    alignas(16) uint32_t halves_weights[4];  ///< per number: 10000, 1, negated if negative
    uint32_t key;                            ///< the digit mask + 1; 0 in an unused slot
    uint16_t within_end;                     ///< a bit for each window byte before `end`
    uint8_t end;         ///< the byte after the third number; 0: no record of this pattern
    uint8_t first_item;  ///< where the first number starts, its sign included
    uint8_t negative;    ///< bit per number
    uint8_t start[kRecordFields];  ///< where each number's digits start
    uint8_t shift[kRecordFields];  ///< 64 - 8 * digits of each number
  };
  // A set of two shapes is a multiple of 64 bytes: found by two instructions.
  static_assert(sizeof(RecordShape) == 96);
  static RecordShape shape_of(uint32_t digit_mask);
  static void convert_window_numbers(const RecordShape& shape, const char* window,
                                     int32_t values[]);
  static void gather_window_numbers(const RecordShape& shape, const char* window,
                                    int32_t values[4]);
  bool learn_window_record(int32_t fields[kRecordFields]);
  const RecordShape* matching_shape(const char* window) const;
  static bool line_fits_shape(const RecordShape& shape, const char* window, const char* next);
  void finish_window_record(const RecordShape& shape, const char* window, const int32_t values[],
                            int32_t fields[kRecordFields]);
  bool read_window_record(int32_t fields[kRecordFields]);
  bool read_gathered_record(int32_t fields[kRecordFields]);
  int read_learned_window_records(int32_t records[][kBatchedRecordSlots], int capacity);
  int read_learned_gathered_records(int32_t records[][kBatchedRecordSlots], int capacity);
  int read_learned_gathered_records_vex(int32_t records[][kBatchedRecordSlots], int capacity);
  int read_chunked_records(int32_t records[][kBatchedRecordSlots], int capacity);
  int records_within_reach(const char* window, int capacity) const;
  int gather_learned_records(int32_t records[][kBatchedRecordSlots], int capacity);
  int gather_line_records(int32_t records[][kBatchedRecordSlots], int capacity, int* misfits);
  int gather_any_learned_records(int32_t records[][kBatchedRecordSlots], int capacity);
  bool read_plain_record(int32_t fields[kRecordFields]);
  bool scan_number(int32_t* value);
  bool skip_space();
  bool refill();
  void end_block();
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
  // Aligned: the kernel's copy into a buffer 8 bytes off a 32-byte boundary
  // took more than twice as long (137 MB from tmpfs, 256 KiB reads).
  alignas(64) char buffer_[kTraceBlockSize + 16] = {};
  const char* position_ = buffer_;
  const char* end_ = buffer_;
  /// Positions below it have kWindowBytes of data from them; buffer_ when
  /// none has, or reading has stopped.
  const char* window_end_ = buffer_;
  /// Added to a position's address: its offset in the input.
  uint64_t window_bias_ = 0;
  uint64_t block_offset_ = 0;
  bool input_ended_ = false;
  ScanStop stop_reason_ = ScanStop::kNotStopped;
  uint64_t stop_offset_ = 0;
  uint64_t record_offset_ = 0;
  uint64_t number_offset_ = 0;  ///< of the last number scan_number converted
  ScanInstructions limit_ = ScanInstructions::kWidest;
  bool gather_ = false;    ///< the processor has SSSE3's byte shuffles
  bool vex_ = false;       ///< and AVX2: the batch loop in three-operand form
  bool chunks_ = false;    ///< and AVX-512: batches 64 bytes a step first
  bool learning_ = false;  ///< a record's shape has just been learned
  /// Batches of records to read before the line loop is tried again.
  int line_loop_rest_ = 0;
  static constexpr int kLineLoopRest = 256;
  static constexpr int kShapeSetBits = 8;
  /// Shapes met so far, two to a set chosen by a hash of their digit mask.
  RecordShape shapes_[1 << kShapeSetBits][2] = {};
};
