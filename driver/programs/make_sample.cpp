// make_sample DIR: writes the bundled sample into DIR (created when missing): a location file
// stack.nc and two data files run1.nc and run2.nc on its grid that differ in a handful of cells,
// among them cells that must be reported (a changed value, NaN against NaN, NaN against a number)
// and cells that must not (+0 against -0, a subnormal against zero).
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>

#include "gridwriter/fixture_writer.h"

namespace {

using kavro_test::described_var;
using kavro_test::FixtureSpec;
using kavro_test::kInt;
using kavro_test::kReal;

constexpr int kCols = 12;
constexpr int kRows = 8;

// The files say which program made them.
FixtureSpec stamped(FixtureSpec s) {
  s.exec_id = "make_sample";
  s.upnam = "make_sample";
  return s;
}

// (variable, step, row, col) -> value of run2 where it departs from run1, and the few cells
// where run1 itself departs from the smooth field.
using Cell = std::tuple<int, int, int, int>;
const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kSubnormal = double(std::numeric_limits<float>::denorm_min()) * 7;

const std::map<Cell, double>& run1_cells() {
  static const std::map<Cell, double> cells = {
      {{2, 3, 5, 7}, kNan},  // NaN in both files: reported
      {{1, 4, 1, 1}, 0.0},   // +0 against -0: not reported
      {{2, 1, 4, 5}, 0.0}};  // zero against a subnormal: not reported
  return cells;
}

const std::map<Cell, double>& run2_cells() {
  static const std::map<Cell, double> cells = {
      {{1, 2, 2, 3}, 0.0452},                          // a changed ozone value
      {{2, 3, 5, 7}, kNan},    {{3, 1, 8, 12}, kNan},  // NaN against a number
      {{3, 4, 3, 10}, 285.75},                         // a changed temperature
      {{1, 4, 1, 1}, -0.0},    {{2, 1, 4, 5}, kSubnormal}};
  return cells;
}

double smooth(int v, int step, int row, int col) {
  switch (v) {
    case 1:
      return 0.030 + 0.001 * step + 0.0005 * row + 0.0002 * col;  // O3, ppmV
    case 2:
      return 0.010 + 0.0004 * col - 0.0002 * step + 0.0001 * row;  // NO2, ppmV
    case 3:
      return 280.0 + 0.5 * row - 0.25 * col + step;  // TEMP, K
    default:
      return double(1 + (row + col + step) % 3);  // cloud class
  }
}

bool write_run(const std::string& path, const std::map<Cell, double>& cells) {
  FixtureSpec s = stamped(kavro_test::sample_grid(kCols, kRows));
  s.sdate = 2024033;
  s.stime = 0;
  s.tstep = 10000;
  s.records = 4;
  s.filedesc = {"Sample model output: four hourly steps on the sample grid"};
  s.vars = {described_var("O3", kReal, "ppmV", "ozone mixing ratio"),
            described_var("NO2", kReal, "ppmV", "nitrogen dioxide mixing ratio"),
            described_var("TEMP", kReal, "K", "air temperature"),
            described_var("CLOUD", kInt, "class", "cloud class 1 to 3")};
  s.value = [&cells](int v, int step, int, int row, int col) {
    auto it = cells.find({v, step, row, col});
    return it != cells.end() ? it->second : smooth(v, step, row, col);
  };
  return kavro_test::write_fixture(path, s);
}

}  // namespace

constexpr const char* kHelp =
    "Usage: make_sample DIR\n"
    "\n"
    "Writes the bundled sample into DIR (created when it does not exist): stack.nc, a location\n"
    "file, and run1.nc and run2.nc, two data files on its grid that differ in a few cells.\n"
    "Compare them with: brindlewick --stack DIR/stack.nc DIR/run1.nc DIR/run2.nc\n";

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    return std::fputs(kHelp, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_sample DIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "make_sample: could not create %s: %s\n", dir.c_str(),
                 error.message().c_str());
    return 1;
  }
  if (!kavro_test::write_fixture(dir + "/stack.nc",
                                 stamped(kavro_test::location_fixture(kCols, kRows))) ||
      !write_run(dir + "/run1.nc", run1_cells()) || !write_run(dir + "/run2.nc", run2_cells())) {
    std::fprintf(stderr, "make_sample: could not write the sample files into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
