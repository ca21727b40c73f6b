#include <gtest/gtest.h>

#include <array>
#include <string>

#include "kavro/kavro_c.h"

namespace {

// Each conversion writes into the middle of a guarded buffer: '#' bytes around the csize (or
// flen) bytes it was given must survive, whatever the sizes.
struct ConversionCase {
  const char* label;
  const char* input;     // the fixed field (for name2cstr, fstr2cstr) or the C string
  int length;            // flen
  int size;              // csize (not used by cstr2fstr)
  std::string expected;  // the whole guarded buffer: '#', the given bytes, '#'
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.label; }

std::string guarded_call(void (*call)(const ConversionCase&, char*), const ConversionCase& c,
                         int given) {
  std::string buf(static_cast<std::size_t>(given > 0 ? given : 0) + 2, '#');
  call(c, buf.data() + 1);
  return buf;
}

const ConversionCase kName2cstr[] = {
    {"StopsAtBlank", "ABC  DEF", 8, 10, std::string("#ABC\0#####\0#", 12)},
    {"StopsAtTab", "AB\tC", 4, 6, std::string("#AB\0##\0#", 8)},
    {"StopsAtNewline", "AB\nC", 4, 6, std::string("#AB\0##\0#", 8)},
    {"CutAtSizeLessTwo", "ABCDEF", 6, 5, std::string("#ABC\0\0#", 7)},
    {"WholeField", "ABCDEF", 6, 8, std::string("#ABCDEF\0\0#", 10)},
    {"SizeTwo", "ABCDEF", 6, 2, std::string("#\0\0#", 4)},
    {"SizeOne", "ABCDEF", 6, 1, std::string("#\0#", 3)},
    {"SizeZero", "ABCDEF", 6, 0, "##"},
    {"SizeNegative", "ABCDEF", 6, -4, "##"},
    {"LengthNegative", "ABCDEF", -1, 4, std::string("#\0##\0#", 6)},
};

const ConversionCase kFstr2cstr[] = {
    {"KeepsTrailingBlanks", "AB  ", 4, 6, std::string("#AB  \0##", 8)},
    {"LengthEqualsSizeLessOne", "ABCD", 4, 5, std::string("#ABCD\0#", 7)},
    {"CutToSizeLessOne", "ABCDEF", 6, 4, std::string("#ABC\0#", 6)},
    {"SizeOne", "ABCDEF", 6, 1, std::string("#\0#", 3)},
    {"SizeZero", "ABCDEF", 6, 0, "##"},
    {"LengthNegative", "ABCDEF", -3, 3, std::string("#\0###", 5)},
};

const ConversionCase kCstr2fstr[] = {
    {"BlankFills", "ab", 5, 0, "#ab   #"},  {"CutsToField", "abcdef", 3, 0, "#abc#"},
    {"EmptyString", "", 2, 0, "#  #"},      {"LengthZero", "abc", 0, 0, "##"},
    {"LengthNegative", "abc", -2, 0, "##"},
};

class Name2cstrTest : public ::testing::TestWithParam<ConversionCase> {};
class Fstr2cstrTest : public ::testing::TestWithParam<ConversionCase> {};
class Cstr2fstrTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Name2cstrTest, WritesOnlyInsideBuffer) {
  const auto call = [](const ConversionCase& c, char* out) {
    name2cstr(c.input, out, c.length, c.size);
  };
  EXPECT_EQ(guarded_call(call, GetParam(), GetParam().size), GetParam().expected);
}

TEST_P(Fstr2cstrTest, WritesOnlyInsideBuffer) {
  const auto call = [](const ConversionCase& c, char* out) {
    fstr2cstr(c.input, out, c.length, c.size);
  };
  EXPECT_EQ(guarded_call(call, GetParam(), GetParam().size), GetParam().expected);
}

TEST_P(Cstr2fstrTest, WritesOnlyInsideField) {
  const auto call = [](const ConversionCase& c, char* out) { cstr2fstr(c.input, out, c.length); };
  EXPECT_EQ(guarded_call(call, GetParam(), GetParam().length), GetParam().expected);
}

const auto kLabel = [](const auto& p) { return std::string(p.param.label); };
INSTANTIATE_TEST_SUITE_P(Sizes, Name2cstrTest, ::testing::ValuesIn(kName2cstr), kLabel);
INSTANTIATE_TEST_SUITE_P(Sizes, Fstr2cstrTest, ::testing::ValuesIn(kFstr2cstr), kLabel);
INSTANTIATE_TEST_SUITE_P(Sizes, Cstr2fstrTest, ::testing::ValuesIn(kCstr2fstr), kLabel);

// A source without a NUL inside the field is never read beyond the field.
TEST(Cstr2fstrTest, ReadsNoFurtherThanTheField) {
  const std::array<char, 3> unterminated = {'x', 'y', 'z'};
  std::array<char, 3> out{};
  cstr2fstr(unterminated.data(), out.data(), 3);
  EXPECT_EQ(std::string(out.data(), 3), "xyz");
}

}  // namespace
