// Bytes of a user's file made safe to print: nothing it holds can move the
// cursor, clear or retitle a terminal.
#pragma once

#include <string>
#include <string_view>

/// `text` with every control byte and every byte from 0x7f up shown as
/// \xNN (lower-case hex); the printable ASCII bytes, space included, as is.
std::string visible_bytes(std::string_view text);
