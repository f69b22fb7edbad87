// A trace opened for two readers that each start at its beginning: the
// scanner, and the locator that turns offsets into lines. A regular file is
// simply opened twice; a pipe, a FIFO or a terminal can be read only once,
// so what it gives is first kept in a temporary file that is read twice.
#pragma once

#include <string>

struct TwoReaders {
  int first = -1;
  int second = -1;
  /// Empty when both are open; else why not ("cannot read x: Is a directory").
  std::string error;
};

/// Opens `path` for two readers. The temporary copy, when one is made, goes
/// to $TMPDIR (or /tmp) and is already removed from its folder.
TwoReaders open_for_two_readers(const char* path);
