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

struct Scale {
  double low, high;  // data values at the ends
  double from, to;   // pixels at the ends
  double operator()(double value) const {
    if (high == low) return from;
    return from + (value - low) * (to - from) / (high - low);
  }
};

std::string chart_body(const LineChart& chart, int width) {
  double x_low = INFINITY, x_high = -INFINITY, y_high = 0;
  for (const ChartSeries& series : chart.series) {
    for (const double x : series.x) x_low = std::min(x_low, x), x_high = std::max(x_high, x);
    for (const double y : series.y) y_high = std::max(y_high, y);
  }
  if (x_low > x_high) x_low = 0, x_high = 1;
  if (y_high <= 0) y_high = 1;
  const std::vector<double> x_ticks = nice_ticks(x_low, x_high, 8);
  const std::vector<double> y_ticks = nice_ticks(0, y_high, 6);
  const double plot_right = width - kRight;
  const double plot_bottom = kChartHeight - kBottom;
  const Scale sx{x_low, x_high, kLeft, plot_right};
  const Scale sy{0, y_ticks.back(), plot_bottom, kTop};

  std::string svg;
  svg += "<text x=\"" + number((kLeft + plot_right) / 2) + "\" y=\"22\" text-anchor=\"middle\" " +
         "font-size=\"14\" font-weight=\"bold\">" + escape_xml(chart.title) + "</text>\n";
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
  svg += "<text transform=\"translate(16," + number((kTop + plot_bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" + escape_xml(chart.y_label) + "</text>\n";
  if (chart.marker_x) {
    const std::string x = number(sx(*chart.marker_x));
    svg += "<line x1=\"" + x + "\" y1=\"" + number(kTop) + "\" x2=\"" + x + "\" y2=\"" +
           number(plot_bottom) + "\" stroke=\"#555555\" stroke-dasharray=\"2,3\"/>\n";
    svg += "<text x=\"" + number(sx(*chart.marker_x) + 4) + "\" y=\"" + number(kTop + 12) +
           "\" fill=\"#555555\">" + escape_xml(chart.marker_label) + "</text>\n";
  }
  // The lines, then the legend.
  for (const ChartSeries& series : chart.series) {
    std::string points;
    for (size_t i = 0; i < series.x.size() && i < series.y.size(); ++i) {
      if (!points.empty()) points += ' ';
      points += number(sx(series.x[i])) + "," + number(sy(series.y[i]));
    }
    svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" +
           escape_xml(series.color) + "\" stroke-width=\"1.8\"" +
           (series.dash.empty() ? "" : " stroke-dasharray=\"" + escape_xml(series.dash) + "\"") +
           "/>\n";
  }
  double legend_y = kTop + 8;
  for (const ChartSeries& series : chart.series) {
    const std::string y = number(legend_y);
    svg += "<line x1=\"" + number(plot_right + 14) + "\" y1=\"" + y + "\" x2=\"" +
           number(plot_right + 40) + "\" y2=\"" + y + "\" stroke=\"" + escape_xml(series.color) +
           "\" stroke-width=\"2.5\"" +
           (series.dash.empty() ? "" : " stroke-dasharray=\"" + escape_xml(series.dash) + "\"") +
           "/>\n";
    svg += "<text x=\"" + number(plot_right + 46) + "\" y=\"" + y +
           "\" dominant-baseline=\"middle\">" + escape_xml(series.name) + "</text>\n";
    legend_y += 20;
  }
  return svg;
}

}  // namespace

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
  svg += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"white\"/>\n";
  svg += "<text x=\"" + std::to_string(width / 2) +
         "\" y=\"28\" text-anchor=\"middle\" font-size=\"17\" font-weight=\"bold\">" +
         escape_xml(title) + "</text>\n";
  for (size_t c = 0; c < charts.size(); ++c) {
    svg += "<g transform=\"translate(0," + std::to_string(kTitleHeight + kChartHeight * c) +
           ")\">\n" + chart_body(charts[c], width) + "</g>\n";
  }
  return svg + "</svg>\n";
}
