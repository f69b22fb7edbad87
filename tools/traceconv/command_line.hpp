// traceconv's command line:
//   traceconv lackey|din [-q QUANTUM] [-n MAX] [--map MAPPING] FILE...
//   traceconv pages FILE...
//   traceconv -h
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tools/traceconv/address_mapping.hpp"

enum class TraceFormat { kLackey, kDin, kPages };

struct ConversionOptions {
  TraceFormat format = TraceFormat::kLackey;
  uint64_t quantum = 500;
  uint64_t max_records = std::numeric_limits<uint64_t>::max();  ///< per process
  AddressMapping mapping = kDefaultMapping;
  std::vector<std::string> files;  ///< "-" is standard input
};

struct CommandLine {
  enum class Action { kConvert, kShowUsage, kRefuse };
  Action action = Action::kRefuse;
  ConversionOptions options;
  std::string problem;  ///< why it was refused: one line, no program name
};

/// Reads the arguments after the program's name. Options may come anywhere
/// after the format; "--" ends them; values follow as the next argument or
/// joined ("-q50", "--map=low16"); -h or --help anywhere asks for usage.
CommandLine parse_command_line(int argc, const char* const* argv);

/// The text -h prints.
extern const char kUsage[];
