#include "tools/pagestat/command_line.hpp"

#include <string_view>

#include "policies/frame_table.hpp"
#include "tools/decimal_argument.hpp"

const char* usage_text() {
  return "usage: pagestat [-f FRAMES] [-i INTERVAL] [--curve] [--frames-max N] [--tlb-curve]\n"
         "                [--csv] [--svg FILE] [--memory-max SIZE] [TRACE]\n"
         "  TRACE        the trace, read as pagesim reads data.txt (default data.txt)\n"
         "  -f FRAMES    frames of the what-if policies, 1 to 65536 (default 20)\n"
         "  -i INTERVAL  records per interval (default: the records divided by 100)\n"
         "  --curve      the what-if faults from 1 frame to the trace's pages: every count\n"
         "               to 64, then at least 8 per doubling\n"
         "  --frames-max N  the curve's last frame count at most N\n"
         "  --tlb-curve  pagesim's TLB misses and page faults at FRAMES frames for every\n"
         "               TLB size from 1 to 64, both modes (with --csv, that table alone)\n"
         "  --csv        the what-if table (and the curve) as CSV, nothing else\n"
         "  --svg FILE   write the charts to FILE as SVG\n"
         "  --memory-max SIZE  memory for the trace, such as 512M or 4G (default 1G, at\n"
         "               least 256K); the rest goes to a temporary file in $TMPDIR or /tmp\n"
         "  -h           this text\n";
}

bool parse_size(std::string_view text, uint64_t* bytes) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  int64_t number = 0;
  if (!parse_count(text.substr(0, digits), 0, int64_t{1} << 50, &number)) return false;
  std::string_view unit = text.substr(digits);
  int shift = 0;
  if (!unit.empty()) {
    constexpr std::string_view kPrefixes = "KMGT";
    const char upper = unit[0] >= 'a' && unit[0] <= 'z' ? static_cast<char>(unit[0] - 32) : unit[0];
    const size_t prefix = kPrefixes.find(upper);
    if (prefix != std::string_view::npos) {
      shift = 10 * static_cast<int>(prefix + 1);
      unit.remove_prefix(1);
      if (unit == "iB" || unit == "ib") unit = {};
    }
  }
  if (!unit.empty() && unit != "B" && unit != "b") return false;
  if (number > (int64_t{1} << 50) >> shift) return false;
  *bytes = static_cast<uint64_t>(number) << shift;
  return true;
}

bool parse_command_line(int argc, const char* const* argv, PagestatOptions* options,
                        std::string* error) {
  bool trace_given = false, options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    // An option's value: the rest of the word ("-f20", "--svg=x") or the next word.
    const auto value_of = [&](std::string_view option, std::string_view* value) {
      if (word.size() > option.size()) {
        *value = word.substr(option.size() + (word[option.size()] == '=' ? 1 : 0));
        return true;
      }
      if (i + 1 == argc) {
        *error = std::string(option) + " needs a value";
        return false;
      }
      *value = argv[++i];
      return true;
    };
    std::string_view value;
    int64_t number = 0;
    if (options_ended || word.empty() || word[0] != '-' || word == "-") {
      if (trace_given) {
        *error = "one trace only: \"" + std::string(word) + "\" is one too many";
        return false;
      }
      options->trace_path = word;
      trace_given = true;
    } else if (word == "--") {
      options_ended = true;
    } else if (word == "-h" || word == "--help") {
      options->help = true;
    } else if (word == "--curve") {
      options->curve = true;
    } else if (word == "--tlb-curve") {
      options->tlb_curve = true;
    } else if (word == "--csv") {
      options->csv = true;
    } else if (word.starts_with("--svg") && (word.size() == 5 || word[5] == '=')) {
      if (!value_of("--svg", &value)) return false;
      if (value.empty()) {
        *error = "--svg needs a file name";
        return false;
      }
      options->svg_path = value;
    } else if (word.starts_with("--frames-max") && (word.size() == 12 || word[12] == '=')) {
      if (!value_of("--frames-max", &value)) return false;
      if (!parse_count(value, 1, kMaxFrames, &number)) {
        *error = "--frames-max takes a number of frames from 1 to 65536, not \"" +
                 std::string(value) + "\"";
        return false;
      }
      options->frames_max = static_cast<int>(number);
    } else if (word.starts_with("--memory-max") && (word.size() == 12 || word[12] == '=')) {
      if (!value_of("--memory-max", &value)) return false;
      uint64_t bytes = 0;
      if (!parse_size(value, &bytes) || bytes < kMinMemoryBudget) {
        *error = "--memory-max takes a size of at least 256K, such as 512M or 4G, not \"" +
                 std::string(value) + "\"";
        return false;
      }
      options->memory_max = bytes;
    } else if (word.starts_with("-f") && !word.starts_with("--")) {
      if (!value_of("-f", &value)) return false;
      if (!parse_count(value, 1, kMaxFrames, &number)) {
        *error = "-f takes a number of frames from 1 to 65536, not \"" + std::string(value) + "\"";
        return false;
      }
      options->frames = static_cast<int>(number);
    } else if (word.starts_with("-i") && !word.starts_with("--")) {
      if (!value_of("-i", &value)) return false;
      if (!parse_count(value, 1, INT64_MAX / 4, &number)) {
        *error = "-i takes a number of records of at least 1, not \"" + std::string(value) + "\"";
        return false;
      }
      options->interval = number;
    } else {
      *error = "unknown option " + std::string(word) + " (pagestat -h shows the usage)";
      return false;
    }
  }
  if (options->tlb_curve && options->csv && options->curve) {
    *error = "--csv prints one table: --curve or --tlb-curve, not both";
    return false;
  }
  if (options->tlb_curve && options->csv && options->curve) {
    *error = "--csv prints one table: --curve or --tlb-curve, not both";
    return false;
  }
  return true;
}
