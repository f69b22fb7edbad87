#include "tools/pagediff/command_line.hpp"

#include <string_view>
#include <vector>

namespace {

// Takes the value of -m or -t, attached ("-m1") or as the next argument.
bool option_value(int argc, const char* const* argv, int& i, std::string& value,
                  std::string& error) {
  const std::string_view argument = argv[i];
  if (argument.size() > 2) {
    value = argument.substr(2);
    return true;
  }
  if (i + 1 == argc) {
    error = std::string(argument) + " needs a value";
    return false;
  }
  value = argv[++i];
  return true;
}

}  // namespace

bool parse_command_line(int argc, const char* const* argv, Options& options, std::string& error) {
  std::vector<std::string> files;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      files.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
    } else if (argument == "-h" || argument == "--help") {
      options.help = true;
      return true;
    } else if (argument == "--all") {
      options.all = true;
    } else if (argument == "--html" || argument.substr(0, 7) == "--html=") {
      if (argument.size() > 6) {
        options.html = argument.substr(7);
      } else if (i + 1 < argc) {
        options.html = argv[++i];
      }
      // Standard output holds the report: the page goes to a file of its own.
      if (options.html.empty() || options.html == "-") {
        error = "--html needs a file name for the page";
        return false;
      }
    } else if (argument.substr(0, 2) == "-m") {
      std::string mode;
      if (!option_value(argc, argv, i, mode, error)) return false;
      // Only the two modes pagesim runs: a typo must not silently mean 0.
      if (mode != "0" && mode != "1") {
        error = "bad mode \"" + mode + "\": use 0 (second chance) or 1 (clean first)";
        return false;
      }
      options.mode = mode[0] - '0';
    } else if (argument.substr(0, 2) == "-t") {
      if (!option_value(argc, argv, i, options.trace, error)) return false;
    } else {
      error = "unknown option " + std::string(argument) + "; " +
              std::string(kUsage).substr(0, std::string(kUsage).size() - 1);
      return false;
    }
  }
  if (files.empty() || files.size() > 2) {
    error = std::string(files.empty() ? "THEIR_LOG is missing" : "too many files") + "; " +
            std::string(kUsage).substr(0, std::string(kUsage).size() - 1);
    return false;
  }
  options.their_log = files[0];
  if (files.size() == 2) options.their_stdout = files[1];
  return true;
}
