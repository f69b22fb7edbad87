#include "tools/pagestat/command_line.hpp"

#include <string_view>

#include "policies/frame_table.hpp"
#include "tools/decimal_argument.hpp"

const char* usage_text() {
  return "usage: pagestat [-f FRAMES] [-i INTERVAL] [--curve] [--frames-max N] [--tlb-curve]\n"
         "                [--csv] [--svg FILE] [TRACE]\n"
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
         "  -h           this text\n";
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
