// The tool's options beside its environment names: every setting of the table has its option
// and the option reaches the run exactly as the environment name does; an option that the
// environment contradicts, and a value not of its kind, are refused before anything is opened;
// --exclude and --layers narrow the comparison; a tolerance file gives each variable its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "driver/tool_run.h"
#include "options/setting_table.h"
#include "run/tolerances.h"

namespace {

using namespace brindlewick_test;
using brindlewick::ToolSetting;

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

constexpr const char* kUsage =
    "; usage: brindlewick [--stack FILE] [OPTION...] [FILE1 FILE2] | --help | --version\n";

// Three layers, two steps: V1 differs by 1 at layer 2 and V2 by 0.5 at layer 3, in one cell.
class OptionsTest : public BrindlewickTest {
 protected:
  void SetUp() override {
    write("stack.nc", stack());
    write("run1.nc", data(4, 3, 3));
    FixtureSpec two = data(4, 3, 3);
    two.value = [](int var, int rec, int lay, int row, int col) {
      return kavro_test::default_value(var, rec, lay, row, col) +
             (var == 1 && lay == 2 && row == 2 && col == 3 ? 1.0 : 0.0) +
             (var == 2 && lay == 3 && row == 1 && col == 1 ? 0.5 : 0.0);
    };
    write("run2.nc", two);
    std::filesystem::create_directory(path("maps"));
    std::ofstream(path("tol.toml")) << "[default]\nabs = 0.75\n[variables]\n\"V*\" = { rel = 0 }\n";
  }
  // A run with a log of its own.
  RunResult run_logged(Env env, const std::vector<std::string>& args) {
    env["LOGFILE"] = path("run" + std::to_string(++runs_) + ".log");
    return run(env, "", args);
  }
  // The run with its JSON result; the outputs a run creates are removed first.
  std::pair<RunResult, std::string> run_json(Env env, const std::vector<std::string>& args) {
    for (const char* name : {"r.json", "c.csv", "run.log"}) std::filesystem::remove(path(name));
    std::filesystem::remove_all(path("maps"));
    std::filesystem::create_directory(path("maps"));
    RunResult r = run(env, "", args);
    return {r, kavro_test::read_file(path("r.json"))};
  }
  int runs_ = 0;
};

// One table: every setting of the tool, given as its option and as its environment name,
// gives the same status, reports and JSON result (settings in force included).
TEST_F(OptionsTest, EveryOptionSetsWhatItsNameSets) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"BRINDLEWICK_SUMMARY", "Y"},
      {"BRINDLEWICK_MAPS", path("maps")},
      {"BRINDLEWICK_CSV", path("c.csv")},
      {"BRINDLEWICK_EXIT_ON_DIFF", "Y"},
      {"BRINDLEWICK_MAX_REPORTS", "1"},
      {"BRINDLEWICK_ABS_TOL", "0.75"},
      {"BRINDLEWICK_REL_TOL", "0.0005"},
      {"BRINDLEWICK_TOLERANCES", path("tol.toml")},
      {"BRINDLEWICK_FORMAT", "labelled"},
      {"BRINDLEWICK_VARIABLES", "V2"},
      {"BRINDLEWICK_EXCLUDE", "V1"},
      {"BRINDLEWICK_STEPS", "2024-02-02T01:00/2024033:010000"},
      {"BRINDLEWICK_LAYERS", "2:2"},
      {"BRINDLEWICK_NAN_EQUAL", "Y"},
      {"BRINDLEWICK_JSON", path("r.json")},
      {"BRINDLEWICK_ONLY_COMMON", "Y"},
      {"BRINDLEWICK_IGNORE_ATTRIBUTES", "units,VGTOP"},
      {"BRINDLEWICK_VERDICT_IGNORES", "cells"},
  };
  std::set<std::string> covered;
  for (const auto& [env, value] : cases) covered.insert(env);
  std::set<std::string> table;
  for (const ToolSetting& s : brindlewick::tool_settings()) table.insert(std::string(s.env));
  EXPECT_EQ(covered, table);

  for (const auto& [env, value] : cases) {
    const ToolSetting* row = brindlewick::find_setting(env);
    ASSERT_NE(row, nullptr) << env;
    const std::string option = "--" + std::string(row->option);
    // A Y/N setting's option is a flag.
    std::vector<std::string> args = row->kind == brindlewick::SettingKind::kYesNo
                                        ? std::vector<std::string>{option}
                                        : std::vector<std::string>{option, value};
    Env by_option = {{"BRINDLEWICK_JSON", path("r.json")}};
    if (env == "BRINDLEWICK_JSON") by_option.clear();
    Env by_name = {{"BRINDLEWICK_JSON", path("r.json")}, {env, value}};
    const auto [o, o_json] = run_json(by_option, args);
    const auto [e, e_json] = run_json(by_name, {});
    EXPECT_EQ(o.status, e.status) << env << o.err;
    EXPECT_EQ(o.out, e.out) << env;
    EXPECT_EQ(o.err, e.err) << env;
    EXPECT_EQ(o_json, e_json) << env;
    EXPECT_NE(o_json, "") << env;
  }
}

