// The checks that keep a run's every index inside its arrays and its files alike (shapes,
// grids, types), and the messages that end a failed run. Pure: no library call.
#ifndef BRINDLEWICK_COMPARE_CHECKS_H
#define BRINDLEWICK_COMPARE_CHECKS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"

namespace brindlewick {

// The text handed to XQEXIT when a run fails.
using Mesg = kavro::FixedString<160>;

// ---- Shapes and the checks that keep every index inside the arrays ----------------------
struct FileShape {
  int ftype = 0;
  int ncols = 0;
  int nrows = 0;
  int nlays = 0;
};

// Gridded file types: GRDDED3, the unnamed type 7 and PTRFLY3 lay out columns x rows x layers.
constexpr bool is_gridded(int ftype) noexcept {
  return ftype == kavro::GRDDED3 || ftype == kavro::kTypeSeven || ftype == kavro::PTRFLY3;
}

// Bytes of `per_cell` bytes over ncols x nrows x nlays cells; a dimension of zero or less is
// an empty extent. False when the product does not fit in std::size_t.
bool array_bytes(int ncols, int nrows, int nlays, std::size_t per_cell,
                 std::size_t& bytes) noexcept;

// STACK1, INFILE1 and INFILE2 must be gridded on the same columns x rows, and the two data
// files must have the same number of layers. Each check fills `mesg` and returns false on a
// mismatch.
bool check_gridded(std::string_view lname, const FileShape& shape, Mesg& mesg) noexcept;
bool check_same_grid(const FileShape& stack, const FileShape& infile1, const FileShape& infile2,
                     Mesg& mesg) noexcept;
bool check_same_layers(const FileShape& infile1, const FileShape& infile2, Mesg& mesg) noexcept;

// Where a grid lies: its projection, origin, cell size and name, from a file's description.
struct GridPlace {
  int GDTYP3D = 0;
  double P_ALP3D = 0.0, P_BET3D = 0.0, P_GAM3D = 0.0, XCENT3D = 0.0, YCENT3D = 0.0;
  double XORIG3D = 0.0, YORIG3D = 0.0, XCELL3D = 0.0, YCELL3D = 0.0;
  kavro::Name16 GDNAM3D;
};

// One way two grids lie differently: what ("origin", "cell size", "projection", "name") and
// the first and the second grid's values as the log shows them.
struct GridDifference {
  std::string what;
  std::string first;
  std::string second;
};
std::vector<GridDifference> grid_difference_items(const GridPlace& a, const GridPlace& b);

// Two grids of the same size that lie differently are still compared cell by cell; these
// lines say how they differ (origin, cell size, projection, name), naming both files' values.
// Empty when they lie alike.
std::vector<std::string> grid_differences(std::string_view lname1, const GridPlace& a,
                                          std::string_view lname2, const GridPlace& b);

// A location variable must have its documented type ("COL" and "ROW" INTEGER, the others
// REAL). `vtype` is the variable's type in STACK1.
bool check_location_type(std::string_view vname, int expected, int vtype, Mesg& mesg) noexcept;

// A data variable is compared in its own type, which must be INTEGER, REAL or DOUBLE and the
// same in both files. `vtype1` is its type in INFILE1, `vtype2` in INFILE2.
bool check_variable_types(std::string_view vname, int vtype1, int vtype2, Mesg& mesg) noexcept;

// ---- The messages of a failed run ---------------------------------------------------------
Mesg open_failure_message(std::string_view lname) noexcept;
Mesg read_failure_message(std::string_view lname) noexcept;
inline constexpr std::string_view kDescFailure = "Could not get file description";
inline constexpr std::string_view kWriteFailure =
    "Could not write the difference reports to standard output";
// The allocation stop, written as one line on standard error.
inline constexpr std::string_view kAllocFailure = "Error allocating arrays";
}  // namespace brindlewick

#endif  // BRINDLEWICK_COMPARE_CHECKS_H
