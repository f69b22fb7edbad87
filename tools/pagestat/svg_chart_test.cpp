// The chart writer: ticks, labels, escaping, and a document that stands
// alone. (Rendering it is the job of the test with a real renderer.)
#include "tools/pagestat/svg_chart.hpp"

#include <gtest/gtest.h>

namespace {

TEST(SvgChart, TicksAreRoundNumbersCoveringTheRange) {
  const struct {
    double low, high;
    int count;
    std::vector<double> ticks;
  } cases[] = {
      {0, 10, 5, {0, 2, 4, 6, 8, 10}},
      {0, 9.5, 5, {0, 2, 4, 6, 8, 10}},
      {1, 64, 8, {0, 10, 20, 30, 40, 50, 60, 70}},
      {0, 1234567, 6, {0, 500000, 1000000, 1500000}},
      {0, 0.3, 3, {0, 0.1, 0.2, 0.3}},
      {5, 5, 4, {4, 6}},  // one value: a step around it
  };
  for (const auto& c : cases) {
    const std::vector<double> ticks = nice_ticks(c.low, c.high, c.count);
    ASSERT_EQ(ticks.size(), c.ticks.size()) << c.low << ".." << c.high;
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-9) << c.high;
  }
}

TEST(SvgChart, TickLabelsAreShort) {
  const struct {
    double value;
    const char* label;
  } cases[] = {{0, "0"},          {250, "250"}, {9000, "9000"}, {15000, "15k"},
               {1500000, "1.5M"}, {2e6, "2M"},  {0.25, "0.25"}, {3e9, "3G"}};
  for (const auto& c : cases) EXPECT_EQ(tick_label(c.value), c.label) << c.value;
}

TEST(SvgChart, TextIsEscaped) {
  EXPECT_EQ(escape_xml("a<b>&\"c'\x01\xc3"), "a&lt;b&gt;&amp;&quot;c&apos;??");
}

TEST(SvgChart, DocumentStandsAloneWithTitlesLegendAndMarker) {
  LineChart chart{"Faults <by> frames", "frames", "faults", {}, 20, "20 frames"};
  chart.series.push_back({"opt", "#123456", "", {1, 20, 30}, {30, 20, 10}});
  chart.series.push_back({"fifo", "#654321", "3,3", {1, 20, 30}, {30, 25, 26}});
  const std::string svg = svg_document("pagestat: a&b.txt", {chart, chart});
  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "
                      "xmlns=\"http://www.w3.org/2000/svg\" width=\"800\"",
                      0),
            0u);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  for (const char* part :
       {">pagestat: a&amp;b.txt</text>", ">Faults &lt;by&gt; frames</text>", ">opt</text>",
        ">fifo</text>", ">20 frames</text>", "stroke-dasharray=\"3,3\"", ">frames</text>",
        ">faults</text>", "height=\"844\""})
    EXPECT_NE(svg.find(part), std::string::npos) << part;
  for (const char* banned : {"<script", "href", "url(", "<image", "@import"})
    EXPECT_EQ(svg.find(banned), std::string::npos) << banned;
}

}  // namespace

namespace {

ChartSeries series_of(const char* name, std::vector<double> y) {
  ChartSeries series{name, "#000000", "", {}, y};
  for (size_t i = 0; i < y.size(); ++i) series.x.push_back(static_cast<double>(i + 1));
  return series;
}

TEST(SvgChart, SeriesWithinOnePercentAreNamedTogether) {
  LineChart chart;
  chart.series = {series_of("clock", {1000, 500}), series_of("fifo", {1000, 400}),
                  series_of("lru", {1005, 497}), series_of("opt", {0, 0}),
                  series_of("zero", {0, 0})};
  EXPECT_EQ(coinciding_series(chart),
            (std::vector<std::string>{"clock = lru here", "opt = zero here"}));
}

TEST(SvgChart, LogScaleWhenASeriesSpansMoreThanAHundredfold) {
  const struct {
    std::vector<double> y;
    YScale scale;
    bool log;
  } cases[] = {{{1, 100}, YScale::kAuto, false},
               {{0, 1, 101}, YScale::kAuto, true},
               {{0, 0}, YScale::kAuto, false},
               {{5, 6}, YScale::kLog, true},
               {{1, 1e6}, YScale::kLinear, false}};
  for (const auto& c : cases) {
    LineChart chart;
    chart.y_scale = c.scale;
    chart.series = {series_of("a", c.y)};
    EXPECT_EQ(uses_log_y(chart), c.log) << c.y.back();
  }
}

TEST(SvgChart, LongTitlesLoseTheirMiddleToAnEllipsis) {
  EXPECT_EQ(shortened_xml("short & sweet", 20), "short &amp; sweet");
  EXPECT_EQ(shortened_xml("pagestat: /a/very/long/path/trace.txt (9 records)", 21),
            "pagestat: &#8230;9 records)");
  const std::string title(300, 'x');
  const std::string svg = svg_document(title, {});
  EXPECT_NE(svg.find("<title>" + title + "</title>"), std::string::npos);
  EXPECT_EQ(svg.find(">" + title + "</text>"), std::string::npos);
}

}  // namespace
