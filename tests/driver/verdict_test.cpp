// The verdict counts every kind of difference: files written by hand as a new user would (five
// variables, twelve hourly steps, three layers) that differ only in their steps, their
// variables, their grid or their headers are said to differ, with the kinds named on standard
// error, in the JSON result and in the exit status under BRINDLEWICK_EXIT_ON_DIFF.
#include "run/verdict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "driver/tool_run.h"
#include "run/plan.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

FixtureSpec recipe() {
  FixtureSpec s = data(4, 3, 3);
  s.vars = kavro_test::numbered_vars(5);
  s.records = 12;
  return s;
}

struct VerdictCase {
  std::string name;
  std::function<void(FixtureSpec&)> change;  // what INFILE2 changes of INFILE1
  Env env;                                   // settings beside the JSON and EXIT_ON_DIFF
  int status;
  std::string err;         // standard error, each line after "brindlewick: "
  std::string categories;  // the JSON's "categories"
};

const std::vector<VerdictCase>& cases() {
  static const std::vector<VerdictCase> table = {
      {"identical", [](FixtureSpec&) {}, {}, 0, "no differences\n", "[]"},
      {"steps",
       [](FixtureSpec& s) { s.records = 6; },
       {},
       1,
       "no cell differs; but INFILE2 lacks 6 of INFILE1's 12 steps\n",
       "[\"steps\"]"},
      {"variables",
       [](FixtureSpec& s) { s.vars.pop_back(); },
       {},
       1,
       "Variable \"V5\" of \"INFILE1\" is not in \"INFILE2\": not compared\n"
       "no cell differs; but INFILE2 lacks INFILE1's variable V5\n",
       "[\"variables\"]"},
      {"grid",
       [](FixtureSpec& s) {
         s.xorig += s.xcell;
         s.p_alp = 33.0;
       },
       {},
       1,
       "Grid origin differs: \"INFILE1\" (-2000, -1500), \"INFILE2\" (-1000, -1500)\n"
       "Grid projection differs: \"INFILE1\" type 2 angles (30, 60, -90) centre (-90, 40), "
       "\"INFILE2\" type 2 angles (33, 60, -90) centre (-90, 40)\n"
       "no cell differs; but the grids differ in origin and projection\n",
       "[\"grid\"]"},
      {"units",
       [](FixtureSpec& s) { s.vars[2].units = "ppbV"; },
       {},
       1,
       "no cell differs; but the units of V3 differ\n"
       "  Header attribute \"units\" of variable \"V3\" differs: \"INFILE1\" \"ppmV\", "
       "\"INFILE2\" \"ppbV\"\n",
       "[\"header\"]"},
      {"vertical",
       [](FixtureSpec& s) {
         s.vgtop = 10000.0F;
         s.vglvls = {1.0F, 0.8F, 0.5F, 0.0F};
       },
       {},
       1,
       "no cell differs; but 2 header attributes differ\n"
       "  Header attribute \"VGTOP\" differs: \"INFILE1\" \"5000\", \"INFILE2\" \"10000\"\n"
       "  Header attribute \"VGLVLS\" differs: \"INFILE1\" \"1 0.6666667 0.33333334 0\", "
       "\"INFILE2\" \"1 0.8 0.5 0\"\n",
       "[\"header\"]"},
      {"var_desc",
       [](FixtureSpec& s) { s.vars[1].desc = "nitrogen dioxide"; },
       {},
       1,
       "no cell differs; but the var_desc of V2 differs\n"
       "  Header attribute \"var_desc\" of variable \"V2\" differs: \"INFILE1\" \"V2 fixture "
       "variable\", \"INFILE2\" \"nitrogen dioxide\"\n",
       "[\"header\"]"},
      {"cells and steps",
       [](FixtureSpec& s) {
         s.records = 6;
         s.value = [](int var, int rec, int lay, int row, int col) {
           return kavro_test::default_value(var, rec, lay, row, col) + (var == 1 && rec == 2);
         };
       },
       {},
       1,
       "36 cells differ in 1 variable; and INFILE2 lacks 6 of INFILE1's 12 steps\n",
       "[\"cells\", \"steps\"]"},
      {"own attribute",
       [](FixtureSpec& s) { s.override_attr("source", kavro_test::RawAttr::chars("model B")); },
       {},
       1,
       "no cell differs; but source differs\n"
       "  Header attribute \"source\" differs: \"INFILE1\" \"(absent)\", \"INFILE2\" \"model "
       "B\"\n",
       "[\"header\"]"},
      // What the settings leave out: the header's kinds not counted, an attribute ignored, the
      // dates and descriptions ignored by default.
      {"header not counted",
       [](FixtureSpec& s) { s.vars[2].units = "ppbV"; },
       {{"BRINDLEWICK_VERDICT_IGNORES", "header,grid"}},
       0,
       "no differences (not counted: header)\n",
       "[]"},
      {"units ignored",
       [](FixtureSpec& s) { s.vars[2].units = "ppbV"; },
       {{"BRINDLEWICK_IGNORE_ATTRIBUTES", "units"}},
       0,
       "no differences\n",
       "[]"},
      {"written elsewhen",
       [](FixtureSpec& s) {
         s.cdate = 2025001;
         s.exec_id = "another_run";
         s.filedesc = {"written again"};
         s.history = {"another scenario"};
       },
       {},
       0,
       "no differences\n",
       "[]"},
      {"written elsewhen, all compared",
       [](FixtureSpec& s) { s.cdate = 2025001; },
       {{"BRINDLEWICK_IGNORE_ATTRIBUTES", "NONE"}},
       1,
       "no cell differs; but 2 header attributes differ\n"
       "  Header attribute \"CDATE\" differs: \"INFILE1\" \"2024100\", \"INFILE2\" \"2025001\"\n"
       "  Header attribute \"WDATE\" differs: \"INFILE1\" \"2024100\", \"INFILE2\" \"2025001\"\n",
       "[\"header\"]"},
  };
  return table;
}

