// What the scheduler interleaves: the records of one process, already in
// pagesim's address space.
#pragma once

#include <cstdint>

/// One record's two references: pagesim reads the first, then writes the
/// second.
struct AddressPair {
  int32_t read;  ///< never 0, which would end the process
  int32_t write;
};

class RecordSource {
 public:
  virtual ~RecordSource() = default;
  /// The next record; false when the input is used up or a read failed.
  virtual bool next(AddressPair* record) = 0;
  /// The errno of a failed read of the input, 0 when reading works.
  virtual int read_error() const = 0;
};