// An option and the environment that name different values are refused, as file arguments
// are; the same value is no conflict.
TEST_F(OptionsTest, OptionAgainstEnvironment) {
  struct Case {
    Env env;
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{{"BRINDLEWICK_ABS_TOL", "0.1"}},
       {"--abs-tol", "0.2"},
       2,
       "brindlewick: BRINDLEWICK_ABS_TOL is set to \"0.1\" in the environment but --abs-tol "
       "gives \"0.2\"; give one or the other\n"},
      {{{"BRINDLEWICK_SUMMARY", "N"}},
       {"--summary"},
       2,
       "brindlewick: BRINDLEWICK_SUMMARY is set to \"N\" in the environment but --summary gives "
       "\"Y\"; give one or the other\n"},
      {{{"BRINDLEWICK_VARIABLES", "V1"}},
       {"--variables=V1,V2"},
       2,
       "brindlewick: BRINDLEWICK_VARIABLES is set to \"V1\" in the environment but --variables "
       "gives \"V1,V2\"; give one or the other\n"},
      {{{"BRINDLEWICK_ABS_TOL", "0.1"}}, {"--abs-tol=0.1"}, 0, ""},
      {{{"BRINDLEWICK_NAN_EQUAL", "Y"}}, {"--nan-equal"}, 0, ""},
  };
  for (const Case& c : cases) {
    const RunResult r = run_logged(c.env, c.args);
    EXPECT_EQ(r.status, c.status) << c.err << r.err;
    if (c.status == 0) continue;
    EXPECT_EQ(r.err, c.err);
    EXPECT_TRUE(r.log.empty()) << c.err;
  }
}

// A value not of its kind is refused with the value quoted, one line and status 2, before the
// library starts; so are an option without its value, a repeat and an option the tool lacks.
TEST_F(OptionsTest, MalformedValuesAreQuoted) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--abs-tol=1e"}, "--abs-tol: \"1e\" is not a number, 0 or more"},
      {{"--rel-tol", "-0.5"}, "--rel-tol: \"-0.5\" is not a number, 0 or more"},
      {{"--max-reports", "2.5"}, "--max-reports: \"2.5\" is not a whole number, 0 or more"},
      {{"--steps", "2024-07-01T03"},
       "--steps: \"2024-07-01T03\" is not FIRST:LAST, each YYYYDDD:HHMMSS or "
       "YYYY-MM-DD[Thh:mm[:ss]]"},
      {{"--steps", "2024-07-01T00:00/2024-07-01T03"},
       "--steps: \"2024-07-01T03\" is not YYYYDDD:HHMMSS or YYYY-MM-DD[Thh:mm[:ss]]"},
      {{"--steps", "2024-07-01T06:00/2024-07-01T00:00"},
       "--steps: \"2024-07-01T06:00/2024-07-01T00:00\" has its first step after its last"},
      {{"--layers", "3:1"},
       "--layers: \"3:1\" is not FIRST:LAST, layers from 1, the first not after the last"},
      {{"--layers", "0"},
       "--layers: \"0\" is not FIRST:LAST, layers from 1, the first not after the last"},
      {{"--format", "long\tform"}, "--format: \"long?form\" is not labelled or standard"},
      {{"--exclude", "V1,,V2"},
       "--exclude: \"V1,,V2\" is not variable names of at most 16 characters, separated by "
       "commas"},
      {{"--nan-equal=perhaps"}, "--nan-equal: \"perhaps\" is not Y or N"},
      {{"--abs-tol"}, "--abs-tol needs a value"},
      {{"--json="}, "--json needs a value"},
      {{"--summary", "--summary"}, "unexpected argument \"--summary\""},
      {{"--colour", "red"}, "unexpected argument \"--colour\""},
  };
  for (const auto& [args, said] : cases) {
    const RunResult r = run({}, "", args);
    EXPECT_EQ(r.status, 2) << said;
    EXPECT_EQ(r.out, "") << said;
    EXPECT_EQ(r.err, "brindlewick: " + said + kUsage);
    EXPECT_TRUE(r.log.empty()) << said;
  }
}

