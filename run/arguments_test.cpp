#include "run/arguments.hpp"

#include <gtest/gtest.h>

namespace {

TEST(AsciiToInt, ReadsLeadingDigitsAfterSpaceAndSign) {
  EXPECT_EQ(ascii_to_int("0"), 0);
  EXPECT_EQ(ascii_to_int("1"), 1);
  EXPECT_EQ(ascii_to_int(" \t\n+12"), 12);
  EXPECT_EQ(ascii_to_int("-5"), -5);
  EXPECT_EQ(ascii_to_int("1abc"), 1);
  EXPECT_EQ(ascii_to_int("007"), 7);
}

TEST(AsciiToInt, TextWithoutLeadingDigitsIsZero) {
  EXPECT_EQ(ascii_to_int(""), 0);
  EXPECT_EQ(ascii_to_int("abc"), 0);
  EXPECT_EQ(ascii_to_int("-"), 0);
  EXPECT_EQ(ascii_to_int("+ 1"), 0);
  EXPECT_EQ(ascii_to_int("x1"), 0);
}

TEST(AsciiToInt, ValuesBeyondThirtyTwoBitsSaturateInsteadOfWrapping) {
  EXPECT_EQ(ascii_to_int("2147483647"), 2147483647);
  EXPECT_EQ(ascii_to_int("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ascii_to_int("2147483648"), 2147483647);
  EXPECT_EQ(ascii_to_int("4294967297"), 2147483647);
  EXPECT_EQ(ascii_to_int("-2147483649"), -2147483647 - 1);
  EXPECT_EQ(ascii_to_int("99999999999999999999999999"), 2147483647);
  EXPECT_EQ(ascii_to_int("-99999999999999999999999999"), -2147483647 - 1);
}

}  // namespace
