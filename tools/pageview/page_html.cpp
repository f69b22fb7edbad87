#include "tools/pageview/page_html.hpp"

#include "tools/pageview/page_assets.hpp"

std::string page_html(const std::string& json) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      // Nothing may come from outside the file.
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; script-src 'unsafe-inline'; img-src data:\">\n"
      "<title>pageview</title>\n<style>\n";
  page += kPageStyle;
  page += "</style>\n</head>\n<body>\n";
  page += kPageBody;
  page += "<script type=\"application/json\" id=\"pageview-data\">";
  page += json;
  page += "</script>\n<script>\n";
  page += kPageScript;
  page += "</script>\n</body>\n</html>\n";
  return page;
}
