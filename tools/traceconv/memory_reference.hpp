// What the trace readers produce: the program's data references, one at a
// time, in the order the program made them.
#pragma once

#include <cstdint>

enum class Access : uint8_t { kRead, kWrite };

/// One data reference of the traced program.
struct MemoryReference {
  Access access;
  uint64_t address;  ///< the program's own, 64-bit
};

/// A source of one program's references.
class ReferenceReader {
 public:
  virtual ~ReferenceReader() = default;
  /// The next reference; false when the input is used up or a read failed.
  virtual bool next(MemoryReference* reference) = 0;
  /// The errno of a failed read of the input, 0 when reading works.
  virtual int read_error() const = 0;
};
