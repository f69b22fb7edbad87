// The one self-contained HTML file: style, markup, data and script inline.
#pragma once

#include <string>

/// The whole page around `json`, the text page_json() made.
std::string page_html(const std::string& json);
