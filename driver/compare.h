// The comparison of two data files, cell by cell: the rule that decides whether a cell
// differs, the checks that keep every index inside the arrays, the messages that end a run,
// and the cell loop that writes one located report per differing cell.
//
// Everything here is pure (no library call), so the tests drive it without files.
#ifndef BRINDLEWICK_COMPARE_H
#define BRINDLEWICK_COMPARE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kavro/kavro.h"
#include "report_format.h"

namespace brindlewick {

// The text handed to XQEXIT when a run fails.
using Mesg = kavro::FixedString<160>;

// ---- The comparison rule --------------------------------------------------------------------
// A cell is reported when its two values are unordered (a NaN on either side) or not equal.
// +0 equals -0, and with subnormal operands taken as zero (the mode the tool runs in) a
// subnormal equals zero and any other subnormal. The rule is computed on the bits, so it
// holds whatever mode the floating-point unit is in.
bool cell_differs(float a, float b) noexcept;
bool cell_differs(double a, double b) noexcept;
bool cell_differs(std::int32_t a, std::int32_t b) noexcept;

// ---- Tolerances --------------------------------------------------------------------------
// With BRINDLEWICK_ABS_TOL or BRINDLEWICK_REL_TOL set, a cell that the rule above reports is
// still reported only when |a - b| exceeds the absolute tolerance and the relative tolerance
// times the larger magnitude. A NaN against a number is always reported, a NaN against a NaN
// never; an infinity against any other value always. Zero tolerances report exactly what the
// rule above reports, NaN against NaN aside.
struct Tolerance {
  bool set = false;
  double absolute = 0.0;
  double relative = 0.0;
};

// The values as the comparison sees them (subnormals as zero, INTEGERs exact), either in
// double precision.
bool beyond_tolerance(double a, double b, const Tolerance& tol) noexcept;

// A value of type `vtype` held in the low bytes of `bits` (XQINT and XQREAL: 32, XQDBLE: 64),
// as a double: INTEGERs and REALs exactly, subnormals as a zero of their sign, whatever mode
// the floating-point unit is in.
double cell_number(int vtype, std::uint64_t bits) noexcept;

// Bytes of one value of a data variable of type `vtype` (XQINT, XQREAL: 4; XQDBLE: 8);
// 0 for a type the tool does not compare.
constexpr std::size_t value_bytes(int vtype) noexcept {
  return vtype == kavro::XQINT || vtype == kavro::XQREAL ? 4 : (vtype == kavro::XQDBLE ? 8 : 0);
}

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

// ---- Reports ---------------------------------------------------------------------------------
// Grid column (or row) of a location: (loc - orig) / cell in double precision, truncated
// toward zero. A zero cell size, or a quotient that is NaN or outside the 32-bit range, has
// no grid index and prints as IMISSING3 (-9999).
std::int32_t grid_index(float loc, double orig, double cell) noexcept;

// Report lines collected in a large buffer and written to `out` in big chunks. Reports
// share standard output with the log when LOGFILE is unset, so the owner flushes before
// every library call that may write to the log.
class ReportWriter {
 public:
  explicit ReportWriter(std::FILE* out) noexcept : out_(out) {}
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Room for one more report; writes the buffer out first when it is nearly full.
  char* reserve() noexcept;
  void commit(char* end) noexcept { used_ = static_cast<std::size_t>(end - buffer_); }
  // Adds text of any length (the labelled reports and their totals).
  void write(std::string_view text) noexcept;
  // Hands everything collected to the stream and flushes it. False once a write has failed.
  bool flush() noexcept;

 private:
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
  bool write_out() noexcept;

  std::FILE* out_;
  std::size_t used_ = 0;
  bool unflushed_ = false;
  bool failed_ = false;
  char buffer_[kBufferBytes];
};

// The per-cell location data from STACK1: ncols x nrows values each, columns fastest.
struct Locations {
  const float* LATIT = nullptr;
  const float* LONGI = nullptr;
  const std::int32_t* COL = nullptr;
  const std::int32_t* ROW = nullptr;
  const float* XLOCA = nullptr;
  const float* YLOCA = nullptr;
};

// What the reports take from INFILE2's description.
struct GridFrame {
  int ncols = 0;
  int nrows = 0;
  int nlays = 0;
  double XORIG3D = 0.0;
  double YORIG3D = 0.0;
  double XCELL3D = 0.0;
  double YCELL3D = 0.0;
};

// Working space of the cell loop: `found` and `sorted` hold ncols x nrows cell indices,
// `column_starts` ncols counters. `report_texts`, when given, is ncols x nrows x kReportSize
// zeroed bytes: a cell's report depends only on the cell, so its text is formatted once, kept
// there, and copied for every later report of the cell.
struct CellScratch {
  std::size_t* found = nullptr;
  std::size_t* sorted = nullptr;
  std::size_t* column_starts = nullptr;
  char* report_texts = nullptr;
};

// What the optional outputs (summary, maps, CSV, report cap, tolerances) see of a step: every
// cell that the comparison rule reports, in report order. `cell` is the row-major index within
// the layer (0-based), `layer` 1-based; `a` and `b` hold the two values' bits in their low
// bytes. The answer says whether the cell's report is written.
class DifferenceSink {
 public:
  virtual bool differing_cell(std::size_t cell, int layer, std::uint64_t a,
                              std::uint64_t b) noexcept = 0;

 protected:
  ~DifferenceSink() = default;
};

// Compares one variable at one step: INCONC against ALTCONC, `vtype` values laid out columns
// fastest, then rows, then layers, both in byte order `order` (the sink sees the machine's).
// Reports every differing cell, layer outermost, then columns, then rows; with a sink, only
// the cells it accepts. Returns the number of reports written.
std::size_t compare_step(int vtype, const void* INCONC, const void* ALTCONC, const GridFrame& grid,
                         const Locations& loc, const CellScratch& scratch, ReportWriter& out,
                         DifferenceSink* sink = nullptr,
                         kavro::ValueOrder order = kavro::ValueOrder::native) noexcept;

namespace test_hooks {
// The cell scan runs as AVX2 code where the processor has it; on, the code for any x86-64.
void use_generic_scan(bool on) noexcept;
}  // namespace test_hooks

// Reverses the bytes of each `vtype` value in the first `bytes` bytes of VALUES: a buffer read
// in the file's byte order into the machine's, when the other file's was not.
void reverse_value_bytes(void* values, std::size_t bytes, int vtype) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_COMPARE_H
