// Line charts as one standalone SVG document: no script, no external
// resource, text in a common sans-serif face, axes with ticks and labels,
// and a legend beside each chart. Lines that lie on one another stay
// visible: each has its dashes and its marker shape, and the legend names
// the series that stay within 1% of each other.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The shape drawn on a series' points and beside its name.
enum class Marker { kNone, kCircle, kSquare, kTriangle, kDiamond, kCross };

/// How the y axis is scaled: linear, logarithmic, or logarithmic when some
/// series spans more than 100 times its smallest positive value.
enum class YScale { kAuto, kLinear, kLog };

struct ChartSeries {
  std::string name;
  std::string color;  ///< any SVG colour, e.g. "#1f77b4"
  std::string dash;   ///< stroke-dasharray, empty for a solid line
  std::vector<double> x;
  std::vector<double> y;  ///< as many as x
  Marker marker = Marker::kNone;
};

struct LineChart {
  std::string title;
  std::string x_label;
  std::string y_label;
  std::vector<ChartSeries> series;
  std::optional<double> marker_x;  ///< a vertical line at this x
  std::string marker_label;
  YScale y_scale = YScale::kAuto;
};

/// The document: `title` on top (shortened in the middle with an ellipsis
/// when it does not fit, whole in the document's <title>), then the charts
/// one below the other, `width` pixels wide.
std::string svg_document(std::string_view title, const std::vector<LineChart>& charts,
                         int width = 800);

/// Tick values at 1, 2 or 5 times a power of ten, from at or below `low` to
/// at or above `high`, about `count` of them. REQUIRES: low <= high.
std::vector<double> nice_ticks(double low, double high, int count);
/// A tick's text: "0", "250", "1.5k", "2M".
std::string tick_label(double value);
/// Whether the chart's y axis is logarithmic.
bool uses_log_y(const LineChart& chart);
/// "clock = lru here" for every pair of series that stay within 1% of each
/// other at every point, the later series of a pair not named again.
std::vector<std::string> coinciding_series(const LineChart& chart);
/// At most `max_chars` characters of `text`, the middle taken out for an
/// ellipsis; XML-escaped.
std::string shortened_xml(std::string_view text, size_t max_chars);
/// `text` with &, <, > and quotes as XML entities.
std::string escape_xml(std::string_view text);
