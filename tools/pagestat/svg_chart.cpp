#include "tools/pagestat/svg_chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kTitleHeight = 44;
constexpr int kChartHeight = 400;
// The plot area inside each chart.
constexpr int kLeft = 78;
constexpr int kRight = 150;  // the legend's room
constexpr int kTop = 36;
constexpr int kBottom = 56;

std::string number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// Data values to pixels, linearly or by their logarithm; on a log scale,
// values at or below `low` sit at `from`.
struct Scale {
  double low, high;  // data values at the ends
  double from, to;   // pixels at the ends
  bool log = false;
  double operator()(double value) const {
    if (high == low) return from;
    if (log) {
      if (value <= low) return from;
      return from + (std::log10(value) - std::log10(low)) * (to - from) /
                        (std::log10(high) - std::log10(low));
    }
    return from + (value - low) * (to - from) / (high - low);
  }
};

// Powers of ten from low to high, with 2 and 5 times them when the range is
// at most two decades.
std::vector<double> log_ticks(double low, double high) {
  std::vector<double> ticks;
  const bool fine = high / low <= 100.5;
  for (double power = low; power <= high * 1.0001; power *= 10) {
    ticks.push_back(power);
    if (!fine) continue;
    for (const double factor : {2.0, 5.0})
      if (power * factor <= high * 1.0001) ticks.push_back(power * factor);
  }
  return ticks;
}

std::string marker_svg(Marker marker, double x, double y, const std::string& color) {
  const std::string c = escape_xml(color);
  const std::string fill = "\" fill=\"" + c + "\" stroke=\"white\" stroke-width=\"0.8\"/>\n";
  switch (marker) {
    case Marker::kNone:
      return "";
    case Marker::kCircle:
      return "<circle cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"3.6" + fill;
    case Marker::kSquare:
      return "<rect x=\"" + number(x - 3.3) + "\" y=\"" + number(y - 3.3) +
             "\" width=\"6.6\" height=\"6.6" + fill;
    case Marker::kTriangle:
      return "<polygon points=\"" + number(x) + "," + number(y - 4.5) + " " + number(x - 4.2) +
             "," + number(y + 3) + " " + number(x + 4.2) + "," + number(y + 3) + fill;
    case Marker::kDiamond:
      return "<polygon points=\"" + number(x) + "," + number(y - 4.6) + " " + number(x + 4.2) +
             "," + number(y) + " " + number(x) + "," + number(y + 4.6) + " " + number(x - 4.2) +
             "," + number(y) + fill;
    case Marker::kCross:
      break;
  }
  return "<path d=\"M" + number(x - 3.5) + "," + number(y - 3.5) + "L" + number(x + 3.5) + "," +
         number(y + 3.5) + "M" + number(x - 3.5) + "," + number(y + 3.5) + "L" + number(x + 3.5) +
         "," + number(y - 3.5) + "\" stroke=\"" + c + "\" stroke-width=\"2\"/>\n";
}

// Words of `text` in lines of at most `width` characters.
std::vector<std::string> wrapped(const std::string& text, size_t width) {
  std::vector<std::string> lines(1);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width)
      lines.emplace_back();
    lines.back() += (lines.back().empty() ? "" : " ") + word;
    start = end + 1;
  }
  return lines;
}

