// make_bench_data DIR [FILE...]: writes the benchmark inputs into DIR: stack.nc (the location
// file) and base.nc plus three files to compare with it (only the FILEs named, when any are:
// "c2.nc" for a look at pair C alone), each with 20 REAL variables x 24 hourly steps on
// 200 rows x 250 columns:
//   a2.nc  identical to base.nc (pair A: no report);
//   b2.nc  0.1 % of all cells changed, drawn with a fixed seed (pair B: 24 000 reports);
//   c2.nc  every cell of variable 1 changed at every step (pair C: 1 200 000 reports).
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "gridwriter/fixture_writer.h"

namespace {

constexpr int kCols = 250;
constexpr int kRows = 200;
constexpr int kVars = 20;
constexpr int kSteps = 24;
constexpr std::size_t kCells = std::size_t(kVars) * kSteps * kRows * kCols;
constexpr unsigned kSeed = 20240202U;
constexpr double kChange = 0.5;

std::size_t cell_index(int var, int rec, int row, int col) {
  return ((std::size_t(var - 1) * kSteps + std::size_t(rec - 1)) * kRows + std::size_t(row - 1)) *
             kCols +
         std::size_t(col - 1);
}

kavro_test::FixtureSpec data_spec() {
  kavro_test::FixtureSpec s = kavro_test::sample_grid(kCols, kRows);
  s.exec_id = s.upnam = "make_bench_data";
  s.sdate = 2024033;
  s.stime = 0;
  s.tstep = 10000;
  s.records = kSteps;
  s.vars = kavro_test::numbered_vars(kVars);
  return s;
}

// The cells of pair B: exactly one in a thousand, spread at random.
std::vector<bool> scattered_cells() {
  std::vector<bool> changed(kCells, false);
  std::mt19937_64 rng(kSeed);
  std::uniform_int_distribution<std::size_t> pick(0, kCells - 1);
  for (std::size_t n = 0; n < kCells / 1000;) {
    std::size_t k = pick(rng);
    if (!changed[k]) {
      changed[k] = true;
      ++n;
    }
  }
  return changed;
}

bool write_all(const std::string& dir, const std::vector<std::string>& only) {
  using kavro_test::default_value;
  using kavro_test::write_fixture;
  const auto wanted = [&only](const char* name) {
    return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
  };
  if (!write_fixture(dir + "/stack.nc", kavro_test::location_fixture(kCols, kRows))) return false;
  kavro_test::FixtureSpec s = data_spec();
  if (!write_fixture(dir + "/base.nc", s)) return false;
  if (wanted("a2.nc") && !write_fixture(dir + "/a2.nc", s)) return false;
  if (wanted("b2.nc")) {
    const std::vector<bool> changed = scattered_cells();
    s.value = [&changed](int var, int rec, int lay, int row, int col) {
      return default_value(var, rec, lay, row, col) +
             (changed[cell_index(var, rec, row, col)] ? kChange : 0.0);
    };
    if (!write_fixture(dir + "/b2.nc", s)) return false;
  }
  s.value = [](int var, int rec, int lay, int row, int col) {
    return default_value(var, rec, lay, row, col) + (var == 1 ? kChange : 0.0);
  };
  return !wanted("c2.nc") || write_fixture(dir + "/c2.nc", s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_bench_data DIR [FILE...]\n");
    return 1;
  }
  if (!write_all(argv[1], std::vector<std::string>(argv + 2, argv + argc))) {
    std::fprintf(stderr, "make_bench_data: could not write the benchmark files into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
