#include "tools/pagediff/line_window.hpp"

void LineWindow::start(TheirText& text) {
  text_ = &text;
  lines_.clear();
  first_ = text.lines_read();
  ended_ = false;
}

const WindowLine* LineWindow::at(uint64_t index) {
  while (index >= first_ + lines_.size() && !ended_) {
    WindowLine line;
    bool line_feed = false;
    if (!text_->next_line(line.text, line_feed)) {
      ended_ = true;
      break;
    }
    line.cut = !line_feed;
    if (!marker_.empty() && line.text == marker_) ++marked_;
    lines_.push_back(std::move(line));
  }
  if (index < first_ || index >= first_ + lines_.size()) return nullptr;
  return &lines_[index - first_];
}

void LineWindow::release_below(uint64_t index) {
  while (!lines_.empty() && first_ < index) {
    lines_.pop_front();
    ++first_;
  }
}

void LineWindow::drain() {
  std::string line;
  bool line_feed = false;
  while (!ended_ && text_->next_line(line, line_feed)) {
    if (!marker_.empty() && line == marker_) ++marked_;
  }
  ended_ = true;
}

void LineWindow::start_seeded(TheirText& text, uint64_t first, const std::string& seed) {
  start(text);
  first_ = first;
  for (size_t begin = 0; begin < seed.size();) {
    const size_t end = seed.find('\n', begin);
    lines_.push_back({seed.substr(begin, end - begin), false});
    begin = end + 1;
  }
}
