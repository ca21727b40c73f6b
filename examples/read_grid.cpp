// Opens the gridded file named by the logical name GRIDFILE, describes it, reads its first
// variable at its first time step and prints the grid, the variables and the first layer's
// corner values.
//
//   GRIDFILE=run1.nc LOGFILE=/dev/null ./read_grid
#include <kavro/kavro.h>

#include <cstdio>
#include <vector>

int main() {
  constexpr kavro::Name16 PNAME{"read_grid"};
  constexpr kavro::Name16 GRIDFILE{"GRIDFILE"};
  kavro::INIT3();
  if (!kavro::OPEN3(GRIDFILE, kavro::FSREAD3, PNAME)) {
    kavro::XQEXIT(PNAME, 0, 0, "Could not open GRIDFILE", kavro::kExitFailure);
  }
  if (!kavro::DESC3(GRIDFILE)) {
    kavro::XQEXIT(PNAME, 0, 0, "Could not describe GRIDFILE", kavro::kExitFailure);
  }
  // DESC3 leaves the description in BDESC3 (numbers) and CDESC3 (texts).
  const kavro::Bdesc3& b = kavro::BDESC3;
  const kavro::Cdesc3& c = kavro::CDESC3;
  std::printf("grid %.16s: %d columns x %d rows x %d layers, %d variables\n",
              c.GDNAM3D.padded().data(), b.NCOLS3D, b.NROWS3D, b.NLAYS3D, b.NVARS3D);
  for (int v = 0; v < b.NVARS3D; ++v) {
    std::printf("  %.16s %.16s type %d\n", c.VNAME3D[v].padded().data(),
                c.UNITS3D[v].padded().data(), b.VTYPE3D[v]);
  }
  if (b.NVARS3D < 1 || b.VTYPE3D[0] != kavro::XQREAL) {
    kavro::XQEXIT(PNAME, 0, 0, "", kavro::kExitOk);
  }

  // All layers of the first variable at the first step: columns vary fastest, then rows.
  const std::size_t ncols = std::size_t(b.NCOLS3D);
  const std::size_t cells = ncols * std::size_t(b.NROWS3D) * std::size_t(b.NLAYS3D);
  std::vector<float> values(cells);
  if (!kavro::READ3(GRIDFILE, c.VNAME3D[0].padded(), kavro::ALLAYS3, b.SDATE3D, b.STIME3D,
                    values.data(), values.size() * sizeof(float))) {
    kavro::XQEXIT(PNAME, 0, 0, "Could not read GRIDFILE", kavro::kExitFailure);
  }
  const std::size_t last_row = ncols * std::size_t(b.NROWS3D - 1);
  std::printf("%.16s at %d:%06d, corners of layer 1: %g %g %g %g\n", c.VNAME3D[0].padded().data(),
              b.SDATE3D, b.STIME3D, double(values[0]), double(values[ncols - 1]),
              double(values[last_row]), double(values[last_row + ncols - 1]));
  kavro::XQEXIT(PNAME, 0, 0, "", kavro::kExitOk);
}
