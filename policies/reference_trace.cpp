#include "policies/reference_trace.hpp"

namespace {

uint64_t process_key(int32_t proc) {
  return static_cast<uint32_t>(proc);
}

uint64_t page_key_bits(int32_t proc, int32_t page) {
  return static_cast<uint64_t>(static_cast<uint32_t>(proc)) << 32 | static_cast<uint32_t>(page);
}

}  // namespace

uint32_t ReferenceTrace::process_number(int32_t proc) {
  if (proc == last_proc_ && !activity_.empty()) return last_process_;
  const uint32_t number =
      process_ids_.find_or_add(process_key(proc), static_cast<uint32_t>(activity_.size()));
  if (number == activity_.size()) activity_.push_back({proc, 0, 0});
  last_proc_ = proc;
  last_process_ = number;
  return number;
}

uint32_t ReferenceTrace::page_number(int32_t proc, uint32_t process, int32_t page) {
  const bool tabled = process < kTabledProcesses && page >= 0 && page < kTabledPages;
  const size_t slot = size_t{process} * kTabledPages + static_cast<size_t>(page);
  if (tabled && slot < page_table_.size() && page_table_[slot] != kNoPage) return page_table_[slot];
  const uint32_t number =
      page_ids_.find_or_add(page_key_bits(proc, page), static_cast<uint32_t>(page_keys_.size()));
  if (number == page_keys_.size()) {
    page_keys_.push_back({proc, page});
    page_process_.push_back(process);
  }
  if (tabled) {
    if (slot >= page_table_.size())
      page_table_.resize((size_t{process} + 1) * kTabledPages, kNoPage);
    page_table_[slot] = number;
  }
  return number;
}

bool ReferenceTrace::has_room(uint64_t events, uint64_t names) const {
  return events_ + events <= kMaxEvents && page_keys_.size() + names <= kMaxPages &&
         activity_.size() + names <= kMaxPages;
}

bool ReferenceTrace::add_reference(int32_t proc, int32_t page, bool write) {
  if (!has_room(1, 1)) return false;
  push(page_number(proc, process_number(proc), page) << 1 | uint32_t{write});
  return true;
}

bool ReferenceTrace::add_termination(int32_t proc) {
  if (!has_room(1, 1)) return false;
  const uint32_t process = process_number(proc);
  ++activity_[process].terminations;
  ++terminations_;
  push(kTerminationBit | process);
  return true;
}

bool ReferenceTrace::add_record(int32_t proc, int32_t read_address, int32_t write_address) {
  // Room for the whole record, so that a record goes in whole or not at all.
  if (!has_room(2, 2)) return false;
  names_minus_one_ = names_minus_one_ || proc == -1;
  ++records_;
  const uint32_t process = process_number(proc);
  ++activity_[process].records;
  if (read_address == 0) {
    ++activity_[process].terminations;
    ++terminations_;
    push(kTerminationBit | process);
    return true;
  }
  push(page_number(proc, process, read_address / kWhatIfPageBytes) << 1);
  push(page_number(proc, process, write_address / kWhatIfPageBytes) << 1 | 1);
  return true;
}

std::span<const uint32_t> ReferenceTrace::block(size_t index) const {
  const bool last = index + 1 == blocks_.size();
  const uint64_t in_last = events_ - (uint64_t{blocks_.size() - 1} << kEventBlockBits);
  return {blocks_[index].get(), static_cast<size_t>(last ? in_last : kEventBlockSize)};
}

std::vector<uint64_t> ReferenceTrace::interval_ends(int64_t records_per_interval) const {
  std::vector<uint64_t> ends;
  int64_t records_in_interval = 0;
  for (uint64_t position = 0; position < events_;) {
    // A record is one termination or two references.
    position += is_termination_event(event(position)) ? 1 : 2;
    if (++records_in_interval == records_per_interval) {
      ends.push_back(position);
      records_in_interval = 0;
    }
  }
  if (records_in_interval > 0) ends.push_back(events_);
  return ends;
}
