// The optional settings of the built tool, run in a child process: the summary, the maps, the
// CSV, the exit status, the report cap and the tolerances, and the run without any of them.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "driver/tool_run.h"
#include "outputs/diff_map.h"
#include "outputs/html_report.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Two steps of V1 and V2 on 4 x 3 cells x 2 layers. In run2: V1 at step 1, layer 2, column 2,
// row 3 is 0.5 larger; V1 at step 2, layer 1, column 4, row 1 is a NaN against a number; V2 at
// step 2, layer 1, column 1, row 1 is a NaN in both files.
FixtureSpec pair_file(bool second) {
  FixtureSpec s = data(4, 3, 2);
  s.value = [second](int var, int rec, int lay, int row, int col) {
    const double v = kavro_test::default_value(var, rec, lay, row, col);
    if (var == 2 && rec == 2 && lay == 1 && row == 1 && col == 1) return kNan;
    if (!second) return v;
    if (var == 1 && rec == 1 && lay == 2 && row == 3 && col == 2) return v + 0.5;
    if (var == 1 && rec == 2 && lay == 1 && row == 1 && col == 4) return kNan;
    return v;
  };
  return s;
}

// The log's lines from `first` (a line of the log) to the end.
std::vector<std::string> from_line(const std::vector<std::string>& log, const std::string& first) {
  const auto it = std::find(log.begin(), log.end(), first);
  return {it, log.end()};
}

bool contains(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

class SettingsTest : public BrindlewickTest {
 protected:
  void SetUp() override {
    write("stack.nc", stack());
    write("run1.nc", pair_file(false));
    write("run2.nc", pair_file(true));
  }
  // Relative names, so the log does not depend on the test's directory.
  RunResult run_relative(Env extra = {}) {
    Env env = {{"STACK1", "stack.nc"},
               {"INFILE1", "run1.nc"},
               {"INFILE2", "run2.nc"},
               {"LOGFILE", "run.log"}};
    for (auto& [k, v] : extra) env[k] = v;
    RunResult r = run_tool(dir_, env);
    r.log = kavro_test::read_lines(path("run.log"));
    std::remove(path("run.log").c_str());
    return r;
  }
};

// The reports of the pair, and the log after the banner, as the tool wrote them before any of
// the settings existed: V1 at column 2 row 3 (layer 2, step 1) and column 4 row 1 (step 2), V2
// at column 1 row 1 (step 2).
const std::string kPairReports =
    "           2           3   41.50000      -100.5000      -500.0000    \n"
    "   1000.000               2           3           1           2\n"
    "           4           1   40.50000      -101.0000       1500.000    \n"
    "  -1000.000               4           1           3           0\n"
    "           1           1   40.50000      -100.2500      -1500.000    \n"
    "  -1000.000               1           1           0           0\n";
const std::vector<std::string> kPlainLogEnd = {
    "     Missing environment variable EXECUTION_ID",
    "     Value for KAVRO_CHECK_HEADERS not defined;returning default:   FALSE",
    "      ",
    "     \"STACK1\" opened as OLD:READ-ONLY   ",
    "     File name \"stack.nc\"",
    "     File type GRDDED3 ",
    "     Execution ID \"fixture_run\"",
    "     Grid name \"FIXTURE_GRID\"",
    "     Dimensions: 3 rows, 4 cols, 1 lays, 6 vbles",
    "     NetCDF ID:     65536  opened as READONLY            ",
    "     Time-independent data.",
    "      ",
    "     \"INFILE1\" opened as OLD:READ-ONLY   ",
    "     File name \"run1.nc\"",
    "     File type GRDDED3 ",
    "     Execution ID \"fixture_run\"",
    "     Grid name \"FIXTURE_GRID\"",
    "     Dimensions: 3 rows, 4 cols, 2 lays, 2 vbles",
    "     NetCDF ID:    131072  opened as READONLY            ",
    "     Starting date and time  2024033:000000 (0:00:00   Feb. 2, 2024)",
    "     Timestep                          010000 (1:00:00 hh:mm:ss)",
    "     Maximum current record number         2",
    "      ",
    "     \"INFILE2\" opened as OLD:READ-ONLY   ",
    "     File name \"run2.nc\"",
    "     File type GRDDED3 ",
    "     Execution ID \"fixture_run\"",
    "     Grid name \"FIXTURE_GRID\"",
    "     Dimensions: 3 rows, 4 cols, 2 lays, 2 vbles",
    "     NetCDF ID:    196608  opened as READONLY            ",
    "     Starting date and time  2024033:000000 (0:00:00   Feb. 2, 2024)",
    "     Timestep                          010000 (1:00:00 hh:mm:ss)",
    "     Maximum current record number         2",
    "     ",
    "     --->> Normal Completion of program Brindlewick",
    "     ",
    "     ",
};

// With none of the settings, standard output, the log and the status are those of a run of
// the tool before the settings existed, byte for byte.
TEST_F(SettingsTest, NothingSetIsByteIdentical) {
  const RunResult r = run_relative();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + kPairReports);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(from_line(r.log, kPlainLogEnd[0]), kPlainLogEnd);
}