class VerdictTest : public BrindlewickTest, public ::testing::WithParamInterface<VerdictCase> {};

std::string prefixed(const std::string& lines) {
  std::string out;
  for (std::size_t p = 0; p < lines.size();) {
    const std::size_t end = lines.find('\n', p);
    out += "brindlewick: " + lines.substr(p, end - p + 1);
    p = end + 1;
  }
  return out;
}

TEST_P(VerdictTest, NamesEveryKindOfDifference) {
  const VerdictCase& c = GetParam();
  write("run1.nc", recipe());
  FixtureSpec two = recipe();
  c.change(two);
  write("run2.nc", two);
  Env env = c.env;
  env["BRINDLEWICK_EXIT_ON_DIFF"] = "Y";
  env["BRINDLEWICK_JSON"] = path("result.json");
  env["STACK1"] = std::nullopt;
  const RunResult r = run(env, "", {path("run1.nc"), path("run2.nc")});
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.err, prefixed(c.err));
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
  const std::string json = kavro_test::read_file(path("result.json"));
  EXPECT_NE(json.find(std::string("\"status\": \"") + (c.status == 0 ? "identical" : "differ")),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"categories\": " + c.categories + ","), std::string::npos) << json;
  // The steps listed are those compared: the steps both files hold.
  const std::string steps = c.name.find("steps") != std::string::npos
                                ? "\"steps\": [[2024033, 0], [2024033, 10000], [2024033, 20000], "
                                  "[2024033, 30000], [2024033, 40000], [2024033, 50000]], "
                                : "[2024033, 110000]], \"not_compared\"";
  EXPECT_NE(json.find(steps), std::string::npos) << json;
}

INSTANTIATE_TEST_SUITE_P(Recipe, VerdictTest, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<VerdictCase>& info) {
                           std::string name;
                           for (const char ch : info.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

// Without BRINDLEWICK_EXIT_ON_DIFF a complete comparison ends with status 0 whatever it found,
// and the log's lines for the header differences stand before its closing paragraph.
TEST_F(BrindlewickTest, HeaderDifferencesInTheLogAndStatusZero) {
  write("run1.nc", recipe());
  FixtureSpec two = recipe();
  two.vars[0].units = "ppbV";
  two.records = 6;
  write("run2.nc", two);
  const RunResult r = run({{"BRINDLEWICK_SUMMARY", "Y"}, {"STACK1", std::nullopt}}, "",
                          {path("run1.nc"), path("run2.nc")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("brindlewick: no cell differs; but INFILE2 lacks 6 of INFILE1's 12 "
                       "steps, and the units of V1 differ\n"),
            std::string::npos)
      << r.err;
  // The table of the variables reaches standard error too.
  EXPECT_EQ(r.err.substr(0, 40), "brindlewick: variable  compared  differi");
  EXPECT_NE(r.err.find("brindlewick: V5             216          0            none   -      -      "
                       "  -        -    0"),
            std::string::npos)
      << r.err;
  const std::string line =
      "     Header attribute \"units\" of variable \"V1\" differs: \"INFILE1\" \"ppmV\", "
      "\"INFILE2\" \"ppbV\"";
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), line), r.log.end());
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

// The run's plan: steps matched by date and time, what only one file holds, a time-independent
// file holding every step.
TEST(PlanTest, StepsAndVariablesOnlyOneFileHolds) {
  using brindlewick::Described;
  using brindlewick::StepTime;
  Described one, two;
  one.axis = {2024033, 0, 10000, 4};
  two.axis = {2024033, 20000, 10000, 4};
  for (const char* name : {"A", "B"}) one.variables.push_back({kavro::Name16{name}, 5, {}, {}});
  for (const char* name : {"B", "C"}) two.variables.push_back({kavro::Name16{name}, 5, {}, {}});
  brindlewick::Settings settings;
  brindlewick::Plan plan = brindlewick::make_plan(one, two, settings);
  EXPECT_EQ(plan.only_in_1, std::vector<std::string>{"A"});
  EXPECT_EQ(plan.only_in_2, std::vector<std::string>{"C"});
  EXPECT_EQ(plan.variables.size(), 2U);
  EXPECT_EQ(brindlewick::steps_text(plan.steps_only_in_1), "2024033:000000, 2024033:010000");
  EXPECT_EQ(brindlewick::steps_text(plan.steps_only_in_2), "2024033:040000, 2024033:050000");
  EXPECT_EQ(plan.steps.size(), 4U);
  settings.only_common = true;
  plan = brindlewick::make_plan(one, two, settings);
  EXPECT_EQ(plan.variables, std::vector<std::size_t>{0});
  EXPECT_EQ(brindlewick::steps_text(plan.steps), "2024033:020000, 2024033:030000");
  // A time-independent INFILE1 holds every step of INFILE2; its own step is its only one.
  one.axis = {2024033, 0, 0, 1};
  plan = brindlewick::make_plan(one, two, settings);
  EXPECT_EQ(plan.steps.size(), 4U);
  EXPECT_EQ(brindlewick::steps_text(plan.steps_only_in_1), "2024033:000000");
  EXPECT_TRUE(plan.steps_only_in_2.empty());
}

}  // namespace

