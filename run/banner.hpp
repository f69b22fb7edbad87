// The ten lines pagesim prints on standard error at every start.
#pragma once

#include <string_view>

/// The banner, each of its kBannerLines lines ending in a line feed.
inline constexpr std::string_view kBanner =
    "This works slightly differently from the spec because\n"
    "it allows you to display extensive debugging info\n"
    "With no arguments, it works just like your program\n"
    "If the first arg is 0, it works just like your\n"
    "program with no arguments.  If the first argument is\n"
    "1, it will work like your program with one argument.\n"
    "If there is a second argument,  and it is a number, it\n"
    "will treat it as a breakpoint and start displaying\n"
    "extensive information about the status at each\n"
    "subsequent line\n";
inline constexpr int kBannerLines = 10;
