#include "variants/text.hpp"

#include <string_view>

#include "io/output_buffer.hpp"

namespace variants {

namespace {

// Builds one line in a fixed buffer with pagesim's "%d" formatting, then
// appends it: a line costs no allocation once the string has grown.
class Line {
 public:
  Line& text(std::string_view part) {
    end_ = append_text(end_, part);
    return *this;
  }
  Line& number(int64_t value) {
    end_ = append_int(end_, value);
    return *this;
  }
  void append_to(std::string& out) const {
    out.append(buffer_, static_cast<size_t>(end_ - buffer_));
  }

 private:
  char buffer_[kMaxLineLength];
  char* end_ = buffer_;
};

}  // namespace

void TextSink::on_event(const Event& event) {
  switch (event.kind) {
    case EventKind::kTlbLoad:
      Line()
          .text("TLB: line ")
          .number(event.record)
          .text(" Entry ")
          .number(event.entry)
          .text(" proc ")
          .number(event.proc)
          .text(" LP ")
          .number(event.page)
          .text(" PP ")
          .number(event.frame)
          .text("\n")
          .append_to(event_log);
      break;
    case EventKind::kPageFault:
      Line()
          .text("Page Fault: line ")
          .number(event.record)
          .text(" proc ")
          .number(event.proc)
          .text(" LP ")
          .number(event.page)
          .text(" PP ")
          .number(event.frame)
          .text("\n")
          .append_to(event_log);
      break;
    case EventKind::kBadPage:
      console += "Error, bad frame number\n";
      break;
    case EventKind::kInconsistent:
      Line()
          .text("Error, inconsistent data at line ")
          .number(event.record)
          .text("\nTLB entry ")
          .number(event.entry)
          .text(" PP ")
          .number(event.frame)
          .text(" LA ")
          .number(event.page)
          .text(", but page ")
          .number(event.frame)
          .text(" has LA ")
          .number(event.old_page)
          .text("\n")
          .append_to(errors);
      break;
    default:
      break;  // the other steps print nothing
  }
}

std::string totals_text(const MachineState& state) {
  std::string text;
  Line().number(state.steps).text(" steps were executed\n").append_to(text);
  Line().text("There were ").number(state.tlb_misses).text(" TLB misses\n").append_to(text);
  Line().text("There were ").number(state.page_faults).text(" page faults\n").append_to(text);
  Line()
      .text("There were ")
      .number(state.dirty_writes)
      .text(" dirty pages written to disk\n")
      .append_to(text);
  return text;
}

}  // namespace variants
