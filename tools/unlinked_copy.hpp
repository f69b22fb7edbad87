// A pipe or a FIFO can be read only once: a tool that needs to read its
// input again first copies it to a file that no name reaches.
#pragma once

#include <string>

/// Copies what `fd` still holds into a new file in $TMPDIR (else /tmp)
/// that is unlinked at once, and returns that file's descriptor at offset
/// 0. Returns -1 with errno set when it cannot; `fd` is left open either way.
int copy_to_unlinked_file(int fd);

/// A path that opens the file of descriptor `fd` anew, with an offset of its
/// own, even when the file has no name left. REQUIRES: fd >= 0.
std::string reopen_path(int fd);
