#include "tools/traceconv/record_pairing.hpp"

AddressPair ReferencePairer::pair(int32_t read, int32_t write) {
  wrote_ = true;
  last_write_ = write;
  // Reading address 0 would end the process; another byte of page 0 has
  // the same effect on the tables.
  return {read == 0 ? 1 : read, write};
}

bool ReferencePairer::add(Access access, int32_t address, AddressPair* record) {
  if (!pending_) {
    pending_ = true;
    pending_access_ = access;
    pending_address_ = address;
    return false;
  }
  if (pending_access_ == Access::kRead && access == Access::kWrite) {
    pending_ = false;
    *record = pair(pending_address_, address);
    return true;
  }
  // The pending reference stays alone; the new one waits for its half.
  *record = pending_access_ == Access::kRead ? pair_lone_read(pending_address_)
                                             : pair(pending_address_, pending_address_);
  pending_access_ = access;
  pending_address_ = address;
  return true;
}

bool ReferencePairer::finish(AddressPair* record) {
  if (!pending_) return false;
  pending_ = false;
  *record = pending_access_ == Access::kRead ? pair_lone_read(pending_address_)
                                             : pair(pending_address_, pending_address_);
  return true;
}

bool PairedRecords::next(AddressPair* record) {
  if (finished_) return false;
  MemoryReference reference;
  while (reader_->next(&reference)) {
    if (pairer_.add(reference.access, map_address(mapping_, reference.address), record)) {
      return true;
    }
  }
  finished_ = true;
  // A failed read ends the conversion; a half record would be misleading.
  return reader_->read_error() == 0 && pairer_.finish(record);
}
