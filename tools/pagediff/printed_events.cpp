#include "tools/pagediff/printed_events.hpp"

#include "variants/text.hpp"

bool PrintedEvents::same_log(const PrintedEvents& other) const {
  if (log.size() != other.log.size()) return false;
  for (size_t i = 0; i < log.size(); ++i) {
    const variants::Event& a = log[i];
    const variants::Event& b = other.log[i];
    // The fields the lines print.
    if (a.kind != b.kind || a.record != b.record || a.proc != b.proc || a.page != b.page ||
        a.frame != b.frame || (a.kind == variants::EventKind::kTlbLoad && a.entry != b.entry))
      return false;
  }
  return true;
}

std::string PrintedEvents::log_text() const {
  variants::TextSink text;
  for (const variants::Event& event : log) text.on_event(event);
  return std::move(text.event_log);
}

std::string PrintedEvents::console_text() const {
  std::string text;
  for (int i = 0; i < messages; ++i) text += "Error, bad frame number\n";
  return text;
}
