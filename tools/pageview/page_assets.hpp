// The page's style sheet, markup and script, built into the program from
// page_style.css, page_body.html and page_script.js.
#pragma once

extern const char* const kPageStyle;
extern const char* const kPageBody;
extern const char* const kPageScript;
