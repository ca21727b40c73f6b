// The summary's statistics and its log lines, fed cell by cell without files.
#include "outputs/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kavro/kavro.h"
#include "outputs/json_result.h"

namespace brindlewick {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

CellPlace at(int jtime, int layer, int col, int row) {
  return {2024033,
          jtime,
          layer,
          col,
          row,
          40.0f + 0.5f * static_cast<float>(row),
          -100.0f - 0.25f * static_cast<float>(col)};
}

// Three steps of 3 x 2 cells x 2 layers. Step 1: one cell inside the tolerance. Step 2: a
// changed value, a NaN against a number, a NaN against a NaN and the largest change. Step 3:
// nothing.
VariableStats hand_checked() {
  VariableStats s;
  s.name = "O3";
  s.units = "ppmV";
  s.vtype = kavro::XQREAL;
  s.begin_step(12);
  s.add_cell(-0.5, -0.25, false, at(0, 2, 3, 1));  // relative 0.5: the largest
  s.end_step(2024033, 0);
  s.begin_step(12);
  s.add_cell(1.0, 1.5, true, at(10000, 1, 2, 1));
  s.add_cell(2.0, kNan, true, at(10000, 1, 2, 2));
  s.add_cell(kNan, kNan, true, at(10000, 2, 1, 1));
  s.add_cell(4.0, 3.0, true, at(10000, 2, 3, 2));  // |difference| 1: the largest
  s.end_step(2024033, 10000);
  s.begin_step(12);
  s.end_step(2024033, 20000);
  return s;
}

TEST(VariableStatsTest, NothingComparedHasNoRms) {
  VariableStats s;
  EXPECT_EQ(s.rms(), 0.0);
  s.begin_step(1);
  s.add_cell(kNan, 1.0, true, at(0, 1, 1, 1));
  EXPECT_EQ(s.rms(), 0.0);
  EXPECT_FALSE(s.largest_abs.found);
}

// The block as the log shows it (after its five blanks): counts, the first step with a
// reported cell, the extremes and the RMS over the 34 cells with numbers on both sides,
// sqrt((0.25^2 + 0.5^2 + 1) / 34).
TEST(SummaryBlockTest, LinesOfTheHandCheckedCase) {
  const std::vector<std::string> expected = {
      "",
      "Summary of \"O3\" (ppmV)",
      "  cells compared:               36 in 3 steps",
      "  cells differing:              4",
      "  NaN against a number:         1",
      "  steps with differences:       1 of 3, first 2024033:010000",
      "  largest |difference|:         1",
      "    at 2024033:010000 layer 2 column 3 row 2, latitude 41 longitude -100.75",
      "    INFILE1 4, INFILE2 3",
      "  largest relative difference:  0.5",
      "    at 2024033:000000 layer 2 column 3 row 1, latitude 40.5 longitude -100.75",
      "    INFILE1 -0.5, INFILE2 -0.25",
      "  RMS difference:               0.19647631",
  };
  EXPECT_EQ(summary_block(hand_checked()), expected);
}

// The hand-checked case's result, with a plan and a verdict that leaves the grid out.
const std::string kHandCheckedJson =
    "{\"schema_version\": 2, \"status\": \"differ\", \"reason\": \"\", "
    "\"categories\": [\"cells\", \"steps\", \"variables\", \"header\"], "
    "\"not_counted\": [\"grid\"], \"excluded_categories\": [\"grid\"], "
    "\"files\": {\"file1\": \"a.nc\", \"file2\": \"b \\\"2\\\".nc\", \"stack\": null}, "
    "\"settings\": {\"abs_tol\": null, \"rel_tol\": null, \"nan_equal\": true, "
    "\"variables\": [\"O3\"], \"exclude\": null, \"layers\": null, \"tolerances\": null, "
    "\"steps\": null, \"max_reports\": null, \"maps\": null, "
    "\"csv\": \"cells \\\"a\\\".csv\", \"summary\": false, \"exit_on_diff\": false, "
    "\"format\": \"standard\", \"only_common\": false, "
    "\"ignore_attributes\": [\"NTHIK\"], \"verdict_ignores\": [\"grid\"]}, "
    "\"excluded_variables\": null, \"steps\": [[2024033, 0], [2024033, 10000], [2024033, 20000]], "
    "\"not_compared\": {\"variables_only_in_file1\": [\"NO2\"], "
    "\"variables_only_in_file2\": [], \"steps_only_in_file1\": [[2024033, 30000]], "
    "\"steps_only_in_file2\": []}, \"grid\": [{\"what\": \"origin\", "
    "\"file1\": \"(-2000, -1500)\", \"file2\": \"(-1000, -1500)\"}], "
    "\"header\": [{\"attribute\": \"units\", \"variable\": \"O3\", \"file1\": \"ppmV\", "
    "\"file2\": \"ppbV\"}, {\"attribute\": \"VGTOP\", \"variable\": null, "
    "\"file1\": \"5000\", \"file2\": \"10000\"}], \"variables\": [\n  {\"name\": \"O3\", "
    "\"units\": \"ppmV\", \"cells_compared\": 36, \"steps\": 3, \"cells_differing\": 4, "
    "\"nan_against_number\": 1, \"steps_differing\": 1, \"first_difference\": [2024033, "
    "10000], \"largest_abs\": {\"difference\": 1, \"date\": 2024033, \"time\": 10000, "
    "\"layer\": 2, \"column\": 3, \"row\": 2, \"latitude\": 41, \"longitude\": -100.75, "
    "\"value1\": 4, \"value2\": 3}, \"largest_rel\": {\"difference\": 0.5, "
    "\"date\": 2024033, \"time\": 0, \"layer\": 2, \"column\": 3, \"row\": 1, "
    "\"latitude\": 40.5, \"longitude\": -100.75, \"value1\": -0.5, \"value2\": -0.25}, "
    "\"rms\": 0.19647631, \"tolerance\": null, \"margin\": null, \"series\": [{\"date\": 2024033, "
    "\"time\": 0, "
    "\"cells_differing\": 0, \"largest_abs\": 0.25, \"rms\": 0.07216878}, "
    "{\"date\": 2024033, \"time\": 10000, \"cells_differing\": 4, \"largest_abs\": 1, "
    "\"rms\": 0.35355338}, {\"date\": 2024033, \"time\": 20000, \"cells_differing\": 0, "
    "\"largest_abs\": 0, \"rms\": 0}]}\n], \"totals\": {\"variables\": 1, "
    "\"variables_differing\": 1, \"cells_compared\": 36, \"cells_differing\": 4, "
    "\"nan_against_number\": 1}}\n";

// The JSON result carries the summary's numbers in the summary's text, byte for byte: programs
// read it. A failed run names its reason and has no variables; names are escaped.
TEST(JsonResultTest, TheHandCheckedCase) {
  Settings settings;
  settings.nan_equal = true;
  settings.variables = {"O3"};
  settings.csv_path = "cells \"a\".csv";
  const std::vector<StepTime> steps = {{2024033, 0}, {2024033, 10000}, {2024033, 20000}};
  const std::vector<VariableStats> stats = {hand_checked()};
  settings.verdict_ignores = bit(Category::grid);
  settings.attributes.more = {"NTHIK"};
  Plan plan;
  plan.only_in_1 = {"NO2"};
  plan.steps_only_in_1 = {{2024033, 30000}};
  plan.grid = {{"origin", "(-2000, -1500)", "(-1000, -1500)"}};
  plan.header = {{"units", "O3", "ppmV", "ppbV"}, {"VGTOP", "", "5000", "10000"}};
  const Verdict verdict = verdict_of(plan, stats, settings.verdict_ignores);
  const RunFiles files{"a.nc", "b \"2\".nc", ""};
  EXPECT_EQ(json_result({kStatusDiffer, "", settings, steps, stats, files, &plan, &verdict}),
            kHandCheckedJson);
  const std::string failed = json_result({kStatusFailed, "No \"INFILE2\"\n", Settings{}, {}, {}});
  EXPECT_TRUE(failed.starts_with(
      "{\"schema_version\": 2, \"status\": \"failed\", \"reason\": \"No \\\"INFILE2\\\"\\u000a\", "
      "\"categories\": [], \"not_counted\": [], \"excluded_categories\": [], \"files\": {"))
      << failed;
  EXPECT_NE(failed.find("\"variables\": [], \"totals\": {\"variables\": 0,"), std::string::npos);
}

// The table for the terminal: where the largest difference is, the RMS and the first step
// that differs, in aligned columns.
TEST(TerminalTableTest, TheHandCheckedCase) {
  VariableStats same;
  same.name = "NO2";
  same.vtype = kavro::XQREAL;
  const std::vector<VariableStats> all = {hand_checked(), same};
  const std::vector<std::string> expected = {
      "variable  compared  differing  largest |diff|              at  layer  col,row     "
      "lat,lon         RMS  first differing",
      "O3              36          4               1  2024033:010000      2      3,2  "
      "41,-100.75  0.19647631   2024033:010000",
      "NO2              0          0            none               -      -        -           "
      "-           0                -",
  };
  EXPECT_EQ(terminal_table(all), expected);
}

// Without differences and without units; INTEGER values as integers.
TEST(SummaryBlockTest, NoDifferences) {
  VariableStats s;
  s.name = "CLOUD";
  s.vtype = kavro::XQINT;
  s.begin_step(6);
  s.end_step(2024033, 0);
  const std::vector<std::string> block = summary_block(s);
  EXPECT_EQ(block[1], "Summary of \"CLOUD\" (no units)");
  EXPECT_EQ(block[2], "  cells compared:               6 in 1 step");
  EXPECT_EQ(block[5], "  steps with differences:       0 of 1");
  EXPECT_EQ(block[6], "  largest |difference|:         none");
  EXPECT_EQ(block.back(), "  RMS difference:               0");
}

// One row per variable, names left and numbers right in columns as wide as their widest entry.
TEST(SummaryTableTest, AlignedColumns) {
  VariableStats quiet;
  quiet.name = "TEMPERATURE_2M";
  quiet.vtype = kavro::XQDBLE;
  const VariableStats all[] = {hand_checked(), quiet};
  const std::vector<std::string> expected = {
      "",
      "Summary of all variables",
      "Variable         differing cells   largest |difference|          RMS",
      "O3                             4                      1   0.19647631",
      "TEMPERATURE_2M                 0                   none            0",
  };
  EXPECT_EQ(summary_table(all), expected);
}

TEST(UnreportedLineTest, NamesTheVariableAndTheCap) {
  VariableStats s;
  s.name = "NO2";
  s.unreported = 1234;
  EXPECT_EQ(unreported_line(s, 100),
            "Variable \"NO2\": 1234 differing cells not reported (BRINDLEWICK_MAX_REPORTS 100)");
}

}  // namespace
}  // namespace brindlewick
