// The library's own settings: each one's default, how a bad value is reported, and whether a
// change to the environment after the first reading is seen.
#include "settings/settings_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/state.h"
#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

using kavro::detail::setting;
using kavro::detail::SettingName;

struct SettingCase {
  const char* test_name;
  SettingName key;
  bool default_value;
  // The lines logged when the variable is unset, and when it holds "maybe" (asked by "CALLER").
  std::vector<std::string> unset_log;
  std::vector<std::string> bad_log;
  bool once_per_run;  // else read at every open
};

// A failing case is named by its row, not dumped as bytes.
void PrintTo(const SettingCase& c, std::ostream* os) { *os << c.test_name; }

class SettingTableTest : public LibraryTest, public ::testing::WithParamInterface<SettingCase> {
 protected:
  const char* name() const { return GetParam().key.row().name; }
  // The log lines written by one asking.
  std::vector<std::string> asked(bool& value) {
    const std::size_t before = log_lines().size();
    value = setting(GetParam().key, "CALLER");
    const std::vector<std::string> lines = log_lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()};
  }
};

// Unset, the setting has its default, with the reader's line when the setting logs one.
TEST_P(SettingTableTest, UnsetGivesTheDefault) {
  bool value = !GetParam().default_value;
  EXPECT_EQ(asked(value), GetParam().unset_log);
  EXPECT_EQ(value, GetParam().default_value);
}

// A value that is not Y or N gives the default, reported as the setting has always reported it.
TEST_P(SettingTableTest, BadValueIsReportedAndGivesTheDefault) {
  ScopedEnv bad(name(), "maybe");
  bool value = !GetParam().default_value;
  EXPECT_EQ(asked(value), GetParam().bad_log);
  EXPECT_EQ(value, GetParam().default_value);
}

// A setting read once per run keeps its first value whatever the environment says later; one
// read at every open follows the environment.
TEST_P(SettingTableTest, ReadTiming) {
  bool value = false;
  {
    ScopedEnv yes(name(), "Y");
    (void)asked(value);
    EXPECT_TRUE(value);
  }
  ScopedEnv no(name(), "N");
  const std::vector<std::string> second = asked(value);
  EXPECT_EQ(value, GetParam().once_per_run);
  if (GetParam().once_per_run) {
    EXPECT_TRUE(second.empty()) << second.front();
  } else {
    EXPECT_EQ(second, std::vector<std::string>{"     Value for " + std::string(name()) +
                                               ":  N returning FALSE"});
  }
}

// Starting the library afresh forgets what was read once per run.
TEST_P(SettingTableTest, ResetStateForgetsTheRunsValues) {
  bool value = false;
  {
    ScopedEnv yes(name(), "Y");
    (void)asked(value);
  }
  kavro::test_hooks::reset_state();
  ScopedEnv log("LOGFILE", dir().file("second.log"));
  ScopedEnv no(name(), "N");
  EXPECT_FALSE(setting(GetParam().key, "CALLER"));
}

// The reader's warning of a value that is not Y or N.
std::vector<std::string> reader_warning(const std::string& var, const std::string& dflt) {
  return {"     ", "     >>--->> WARNING in subroutine envync",
          "     Value for " + var + " not T,F,Y, or N : 'maybe', returning defaultval    " + dflt,
          "     "};
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<SettingCase> kCases = {
    SettingCase{"CheckHeaders",
                "KAVRO_CHECK_HEADERS",
                false,
                {"     Value for KAVRO_CHECK_HEADERS not defined;returning default:   FALSE"},
                plus(reader_warning("KAVRO_CHECK_HEADERS", "FALSE"),
                     {"     ", "     >>--->> WARNING in subroutine CALLER",
                      "     Invalid value for environment vble \"KAVRO_CHECK_HEADERS\"", "     "}),
                true},
    SettingCase{"Offset64",
                "KAVRO_OFFSET_64",
                false,
                {"     Value for KAVRO_OFFSET_64 not defined;returning default:   FALSE"},
                plus(reader_warning("KAVRO_OFFSET_64", "FALSE"),
                     {"     Bad value for environment variable KAVRO_OFFSET_64"}),
                true},
    // Unset, it is not even logged: the usual log stays as it was before the setting.
    SettingCase{"DirectRead",
                "KAVRO_DIRECT_READ",
                true,
                {},
                reader_warning("KAVRO_DIRECT_READ", "TRUE"),
                false},
    // Unset, not logged either: a run that leaves it alone writes the banner as always.
    SettingCase{"Banner", "KAVRO_BANNER", true, {}, reader_warning("KAVRO_BANNER", "TRUE"), true}};

INSTANTIATE_TEST_SUITE_P(Rows, SettingTableTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.test_name); });

// Every yes/no row of the table has its case above, in the table's order; the number rows
// follow them and have theirs below.
TEST(SettingTable, EveryRowHasACase) {
  std::size_t yes_no = 0;
  for (const auto& row : kavro::detail::kSettings) {
    yes_no += row.kind == kavro::detail::SettingKind::kYesNo ? 1 : 0;
  }
  ASSERT_EQ(kCases.size(), yes_no);
  for (std::size_t i = 0; i < kCases.size(); ++i) EXPECT_EQ(kCases[i].key.index(), i);
  EXPECT_EQ(kavro::detail::SettingName("KAVRO_EARTH_RADIUS").index(), yes_no);
}

// KAVRO_EARTH_RADIUS: unset, the default without a log line; a number above 0 is used; anything
// else gives the default with the row's line. Read once per run.
class NumberSettingTest : public LibraryTest {};

TEST_F(NumberSettingTest, EarthRadius) {
  struct Case {
    std::optional<std::string> value;
    double expected;
    std::vector<std::string> log;
  };
  const std::string bad = "     Bad value for environment variable KAVRO_EARTH_RADIUS";
  const std::vector<Case> cases = {
      {std::nullopt, 6370000.0, {}},
      {"6371229", 6371229.0, {"     Value for  KAVRO_EARTH_RADIUS:  6.37123E+06"}},
      {"-5", 6370000.0, {"     Value for  KAVRO_EARTH_RADIUS:  -5", bad}},
      {"maybe",
       6370000.0,
       {"     ", "     >>--->> WARNING in subroutine envdblec",
        "     Value for KAVRO_EARTH_RADIUS not a double : 'maybe', returning default:  6.37E+06",
        "     ", bad}},
  };
  int n = 0;
  for (const Case& c : cases) {
    kavro::test_hooks::reset_state();
    const std::string log = dir().file("radius" + std::to_string(++n) + ".log");
    ScopedEnv log_file("LOGFILE", log);
    ScopedEnv radius("KAVRO_EARTH_RADIUS", c.value);
    kavro::XQMSG2("before");
    EXPECT_EQ(kavro::earth_radius(), c.expected);
    const std::vector<std::string> lines = kavro_test::read_lines(log);
    const auto from = std::find(lines.begin(), lines.end(), "     before");
    ASSERT_NE(from, lines.end());
    EXPECT_EQ(std::vector<std::string>(from + 1, lines.end()), c.log) << c.value.value_or("unset");
    ScopedEnv changed("KAVRO_EARTH_RADIUS", "1");
    EXPECT_EQ(kavro::earth_radius(), c.expected);
  }
}

}  // namespace
}  // namespace kavro_test