std::string chart_body(const LineChart& chart, int width) {
  double x_low = INFINITY, x_high = -INFINITY, y_high = 0, y_low_positive = INFINITY;
  for (const ChartSeries& series : chart.series) {
    for (const double x : series.x) x_low = std::min(x_low, x), x_high = std::max(x_high, x);
    for (const double y : series.y) {
      y_high = std::max(y_high, y);
      if (y > 0) y_low_positive = std::min(y_low_positive, y);
    }
  }
  if (x_low > x_high) x_low = 0, x_high = 1;
  if (y_high <= 0) y_high = 1;
  const bool log = uses_log_y(chart);
  const std::vector<double> x_ticks = nice_ticks(x_low, x_high, 8);
  std::vector<double> y_ticks;
  if (log) {
    const double low = std::pow(10.0, std::floor(std::log10(y_low_positive)));
    const double high = std::pow(10.0, std::ceil(std::log10(y_high) - 1e-9));
    y_ticks = log_ticks(low, std::max(high, low * 10));
  } else {
    y_ticks = nice_ticks(0, y_high, 6);
  }
  const double plot_right = width - kRight;
  const double plot_bottom = kChartHeight - kBottom;
  const Scale sx{x_low, x_high, kLeft, plot_right};
  const Scale sy{y_ticks.front(), y_ticks.back(), plot_bottom, kTop, log};

  std::string svg;
  svg += "<text x=\"" + number((kLeft + plot_right) / 2) + "\" y=\"22\" text-anchor=\"middle\" " +
         "font-size=\"14\" font-weight=\"bold\">" + shortened_xml(chart.title, 84) + "</text>\n";
  // Grid lines and tick labels.
  for (const double tick : y_ticks) {
    const std::string y = number(sy(tick));
    svg += "<line x1=\"" + number(kLeft) + "\" y1=\"" + y + "\" x2=\"" + number(plot_right) +
           "\" y2=\"" + y + "\" stroke=\"#dddddd\"/>\n";
    svg += "<text x=\"" + number(kLeft - 6) + "\" y=\"" + y +
           "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + tick_label(tick) + "</text>\n";
  }
  for (const double tick : x_ticks) {
    if (tick < x_low || tick > x_high) continue;
    const std::string x = number(sx(tick));
    svg += "<line x1=\"" + x + "\" y1=\"" + number(plot_bottom) + "\" x2=\"" + x + "\" y2=\"" +
           number(plot_bottom + 5) + "\" stroke=\"black\"/>\n";
    svg += "<text x=\"" + x + "\" y=\"" + number(plot_bottom + 19) + "\" text-anchor=\"middle\">" +
           tick_label(tick) + "</text>\n";
  }
  // Axes and their labels.
  svg += "<polyline points=\"" + number(kLeft) + "," + number(kTop) + " " + number(kLeft) + "," +
         number(plot_bottom) + " " + number(plot_right) + "," + number(plot_bottom) +
         "\" fill=\"none\" stroke=\"black\"/>\n";
  svg += "<text x=\"" + number((kLeft + plot_right) / 2) + "\" y=\"" + number(plot_bottom + 42) +
         "\" text-anchor=\"middle\">" + escape_xml(chart.x_label) + "</text>\n";
  const std::string y_label = chart.y_label + (log ? " (log scale, 0 on the axis)" : "");
  svg += "<text transform=\"translate(16," + number((kTop + plot_bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" + escape_xml(y_label) + "</text>\n";
  if (chart.marker_x && *chart.marker_x >= x_low && *chart.marker_x <= x_high) {
    const double mx = sx(*chart.marker_x);
    const std::string x = number(mx);
    svg += "<line x1=\"" + x + "\" y1=\"" + number(kTop) + "\" x2=\"" + x + "\" y2=\"" +
           number(plot_bottom) + "\" stroke=\"#555555\" stroke-dasharray=\"2,3\"/>\n";
    // The label on the side of the line where it stays inside the plot,
    // clear of the legend.
    const double label_width = 7.0 * static_cast<double>(chart.marker_label.size());
    const bool left = mx + 4 + label_width > plot_right;
    svg += "<text x=\"" + number(left ? mx - 4 : mx + 4) + "\" y=\"" + number(kTop + 12) +
           "\" fill=\"#333333\"" + (left ? " text-anchor=\"end\"" : "") + ">" +
           escape_xml(chart.marker_label) + "</text>\n";
  }
  // The lines with their markers, each series' markers at points of its
  // own so that markers of coinciding lines sit side by side.
  const size_t count = chart.series.size();
  for (size_t s = 0; s < count; ++s) {
    const ChartSeries& series = chart.series[s];
    const size_t points_in = std::min(series.x.size(), series.y.size());
    std::string points;
    for (size_t i = 0; i < points_in; ++i) {
      if (!points.empty()) points += ' ';
      points += number(sx(series.x[i])) + "," + number(sy(series.y[i]));
    }
    svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" +
           escape_xml(series.color) + "\" stroke-width=\"1.8\"" +
           (series.dash.empty() ? "" : " stroke-dasharray=\"" + escape_xml(series.dash) + "\"") +
           "/>\n";
    const size_t stride = std::max<size_t>(1, points_in / 12);
    for (size_t i = stride * s / std::max<size_t>(1, count); i < points_in; i += stride)
      svg += marker_svg(series.marker, sx(series.x[i]), sy(series.y[i]), series.color);
  }
  double legend_y = kTop + 8;
  for (const ChartSeries& series : chart.series) {
    const std::string y = number(legend_y);
    svg += "<line x1=\"" + number(plot_right + 12) + "\" y1=\"" + y + "\" x2=\"" +
           number(plot_right + 44) + "\" y2=\"" + y + "\" stroke=\"" + escape_xml(series.color) +
           "\" stroke-width=\"2.5\"" +
           (series.dash.empty() ? "" : " stroke-dasharray=\"" + escape_xml(series.dash) + "\"") +
           "/>\n";
    svg += marker_svg(series.marker, plot_right + 28, legend_y, series.color);
    svg += "<text x=\"" + number(plot_right + 50) + "\" y=\"" + y +
           "\" dominant-baseline=\"middle\">" + escape_xml(series.name) + "</text>\n";
    legend_y += 20;
  }
  for (const std::string& note : coinciding_series(chart)) {
    legend_y += 4;
    for (const std::string& line : wrapped(note, 22)) {
      svg += "<text x=\"" + number(plot_right + 12) + "\" y=\"" + number(legend_y) +
             "\" font-size=\"11\" dominant-baseline=\"middle\">" + escape_xml(line) + "</text>\n";
      legend_y += 14;
    }
  }
  return svg;
}

}  // namespace

bool uses_log_y(const LineChart& chart) {
  if (chart.y_scale != YScale::kAuto) return chart.y_scale == YScale::kLog;
  for (const ChartSeries& series : chart.series) {
    double low = INFINITY, high = 0;
    for (const double y : series.y) {
      if (y > 0) low = std::min(low, y);
      high = std::max(high, y);
    }
    if (low < INFINITY && high > 100 * low) return true;
  }
  return false;
}

std::vector<std::string> coinciding_series(const LineChart& chart) {
  const auto close = [](const ChartSeries& a, const ChartSeries& b) {
    if (a.y.size() != b.y.size() || a.y.empty()) return false;
    for (size_t i = 0; i < a.y.size(); ++i) {
      if (std::fabs(a.y[i] - b.y[i]) > 0.01 * std::max(std::fabs(a.y[i]), std::fabs(b.y[i])))
        return false;
    }
    return true;
  };
  std::vector<std::string> notes;
  std::vector<bool> named(chart.series.size(), false);
  for (size_t a = 0; a < chart.series.size(); ++a) {
    if (named[a]) continue;
    std::string note = chart.series[a].name;
    for (size_t b = a + 1; b < chart.series.size(); ++b) {
      if (named[b] || !close(chart.series[a], chart.series[b])) continue;
      named[b] = true;
      note += " = " + chart.series[b].name;
    }
    if (note != chart.series[a].name) notes.push_back(note + " here");
  }
  return notes;
}

std::string shortened_xml(std::string_view text, size_t max_chars) {
  if (text.size() <= max_chars) return escape_xml(text);
  const size_t head = (max_chars - 1) / 2, tail = max_chars - 1 - head;
  return escape_xml(text.substr(0, head)) + "&#8230;" + escape_xml(text.substr(text.size() - tail));
}

std::vector<double> nice_ticks(double low, double high, int count) {
  const double span = high > low ? high - low : std::max(1.0, std::fabs(high));
  const double rough = span / std::max(1, count);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= rough) break;
  }
  std::vector<double> ticks;
  const double first = std::floor(low / step) * step;
  for (double tick = first;; tick += step) {
    ticks.push_back(std::fabs(tick) < step / 1e6 ? 0 : tick);
    if (tick >= high - step / 1e6) break;
  }
  if (ticks.size() == 1) ticks.push_back(first + step);
  return ticks;
}

