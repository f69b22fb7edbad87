// Pairs a program's references into pagesim records, which always read one
// address and then write one. References are taken in input order: a read
// followed by a write make one record (so an M line of lackey stays one
// record). A reference without its other half gets a stand-in that repeats
// what the program already did:
//   - a write not preceded by an unpaired read reads its own address, which
//     touches no page the write does not;
//   - a read not followed by a write writes the last address written (a page
//     already dirty, usually still in memory), or before any write its own
//     address.
// Reading the records' references in order, read then write, gives back
// the input's references in order with the stand-ins between.
#pragma once

#include "tools/traceconv/address_mapping.hpp"
#include "tools/traceconv/memory_reference.hpp"
#include "tools/traceconv/record_source.hpp"

class ReferencePairer {
 public:
  /// Takes the next reference, already mapped; returns true when that made
  /// a record, stored in `*record`.
  bool add(Access access, int32_t address, AddressPair* record);
  /// At the end of the input: true when a reference was left unpaired, its
  /// record in `*record`.
  bool finish(AddressPair* record);

 private:
  AddressPair pair(int32_t read, int32_t write);
  AddressPair pair_lone_read(int32_t read) { return pair(read, wrote_ ? last_write_ : read); }

  bool pending_ = false;
  Access pending_access_ = Access::kRead;
  int32_t pending_address_ = 0;
  bool wrote_ = false;
  int32_t last_write_ = 0;
};

/// A process's records: the references of `reader`, mapped by `mapping`,
/// paired by a ReferencePairer.
class PairedRecords final : public RecordSource {
 public:
  /// REQUIRES: `reader` outlives this.
  PairedRecords(ReferenceReader* reader, AddressMapping mapping)
      : reader_(reader), mapping_(mapping) {}
  bool next(AddressPair* record) override;
  int read_error() const override { return reader_->read_error(); }

 private:
  ReferenceReader* reader_;
  AddressMapping mapping_;
  ReferencePairer pairer_;
  bool finished_ = false;
};
