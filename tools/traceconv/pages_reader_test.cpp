#include "tools/traceconv/pages_reader.hpp"

#include <gtest/gtest.h>

#include "tools/traceconv/test_input.hpp"

namespace {

TEST(PagesReader, EachPageIsOneRecordOfByteOneAndOtherWordsAreMalformed) {
  const struct {
    std::string text;
    size_t block;
    std::string pages;
    uint64_t malformed;
  } cases[] = {
      {"7 0 1 2 0 3 0 4 2 3 0 3 2 1 2 0 1 7 0 1", 64, "7 0 1 2 0 3 0 4 2 3 0 3 2 1 2 0 1 7 0 1 ",
       0},
      {"1,2, 3 ,,4\r\n\t63\n005", 64, "1 2 3 4 63 5 ", 0},
      {"10 20 30 40 50 60 11 12 13 14", 4, "10 20 30 40 50 60 11 12 13 14 ", 0},  // words cut
      {"1 64 -1 +4 x 99999999999999999999999 5e 6", 64, "1 6 ", 6},
  };
  for (const auto& c : cases) {
    auto lines = reader_of(c.text, c.block);
    MalformedLines malformed;
    PagesReader reader(lines.get(), &malformed);
    std::string pages;
    for (AddressPair record; reader.next(&record);) {
      EXPECT_EQ(record.read, record.write);
      EXPECT_EQ(record.read % 1024, 1);
      pages += std::to_string(record.read / 1024) + " ";
    }
    EXPECT_EQ(pages, c.pages) << c.text;
    EXPECT_EQ(malformed.count(), c.malformed) << c.text;
  }
}

}  // namespace
