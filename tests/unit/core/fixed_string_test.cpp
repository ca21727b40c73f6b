#include "kavro/fixed_string.h"

#include <gtest/gtest.h>

#include <array>

namespace kavro {
namespace {

// A value longer than the field is cut; a shorter one is blank-filled.
TEST(FixedStringTest, AssignCutsAndBlankFills) {
  FixedString<4> s("ABCDEF");
  EXPECT_EQ(s.padded(), "ABCD");
  s = "X";
  EXPECT_EQ(s.padded(), "X   ");
  EXPECT_EQ(s.trimmed(), "X");
  EXPECT_EQ(FixedString<3>().padded(), "   ");
}

TEST(FixedStringTest, FirstWordIsTheLogicalName) {
  EXPECT_EQ(Name16("INFILE1 extra").first_word(), "INFILE1");
  EXPECT_EQ(first_word(" lead"), "");
  EXPECT_EQ(first_word("whole"), "whole");
}

// Blank-padded comparison: trailing blanks never matter, letter case does.
TEST(FixedStringTest, PaddedEqualIgnoresOnlyTrailingBlanks) {
  EXPECT_TRUE(padded_equal("ALL", "ALL             "));
  EXPECT_TRUE(padded_equal("", "    "));
  EXPECT_FALSE(padded_equal("ALL", "all"));
  EXPECT_FALSE(padded_equal(" ALL", "ALL"));
}

TEST(FixedStringTest, AssignPaddedWritesOnlyTheField) {
  std::array<char, 8> buf;
  buf.fill('#');
  assign_padded(std::span<char>(buf.data() + 1, 4), "abcdefgh");
  EXPECT_EQ(std::string_view(buf.data(), 8), "#abcd###");
  assign_padded(std::span<char>(buf.data() + 1, 4), "z");
  EXPECT_EQ(std::string_view(buf.data(), 8), "#z   ###");
}

}  // namespace
}  // namespace kavro
