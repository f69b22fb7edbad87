// An unlinked temporary file of equal blocks of 32-bit words: where a trace
// too long for its memory budget keeps what does not fit. The file has no
// name, so it goes when the program ends, however it ends.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

/// A spill that could not be made, written or read back; what() is one line
/// ("cannot write the spilled trace to /tmp: No space left on device").
class SpillError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// `directory` when not empty, else $TMPDIR when set and not empty, else /tmp.
std::string spill_directory(const std::string& directory);

class SpillFile {
 public:
  /// Makes the file in `directory`. Throws SpillError when it cannot.
  SpillFile(const std::string& directory, uint64_t block_words);
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  /// Writes `words` as block `index`. Throws SpillError on any failed or short
  /// write. REQUIRES: words.size() <= the block's words.
  void write_block(uint64_t index, std::span<const uint32_t> words);
  /// Reads block `index` into `out` in full. Throws SpillError when it cannot.
  void read_block(uint64_t index, std::span<uint32_t> out) const;

 private:
  std::string directory_;
  uint64_t block_words_;
  int fd_;
};
