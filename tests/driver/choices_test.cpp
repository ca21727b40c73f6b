// What a person chooses and is told: labelled reports read back against the CSV, the choice of
// variables and steps with its counts in the log, NaN against NaN taken as equal, strict
// settings and unknown ones, and the mismatches between the files said out loud.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/tool_run.h"
#include "run/settings.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
  return parts;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The bundled sample: O3 at 01:00 column 3 row 2 changed, NO2 at 02:00 a NaN in both files,
// TEMP at 00:00 a NaN against a number and at 03:00 a changed value, CLOUD the same. Reports
// come variable by variable, each at its steps in turn.
class ChoicesTest : public BrindlewickTest {
 protected:
  void SetUp() override {
    const std::string make_sample =
        (std::filesystem::path(KAVRO_BRINDLEWICK).parent_path() / "make_sample").string();
    ASSERT_EQ(std::system((make_sample + " " + dir_.path()).c_str()), 0);
  }
  RunResult run_logged(Env env) {
    env["LOGFILE"] = path("run" + std::to_string(++runs_) + ".log");
    return run(env);
  }
  // The labelled lines' variable and date:time, in order.
  static std::vector<std::string> where(const std::string& out) {
    std::vector<std::string> places;
    for (const std::string& line : split(out, '\n')) {
      if (line.rfind("Total", 0) == 0 || line.find(" layer ") == std::string::npos) continue;
      places.push_back(line.substr(0, line.find(" layer ")));
    }
    return places;
  }
  int runs_ = 0;
};

// Each labelled line holds, field by field, the CSV row of the same cell; the totals close
// the reports, per variable and overall.
TEST_F(ChoicesTest, LabelledLinesReadBackAsTheCsv) {
  const RunResult r =
      run_logged({{"BRINDLEWICK_FORMAT", "labelled"}, {"BRINDLEWICK_CSV", path("cells.csv")}});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = split(reports(r), '\n');
  std::vector<std::string> rows = split(kavro_test::read_file(path("cells.csv")), '\n');
  rows.erase(rows.begin());  // the header
  ASSERT_EQ(lines.size(), rows.size() + 5);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::vector<std::string> csv = split(rows[i], ',');
    const std::vector<std::string> words = split(lines[i], ' ');
    ASSERT_EQ(words.size(), 18u) << lines[i];
    const std::vector<std::string> read_back = {words[0],           words[1].substr(0, 7),
                                                words[1].substr(8), words[3],
                                                words[5],           words[7],
                                                words[13],          words[15],
                                                words[17],          words[9],
                                                words[11]};
    EXPECT_EQ(read_back, std::vector<std::string>(csv.begin(), csv.begin() + 11)) << lines[i];
  }
  EXPECT_EQ(lines[0],
            "O3 2024033:010000 layer 1 column 3 row 2 latitude 39.730206 longitude -90.491135 "
            "value1 0.0336 value2 0.0452 difference 0.011600002646446228");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
            (std::vector<std::string>{
                "Total for O3: 1 differing cell", "Total for NO2: 1 differing cell",
                "Total for TEMP: 2 differing cells", "Total for CLOUD: 0 differing cells",
                "Total: 4 cells differ in 3 variables"}));
  EXPECT_EQ(r.err, "brindlewick: 4 cells differ in 3 variables\n");
}

