// make_sample DIR: writes the bundled sample into DIR: a location file stack.nc and two data
// files run1.nc and run2.nc on its grid that differ in a handful of cells, among them cells
// that must be reported (a changed value, NaN against NaN, NaN against a number) and cells that
// must not (+0 against -0, a subnormal against zero).
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <tuple>

#include "support/fixture_writer.h"

namespace {

using kavro_test::FixtureSpec;
using kavro_test::FixtureVar;

constexpr int kCols = 12;
constexpr int kRows = 8;
constexpr double kCell = 12000.0;
constexpr double kXorig = -kCols * kCell / 2;
constexpr double kYorig = -kRows * kCell / 2;
constexpr double kPi = 3.14159265358979323846;

FixtureSpec sample_grid() {
  FixtureSpec s;
  s.ftype = kavro_test::kGrdded;
  s.ncols = kCols;
  s.nrows = kRows;
  s.nlays = 1;
  s.gdtyp = 2;
  s.p_alp = 30.0;
  s.p_bet = 60.0;
  s.p_gam = -90.0;
  s.xcent = -90.0;
  s.ycent = 40.0;
  s.xorig = kXorig;
  s.yorig = kYorig;
  s.xcell = s.ycell = kCell;
  s.vglvls = {1.0F, 0.995F};
  s.gdnam = "SAMPLE_12KM";
  s.exec_id = "make_sample";
  s.upnam = "make_sample";
  return s;
}

FixtureVar var(const char* name, int type, const char* units, const char* desc) {
  FixtureVar v;
  v.name = name;
  v.type = type;
  v.units = units;
  v.desc = desc;
  return v;
}

// Cell centres: X and Y in metres on the projection, latitude and longitude from a local
// equirectangular approximation around the projection centre (plausible, not exact).
double x_of(int col) { return kXorig + (col - 0.5) * kCell; }
double y_of(int row) { return kYorig + (row - 0.5) * kCell; }

bool write_stack(const std::string& path) {
  FixtureSpec s = sample_grid();
  s.tstep = 0;
  s.sdate = 0;
  s.stime = 0;
  s.filedesc = {"Sample location file: cell-centre latitude, longitude, indices and",
                "projected coordinates of a 12 x 8 grid of 12 km cells"};
  s.vars = {var("LATITUDE", kavro_test::kReal, "degrees_north", "cell-centre latitude"),
            var("LONGITUDE", kavro_test::kReal, "degrees_east", "cell-centre longitude"),
            var("COL", kavro_test::kInt, "none", "grid column"),
            var("ROW", kavro_test::kInt, "none", "grid row"),
            var("XLOCA", kavro_test::kReal, "m", "projected X of the cell centre"),
            var("YLOCA", kavro_test::kReal, "m", "projected Y of the cell centre")};
  s.value = [](int v, int, int, int row, int col) {
    const double lat = 40.0 + y_of(row) / 111195.0;
    switch (v) {
      case 1: return lat;
      case 2: return -90.0 + x_of(col) / (111195.0 * std::cos(lat * kPi / 180.0));
      case 3: return double(col);
      case 4: return double(row);
      case 5: return x_of(col);
      default: return y_of(row);
    }
  };
  return kavro_test::write_fixture(path, s);
}

// (variable, step, row, col) -> value of run2 where it departs from run1, and the few cells
// where run1 itself departs from the smooth field.
using Cell = std::tuple<int, int, int, int>;
const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kSubnormal = double(std::numeric_limits<float>::denorm_min()) * 7;

const std::map<Cell, double>& run1_cells() {
  static const std::map<Cell, double> cells = {
      {{2, 3, 5, 7}, kNan},   // NaN in both files: reported
      {{1, 4, 1, 1}, 0.0},    // +0 against -0: not reported
      {{2, 1, 4, 5}, 0.0}};   // zero against a subnormal: not reported
  return cells;
}

const std::map<Cell, double>& run2_cells() {
  static const std::map<Cell, double> cells = {
      {{1, 2, 2, 3}, 0.0452},  // a changed ozone value
      {{2, 3, 5, 7}, kNan},
      {{3, 1, 8, 12}, kNan},   // NaN against a number
      {{3, 4, 3, 10}, 285.75}, // a changed temperature
      {{1, 4, 1, 1}, -0.0},
      {{2, 1, 4, 5}, kSubnormal}};
  return cells;
}

double smooth(int v, int step, int row, int col) {
  switch (v) {
    case 1: return 0.030 + 0.001 * step + 0.0005 * row + 0.0002 * col;  // O3, ppmV
    case 2: return 0.010 + 0.0004 * col - 0.0002 * step + 0.0001 * row; // NO2, ppmV
    case 3: return 280.0 + 0.5 * row - 0.25 * col + step;                 // TEMP, K
    default: return double(1 + (row + col + step) % 3);                   // cloud class
  }
}

bool write_run(const std::string& path, const std::map<Cell, double>& cells) {
  FixtureSpec s = sample_grid();
  s.sdate = 2024033;
  s.stime = 0;
  s.tstep = 10000;
  s.records = 4;
  s.filedesc = {"Sample model output: four hourly steps on the sample grid"};
  s.vars = {var("O3", kavro_test::kReal, "ppmV", "ozone mixing ratio"),
            var("NO2", kavro_test::kReal, "ppmV", "nitrogen dioxide mixing ratio"),
            var("TEMP", kavro_test::kReal, "K", "air temperature"),
            var("CLOUD", kavro_test::kInt, "class", "cloud class 1 to 3")};
  s.value = [&cells](int v, int step, int, int row, int col) {
    auto it = cells.find({v, step, row, col});
    return it != cells.end() ? it->second : smooth(v, step, row, col);
  };
  return kavro_test::write_fixture(path, s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample DIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  if (!write_stack(dir + "/stack.nc") || !write_run(dir + "/run1.nc", run1_cells()) ||
      !write_run(dir + "/run2.nc", run2_cells())) {
    std::fprintf(stderr, "make_sample: could not write the sample files into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
