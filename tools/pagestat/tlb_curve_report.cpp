#include "tools/pagestat/tlb_curve_report.hpp"

#include "tools/pagestat/text_table.hpp"

namespace {

// pagesim's own TLB size.
constexpr int kPagesimTlbEntries = 8;

}  // namespace

std::string tlb_curve_text(const PagestatResults& results) {
  const auto& curve = *results.tlb_curve;
  TextTable table;
  table.add_row(
      {"entries", "mode 0 TLB misses", "mode 0 faults", "mode 1 TLB misses", "mode 1 faults"});
  for (size_t k = 0; k < curve[0].size(); ++k) {
    const int entries = curve[0][k].tlb_entries;
    table.add_row({std::to_string(entries) + (entries == kPagesimTlbEntries ? " <" : ""),
                   std::to_string(curve[0][k].tlb_misses), std::to_string(curve[0][k].page_faults),
                   std::to_string(curve[1][k].tlb_misses),
                   std::to_string(curve[1][k].page_faults)});
  }
  return "TLB curve: pagesim's machine at " + std::to_string(results.frames) +
         (results.frames == 1 ? " frame" : " frames") + " and every TLB size (< marks " +
         std::to_string(kPagesimTlbEntries) + ", " +
         (results.tlb_curve_one_pass ? "one pass per mode" : "a run per size") + ")\n" +
         table.render();
}

std::string tlb_curve_csv(const PagestatResults& results) {
  std::string text = "mode,tlb_entries,frames,tlb_misses,page_faults\n";
  for (size_t mode = 0; mode < 2; ++mode) {
    for (const TlbCurvePoint& point : (*results.tlb_curve)[mode]) {
      text += std::to_string(mode) + "," + std::to_string(point.tlb_entries) + "," +
              std::to_string(results.frames) + "," + std::to_string(point.tlb_misses) + "," +
              std::to_string(point.page_faults) + "\n";
    }
  }
  return text;
}
