// Line charts as one standalone SVG document: no script, no external
// resource, text in a common sans-serif face, axes with ticks and labels,
// and a legend beside each chart.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ChartSeries {
  std::string name;
  std::string color;  ///< any SVG colour, e.g. "#1f77b4"
  std::string dash;   ///< stroke-dasharray, empty for a solid line
  std::vector<double> x;
  std::vector<double> y;  ///< as many as x
};

struct LineChart {
  std::string title;
  std::string x_label;
  std::string y_label;
  std::vector<ChartSeries> series;
  std::optional<double> marker_x;  ///< a vertical line at this x
  std::string marker_label;
};

/// The document: `title` on top, then the charts one below the other,
/// `width` pixels wide.
std::string svg_document(std::string_view title, const std::vector<LineChart>& charts,
                         int width = 800);

/// Tick values at 1, 2 or 5 times a power of ten, from at or below `low` to
/// at or above `high`, about `count` of them. REQUIRES: low <= high.
std::vector<double> nice_ticks(double low, double high, int count);
/// A tick's text: "0", "250", "1.5k", "2M".
std::string tick_label(double value);
/// `text` with &, <, > and quotes as XML entities.
std::string escape_xml(std::string_view text);
