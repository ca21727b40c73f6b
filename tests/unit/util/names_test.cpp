#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro {
namespace {

using kavro_test::LibraryTest;
using kavro_test::ScopedEnv;

TEST(CknameTest, AcceptsLegalNames) {
  for (const char* name : {"TFLAG", "O3_max          ", "$x-1#@", "_", "a9"}) {
    EXPECT_TRUE(CKNAME(name)) << name;
  }
}

// Leading digit, embedded or leading blank, other punctuation, nothing at all.
TEST(CknameTest, RejectsIllegalNames) {
  for (const char* name : {"1ABC", "A B", " AB", "A.B", "A/B", "A:B", "A\tB", "    ", ""}) {
    EXPECT_FALSE(CKNAME(name)) << '"' << name << '"';
  }
}

TEST(Index1Test, FindsFirstBlankPaddedMatch) {
  const std::array<std::string_view, 4> list = {"O3              ", "TA", "NO2 ", "TA"};
  EXPECT_EQ(INDEX1("TA", 4, list), 2);
  EXPECT_EQ(INDEX1("O3", 4, list), 1);
  EXPECT_EQ(INDEX1("no2", 4, list), 0);  // letter case matters
  EXPECT_EQ(INDEX1("NO2", 2, list), 0);  // only the first N are searched
  EXPECT_EQ(INDEX1("O3", 0, list), 0);
  EXPECT_EQ(INDEX1("O3", -1, list), 0);
  EXPECT_EQ(INDEX1("NO2", 99, list), 3);  // never beyond the table
  const std::array<Name16, 2> fixed = {Name16("O3"), Name16("TA")};
  EXPECT_EQ(INDEX1("TA  ", 2, std::span<const Name16>(fixed)), 2);
}

TEST(Indexint1Test, FindsFirstEqualKey) {
  const std::array<int, 4> list = {5, -9999, 7, 5};
  EXPECT_EQ(INDEXINT1(5, 4, list), 1);
  EXPECT_EQ(INDEXINT1(7, 4, list), 3);
  EXPECT_EQ(INDEXINT1(7, 2, list), 0);
  EXPECT_EQ(INDEXINT1(5, 0, list), 0);
  EXPECT_EQ(INDEXINT1(8, 4, list), 0);
}

TEST(LblankTest, CountsBlanksAndTabs) {
  EXPECT_EQ(LBLANK("    \tX "), 5);
  EXPECT_EQ(LBLANK(" \t  "), 4);
  EXPECT_EQ(LBLANK("X"), 0);
  EXPECT_EQ(LBLANK(""), 0);
}

TEST(UpcaseTest, OnlyAsciiLettersChange) {
  std::string s = "aZz09_{`\xe9m";
  UPCASE(s);
  EXPECT_EQ(s, "AZZ09_{`\xe9M");
}

}  // namespace
}  // namespace kavro
