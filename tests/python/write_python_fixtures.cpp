// write_python_fixtures DIR: the Python tests' files, written with the raw netCDF C API
// (tools/gridwriter), never with the package under test:
//   grid.nc    GRDDED3, 5 columns x 4 rows x 3 layers, REAL O3, DOUBLE TEMP, INTEGER COUNT,
//              3 hourly steps from 2024033:000000, values from the writer's formula
//   day2.nc    the same grid and variables, the next 2 steps (030000, 040000): with grid.nc a
//              file list of 5 steps
//   same.nc    grid.nc again, written separately
//   diff.nc    grid.nc with O3 changed at step 2 (layer 2, column 4, row 3) and TEMP NaN at
//              step 3 (layer 1, column 1, row 1)
//   other_grid.nc  6 columns: does not fit the others
//   stack.nc   the location file of the 5 x 4 grid
//   rolling.nc grid.nc's grid with a time step of -010000, written for 3 steps: its two
//              records hold steps 3 (record 1) and 2 (record 2)
//   boundary.nc  BNDARY3 on the 5 x 4 grid: not gridded
//   fewer_steps.nc  grid.nc's first 2 steps only; fewer_vars.nc  without COUNT;
//   shifted.nc  the origin one cell east and P_ALP 33; units.nc  O3 in ppbV and VGTOP 10000:
//              each differs from grid.nc in one kind only
//   grid.bin   grid.nc copied into a native binary file by the library's C++ interface, not
//              by the Python module that reads it (the library's own tests pin that layout
//              byte by byte)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "gridwriter/fixture_writer.h"
#include "kavro/file.h"

namespace {

using kavro_test::described_var;
using kavro_test::FixtureSpec;

constexpr int kCols = 5;
constexpr int kRows = 4;

FixtureSpec grid(int ncols = kCols) {
  FixtureSpec s = kavro_test::sample_grid(ncols, kRows);
  s.nlays = 3;
  s.vglvls = {1.0F, 0.9F, 0.7F, 0.4F};
  s.gdnam = "PY_GRID";
  s.records = 3;
  s.vars = {described_var("O3", kavro_test::kReal, "ppmV", "ozone"),
            described_var("TEMP", kavro_test::kDouble, "K", "air temperature"),
            described_var("COUNT", kavro_test::kInt, "1", "a count")};
  return s;
}

FixtureSpec day2() {
  FixtureSpec s = grid();
  s.stime = 30000;
  s.records = 2;
  // Different values from grid.nc's, so a list read shows which member served each step.
  s.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec + 3, lay, row, col);
  };
  return s;
}

FixtureSpec with_type_and_step(int ftype, int tstep) {
  FixtureSpec s = grid();
  s.ftype = ftype;
  s.tstep = tstep;
  return s;
}

FixtureSpec fewer_steps() {
  FixtureSpec s = grid();
  s.records = 2;
  return s;
}

FixtureSpec fewer_vars() {
  FixtureSpec s = grid();
  s.vars.pop_back();
  return s;
}

FixtureSpec shifted() {
  FixtureSpec s = grid();
  s.xorig += s.xcell;
  s.p_alp = 33.0;
  return s;
}

FixtureSpec other_units() {
  FixtureSpec s = grid();
  s.vars[0].units = "ppbV";
  s.vgtop = 10000.0F;
  return s;
}

FixtureSpec changed() {
  FixtureSpec s = grid();
  s.value = [](int var, int rec, int lay, int row, int col) {
    if (var == 1 && rec == 2 && lay == 2 && row == 3 && col == 4) return 99.5;
    if (var == 2 && rec == 3 && lay == 1 && row == 1 && col == 1) {
      return std::numeric_limits<double>::quiet_NaN();
    }
    return kavro_test::default_value(var, rec, lay, row, col);
  };
  return s;
}

template <kavro::FileValue T>
void copy_values(const kavro::File& in, kavro::File& out, const std::string& var, kavro::Step s) {
  out.write(var, s, in.read<T>(var, kavro::ALLAYS3, s));
}

bool binary_copy(const std::string& from, const std::string& to) {
  try {
    const kavro::File in = kavro::File::open_path(from);
    const kavro::Description d = in.description();
    kavro::File out = kavro::File::create("BIN:" + to, d);
    for (const kavro::Step& s : in.steps()) {
      for (const kavro::Variable& v : d.variables) {
        switch (v.type) {
          case kavro::ValueType::integer:
            copy_values<std::int32_t>(in, out, v.name, s);
            break;
          case kavro::ValueType::real:
            copy_values<float>(in, out, v.name, s);
            break;
          case kavro::ValueType::double_precision:
            copy_values<double>(in, out, v.name, s);
            break;
        }
      }
    }
    out.close();
    return true;
  } catch (const kavro::Error& e) {
    std::fprintf(stderr, "write_python_fixtures: %s\n", e.what());
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_python_fixtures DIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const bool ok =
      kavro_test::write_fixture(dir + "grid.nc", grid()) &&
      kavro_test::write_fixture(dir + "day2.nc", day2()) &&
      kavro_test::write_fixture(dir + "same.nc", grid()) &&
      kavro_test::write_fixture(dir + "diff.nc", changed()) &&
      kavro_test::write_fixture(dir + "fewer_steps.nc", fewer_steps()) &&
      kavro_test::write_fixture(dir + "fewer_vars.nc", fewer_vars()) &&
      kavro_test::write_fixture(dir + "shifted.nc", shifted()) &&
      kavro_test::write_fixture(dir + "units.nc", other_units()) &&
      kavro_test::write_fixture(dir + "other_grid.nc", grid(kCols + 1)) &&
      kavro_test::write_fixture(dir + "stack.nc", kavro_test::location_fixture(kCols, kRows)) &&
      kavro_test::write_fixture(dir + "rolling.nc",
                                with_type_and_step(kavro_test::kGrdded, -10000)) &&
      kavro_test::write_fixture(dir + "boundary.nc",
                                with_type_and_step(kavro_test::kBndary, 10000)) &&
      binary_copy(dir + "grid.nc", dir + "grid.bin");
  return ok ? 0 : 1;
}
