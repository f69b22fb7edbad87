// Converts runs of trace records 64 bytes at a time with AVX-512: every
// number that ends in a step's bytes at once, several records a step. It
// takes only the plain case (numbers of at most eight digits, with or without
// a sign, white space between them) and leaves everything else to the
// scanner's other paths.
#pragma once

#include <cstdint>

#include "io/trace_scanner.hpp"

/// Bytes one step of a run looks at.
inline constexpr int kChunkBytes = 64;

/// What a run of steps converted.
struct ChunkRun {
  int count;                ///< records stored
  const char* end;          ///< the byte after the last record's third number; begin if none
  const char* last_record;  ///< where the last record starts (its sign, if any); nullptr if none
};

/// Whether the processor has what convert_number_chunks() runs on (AVX-512
/// F, BW, VL, VBMI, VBMI2 and BMI2).
bool number_chunks_supported();

/// Converts the records from `begin` on into `records` (slots 0..2), up to
/// `capacity` of them, as "%d %d %d" would read them; slot 3 of each row may
/// be overwritten. Steps start 47 bytes apart, each loading 64 bytes: it
/// converts the numbers that end in 47 of them, the 16 before those holding
/// their first digits. The run stops before the first step whose own bytes
/// hold a byte neither digit nor white space nor a sign before a digit (NUL,
/// a letter, a lone sign) or the end of a number of more than eight digits,
/// or that would load past
/// data_end; it takes the whole records among the numbers before, at most
/// 128. Never reads outside [begin, data_end).
/// REQUIRES: number_chunks_supported(); data_begin <= begin <= data_end;
/// `begin` does not split a number: it is data_begin, or the byte before it
/// or the byte at it is not a digit (else nothing is converted).
ChunkRun convert_number_chunks(const char* data_begin, const char* begin, const char* data_end,
                               int32_t records[][kBatchedRecordSlots], int capacity);
