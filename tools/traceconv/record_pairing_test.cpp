#include "tools/traceconv/record_pairing.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(ReferencePairer, EachReadTakesTheWriteRightAfterItAndLoneHalvesRepeatWhatWasDone) {
  const struct {
    const char* references;
    const char* records;
  } cases[] = {
      {"R5 W6 R7 W8", "5,6 7,8 "},
      {"R5 R7 W8", "5,5 7,8 "},                   // a read before any write writes itself
      {"R5 W6 R7 R9 W8 R3", "5,6 7,6 9,8 3,8 "},  // later lone reads repeat the last write
      {"W6 W8 R3", "6,6 8,8 3,8 "},               // a lone write reads its own address
      {"W6 R5 W8", "6,6 5,8 "},                   // a write never pairs with the read after it
      {"R0 W0 W0 R0", "1,0 1,0 1,0 "},            // reading 0 would end the process
  };
  for (const auto& c : cases) {
    ReferencePairer pairer;
    std::string records;
    AddressPair record;
    auto take = [&] {
      records += std::to_string(record.read) + "," + std::to_string(record.write) + " ";
    };
    std::istringstream words(c.references);
    for (std::string word; words >> word;) {
      const Access access = word[0] == 'R' ? Access::kRead : Access::kWrite;
      if (pairer.add(access, std::stoi(word.substr(1)), &record)) take();
    }
    if (pairer.finish(&record)) take();
    EXPECT_EQ(records, c.records) << c.references;
  }
}

}  // namespace
