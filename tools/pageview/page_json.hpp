// The page's data as one compact JSON text: the tables before the window in
// full, then per record only what it changed, the lines pagesim logged being
// rebuilt in the page from what each reference did.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/pageview/page_data.hpp"
#include "tools/pageview/their_lines.hpp"

/// What the page shows besides the run.
struct PageText {
  std::string trace_name;
  std::string heading;  ///< shown at the top; empty: none
  int64_t open_record =
      0;  ///< the record the page opens at; 0: the first difference, else the first
};

/// `text` in JSON's quotes, with <, > and & escaped too, so that it can sit
/// inside a script element.
std::string json_string(std::string_view text);

/// pagesim's log lines of `step`, as formatted from its references.
std::string event_lines_of(const RecordStep& step);

/// The JSON text of the page. `theirs` may be null.
std::string page_json(const PageData& data, const TheirLines* theirs, const PageText& text);
