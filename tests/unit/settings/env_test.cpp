#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kavro/kavro.h"
#include "support/fault_walk.h"
#include "support/test_env.h"

namespace kavro {
namespace {

using kavro_test::LibraryTest;
using kavro_test::ScopedEnv;

constexpr const char* kVar = "KAVRO_T_SETTING";

// The last n lines of the log.
std::vector<std::string> tail(const std::vector<std::string>& lines, std::size_t n) {
  if (lines.size() < n) return lines;
  return {lines.end() - static_cast<std::ptrdiff_t>(n), lines.end()};
}

std::vector<std::string> warning(const std::string& caller, const std::string& text) {
  return {"     ", "     >>--->> WARNING in subroutine " + caller, "     " + text, "     "};
}

// ---- NAMEVAL ----------------------------------------------------------------------------

class NamevalTest : public LibraryTest {};

// An unset name stands for itself, blank-padded.
TEST_F(NamevalTest, UnsetNameComesBackAsItself) {
  Name16 eq("junk junk junk j");
  NAMEVAL(Name16("INFILE1").padded(), eq.span());
  EXPECT_EQ(eq.padded(), "INFILE1         ");
}

// A value longer than EQNAME is cut to it, and nothing beyond EQNAME is written.
TEST_F(NamevalTest, LongValueIsCutToTheField) {
  ScopedEnv env("INFILE1", "/a/very/long/path/to/some/file.nc");
  std::array<char, 12> buf;
  buf.fill('#');
  NAMEVAL(Name16("INFILE1").padded(), std::span<char>(buf.data() + 1, 10));
  EXPECT_EQ(std::string_view(buf.data(), buf.size()), "#/a/very/lo#");
}

// Only the first word is the logical name; the value is used unchanged.
TEST_F(NamevalTest, LooksUpTheFirstWordOnly) {
  ScopedEnv env("INFILE1", " spaced  value ");
  Path512 eq;
  NAMEVAL("INFILE1 INFILE2 ", eq.span());
  EXPECT_EQ(eq.trimmed(), " spaced  value");
}

TEST_F(NamevalTest, EmptyValueGivesBlanks) {
  ScopedEnv env("INFILE1", "");
  Name16 eq("xxxxxxxxxxxxxxxx");
  NAMEVAL("INFILE1", eq.span());
  EXPECT_EQ(eq.padded(), std::string(16, ' '));
}

// ---- Setting readers: every status, with its message --------------------------------------

struct SettingCase {
  const char* label;
  std::optional<std::string> value;
  std::function<std::string(int&)> read;  // the result, printed
  std::string result;
  int status;
  std::vector<std::string> lines;  // the log's last lines
};

std::string yn(bool b) { return b ? "T" : "F"; }
std::string g(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%G", d);
  return buf;
}

const auto kEnvyn = [](int& s) { return yn(ENVYN("KAVRO_T_SETTING ", "a desc", true, s)); };
const auto kEnvynFalse = [](int& s) { return yn(ENVYN(kVar, "", false, s)); };
const auto kEnvint = [](int& s) { return std::to_string(ENVINT(kVar, "d", 7, s)); };
const auto kEnvreal = [](int& s) { return g(ENVREAL(kVar, "d", 1.5F, s)); };
const auto kEnvdble = [](int& s) { return g(ENVDBLE(kVar, "d", 1.5, s)); };
const auto kEnvstr = [](int& s) {
  Name16 eq;
  ENVSTR(kVar, "d", "dflt    ", eq.span(), s);
  return std::string(eq.padded());
};

const std::string kMsg = "     Value for KAVRO_T_SETTING";

// clang-format off
const SettingCase kSettingCases[] = {
    {"YnUnset", std::nullopt, kEnvyn, "T", -2,
     {kMsg + " not defined;returning default:   TRUE"}},
    {"YnEmpty", "", kEnvynFalse, "F", -1,
     {kMsg + " defined but empty; returning default :  FALSE"}},
    {"YnDotFalse", ".false.", kEnvyn, "F", 0, {kMsg + ":  .false. returning FALSE"}},
    {"YnYes", "yes", kEnvynFalse, "T", 0, {kMsg + ":  yes returning TRUE"}},
    {"YnMaybe", "maybe-maybe-maybe-maybe", kEnvyn, "T", 1,
     warning("envync", "Value for KAVRO_T_SETTING not T,F,Y, or N : 'maybe-maybe-mayb', "
                       "returning defaultval    TRUE")},
    {"YnDotOnly", ".", kEnvynFalse, "F", 1,
     warning("envync", "Value for KAVRO_T_SETTING not T,F,Y, or N : '.', "
                       "returning defaultval    FALSE")},
    {"IntUnset", std::nullopt, kEnvint, "7", -2,
     {kMsg + " not defined; returning default:  7"}},
    {"IntEmpty", "", kEnvint, "7", -1, {kMsg + " defined but empty; returning default :  7"}},
    {"IntLeadingBlanks", "  42", kEnvint, "42", 0, {kMsg + ":  42"}},
    {"IntTrailingText", "12abc", kEnvint, "12", 0, {kMsg + ":  12"}},
    {"IntNegative", "-5", kEnvint, "-5", 0, {kMsg + ":  -5"}},
    {"IntBeyondRange", "99999999999", kEnvint, "2147483647", 0, {kMsg + ":  2147483647"}},
    {"IntLetterFirst", "x42", kEnvint, "7", 1,
     warning("envintc",
             "Value for KAVRO_T_SETTING not an integer : 'x42', returning default  7")},
    {"RealUnset", std::nullopt, kEnvreal, "1.5", -2,
     {kMsg + " not defined; returning default :  1.5"}},
    {"RealEmpty", "", kEnvreal, "1.5", -1,
     {kMsg + " defined but empty; returning default :  1.5"}},
    {"RealExponent", "2.5e3xyz", kEnvreal, "2500", 0, {kMsg + ":  2500"}},
    {"RealBeyondSingle", "1e300", kEnvreal, "INF", 0, {kMsg + ":  INF"}},
    {"RealBad", "abc", kEnvreal, "1.5", 1,
     warning("envrealc",
             "Value for KAVRO_T_SETTING not a real : 'abc', returning default   1.5")},
    {"DbleUnset", std::nullopt, kEnvdble, "1.5", -2,
     {kMsg + " not defined;returning default :  1.5"}},
    {"DbleEmpty", "", kEnvdble, "1.5", -1,
     {kMsg + " defined but empty; returning default :  1.5"}},
    {"DbleParsed", " 0.125", kEnvdble, "0.125", 0,
     {"     Value for  KAVRO_T_SETTING:  0.125"}},
    {"DbleBad", "e5", kEnvdble, "1.5", 1,
     warning("envdblec",
             "Value for KAVRO_T_SETTING not a double : 'e5', returning default:  1.5")},
    // The default keeps its trailing blanks in the message and in EQNAME.
    {"StrUnset", std::nullopt, kEnvstr, "dflt            ", -2,
     {kMsg + " not defined; returning defaultval ':  'dflt    '"}},
    {"StrEmpty", "", kEnvstr, "dflt            ", -1,
     {kMsg + " defined but empty; returning default:  'dflt    '"}},
    {"StrSet", "/a/b c", kEnvstr, "/a/b c          ", 0, {kMsg + ":  '/a/b c'"}},
    {"StrLong", "0123456789abcdefXYZ", kEnvstr, "0123456789abcdef", 0,
     {kMsg + ":  '0123456789abcdefXYZ'"}},
};
// clang-format on

class SettingReaderTest : public LibraryTest, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SettingReaderTest, ResultStatusAndMessage) {
  const SettingCase& c = GetParam();
  ScopedEnv env(kVar, c.value);
  int status = 99;
  EXPECT_EQ(c.read(status), c.result);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(tail(log_lines(), c.lines.size()), c.lines);
}

INSTANTIATE_TEST_SUITE_P(AllStatuses, SettingReaderTest, ::testing::ValuesIn(kSettingCases),
                         [](const auto& p) { return std::string(p.param.label); });

// The fixed-length readers stop the name at white space of any kind, and take names longer
// than sixteen characters whole.
TEST_F(SettingReaderTest, NameEndsAtAnyWhiteSpace) {
  ScopedEnv env("KAVRO_T_A_LONGER_NAME", "3");
  int status = 99;
  EXPECT_EQ(ENVINT("KAVRO_T_A_LONGER_NAME\tjunk", "", 0, status), 3);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(log_lines().back(), "     Value for KAVRO_T_A_LONGER_NAME:  3");
}

// A value far longer than any buffer is cut in the message and in the result, never overrun.
TEST_F(SettingReaderTest, HugeValueIsCutEverywhere) {
  const std::string huge(20000, 'Y');
  ScopedEnv env(kVar, huge);
  int status = 99;
  std::array<char, 18> buf;
  buf.fill('#');
  ENVSTR(kVar, huge, huge, std::span<char>(buf.data() + 1, 16), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(std::string_view(buf.data(), buf.size()), "#" + std::string(16, 'Y') + "#");
  // The message holds 9999 characters of "Value for KAVRO_T_SETTING:  'YYY...".
  const std::string line = log_lines().back();
  EXPECT_EQ(line.size(), 5U + 9999U);
  EXPECT_EQ(line.substr(0, 37), kMsg + ":  'YYY");
  EXPECT_TRUE(ENVYN(kVar, "", false, status));
  EXPECT_EQ(log_lines().back().size(), 5U + 9999U);
}

// The C readers accept a null name and status pointer as an unset variable.
TEST_F(SettingReaderTest, CReadersTolerateNullPointers) {
  EXPECT_EQ(envintc(nullptr, nullptr, 4, nullptr), 4);
  char buf[4] = {'#', '#', '#', '#'};
  envstrc(nullptr, nullptr, nullptr, buf, nullptr, 3);
  EXPECT_EQ(buf[0], '\0');
  envstrc(kVar, "", "abc", buf, nullptr, 0);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[3], '#');
}

// ---- SETENVVAR and RMFILE ------------------------------------------------------------------

class SetenvvarTest : public LibraryTest {};

// Trailing blanks go from name and value; inner blanks stay.
TEST_F(SetenvvarTest, InstallsTrimmedValue) {
  ScopedEnv env("KAVRO_T_A", std::nullopt);
  ASSERT_TRUE(SETENVVAR("KAVRO_T_A   ", "x y   "));
  ASSERT_NE(std::getenv("KAVRO_T_A"), nullptr);
  EXPECT_STREQ(std::getenv("KAVRO_T_A"), "x y");
  // A later value replaces it, and the readers see it at once.
  ASSERT_TRUE(SETENVVAR("KAVRO_T_A", "        "));
  EXPECT_STREQ(std::getenv("KAVRO_T_A"), "");
  ASSERT_TRUE(SETENVVAR("KAVRO_T_A", "5"));
  int status = 99;
  EXPECT_EQ(ENVINT("KAVRO_T_A", "", 0, status), 5);
}

// A name that would install some other variable is refused.
TEST_F(SetenvvarTest, RefusesEmptyOrEqualsName) {
  EXPECT_FALSE(SETENVVAR("    ", "x"));
  ScopedEnv env("KAVRO_T_B", std::nullopt);
  EXPECT_FALSE(SETENVVAR("KAVRO_T_B=c", "x"));
  EXPECT_EQ(std::getenv("KAVRO_T_B"), nullptr);
}

// Memory refused: the message, false, and the earlier value left in place until a call
// that gets its memory.
TEST_F(SetenvvarTest, AllocationFailureIsReported) {
  ScopedEnv env("KAVRO_T_A", "old");
  INIT3();  // the log open before the walk counts what SETENVVAR holds
  bool kept_old = true;
  kavro_test::expect_failures(
      {.op = kavro_test::Op::kAlloc,
       .run =
           [&] {
             const bool ok = SETENVVAR("KAVRO_T_A", "new");
             kept_old = kept_old && (ok || std::string(std::getenv("KAVRO_T_A")) == "old");
             return ok;
           },
       .text = [this] { return log_text(); },
       .line_prefix = "     "},
      {"SETENVVAR:  malloc() failure"});
  EXPECT_TRUE(kept_old);
  EXPECT_STREQ(std::getenv("KAVRO_T_A"), "new");
}

class RmfileTest : public LibraryTest {};

// The path ends at its first white space; success is silent.
TEST_F(RmfileTest, RemovesFileSilently) {
  const std::string path = dir().file("gone.dat");
  kavro_test::write_file(path, "x");
  const std::size_t before = log_lines().size();
  EXPECT_EQ(RMFILE(path + "   trailing words"), 0);
  EXPECT_EQ(std::fopen(path.c_str(), "r"), nullptr);
  EXPECT_EQ(log_lines().size(), before);
}

// A path longer than the 255 characters taken would name another file: nothing is removed.
TEST_F(RmfileTest, OverlongPathRemovesNothing) {
  const std::string path = dir().file(std::string(255 - dir().path().size() - 1, 'f'));
  kavro_test::write_file(path, "x");
  EXPECT_EQ(RMFILE(path + "g"), -1);
  EXPECT_EQ(tail(log_lines(), 4), warning("RMFILE", "File name too long"));
  EXPECT_EQ(kavro_test::read_file(path), "x");
  EXPECT_EQ(RMFILE(path + " g"), 0);
}

TEST_F(RmfileTest, MissingFileWarns) {
  EXPECT_EQ(RMFILE(dir().file("absent.dat")), -1);
  EXPECT_EQ(tail(log_lines(), 4), warning("RMFILE", "No such file or directory"));
}

}  // namespace
}  // namespace kavro