// --exclude leaves variables out and lists them as excluded, in the log and the JSON, never as
// missing; --layers compares only the layers asked for and refuses layers the file lacks.
TEST_F(OptionsTest, ExcludeAndLayers) {
  const auto [excluded, json] =
      run_json({{"BRINDLEWICK_JSON", path("r.json")}}, {"--exclude", "V2", "--format", "labelled"});
  ASSERT_EQ(excluded.status, 0) << excluded.err;
  EXPECT_TRUE(
      contains(excluded.log, "     Variable \"V2\" excluded (BRINDLEWICK_EXCLUDE): not compared"));
  EXPECT_NE(json.find("\"excluded_variables\": [\"V2\"]"), std::string::npos) << json;
  EXPECT_EQ(json.find("\"name\": \"V2\""), std::string::npos) << json;
  EXPECT_NE(reports(excluded).find("Total: 2 cells differ in 1 variable"), std::string::npos);

  struct Case {
    std::vector<std::string> args;
    std::string totals;
  };
  const std::vector<Case> cases = {
      {{"--layers", "2:3"}, "Total for V1: 2 differing cells\nTotal for V2: 2 differing cells\n"},
      {{"--layers", "3"}, "Total for V1: 0 differing cells\nTotal for V2: 2 differing cells\n"},
      {{"--layers", "1:1"}, "Total for V1: 0 differing cells\nTotal for V2: 0 differing cells\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--format", "labelled"});
    const RunResult r = run_logged({}, args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(reports(r).find(c.totals), std::string::npos) << reports(r);
  }
  // The layer a labelled line names is the file's, not the count from the first compared.
  const RunResult third =
      run_logged({}, {"--layers", "3", "--format", "labelled", "--variables=V2"});
  EXPECT_NE(reports(third).find("V2 2024033:000000 layer 3 column 1 row 1"), std::string::npos)
      << reports(third);

  for (const auto& [args, mesg] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--layers", "2:4"},
            "BRINDLEWICK_LAYERS 2:4 reaches beyond layer 3, the last of \"INFILE2\""},
           {{"--exclude", "V9"},
            "Variable \"V9\" of BRINDLEWICK_EXCLUDE is in neither \"INFILE1\" nor \"INFILE2\""}}) {
    const RunResult r = run_logged({}, args);
    EXPECT_EQ(r.status, 2) << mesg;
    EXPECT_EQ(r.err, "brindlewick: " + mesg + "\n");
    EXPECT_EQ(tail(r.log, 4), abort_end(mesg));
  }
}

// The steps as ISO 8601 dates and times: FIRST/LAST, or FIRST:LAST where the colon that
// leaves a step on either side splits them; the model's form and ISO mix.
TEST(StepRangeText, IsoAndModelSteps) {
  struct Case {
    const char* text;
    bool ok;
    brindlewick::StepTime first, last;
  };
  const Case cases[] = {
      {"2024-07-01T00:00:2024-07-01T06:00", true, {2024183, 0}, {2024183, 60000}},
      {"2024-07-01T00:00/2024-07-01T06:00:30", true, {2024183, 0}, {2024183, 60030}},
      {"2024033:010000/2024-02-02T02:00", true, {2024033, 10000}, {2024033, 20000}},
      {"2024-02-02:2024033:010000", true, {2024033, 0}, {2024033, 10000}},
      {"2024-12-31:2024-12-31T23:59:59", true, {2024366, 0}, {2024366, 235959}},
      {"2023-12-31/2023-12-31", true, {2023365, 0}, {2023365, 0}},
      {"2024-07-01T03", false, {}, {}},
      {"2024-07-01T03:2024-07-01T04", false, {}, {}},
      {"2023-02-29/2023-03-01", false, {}, {}},
      {"2024-07-01T24:00/2024-07-02", false, {}, {}},
      {"2024-7-01/2024-07-02", false, {}, {}},
      {"2024-07-01 00:00/2024-07-02", false, {}, {}},
  };
  for (const Case& c : cases) {
    brindlewick::StepRange range;
    std::string why;
    EXPECT_EQ(brindlewick::parse_step_range(c.text, range, why), c.ok) << c.text << why;
    if (!c.ok) continue;
    EXPECT_EQ(range.first.jdate, c.first.jdate) << c.text;
    EXPECT_EQ(range.first.jtime, c.first.jtime) << c.text;
    EXPECT_EQ(range.last.jdate, c.last.jdate) << c.text;
    EXPECT_EQ(range.last.jtime, c.last.jtime) << c.text;
  }
}

