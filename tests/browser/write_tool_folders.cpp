// Writes two folders for a folder run of the tool itself, with the raw netCDF fixture writer:
//   write_tool_folders DIR   DIR/d1 and DIR/d2 holding an identical pair (same.nc), a pair
//                            whose V1 and V3 differ over a patch of cells at both steps while
//                            V2 does not (sub/diff.nc), a file in d1 only (missing.nc) and a
//                            pair that is no netCDF (bad.nc).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "gridwriter/fixture_writer.h"

namespace {

using kavro_test::FixtureSpec;

// A 24 x 18 grid of 12 km cells, two steps of three REAL variables with whole values, so the
// differences are exact; DIFFER adds a signed bump to V1 and V3 in part of the grid.
FixtureSpec folder_data(bool differ) {
  FixtureSpec s;
  s.ncols = 24;
  s.nrows = 18;
  s.nlays = 1;
  s.vars = kavro_test::numbered_vars(3);
  s.value = [differ](int v, int rec, int lay, int row, int col) {
    const double base = v * 1000 + rec * 100 + lay * 10 + row * 4 + col;
    if (!differ || v == 2 || row < 4 || row > 14 || col < 3 || col > 20) return base;
    // Positive to the west of column 12, negative to its east, growing with the step.
    const double bump = (col < 12 ? 1.0 : -1.0) * double((row + col) % 5 + 1) * rec;
    return base + (v == 3 ? 2.0 * bump : bump);
  };
  return s;
}

bool put(const std::filesystem::path& path, const FixtureSpec& fx) {
  std::filesystem::create_directories(path.parent_path());
  if (kavro_test::write_fixture(path.string(), fx)) return true;
  std::fprintf(stderr, "write_tool_folders: could not write %s\n", path.c_str());
  return false;
}

bool put_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_tool_folders DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const bool written = put(dir / "d1/same.nc", folder_data(false)) &&
                       put(dir / "d2/same.nc", folder_data(false)) &&
                       put(dir / "d1/sub/diff.nc", folder_data(false)) &&
                       put(dir / "d2/sub/diff.nc", folder_data(true)) &&
                       put(dir / "d1/missing.nc", folder_data(false)) &&
                       put_text(dir / "d1/bad.nc", "not a netCDF file\n") &&
                       put_text(dir / "d2/bad.nc", "not a netCDF file\n");
  return written ? 0 : 1;
}
