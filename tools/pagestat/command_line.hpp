// pagestat's command line:
//   pagestat [-f FRAMES] [-i INTERVAL] [--curve] [--frames-max N] [--tlb-curve] [--csv] [--svg
//   FILE] [--memory-max SIZE] [TRACE]
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "policies/frame_table.hpp"
#include "policies/reference_trace.hpp"

struct PagestatOptions {
  int frames = 20;                  ///< frames of the what-if policies, 1..kMaxFrames
  std::optional<int64_t> interval;  ///< records per interval; default from the trace
  bool curve = false;
  int frames_max = kMaxFrames;  ///< the curve's last frame count at most
  bool tlb_curve = false;
  bool csv = false;
  std::string svg_path;  ///< empty: no chart
  /// Bytes the trace's events and per-event arrays may hold in memory.
  uint64_t memory_max = kDefaultMemoryBudget;
  std::string trace_path = "data.txt";
  bool help = false;
};

/// Parses argv[1..argc-1] into `options`. Returns false with a one-line
/// `error` (without the program's name) when the command line is wrong.
bool parse_command_line(int argc, const char* const* argv, PagestatOptions* options,
                        std::string* error);

/// Parses a size in bytes as a user writes one: a number with an optional
/// K, M, G or T (powers of 1024, either case), optionally followed by B or
/// iB ("512M", "2GiB", "1048576"). Returns false, leaving `bytes` alone,
/// for anything else or a size past 2^50.
bool parse_size(std::string_view text, uint64_t* bytes);

/// The text -h prints.
const char* usage_text();
