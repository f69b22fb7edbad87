// Command-line numbers.
#pragma once

#include <cstdint>

/// The C library's ASCII-to-integer rule: leading white space, an optional
/// sign, then decimal digits up to the first other character; no digits give
/// 0. Values beyond the signed 32-bit range saturate to its nearest limit.
int32_t ascii_to_int(const char* text);