namespace {

using brindlewick::bit;
using brindlewick::Category;

// The verdict line from the plan alone: each kind's phrase, several joined, the kinds left out
// named.
TEST(VerdictLineTest, PhrasesOfEachKind) {
  struct Case {
    std::function<void(brindlewick::Plan&)> fill;
    brindlewick::Categories excluded;
    std::string line;
  };
  const std::vector<Case> table = {
      {[](brindlewick::Plan&) {}, 0, "no differences"},
      {[](brindlewick::Plan& p) {
         p.steps_in_2 = 4;
         p.steps_only_in_2 = {{2024033, 30000}};
       },
       0, "no cell differs; but INFILE1 lacks 1 of INFILE2's 4 steps"},
      {[](brindlewick::Plan& p) {
         p.only_in_2 = {"A", "B"};
       },
       0, "no cell differs; but INFILE1 lacks 2 of INFILE2's variables"},
      {[](brindlewick::Plan& p) {
         p.only_in_1 = {"A"};
         p.grid = {{"cell size", "(1, 1)", "(2, 2)"}};
         p.header = {{"VGTOP", "", "1", "2"}};
       },
       0,
       "no cell differs; but INFILE2 lacks INFILE1's variable A, the grids differ in cell size, "
       "and VGTOP differs"},
      {[](brindlewick::Plan& p) {
         p.only_in_1 = {"A"};
         p.grid = {{"name", "\"A\"", "\"B\""}};
       },
       bit(Category::grid) | bit(Category::variables),
       "no differences (not counted: variables and grid)"},
  };
  for (const Case& c : table) {
    brindlewick::Plan plan;
    c.fill(plan);
    const brindlewick::Verdict v = brindlewick::verdict_of(plan, {}, c.excluded);
    EXPECT_EQ(brindlewick::verdict_line(v, plan, {}), c.line);
    EXPECT_EQ(v.differ(), c.line.starts_with("no cell differs"));
  }
}

// The settings that shape the verdict: attribute names, ALL and NONE; kinds by name.
TEST(VerdictSettingsTest, ParsesAttributesAndKinds) {
  brindlewick::AttributeRule rule;
  ASSERT_TRUE(brindlewick::parse_attribute_rule("units,VGTOP", rule));
  EXPECT_TRUE(rule.ignores("units") && rule.ignores("CDATE") && !rule.ignores("VGLVLS"));
  ASSERT_TRUE(brindlewick::parse_attribute_rule("NONE", rule));
  EXPECT_FALSE(rule.ignores("CDATE"));
  ASSERT_TRUE(brindlewick::parse_attribute_rule("ALL", rule));
  EXPECT_TRUE(rule.ignores("units"));
  EXPECT_FALSE(brindlewick::parse_attribute_rule("units,", rule));
  brindlewick::Categories kinds = 0;
  ASSERT_TRUE(brindlewick::parse_categories("header,grid", kinds));
  EXPECT_EQ(kinds, bit(Category::header) | bit(Category::grid));
  EXPECT_FALSE(brindlewick::parse_categories("header,colour", kinds));
  EXPECT_FALSE(brindlewick::parse_categories("", kinds));
}

}  // namespace
