// pagestat's command line:
//   pagestat [-f FRAMES] [-i INTERVAL] [--curve] [--frames-max N] [--tlb-curve] [--csv] [--svg
//   FILE] [TRACE]
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "policies/frame_table.hpp"

struct PagestatOptions {
  int frames = 20;                  ///< frames of the what-if policies, 1..kMaxFrames
  std::optional<int64_t> interval;  ///< records per interval; default from the trace
  bool curve = false;
  int frames_max = kMaxFrames;  ///< the curve's last frame count at most
  bool tlb_curve = false;
  bool csv = false;
  std::string svg_path;  ///< empty: no chart
  std::string trace_path = "data.txt";
  bool help = false;
};

/// Parses argv[1..argc-1] into `options`. Returns false with a one-line
/// `error` (without the program's name) when the command line is wrong.
bool parse_command_line(int argc, const char* const* argv, PagestatOptions* options,
                        std::string* error);

/// The text -h prints.
const char* usage_text();
