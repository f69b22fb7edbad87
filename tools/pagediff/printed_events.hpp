// The events of a record that put lines in the log or on standard output,
// kept as they came: comparing them is comparing the text they print,
// without printing it.
#pragma once

#include <string>
#include <vector>

#include "variants/events.hpp"

class PrintedEvents final : public variants::EventSink {
 public:
  void on_event(const variants::Event& event) override {
    if (event.kind == variants::EventKind::kTlbLoad ||
        event.kind == variants::EventKind::kPageFault)
      log.push_back(event);
    if (event.kind == variants::EventKind::kBadPage) ++messages;
  }
  void clear() {
    log.clear();
    messages = 0;
  }
  /// Whether the two print the same event lines.
  bool same_log(const PrintedEvents& other) const;
  /// The event lines, as the log holds them.
  std::string log_text() const;
  /// The "Error, bad frame number" lines.
  std::string console_text() const;

  std::vector<variants::Event> log;  ///< TLB loads and page faults, in order
  int messages = 0;                  ///< bad-page messages
};
