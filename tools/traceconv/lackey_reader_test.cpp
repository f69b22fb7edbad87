#include "tools/traceconv/lackey_reader.hpp"

#include <gtest/gtest.h>

#include "tools/traceconv/test_input.hpp"

namespace {

TEST(LackeyReader, DataLinesBecomeReferencesAndOnlyOtherLinesAreMalformed) {
  const struct {
    std::string line;
    std::string references;  ///< "" with `malformed`: skipped silently
    bool malformed;
  } cases[] = {
      {" L 04a5b0c0,4", "R 4a5b0c0 ", false},
      {" S 1fff000708,8", "W 1fff000708 ", false},
      {" M ffffffffffffffff,16", "R ffffffffffffffff W ffffffffffffffff ", false},
      {" L 0,1  \r", "R 0 ", false},
      {"I  0401ab70,3", "", false},
      {"==4823== Lackey", "", false},
      {"", "", false},
      {" X 1000,4", "", true},
      {" L1000,4", "", true},
      {" L 1000", "", true},
      {" L 12345678901234567,4", "", true},                         // 17 hex digits
      {" L 0000ffffffffffffffff,4", "R ffffffffffffffff ", false},  // 16 after leading zeros
      {" L 0000000000000000001,4", "R 1 ", false},
      {" L 10g0,4", "", true},
      {" L 1000,4 x", "", true},
      {"=4823= half a prefix", "", true},
      {"output of the program", "", true},
      {" L 1" + std::string(100, '0') + ",4", "", true},  // longer than the block
  };
  for (const auto& c : cases) {
    auto lines = reader_of(" S 1,1\n" + c.line + "\n L 2,1\n", 32);
    MalformedLines malformed;
    LackeyReader reader(lines.get(), &malformed);
    EXPECT_EQ(references_of(reader), "W 1 " + c.references + "R 2 ") << c.line;
    EXPECT_EQ(malformed.count(), c.malformed ? 1u : 0u) << c.line;
    EXPECT_EQ(malformed.first_line(), c.malformed ? 2u : 0u);
  }
}

}  // namespace
