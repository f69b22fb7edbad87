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
  chart.series.push_back({"opt", "#123456", "", {1, 2, 3}, {30, 20, 10}});
  chart.series.push_back({"fifo", "#654321", "3,3", {1, 2, 3}, {30, 25, 26}});
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
