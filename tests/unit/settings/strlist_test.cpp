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

// ---- STRLIST --------------------------------------------------------------------------------

constexpr std::size_t kElem = 4;

struct StrlistCase {
  const char* label;
  std::string value;
  int nmax;
  int ncnt;
  bool result;
  std::vector<std::string> names;  // the first fields of LIST afterwards ("####" = untouched)
};

const StrlistCase kStrlistCases[] = {
    {"PrefixAnyCase", "list:a, b ,c", 3, 3, true, {"a   ", "b   ", "c   "}},
    {"NoPrefix", "A,B", 3, 2, true, {"A   ", "B   ", "####"}},
    {"EmptyItem", "A,,B", 3, 3, false, {"A   ", "####", "B   "}},
    {"LeftOverText", "A,B,C", 2, 2, false, {"A   ", "B   ", "####"}},
    {"OnlyBlanksAfterComma", "A,   ", 1, 1, true, {"A   ", "####"}},
    {"TooLongCounted", "ABCDE,F", 3, 2, false, {"####", "F   "}},
    {"PrefixOnly", "LIST:", 3, 0, false, {"####"}},
    {"TabsSkipped", "\tA ,\t B", 2, 2, true, {"A   ", "B   "}},
    {"NmaxZero", "A", 0, 0, false, {"####"}},
    {"NmaxNegative", "A", -3, 0, false, {"####"}},
};

class StrlistTest : public LibraryTest, public ::testing::WithParamInterface<StrlistCase> {};

TEST_P(StrlistTest, CountsStoresAndJudges) {
  const StrlistCase& c = GetParam();
  ScopedEnv env("KAVRO_T_LIST", c.value);
  std::string list(4 * kElem, '#');
  int ncnt = 99;
  EXPECT_EQ(STRLIST("KAVRO_T_LIST", "names", c.nmax, ncnt, list, kElem), c.result);
  EXPECT_EQ(ncnt, c.ncnt);
  for (std::size_t i = 0; i < c.names.size(); ++i) {
    EXPECT_EQ(list.substr(i * kElem, kElem), c.names[i]) << "element " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Values, StrlistTest, ::testing::ValuesIn(kStrlistCases),
                         [](const auto& p) { return std::string(p.param.label); });

// An unset or empty variable leaves NCNT alone and names the variable at its full length.
TEST_F(StrlistTest, UnsetOrEmptyVariableIsReported) {
  for (const std::optional<std::string>& value : {std::optional<std::string>(), {""}}) {
    ScopedEnv env("KAVRO_T_LIST", value);
    std::string list(4, '#');
    int ncnt = 99;
    EXPECT_FALSE(STRLIST("KAVRO_T_LIST  ", "", 1, ncnt, list, 4));
    EXPECT_EQ(ncnt, 99);
    EXPECT_EQ(list, "####");
    EXPECT_EQ(log_lines().back(), "     Could not get environment variable \"KAVRO_T_LIST  \"");
  }
}

// Positions count from 1: a name may start at position 511; one starting at 512 (the
// buffer's last character) ends the scan before it is taken.
TEST_F(StrlistTest, NameStartingAtPosition512EndsTheScan) {
  std::array<Name16, 2> list;
  int ncnt = -1;
  {
    ScopedEnv env("KAVRO_T_LIST", std::string(510, ' ') + "YZ");
    EXPECT_TRUE(STRLIST("KAVRO_T_LIST", "", 2, ncnt, std::span<Name16>(list)));
    EXPECT_EQ(ncnt, 1);
    EXPECT_EQ(list[0].trimmed(), "YZ");
  }
  ScopedEnv env("KAVRO_T_LIST", std::string(511, ' ') + "Z");
  EXPECT_FALSE(STRLIST("KAVRO_T_LIST", "", 2, ncnt, std::span<Name16>(list)));
  EXPECT_EQ(ncnt, 0);
}

// LIST never receives more fields than its storage holds.
TEST_F(StrlistTest, NmaxLimitedToStorage) {
  ScopedEnv env("KAVRO_T_LIST", "A,B,C");
  std::array<char, 10> buf;
  buf.fill('#');
  int ncnt = 0;
  EXPECT_FALSE(STRLIST("KAVRO_T_LIST", "", 5, ncnt, std::span<char>(buf.data() + 1, 8), 4));
  EXPECT_EQ(ncnt, 2);
  EXPECT_EQ(std::string_view(buf.data(), buf.size()), "#A   B   #");
}

}  // namespace
}  // namespace kavro
