#include "tools/pageview/command_line.hpp"

#include <string_view>

#include "tools/decimal_argument.hpp"

const char* pageview_usage() {
  return "usage: pageview [-m MODE] [-t TRACE] [--from R] [--count N] [--theirs LOG] [-o FILE]\n"
         "  -m MODE       pagesim's mode: 0 second chance (default), 1 clean first\n"
         "  -t TRACE      the trace, read as pagesim reads data.txt (default data.txt)\n"
         "  --from R      the first record shown (default 1)\n"
         "  --count N     records shown, at most 5000 (default 200)\n"
         "  --theirs LOG  your simulator's out.txt, shown beside pagesim's lines\n"
         "  -o FILE       the page to write (default pageview.html; - for standard output)\n"
         "  -h, --help    this text\n";
}

bool parse_pageview_command_line(int argc, const char* const* argv, PageviewRequest& request,
                                 bool& help, std::string& error) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    // An option's value: the rest of the word ("-m1", "--from=5") or the next word.
    const auto value_of = [&](std::string_view option, std::string_view& value) {
      if (word.size() > option.size()) {
        value = word.substr(option.size() + (word[option.size()] == '=' ? 1 : 0));
        return true;
      }
      if (i + 1 == argc) {
        error = std::string(option) + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    const auto is_option = [&](std::string_view option) {
      return word.starts_with(option) && (word.size() == option.size() ||
                                          !option.starts_with("--") || word[option.size()] == '=');
    };
    std::string_view value;
    int64_t number = 0;
    if (word == "-h" || word == "--help") {
      help = true;
      return true;
    } else if (is_option("--from")) {
      if (!value_of("--from", value)) return false;
      if (!parse_count(value, 1, INT64_MAX / 4, &number)) {
        error = "--from takes a record number of at least 1, not \"" + std::string(value) + "\"";
        return false;
      }
      request.first_record = number;
    } else if (is_option("--count")) {
      if (!value_of("--count", value)) return false;
      if (!parse_count(value, 1, INT64_MAX / 4, &number)) {
        error =
            "--count takes a number of records of at least 1, not \"" + std::string(value) + "\"";
        return false;
      }
      if (number > kMaxPageRecords) {
        error = "--count " + std::string(value) + " is too many: a page covers at most " +
                std::to_string(kMaxPageRecords) + " records (use --from to move the window)";
        return false;
      }
      request.count = number;
    } else if (is_option("--theirs")) {
      if (!value_of("--theirs", value)) return false;
      if (value.empty()) {
        error = "--theirs needs a file name";
        return false;
      }
      request.their_log = value;
    } else if (is_option("-m")) {
      if (!value_of("-m", value)) return false;
      // Only the two modes pagesim runs: a typo must not silently mean 0.
      if (value != "0" && value != "1") {
        error = "bad mode \"" + std::string(value) + "\": use 0 (second chance) or 1 (clean first)";
        return false;
      }
      request.mode = value[0] - '0';
    } else if (is_option("-t")) {
      if (!value_of("-t", value)) return false;
      request.trace_path = value;
    } else if (is_option("-o")) {
      if (!value_of("-o", value)) return false;
      request.output_path = value;
    } else {
      error = "unexpected argument \"" + std::string(word) + "\" (pageview -h shows the usage)";
      return false;
    }
  }
  return true;
}
