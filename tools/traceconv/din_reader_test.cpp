#include "tools/traceconv/din_reader.hpp"

#include <gtest/gtest.h>

#include "tools/traceconv/test_input.hpp"

namespace {

TEST(DinReader, ReadsAndWritesAreKeptOtherLabelsSkippedAndTheRestMalformed) {
  const struct {
    const char* line;
    const char* references;  ///< "" with `malformed`: skipped silently
    bool malformed;
  } cases[] = {
      {"0 1000", "R 1000 ", false},
      {"1 0x2fF0 4 trailing fields", "W 2ff0 ", false},
      {"  0\t0X10\r", "R 10 ", false},
      {"1 ffffffffffffffff", "W ffffffffffffffff ", false},
      {"2 400100", "", false},
      {"3 whatever", "", false},
      {"4", "", false},
      {"", "", false},
      {"5 1000", "", true},
      {"01 1000", "", true},
      {"x 1000", "", true},
      {"0", "", true},
      {"0x10", "", true},
      {"0 0x", "", true},
      {"0 12345678901234567", "", true},
      {"1 12zz", "", true},
  };
  for (const auto& c : cases) {
    auto lines = reader_of(std::string("1 1\n") + c.line + "\n0 2\n");
    MalformedLines malformed;
    DinReader reader(lines.get(), &malformed);
    EXPECT_EQ(references_of(reader), std::string("W 1 ") + c.references + "R 2 ") << c.line;
    EXPECT_EQ(malformed.count(), c.malformed ? 1u : 0u) << c.line;
  }
}

}  // namespace