std::string tick_label(double value) {
  const double size = std::fabs(value);
  const char* suffix = "";
  double shown = value;
  if (size >= 1e9) {
    shown = value / 1e9, suffix = "G";
  } else if (size >= 1e6) {
    shown = value / 1e6, suffix = "M";
  } else if (size >= 1e4) {
    shown = value / 1e3, suffix = "k";
  }
  char text[32];
  if (std::fabs(shown - std::round(shown)) < 1e-9)
    snprintf(text, sizeof text, "%.0f%s", shown, suffix);
  else
    snprintf(text, sizeof text, "%.3g%s", shown, suffix);
  return text;
}

std::string escape_xml(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        // Control characters are not allowed in XML text, and a byte above
        // ASCII may not be valid UTF-8.
        const auto byte = static_cast<unsigned char>(c);
        escaped += byte < 0x20 || byte > 0x7e ? '?' : c;
    }
  }
  return escaped;
}

std::string svg_document(std::string_view title, const std::vector<LineChart>& charts, int width) {
  const int height = kTitleHeight + kChartHeight * static_cast<int>(charts.size());
  const std::string w = std::to_string(width), h = std::to_string(height);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
         "\" viewBox=\"0 0 " + w + " " + h +
         "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\" font-size=\"12\">\n";
  svg += "<title>" + escape_xml(title) + "</title>\n";
  svg += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"white\"/>\n";
  // About 10 pixels a character of the title's size.
  svg += "<text x=\"" + std::to_string(width / 2) +
         "\" y=\"28\" text-anchor=\"middle\" font-size=\"17\" font-weight=\"bold\">" +
         shortened_xml(title, static_cast<size_t>(std::max(20, width / 10 - 4))) + "</text>\n";
  for (size_t c = 0; c < charts.size(); ++c) {
    svg += "<g transform=\"translate(0," + std::to_string(kTitleHeight + kChartHeight * c) +
           ")\">\n" + chart_body(charts[c], width) + "</g>\n";
  }
  return svg + "</svg>\n";
}
