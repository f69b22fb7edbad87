#include "tools/pagediff/trace_input.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "tools/visible_bytes.hpp"

void TraceInput::attach(int fd) {
  fd_ = fd;
  read_errno_ = 0;
  read_so_far_ = 0;
  blocks_[0] = blocks_[1] = Block{};
  scanner_.attach(&TraceInput::read_block, this, kTraceBlockSize);
}

ssize_t TraceInput::read_block(void* context, char* dest, size_t capacity) {
  auto& self = *static_cast<TraceInput*>(context);
  ssize_t got;
  do {
    got = ::read(self.fd_, dest, capacity);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    self.read_errno_ = errno;
    return got;
  }
  // The new block starts where the last ended, on the line it ended on.
  Block& last = self.blocks_[1];
  Block next;
  next.offset = self.read_so_far_;
  next.line = last.line;
  next.line_start = last.line_start;
  for (size_t i = 0; i < last.bytes.size(); ++i) {
    if (last.bytes[i] != '\n') continue;
    ++next.line;
    next.line_start = last.offset + i + 1;
  }
  next.bytes.assign(dest, dest + got);
  std::swap(self.blocks_[0], self.blocks_[1]);
  self.blocks_[1] = std::move(next);
  self.read_so_far_ += static_cast<uint64_t>(got);
  return got;
}

const TraceInput::Block* TraceInput::block_of(uint64_t offset) const {
  for (int i = 1; i >= 0; --i) {
    const Block& block = blocks_[i];
    if (offset >= block.offset && (offset <= block.offset + block.bytes.size()) &&
        (i == 1 || offset < block.offset + block.bytes.size()))
      return &block;
  }
  return nullptr;
}

TextPosition TraceInput::locate(uint64_t offset) const {
  const Block* block = block_of(offset);
  if (block == nullptr) return {0, 0};
  uint64_t line = block->line, line_start = block->line_start;
  for (uint64_t i = 0; i < offset - block->offset; ++i) {
    if (block->bytes[i] != '\n') continue;
    ++line;
    line_start = block->offset + i + 1;
  }
  return {line, offset - line_start + 1};
}

std::string TraceInput::word_at(uint64_t offset) const {
  std::string word;
  for (uint64_t at = offset; word.size() < 24; ++at) {
    const Block* block = block_of(at);
    if (block == nullptr || at - block->offset >= block->bytes.size()) break;
    const char c = block->bytes[at - block->offset];
    if (c == ' ' || (c >= '\t' && c <= '\r')) break;
    word += c;
  }
  return visible_bytes(word);
}
