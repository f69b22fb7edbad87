// Test helpers: a LineReader over a given text, and a reader's references
// as text.
#pragma once

#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "tools/traceconv/line_reader.hpp"
#include "tools/traceconv/memory_reference.hpp"

/// Reads `text` (under 64 KiB: it goes through a pipe) in blocks of `block_size`.
inline std::unique_ptr<LineReader> reader_of(const std::string& text, size_t block_size = 64) {
  int ends[2];
  if (pipe(ends) != 0 || write(ends[1], text.data(), text.size()) != ssize_t(text.size()))
    throw std::runtime_error("pipe failed");
  close(ends[1]);
  return std::make_unique<LineReader>(ends[0], block_size);
}

/// "R 1f W 20 ".
inline std::string references_of(ReferenceReader& reader) {
  std::string all;
  for (MemoryReference reference; reader.next(&reference);) {
    char text[32];
    snprintf(text, sizeof text, "%c %llx ", reference.access == Access::kRead ? 'R' : 'W',
             static_cast<unsigned long long>(reference.address));
    all += text;
  }
  return all;
}
