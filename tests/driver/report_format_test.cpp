#include "outputs/report_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace brindlewick {
namespace {

// The sanitizer build runs the same properties on fewer random values.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomValues = 1000000;
#else
constexpr int kRandomValues = 3000000;
#endif

std::string real_text(float v) {
  std::string s(kRealWidth, '?');
  EXPECT_EQ(append_real(s.data(), v), s.data() + kRealWidth);
  return s;
}

std::string int_text(int v) {
  std::string s(kIntWidth, '?');
  EXPECT_EQ(append_int(s.data(), v), s.data() + kIntWidth);
  return s;
}

std::string right(const std::string& text, std::size_t width) {
  return std::string(width - text.size(), ' ') + text;
}

// The same rule written with the C library: the form chosen by the value rounded to seven
// digits (%.6e), fixed digits from %.*f, exponent digits from %.7E.
std::string reference_text(float v) {
  const double d = v;
  char buf[64];
  if (std::isnan(v)) return right("NaN", kRealWidth);
  if (std::isinf(v)) return right(v < 0 ? "-Infinity" : "Infinity", kRealWidth);
  if (v == 0) return right(std::signbit(v) ? "-0.0000000E+00" : "0.0000000E+00", kRealWidth);
  std::snprintf(buf, sizeof buf, "%.6e", std::fabs(d));
  const int e = std::atoi(std::strchr(buf, 'e') + 1);
  if (e >= -1 && e <= 6) {
    std::snprintf(buf, sizeof buf, "%.*f", 6 - e, d);
    std::string fixed = buf;
    if (e == 6) fixed += '.';
    return right(fixed, 11) + "    ";
  }
  std::snprintf(buf, sizeof buf, "%.7E", d);
  return right(buf, kRealWidth);
}

void expect_matches_reference(float v) {
  ASSERT_EQ(real_text(v), reference_text(v))
      << "bits 0x" << std::hex << std::bit_cast<std::uint32_t>(v);
}

float next_up(float v, int n) {
  for (int i = 0; i < n; ++i) v = std::nextafter(v, INFINITY);
  for (int i = 0; i > n; --i) v = std::nextafter(v, -INFINITY);
  return v;
}

struct RealCase {
  float value;
  const char* want;
};

// The texts the report shows, both forms, both signs, and the chosen special values.
TEST(AppendRealTest, WritesFixedAndExponentForms) {
  const RealCase cases[] = {
      {0.5F, "  0.5000000    "},       {45.5F, "   45.50000    "},
      {1234567.0F, "   1234567.    "}, {-3.25F, "  -3.250000    "},
      {0.0625F, "  6.2500000E-02"},    {-1.0E+10F, " -1.0000000E+10"},
      {0.05F, "  5.0000001E-02"},      {0.1F, "  0.1000000    "},
      {9999999.0F, "   9999999.    "}, {10000000.0F, "  1.0000000E+07"},
      {1.0F, "   1.000000    "},       {-0.1F, " -0.1000000    "},
      {FLT_MAX, "  3.4028235E+38"},    {-FLT_MIN, " -1.1754944E-38"},
      {0x1p-149F, "  1.4012985E-45"},  {0.0F, "  0.0000000E+00"},
      {-0.0F, " -0.0000000E+00"},      {NAN, "            NaN"},
      {-NAN, "            NaN"},       {INFINITY, "       Infinity"},
      {-INFINITY, "      -Infinity"},  {1234567.5F, "   1234568.    "},  // tie to even
      {1234568.5F, "   1234568.    "}, {3.0F * 0x1p-11F, "  1.4648438E-03"},
  };
  for (const auto& c : cases) EXPECT_EQ(real_text(c.value), c.want) << c.value;
}

TEST(AppendIntTest, RightJustifiesInTwelve) {
  EXPECT_EQ(int_text(0), "           0");
  EXPECT_EQ(int_text(42), "          42");
  EXPECT_EQ(int_text(-7), "          -7");
  EXPECT_EQ(int_text(INT_MAX), "  2147483647");
  EXPECT_EQ(int_text(INT_MIN), " -2147483648");
}

// Any bit pattern gives the C library's correctly rounded digits under the same rule.
TEST(AppendRealTest, MatchesTheCLibraryOnRandomBitPatterns) {
  std::mt19937 rng(1979);
  for (int i = 0; i < kRandomValues; ++i)
    expect_matches_reference(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
}

// Values of the fixed form's range and just around it, where most data lies.
TEST(AppendRealTest, MatchesTheCLibraryAroundTheFixedRange) {
  std::mt19937 rng(2024);
  std::uniform_real_distribution<float> exponent(-5.0F, 26.0F);
  std::uniform_real_distribution<float> mantissa(1.0F, 2.0F);
  for (int i = 0; i < kRandomValues / 3; ++i) {
    const float v = std::ldexp(mantissa(rng), static_cast<int>(exponent(rng)));
    expect_matches_reference(i % 2 != 0 ? v : -v);
  }
}

// Short mantissas at every exponent: the floats whose exact decimals end in a 5 just past the
// seventh or eighth digit (ties) are among them.
TEST(AppendRealTest, MatchesTheCLibraryOnShortMantissas) {
  for (int m = 1; m < 2048; m += 2) {
    for (int e = -149; e <= 127 - 10; ++e) {
      const float v = std::ldexp(static_cast<float>(m), e);
      if (std::isinf(v)) break;
      expect_matches_reference(v);
      expect_matches_reference(-v);
    }
  }
}

// Every boundary of the forms and of the float range, with float neighbours.
TEST(AppendRealTest, MatchesTheCLibraryAtBoundaries) {
  std::vector<float> values = {0.1F,    9999999.0F, 9999999.5F, 10000000.0F, FLT_MAX,
                               FLT_MIN, 0x1p-149F,  0x1p-127F,  0.0F,        1.0F,
                               0.05F,   0.0999999F, 9999998.0F, 99999999.0F, 0x1p-126F};
  for (int i = -45; i <= 38; ++i) values.push_back(std::pow(10.0F, static_cast<float>(i)));
  for (int i = -45; i <= 38; ++i)
    values.push_back(std::strtof(("1e" + std::to_string(i)).c_str(), nullptr));
  for (int i = -45; i <= 38; ++i)
    values.push_back(std::strtof(("9.9999995e" + std::to_string(i)).c_str(), nullptr));
  for (int i = -45; i <= 38; ++i)
    values.push_back(std::strtof(("9.999999e" + std::to_string(i)).c_str(), nullptr));
  for (float v : values) {
    for (int n = -3; n <= 3; ++n) {
      const float w = next_up(v, n);
      if (std::isinf(w)) continue;
      expect_matches_reference(w);
      expect_matches_reference(-w);
    }
  }
}

// Items 1-5 fill the first line, 6-10 the second, each field with its own leading blank.
TEST(AppendReportTest, WritesTwoLines) {
  std::string buf(kReportSize + 1, '#');
  char* end =
      append_report(buf.data(), 12, 345, 45.5F, -93.25F, 0.0625F, -1.0E+10F, 1, -2, 1000, INT_MIN);
  ASSERT_EQ(end, buf.data() + kReportSize);
  EXPECT_EQ(buf.substr(0, kReportSize),
            "          12"
            "         345"
            "   45.50000    "
            "  -93.25000    "
            "  6.2500000E-02\n"
            " -1.0000000E+10"
            "           1"
            "          -2"
            "        1000"
            " -2147483648\n");
  EXPECT_EQ(buf[kReportSize], '#');  // nothing written past the report
}

}  // namespace
}  // namespace brindlewick