// The summary of the multi-layer pair, checked by hand: 4 x 3 cells x 2 layers x 2 steps
// compared per variable; V1's largest change is 0.5 (1123.2 against 1123.7, at latitude
// 40 + 0.5 x 3 and longitude -100 - 0.25 x 2), its RMS sqrt(0.25 / 47) over the 47 cells
// with numbers on both sides; V2 has only a NaN against a NaN. The blocks come before the
// completion paragraph.
TEST_F(SettingsTest, SummaryBlocks) {
  const RunResult r = run_relative({{"BRINDLEWICK_SUMMARY", "Y"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + kPairReports);
  EXPECT_TRUE(contains(r.log, "     Value for BRINDLEWICK_SUMMARY:  Y returning TRUE"));
  std::vector<std::string> expected = {
      "     Summary of \"V1\" (ppmV)",
      "       cells compared:               48 in 2 steps",
      "       cells differing:              2",
      "       NaN against a number:         1",
      "       steps with differences:       2 of 2, first 2024033:000000",
      "       largest |difference|:         0.5",
      "         at 2024033:000000 layer 2 column 2 row 3, latitude 41.5 longitude -100.5",
      "         INFILE1 1123.2, INFILE2 1123.7",
      "       largest relative difference:  0.00044495863",
      "         at 2024033:000000 layer 2 column 2 row 3, latitude 41.5 longitude -100.5",
      "         INFILE1 1123.2, INFILE2 1123.7",
      "       RMS difference:               0.0729325",
      "     ",
      "     Summary of \"V2\" (ppmV)",
      "       cells compared:               48 in 2 steps",
      "       cells differing:              1",
      "       NaN against a number:         0",
      "       steps with differences:       1 of 2, first 2024033:010000",
      "       largest |difference|:         none",
      "       largest relative difference:  none",
      "       RMS difference:               0",
      "     ",
      "     Summary of all variables",
      "     Variable   differing cells   largest |difference|         RMS",
      "     V1                       2                    0.5   0.0729325",
      "     V2                       1                   none           0",
  };
  expected.insert(expected.end(), kNormalEnd.begin(), kNormalEnd.end());
  EXPECT_EQ(from_line(r.log, expected[0]), expected);
}

// Every differing cell is a row, in report order; the report cap does not thin the CSV. An existing
// CSV file is refused before anything is compared.
TEST_F(SettingsTest, CsvReadsBackBitExact) {
  const RunResult r =
      run_relative({{"BRINDLEWICK_CSV", "diffs.csv"}, {"BRINDLEWICK_MAX_REPORTS", "0"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner());
  // The shortest forms read back to the files' floats (the CSV row tests try harder values).
  EXPECT_EQ(kavro_test::read_file(path("diffs.csv")),
            "variable,date,time,layer,column,row,value1,value2,difference,latitude,longitude,x,y\n"
            "V1,2024033,000000,2,2,3,1123.2,1123.7,0.5,41.5,-100.5,-500,1000\n"
            "V1,2024033,010000,1,4,1,1211.4,nan,nan,40.5,-101,1500,-1000\n"
            "V2,2024033,010000,1,1,1,nan,nan,nan,40.5,-100.25,-1500,-1000\n");
  EXPECT_EQ(std::strtof("1123.2", nullptr),
            static_cast<float>(kavro_test::expected_value(pair_file(false), 1, 1, 2, 3, 2)));

  const RunResult again = run_relative({{"BRINDLEWICK_CSV", "diffs.csv"}});
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(tail(again.log, 4), abort_end("CSV file \"diffs.csv\" already exists"));
  EXPECT_EQ(again.out, banner());
}

// A PNG per variable with differences, read back with libpng: north up, the differing cell in
// the scale's colour (its only difference, +0.5, is the top of the signed scale), a NaN-only
// cell magenta, the others grey, the location file's latitudes and longitudes on the edges.
// The HTML page carries the same file's bytes.
TEST_F(SettingsTest, MapsReadBackWithLibpng) {
  ASSERT_EQ(mkdir(path("maps").c_str(), 0755), 0);
  const RunResult r = run_relative({{"BRINDLEWICK_MAPS", "maps"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + kPairReports);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, path("maps/V1.png").c_str()), 0);
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0);
  // The same picture drawn here gives the layout; the locations are the stack's formula.
  brindlewick::DifferenceMap expected(4, 3);
  expected.add(2 * 4 + 1, 0.5, 2, 2024033, 0);
  expected.add(3, kNan, 1, 2024033, 10000);
  float lat[12], lon[12];
  for (int cell = 0; cell < 12; ++cell) {
    lat[cell] = float(40.0 + 0.5 * (cell / 4 + 1));
    lon[cell] = float(-100.0 - 0.25 * (cell % 4 + 1));
  }
  const brindlewick::MapImage layout =
      brindlewick::render_map(expected, "V1 (ppmV)", "2 of 12 cells differ", {lat, lon});
  EXPECT_EQ(int(image.width), layout.width);
  EXPECT_EQ(int(image.height), layout.height);
  const auto pixel = [&](int col, int row) {
    const int x = layout.map_x + (col - 1) * layout.block + layout.block / 2;
    const int y = layout.map_y + (3 - row) * layout.block + layout.block / 2;
    const std::size_t at = (std::size_t(y) * image.width + std::size_t(x)) * 3;
    return brindlewick::Rgb{rgb[at], rgb[at + 1], rgb[at + 2]};
  };
  EXPECT_EQ(pixel(2, 3), brindlewick::DifferenceMap::scale_colour(1.0));
  EXPECT_EQ(pixel(4, 1), brindlewick::kNanColour);
  EXPECT_EQ(pixel(1, 1), brindlewick::kNoDifferenceColour);
  EXPECT_EQ(pixel(2, 1), brindlewick::kNoDifferenceColour);
  EXPECT_EQ(rgb, layout.rgb);
  struct stat st {};
  EXPECT_EQ(stat(path("maps/V2.png").c_str(), &st), 0);  // a NaN against a NaN differs

  brindlewick::FolderResult folder;
  folder.pairs.resize(1);
  folder.pairs[0].path = "run.nc";
  folder.pairs[0].verdict = brindlewick::PairVerdict::kDiffer;
  folder.pairs[0].variables.resize(1);
  folder.pairs[0].variables[0].name = "V1";
  folder.pairs[0].variables[0].differing = 2;
  folder.pairs[0].variables[0].map_png = path("maps/V1.png");
  std::string error;
  ASSERT_TRUE(brindlewick::write_html(folder, path("report.html"), error)) << error;
  EXPECT_NE(kavro_test::read_file(path("report.html"))
                .find("src=\"data:image/png;base64," +
                      brindlewick::base64(kavro_test::read_file(path("maps/V1.png"))) + "\""),
            std::string::npos);
  folder.pairs[0].variables[0].map_png = path("maps/absent.png");
  EXPECT_FALSE(brindlewick::write_html(folder, path("report2.html"), error));
  EXPECT_EQ(error, "Could not read difference map \"" + path("maps/absent.png") + "\"");
}

// A map directory that does not exist, or is a file, ends the run before anything is compared.
TEST_F(SettingsTest, MapDirectoryRefused) {
  kavro_test::write_file(path("plain"), "");
  for (const char* dir : {"absent", "plain"}) {
    const RunResult r = run_relative({{"BRINDLEWICK_MAPS", dir}});
    EXPECT_EQ(r.status, 2) << dir;
    EXPECT_EQ(r.out, banner());
    EXPECT_EQ(tail(r.log, 4), abort_end(std::string("Map directory \"") + dir +
                                        "\" does not exist or is not writable"));
  }
}

// Status 1 when cells differ and 0 when none do, both after a normal completion; 2 for a
// failure as always.
TEST_F(SettingsTest, ExitStatusForScripts) {
  const RunResult differ = run_relative({{"BRINDLEWICK_EXIT_ON_DIFF", "Y"}});
  EXPECT_EQ(differ.status, 1);
  EXPECT_EQ(differ.out, banner() + kPairReports);
  std::vector<std::string> end = {"     Cells differ: 3 (exit status 1, BRINDLEWICK_EXIT_ON_DIFF)"};
  end.insert(end.end(), kNormalEnd.begin(), kNormalEnd.end());
  EXPECT_EQ(tail(differ.log, 5), end);

  const RunResult no = run_relative({{"BRINDLEWICK_EXIT_ON_DIFF", "N"}});
  EXPECT_EQ(no.status, 0);

  // (A NaN against a NaN differs: the pair's V2 alone would give status 1.)
  write("run1.nc", data(4, 3, 2));
  write("run2.nc", data(4, 3, 2));
  const RunResult same = run_relative({{"BRINDLEWICK_EXIT_ON_DIFF", "Y"}});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(tail(same.log, 4), kNormalEnd);

  const RunResult failed =
      run_relative({{"BRINDLEWICK_EXIT_ON_DIFF", "Y"}, {"INFILE1", "absent.nc"}});
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(tail(failed.log, 4), abort_end("Could not open file \"INFILE1\" for input"));
}

// At most N reports; the log counts, per variable, the differing cells not reported.
TEST_F(SettingsTest, ReportCap) {
  const RunResult r = run_relative({{"BRINDLEWICK_MAX_REPORTS", "1"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, banner() + kPairReports.substr(0, 134));
  std::vector<std::string> expected = {
      "     Variable \"V1\": 1 differing cells not reported (BRINDLEWICK_MAX_REPORTS 1)",
      "     Variable \"V2\": 1 differing cells not reported (BRINDLEWICK_MAX_REPORTS 1)"};
  expected.insert(expected.end(), kNormalEnd.begin(), kNormalEnd.end());
  EXPECT_EQ(from_line(r.log, expected[0]), expected);
}

// Tolerances: V1's change of 0.5 is inside an absolute tolerance of 0.5 and outside one just
// below it; the NaN against a number is always reported, the NaN against a NaN never. The log
// records the tolerances in force.
TEST_F(SettingsTest, Tolerances) {
  const RunResult inside = run_relative({{"BRINDLEWICK_ABS_TOL", "0.5"}});
  EXPECT_EQ(inside.status, 0);
  EXPECT_EQ(inside.out, banner() + kPairReports.substr(134, 134));
  EXPECT_TRUE(contains(inside.log,
                       "     Tolerances in force: absolute 0.5, relative 0; a cell is reported "
                       "when |difference| exceeds both"));

  const RunResult outside = run_relative({{"BRINDLEWICK_ABS_TOL", "0.49999"}});
  EXPECT_EQ(outside.out, banner() + kPairReports.substr(0, 268));

  const RunResult relative = run_relative({{"BRINDLEWICK_REL_TOL", "0.0004"}});
  EXPECT_EQ(relative.out, banner() + kPairReports.substr(0, 268));
  const RunResult relative_inside = run_relative({{"BRINDLEWICK_REL_TOL", "0.0005"}});
  EXPECT_EQ(relative_inside.out, banner() + kPairReports.substr(134, 134));

  // Zero tolerances: today's rule, NaN against NaN aside.
  const RunResult zero = run_relative({{"BRINDLEWICK_ABS_TOL", "0"}, {"BRINDLEWICK_REL_TOL", "0"}});
  EXPECT_EQ(zero.out, banner() + kPairReports.substr(0, 268));
}

// Values that are not of their kind, or negative, are refused, quoted, with status 2 before any
// file is opened; the reader has logged the value first.
TEST_F(SettingsTest, BadValuesRefused) {
  struct Case {
    std::string name, value, reader_line, mesg;
  };
  const Case cases[] = {
      {"BRINDLEWICK_ABS_TOL", "-1", "     Value for  BRINDLEWICK_ABS_TOL:  -1",
       "Bad value for BRINDLEWICK_ABS_TOL: \"-1\" is not a number, 0 or more"},
      {"BRINDLEWICK_REL_TOL", "nan", "     Value for  BRINDLEWICK_REL_TOL:  NAN",
       "Bad value for BRINDLEWICK_REL_TOL: \"nan\" is not a number, 0 or more"},
      {"BRINDLEWICK_ABS_TOL", "tiny",
       "     Value for BRINDLEWICK_ABS_TOL not a double : 'tiny', returning default:  0",
       "Bad value for BRINDLEWICK_ABS_TOL: \"tiny\" is not a number, 0 or more"},
      {"BRINDLEWICK_MAX_REPORTS", "-3", "     Value for BRINDLEWICK_MAX_REPORTS:  -3",
       "Bad value for BRINDLEWICK_MAX_REPORTS: \"-3\" is not a whole number, 0 or more"},
      {"BRINDLEWICK_MAX_REPORTS", "many",
       "     Value for BRINDLEWICK_MAX_REPORTS not an integer : 'many', returning default  -1",
       "Bad value for BRINDLEWICK_MAX_REPORTS: \"many\" is not a whole number, 0 or more"},
      {"BRINDLEWICK_SUMMARY", "maybe",
       "     Value for BRINDLEWICK_SUMMARY not T,F,Y, or N : 'maybe', returning defaultval    "
       "FALSE",
       "Bad value for BRINDLEWICK_SUMMARY: \"maybe\" is not Y or N"},
  };
  for (const Case& c : cases) {
    const RunResult r = run_relative({{c.name, c.value}});
    EXPECT_EQ(r.status, 2) << c.name << "=" << c.value;
    EXPECT_EQ(r.out, banner());
    EXPECT_TRUE(contains(r.log, c.reader_line)) << c.reader_line;
    EXPECT_EQ(tail(r.log, 4), abort_end(c.mesg));
    EXPECT_FALSE(contains(r.log, "     \"STACK1\" opened as OLD:READ-ONLY   "));
  }
}

}  // namespace