// The choice of variables and steps narrows what is compared; the log counts the steps left
// out. NaN against NaN is not reported when asked for, without a tolerance.
TEST_F(ChoicesTest, ChoosingWhatToCompare) {
  struct Case {
    Env env;
    std::vector<std::string> places;
    std::string log_line;  // empty: none expected
  };
  const std::vector<Case> cases = {
      {{},
       {"O3 2024033:010000", "NO2 2024033:020000", "TEMP 2024033:000000", "TEMP 2024033:030000"},
       ""},
      {{{"BRINDLEWICK_VARIABLES", "TEMP"}}, {"TEMP 2024033:000000", "TEMP 2024033:030000"}, ""},
      {{{"BRINDLEWICK_VARIABLES", "NO2,O3"}}, {"O3 2024033:010000", "NO2 2024033:020000"}, ""},
      {{{"BRINDLEWICK_STEPS", "2024033:010000:2024033:020000"}},
       {"O3 2024033:010000", "NO2 2024033:020000"},
       "     Steps compared: 2 of 4; 2 outside BRINDLEWICK_STEPS skipped"},
      {{{"BRINDLEWICK_STEPS", "2024033:030000:2024034:000000"}, {"BRINDLEWICK_VARIABLES", "O3"}},
       {},
       "     Steps compared: 1 of 4; 3 outside BRINDLEWICK_STEPS skipped"},
      {{{"BRINDLEWICK_NAN_EQUAL", "Y"}},
       {"O3 2024033:010000", "TEMP 2024033:000000", "TEMP 2024033:030000"},
       ""},
  };
  for (Case c : cases) {
    c.env["BRINDLEWICK_FORMAT"] = "labelled";
    const RunResult r = run_logged(c.env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(where(r.out), c.places) << c.log_line;
    if (!c.log_line.empty()) EXPECT_TRUE(contains(r.log, c.log_line)) << c.log_line;
  }
}

// Settings that cannot be used end the run before any file is compared, naming the setting;
// a number followed by anything but blanks is no number.
TEST_F(ChoicesTest, BadSettingsAreRefused) {
  const std::vector<std::pair<Env, std::string>> cases = {
      {{{"BRINDLEWICK_ABS_TOL", "0.5x"}},
       "Bad value for BRINDLEWICK_ABS_TOL: \"0.5x\" is not a number, 0 or more"},
      {{{"BRINDLEWICK_REL_TOL", "1e-3 percent"}},
       "Bad value for BRINDLEWICK_REL_TOL: \"1e-3 percent\" is not a number, 0 or more"},
      {{{"BRINDLEWICK_MAX_REPORTS", "10k"}},
       "Bad value for BRINDLEWICK_MAX_REPORTS: \"10k\" is not a whole number, 0 or more"},
      {{{"BRINDLEWICK_FORMAT", "long"}},
       "Bad value for BRINDLEWICK_FORMAT: \"long\" is not labelled or standard"},
      {{{"BRINDLEWICK_VARIABLES", "O3,,NO2"}},
       "Bad value for BRINDLEWICK_VARIABLES: \"O3,,NO2\" is not variable names of at most 16 "
       "characters, separated by commas"},
      {{{"BRINDLEWICK_VARIABLES", "O3,SO2"}},
       "Variable \"SO2\" of BRINDLEWICK_VARIABLES is in neither \"INFILE1\" nor \"INFILE2\""},
      {{{"BRINDLEWICK_STEPS", "2024033:010000"}},
       "Bad value for BRINDLEWICK_STEPS: \"2024033:010000\" is not FIRST:LAST, each "
       "YYYYDDD:HHMMSS or YYYY-MM-DD[Thh:mm[:ss]]"},
      {{{"BRINDLEWICK_STEPS", "2024033:020000:2024033:010000"}},
       "Bad value for BRINDLEWICK_STEPS: \"2024033:020000:2024033:010000\" has its first step "
       "after its last"},
      {{{"BRINDLEWICK_NAN_EQUAL", "perhaps"}},
       "Bad value for BRINDLEWICK_NAN_EQUAL: \"perhaps\" is not Y or N"},
      {{{"BRINDLEWICK_JSON", "/"}}, "JSON file \"/\" already exists"},
  };
  for (const auto& [env, mesg] : cases) {
    const RunResult r = run_logged(env);
    EXPECT_EQ(r.status, 2) << mesg;
    EXPECT_EQ(tail(r.log, 4), abort_end(mesg));
    EXPECT_EQ(reports(r), "") << mesg;
  }
  // Blanks after a number are no trailing text.
  EXPECT_EQ(run_logged({{"BRINDLEWICK_MAX_REPORTS", "2 "}}).status, 0);
}

// An unknown BRINDLEWICK_ variable is named with the nearest known setting, in the log and on
// standard error; the run goes on as without it.
TEST_F(ChoicesTest, UnknownSettingsAreNamed) {
  const RunResult plain = run_logged({});
  const RunResult r = run_logged({{"BRINDLEWICK_SUMARY", "Y"}, {"BRINDLEWICK_VARIABELS", "O3"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, plain.out);
  const std::string summary =
      "Unknown setting BRINDLEWICK_SUMARY not used; the nearest is BRINDLEWICK_SUMMARY";
  const std::string variables =
      "Unknown setting BRINDLEWICK_VARIABELS not used; the nearest is BRINDLEWICK_VARIABLES";
  EXPECT_TRUE(contains(r.log, "     " + summary));
  EXPECT_TRUE(contains(r.log, "     " + variables));
  // The environment's order decides which comes first.
  EXPECT_TRUE(r.err == "brindlewick: " + summary + "\nbrindlewick: " + variables + "\n" ||
              r.err == "brindlewick: " + variables + "\nbrindlewick: " + summary + "\n")
      << r.err;
}

// The pure helpers behind the settings, in a table.
TEST(SettingsText, StepsNumbersAndNearestNames) {
  brindlewick::StepRange range;
  std::string why;
  EXPECT_TRUE(brindlewick::parse_step_range("2024033:000000:2024034:235959", range, why));
  EXPECT_TRUE(range.holds(2024033, 0) && range.holds(2024034, 235959) &&
              range.holds(2024033, 120000));
  EXPECT_FALSE(range.holds(2024032, 235959) || range.holds(2024035, 0));
  for (const char* bad : {"", "2024033:000000", "2024033:000000:", "2024033:240000:2024034:0",
                          "2024033:000000:2024034:000000:", "20240330:0:2024034:0",
                          "2024033:0060:2024034:0", "a:b:c:d"}) {
    EXPECT_FALSE(brindlewick::parse_step_range(bad, range, why)) << bad;
  }
  for (const auto& [text, integer, whole] : {std::tuple{"12", true, true},
                                             {" 12  ", true, true},
                                             {"12x", true, false},
                                             {"1.5", true, false},
                                             {"0.5", false, true},
                                             {"1e-3", false, true},
                                             {"0.5x", false, false},
                                             {"", false, false},
                                             {"x", false, false}}) {
    EXPECT_EQ(brindlewick::whole_number(text, integer), whole) << text;
  }
  EXPECT_EQ(brindlewick::nearest_setting("BRINDLEWICK_CVS"), "BRINDLEWICK_CSV");
  EXPECT_EQ(brindlewick::nearest_setting("BRINDLEWICK_ABSTOL"), "BRINDLEWICK_ABS_TOL");
  EXPECT_EQ(brindlewick::nearest_setting("BRINDLEWICK_STEP"), "BRINDLEWICK_STEPS");
}

class MismatchTest : public BrindlewickTest {};

// Variables of INFILE1 that INFILE2 lacks are named; grids of the same size that lie
// differently get a warning naming both values; the comparison goes on as before.
TEST_F(MismatchTest, MismatchesAreSaid) {
  write("stack.nc", stack());
  FixtureSpec one = data();
  one.vars = kavro_test::numbered_vars(3);
  write("run1.nc", one);
  FixtureSpec two = data();
  two.xorig = -1000.0;
  two.xcell = 500.0;
  two.gdnam = "OTHER_GRID";
  write("run2.nc", two);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> said = {
      "Grid origin differs: \"STACK1\" (-2000, -1500), \"INFILE2\" (-1000, -1500)",
      "Grid cell size differs: \"STACK1\" (1000, 1000), \"INFILE2\" (500, 1000)",
      "Grid name differs: \"STACK1\" \"FIXTURE_GRID\", \"INFILE2\" \"OTHER_GRID\"",
      "Grid origin differs: \"INFILE1\" (-2000, -1500), \"INFILE2\" (-1000, -1500)",
      "Grid cell size differs: \"INFILE1\" (1000, 1000), \"INFILE2\" (500, 1000)",
      "Grid name differs: \"INFILE1\" \"FIXTURE_GRID\", \"INFILE2\" \"OTHER_GRID\"",
      "Variable \"V3\" of \"INFILE1\" is not in \"INFILE2\": not compared"};
  std::string err;
  for (const std::string& line : said) err += "brindlewick: " + line + "\n";
  EXPECT_EQ(r.err, err);
  const auto at = std::find(r.log.begin(), r.log.end(), "     " + said[0]);
  ASSERT_NE(at, r.log.end());
  EXPECT_EQ(*(at - 1), "     >>--->> WARNING in subroutine Brindlewick");
  EXPECT_TRUE(contains(r.log, "     " + said.back()));
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
  EXPECT_EQ(reports(r), "");
}

// BRINDLEWICK_ONLY_COMMON=Y compares what both files hold and lists the rest, where the run
// without it ends at the first variable or step INFILE1 lacks.
TEST_F(MismatchTest, OnlyCommonComparesWhatBothHold) {
  write("stack.nc", stack());
  FixtureSpec one = data();
  one.vars = kavro_test::numbered_vars(3);
  one.vars.erase(one.vars.begin() + 1);
  write("run1.nc", one);
  FixtureSpec two = data();
  two.records = 3;
  two.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) + (row == 2 && col == 3 ? 1 : 0);
  };
  write("run2.nc", two);
  const RunResult whole = run({{"LOGFILE", path("whole.log")}});
  EXPECT_EQ(whole.status, 2);
  EXPECT_EQ(whole.err,
            "brindlewick: Variable \"V3\" of \"INFILE1\" is not in \"INFILE2\": not "
            "compared\nbrindlewick: INFILE1 (" +
                path("run1.nc") +
                "): step 2024033:020000 is not in this file (BRINDLEWICK_ONLY_COMMON=Y compares "
                "the rest)\n");
  const RunResult common = run({{"BRINDLEWICK_ONLY_COMMON", "Y"}});
  EXPECT_EQ(common.status, 0) << common.err;
  const std::vector<std::string> said = {
      "Variable \"V3\" of \"INFILE1\" is not in \"INFILE2\": not compared",
      "Variable \"V2\" of \"INFILE2\" is not in \"INFILE1\": not compared",
      "Steps of \"INFILE2\" not in \"INFILE1\", not compared: 2024033:020000"};
  std::string err;
  for (const std::string& line : said) {
    err += "brindlewick: " + line + "\n";
    EXPECT_TRUE(contains(common.log, "     " + line)) << line;
  }
  EXPECT_EQ(common.err, err);
  EXPECT_EQ(cells(reports(common)), (std::vector<std::pair<int, int>>{{3, 2}, {3, 2}}));
  EXPECT_EQ(tail(common.log, 4), kNormalEnd);
}

}  // namespace
