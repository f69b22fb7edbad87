#include "tools/pagediff/tables_text.hpp"

#include <gtest/gtest.h>

namespace {

TEST(TablesText, AFrameInUseWithANegativePageSaysWhatItHolds) {
  variants::Machine machine{variants::Variant{}};
  variants::MachineState state = machine.state();
  state.frames[7] = variants::FrameSlot{1, 0, 0, -17, 4};  // in use, page -17
  const std::string text = tables_text(state);
  EXPECT_NE(text.find("   Physical Page 7 is free   <- in use: Proc 4 Logical Page -17 ref 1 "
                      "dirty 0\n"),
            std::string::npos)
      << text;
  // Truly free frames keep the display's words and are still shortened.
  EXPECT_NE(text.find("   Physical Page 8 is free\n   ... (pages 9 to 19 are free too)\n"),
            std::string::npos)
      << text;
}

}  // namespace
