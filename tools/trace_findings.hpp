// How pagesim reads a trace at a given place, in the words that tracecheck
// and pagediff both use for it.
#pragma once

#include <cstdint>
#include <string>

#include "io/trace_scanner.hpp"

/// "the second address keeps 6 from the record before", or "... is 0:
/// there is no record before" for the first record; `converted` numbers of
/// `fields` were read. REQUIRES: 0 < converted < kRecordFields.
std::string partial_record_text(int converted, const int32_t fields[kRecordFields],
                                bool first_record);

/// "pagesim stops reading here: "oops" is not a number" (or "is outside the
/// signed 32-bit range"). REQUIRES: stop is kNotANumber or kOutOfRange.
std::string stop_text(ScanStop stop, const std::string& word);

/// The names of a record's three numbers: "the process", "the first
/// address", "the second address".
extern const char* const kFieldNames[kRecordFields];
