// The comparison of two data files, cell by cell: the rule that decides whether a cell
// differs, the scan that finds such cells, and the cell loop that writes one located report
// per differing cell. The checks and messages (compare_checks.h) and the report writer
// (report_writer.h) come with it.
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
#include "outputs/report_format.h"
#include "outputs/report_writer.h"
#include "run/compare_checks.h"

namespace brindlewick {

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

// ---- The cell loop ---------------------------------------------------------------------------
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
  int first_layer = 1;  // the file's layer that the first of the nlays compared is
};

// Report texts kept for a run that reports cells over and over: a cell's report depends only
// on the cell, so its text is formatted once, kept, and written again for every later report
// of the cell. The texts stand in report order (columns outer, rows inner), so the reports of
// neighbouring cells go out as one block, a layer whose every cell differs as one write.
struct KeptTexts {
  char* texts = nullptr;      // ncols x nrows x kReportSize zeroed bytes
  std::size_t formatted = 0;  // texts formatted so far: all once it is ncols x nrows
  bool every_layer = false;   // kept for every layer, not only those where most cells differ
};

// Working space of the cell loop: `found` and `sorted` hold ncols x nrows cell indices,
// `column_starts` ncols counters; `kept`, when given, the kept report texts.
struct CellScratch {
  std::size_t* found = nullptr;
  std::size_t* sorted = nullptr;
  std::size_t* column_starts = nullptr;
  KeptTexts* kept = nullptr;
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
