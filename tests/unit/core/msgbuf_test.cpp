#include "core/msgbuf.h"

#include <gtest/gtest.h>

#include <string>

namespace kavro::detail {
namespace {

struct FieldCase {
  long long value;
  int width;
  int min_digits;
  const char* text;
};

class NumFieldTest : public ::testing::TestWithParam<FieldCase> {};

// Numbers are right-justified; one too wide for its field shows the field in asterisks.
TEST_P(NumFieldTest, RightJustifiesOrFillsWithAsterisks) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(NumField(c.value, c.width, c.min_digits).view(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NumFieldTest,
    ::testing::Values(FieldCase{2048, 5, 1, " 2048"}, FieldCase{99, 4, 1, "  99"},
                      FieldCase{-33, 5, 1, "  -33"}, FieldCase{0, 3, 1, "  0"},
                      FieldCase{12345, 4, 1, "****"}, FieldCase{-1000, 5, 1, "-1000"},
                      FieldCase{-10000, 5, 1, "*****"}, FieldCase{90000, 6, 6, "090000"},
                      FieldCase{0, 6, 6, "000000"}, FieldCase{235959, 6, 6, "235959"},
                      FieldCase{-5, 6, 6, "******"}, FieldCase{1234567, 6, 6, "******"},
                      FieldCase{24, 11, 6, "     000024"},
                      FieldCase{-9223372036854775807LL - 1, 20, 1, "-9223372036854775808"}));

TEST(NumFieldTest, NamedHelpers) {
  EXPECT_EQ(right_justified(7, 3).view(), "  7");
  EXPECT_EQ(six_digits(900).view(), "000900");
}

// Concatenation past the end of the buffer is lost exactly at its length.
TEST(MsgBufTest, DropsOverflowAtItsLength) {
  MsgBuf<8> m("File ");
  m << "ABCDEFG" << right_justified(5, 3);
  EXPECT_EQ(m.view(), "File ABC");
  m.clear();
  m << '"' << "AB  " << '"';
  EXPECT_EQ(m.view(), "\"AB  \"");
  MsgBuf<6> f;
  f.format("%d:%s", 42, "abcdef");
  EXPECT_EQ(f.view(), "42:abc");
  EXPECT_EQ(f.size(), 6u);
}

}  // namespace
}  // namespace kavro::detail