// A tolerance file: the exact name beats the first matching glob in the file's order, which
// beats [default]; a value an entry leaves out comes from [default], then the environment's.
TEST(ToleranceFile, PicksEachVariablesTolerance) {
  const std::string text =
      "[default]\nabs = 1e-6\n\n[variables]\nO3 = { abs = 1e-9 }\n\"NO*\" = { rel = 1e-4 }\n"
      "\"N*\" = { abs = 2, rel = 3 }\nNO2 = { rel = 0.5 }\n";
  brindlewick::ToleranceTable table;
  std::string why;
  ASSERT_TRUE(brindlewick::parse_tolerances(text, table, why)) << why;
  const brindlewick::Tolerance global{true, 0.25, 0.125};
  struct Case {
    const char* name;
    double abs, rel;
  };
  for (const Case& c : {Case{"O3", 1e-9, 0.125}, Case{"NO2", 1e-6, 0.5}, Case{"NOX", 1e-6, 1e-4},
                        Case{"NH3", 2, 3}, Case{"SO2", 1e-6, 0.125}}) {
    const brindlewick::Tolerance tol = table.tolerance_for(c.name, global);
    EXPECT_TRUE(tol.set) << c.name;
    EXPECT_EQ(tol.absolute, c.abs) << c.name;
    EXPECT_EQ(tol.relative, c.rel) << c.name;
  }
  // Without [default] and without the environment's, a variable no entry names has none.
  ASSERT_TRUE(brindlewick::parse_tolerances("[variables]\nO3 = { abs = 1 }\n", table, why));
  EXPECT_FALSE(table.tolerance_for("TEMP", {}).set);
  EXPECT_TRUE(table.tolerance_for("O3", {}).set);
}

// A malformed file is refused with the line and column of what is wrong.
TEST(ToleranceFile, MalformedFilesGiveLineAndColumn) {
  const std::pair<const char*, const char*> cases[] = {
      {"[default]\nabs = -1\n",
       "line 2, column 7: \"abs\" of [default] is not a number, 0 or more"},
      {"[default]\nabs = \"small\"\n",
       "line 2, column 7: \"abs\" of [default] is not a number, 0 or more"},
      {"[default]\ntol = 1\n", "line 2, column 1: unknown key \"tol\" in [default] (abs, rel)"},
      {"[defaults]\nabs = 1\n",
       "line 1, column 2: unknown table \"defaults\" (default, variables)"},
      {"[variables]\nO3 = 1\n", "line 2, column 6: \"O3\" is not a table of abs and rel"},
      {"[variables]\n\"A LONG NAME\" = { abs = 1 }\n",
       "line 2, column 1: \"A LONG NAME\" is no variable name of 1 to 16 characters"},
      {"[default\nabs = 1\n",
       "line 1, column 9: Error while parsing table header: expected ']', saw '\\n'"},
  };
  for (const auto& [text, said] : cases) {
    brindlewick::ToleranceTable table;
    std::string why;
    EXPECT_FALSE(brindlewick::parse_tolerances(text, table, why)) << text;
    EXPECT_EQ(why, said);
  }
  brindlewick::ToleranceTable table;
  std::string why;
  EXPECT_FALSE(brindlewick::read_tolerance_file("/no/such/file.toml", table, why));
  EXPECT_EQ(why, "Tolerance file \"/no/such/file.toml\" could not be read");
}

// The margin: the largest |difference| against what the tolerance allows.
TEST(ToleranceFile, Margin) {
  const brindlewick::Tolerance tol{true, 0.5, 0.01};
  EXPECT_DOUBLE_EQ(brindlewick::tolerance_margin(1.0, 1.2, tol), 0.4);
  EXPECT_DOUBLE_EQ(brindlewick::tolerance_margin(100.0, 102.0, tol), 2.0 / 1.02);
  EXPECT_EQ(brindlewick::tolerance_margin(3.0, 3.0, tol), 0.0);
  EXPECT_TRUE(std::isinf(brindlewick::tolerance_margin(1.0, 2.0, {true, 0.0, 0.0})));
  EXPECT_TRUE(std::isnan(brindlewick::tolerance_margin(std::nan(""), 2.0, tol)));
}

// The run gives each variable its tolerance and margin in the summary and the JSON result.
TEST_F(OptionsTest, TolerancesPerVariableInTheReport) {
  std::ofstream(path("per.toml")) << "[default]\nabs = 2\n[variables]\nV2 = { abs = 0.25 }\n";
  const auto [r, json] = run_json({{"BRINDLEWICK_JSON", path("r.json")}},
                                  {"--tolerances", path("per.toml"), "--summary"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.log, "     Tolerances per variable from \"" + path("per.toml") + "\""));
  EXPECT_TRUE(contains(r.log, "       tolerance:                    absolute 2, relative 0"));
  EXPECT_TRUE(contains(r.log,
                       "       margin:                       0.5 (largest difference / "
                       "allowed)"));
  EXPECT_TRUE(contains(r.log,
                       "       margin:                       2 (largest difference / "
                       "allowed)"));
  EXPECT_NE(json.find("\"tolerance\": {\"abs\": 2, \"rel\": 0}, \"margin\": 0.5"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"tolerance\": {\"abs\": 0.25, \"rel\": 0}, \"margin\": 2"),
            std::string::npos)
      << json;
  // V1 passes (1 against 2 allowed), V2 does not (0.5 against 0.25).
  EXPECT_NE(json.find("\"cells_differing\": 2"), std::string::npos) << json;
}

}  // namespace
