#include "tools/traceconv/line_reader.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "tools/traceconv/test_input.hpp"

namespace {

// Every piece as "LINE:TEXT ", with "+" before the space when the line goes on.
std::string pieces(LineReader& reader, bool skip_long_lines = false) {
  std::string all;
  std::string_view text;
  for (bool ends; reader.next_piece(&text, &ends);) {
    all += std::to_string(reader.line_number()) + ":" + std::string(text) + (ends ? " " : "+ ");
    if (!ends && skip_long_lines) reader.skip_rest_of_line();
  }
  return all;
}

TEST(LineReader, LinesSpanningBlocksComeWholeAndLongOnesInPieces) {
  const struct {
    std::string text;
    size_t block;
    bool skip;
    std::string pieces;
  } cases[] = {
      {"ab\n\ncd", 64, false, "1:ab 2: 3:cd "},  // an empty line; no '\n' at the end
      {"abc\ndefg\nh\n", 5, false, "1:abc 2:defg 3:h "},
      {"abcdefgh\nij\n", 4, false, "1:abcd+ 1:efgh+ 1: 2:ij "},
      {"abcdefghij\nkl\n", 4, true, "1:abcd+ 2:kl "},
      {"", 4, false, ""},
  };
  for (const auto& c : cases) {
    auto reader = reader_of(c.text, c.block);
    EXPECT_EQ(pieces(*reader, c.skip), c.pieces) << c.text;
    EXPECT_EQ(reader->error(), 0);
  }
}

TEST(LineReader, FailedReadEndsWithItsError) {
  LineReader reader(::open(".", O_RDONLY | O_DIRECTORY), 64);
  EXPECT_EQ(pieces(reader), "");
  EXPECT_EQ(reader.error(), EISDIR);
}

}  // namespace
