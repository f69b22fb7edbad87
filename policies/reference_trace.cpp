#include "policies/reference_trace.hpp"

#include <algorithm>
#include <bit>

#include "policies/event_stream.hpp"

namespace {

// A block is at most a 32nd of the budget, and 4 KiB at least.
int block_bits_for(uint64_t budget_bytes) {
  const uint64_t words =
      std::clamp<uint64_t>(budget_bytes / 32 / sizeof(uint32_t), 1024, kEventBlockSize);
  return std::countr_zero(std::bit_floor(words));
}

// The buffers of the streams that may be open at once, both threads
// together (a pass reads at most events and next uses, the interval rows
// five streams), in blocks.
constexpr uint64_t kStreamBlocks = 8;

// Bytes an event held in memory may cost: itself, and the states the
// optimal policy's next uses keep in memory (at most half a byte per event,
// NextUse), for two passes at once.
constexpr uint64_t kHeldEventBytes = sizeof(uint32_t) + 1;

uint64_t process_key(int32_t proc) {
  return static_cast<uint32_t>(proc);
}

uint64_t page_key_bits(int32_t proc, int32_t page) {
  return static_cast<uint64_t>(static_cast<uint32_t>(proc)) << 32 | static_cast<uint32_t>(page);
}

}  // namespace

ReferenceTrace::ReferenceTrace(const TraceMemory& memory)
    : memory_(memory),
      block_bits_(block_bits_for(memory.budget_bytes)),
      block_mask_((uint64_t{1} << block_bits_) - 1) {
  const uint64_t block_bytes = (block_mask_ + 1) * sizeof(uint32_t);
  const uint64_t budget = std::max(memory.budget_bytes, kStreamBlocks * block_bytes);
  // The last block may be held past the limit.
  const uint64_t blocks =
      (budget - kStreamBlocks * block_bytes) / kHeldEventBytes / (block_mask_ + 1);
  held_limit_ = static_cast<size_t>(blocks > 0 ? blocks - 1 : 0);
}

void ReferenceTrace::start_block() {
  if (blocks_.size() < held_limit_) {
    blocks_.push_back(std::make_unique_for_overwrite<uint32_t[]>(block_mask_ + 1));
    filling_ = blocks_.back().get();
    return;
  }
  std::unique_ptr<uint32_t[]> buffer;
  if (blocks_.size() > held_limit_) {
    // The full last block goes to the file and its buffer takes the next.
    if (!spill_) {
      spill_ =
          std::make_unique<SpillFile>(spill_directory(memory_.spill_directory), block_mask_ + 1);
      companion_ = std::make_unique<Companion>();
    }
    spill_->write_block(blocks_.size() - 1, {blocks_.back().get(), block_mask_ + 1});
    buffer = std::move(blocks_.back());
  } else {
    buffer = std::make_unique_for_overwrite<uint32_t[]>(block_mask_ + 1);
  }
  blocks_.push_back(std::move(buffer));
  filling_ = blocks_.back().get();
}

const SpillFile& ReferenceTrace::companion_spill(
    const std::function<void(SpillFile&)>& make) const {
  std::call_once(companion_->made, [&] {
    auto file =
        std::make_unique<SpillFile>(spill_directory(memory_.spill_directory), block_mask_ + 1);
    make(*file);
    companion_->file = std::move(file);
  });
  return *companion_->file;
}

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

std::span<const uint32_t> ReferenceTrace::load_block(size_t index,
                                                     std::unique_ptr<uint32_t[]>& buffer) const {
  const bool last = index + 1 == blocks_.size();
  const auto size =
      static_cast<size_t>(last ? events_ - (uint64_t{index} << block_bits_) : block_mask_ + 1);
  if (blocks_[index]) return {blocks_[index].get(), size};
  if (!buffer) buffer = std::make_unique_for_overwrite<uint32_t[]>(block_mask_ + 1);
  spill_->read_block(index, {buffer.get(), size});
  return {buffer.get(), size};
}

std::vector<uint64_t> ReferenceTrace::interval_ends(int64_t records_per_interval) const {
  std::vector<uint64_t> ends;
  int64_t records_in_interval = 0;
  EventCursor cursor(*this);
  while (!cursor.done()) {
    // A record is one termination or two references.
    if (!is_termination_event(cursor.take()) && !cursor.done()) cursor.take();
    if (++records_in_interval == records_per_interval) {
      ends.push_back(cursor.position());
      records_in_interval = 0;
    }
  }
  if (records_in_interval > 0) ends.push_back(events_);
  return ends;
}
