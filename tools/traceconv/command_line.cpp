#include "tools/traceconv/command_line.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

const char kUsage[] =
    "usage: traceconv lackey [-q QUANTUM] [-n MAX] [--map MAPPING] LOG... > data.txt\n"
    "       traceconv din [-q QUANTUM] [-n MAX] [--map MAPPING] FILE... > data.txt\n"
    "       traceconv pages FILE... > data.txt\n"
    "  lackey  logs of valgrind --tool=lackey --trace-mem=yes --log-file=LOG PROGRAM\n"
    "  din     'LABEL ADDRESS' lines: label 0 read, 1 write (2, 3, 4 skipped), address in hex\n"
    "  pages   page numbers 0..63 separated by white space or commas; page p becomes\n"
    "          the record '1 A A' with A = p*1024+1\n"
    "Input k becomes process k; the processes take turns of QUANTUM records (default 500)\n"
    "and end with 'k 0 0' when their input is used up or after MAX records.\n"
    "MAPPING: fold (default: the page number's 6-bit groups XORed) or low16 (the low 16 bits).\n"
    "A FILE of - is standard input.\n";

namespace {

bool parse_positive(std::string_view text, uint64_t* value) {
  auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && stop == text.data() + text.size() && !text.empty() && *value > 0;
}

CommandLine refuse(std::string problem) {
  CommandLine refused;
  refused.problem = std::move(problem);
  return refused;
}

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    if (argument == "-h" || argument == "--help") {
      CommandLine help;
      help.action = CommandLine::Action::kShowUsage;
      return help;
    }
  }
  if (argc == 0) return refuse("no format given: lackey, din or pages");
  CommandLine line;
  ConversionOptions& options = line.options;
  const std::string_view format = argv[0];
  if (format == "lackey") {
    options.format = TraceFormat::kLackey;
  } else if (format == "din") {
    options.format = TraceFormat::kDin;
  } else if (format == "pages") {
    options.format = TraceFormat::kPages;
  } else {
    return refuse("unknown format '" + std::string(format) + "': lackey, din or pages");
  }
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (options_ended || argument == "-" || argument.empty() || argument[0] != '-') {
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    // The option's name and its value, joined or in the next argument.
    std::string_view name = argument, value;
    bool joined = false;
    if (argument.starts_with("--")) {
      const size_t equals = argument.find('=');
      if (equals != std::string_view::npos) {
        name = argument.substr(0, equals);
        value = argument.substr(equals + 1);
        joined = true;
      }
    } else if (argument.size() > 2) {
      name = argument.substr(0, 2);
      value = argument.substr(2);
      joined = true;
    }
    if (name != "-q" && name != "-n" && name != "--map") {
      return refuse("unknown option '" + std::string(argument) + "'");
    }
    if (options.format == TraceFormat::kPages) {
      return refuse("pages takes no options: each page is one record of process 1");
    }
    if (!joined) {
      if (i + 1 == argc) return refuse("option " + std::string(name) + " needs a value");
      value = argv[++i];
    }
    if (name == "--map") {
      if (!parse_mapping(value, &options.mapping)) {
        return refuse("unknown mapping '" + std::string(value) + "': fold or low16");
      }
    } else if (!parse_positive(value, name == "-q" ? &options.quantum : &options.max_records)) {
      return refuse(std::string(name == "-q" ? "QUANTUM" : "MAX") +
                    " must be a whole number from 1, not '" + std::string(value) + "'");
    }
  }
  if (options.files.empty()) return refuse("no input files");
  if (std::count(options.files.begin(), options.files.end(), "-") > 1) {
    return refuse("standard input (-) can be read only once");
  }
  line.action = CommandLine::Action::kConvert;
  return line;
}
