// The summary of a comparison: per variable, what was compared, what differed, the largest
// absolute and relative differences and where they are, and the root-mean-square difference;
// then one table across all variables. Pure: the statistics are fed cell by cell and the
// block comes back as log lines.
//
// Counts follow the rule in force (tolerances included): "cells differing" is the number of
// reports the rule gives, a cell counted once per step and layer. The differences describe
// the two fields whatever the tolerance: the largest |difference|, the largest relative
// difference |b - a| / max(|a|, |b|) and the RMS over every cell compared with numbers on both
// sides (cells with a NaN on either side are left out of them).
#ifndef BRINDLEWICK_SUMMARY_H
#define BRINDLEWICK_SUMMARY_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

// Where a cell is: the step's date and time, layer, column and row (1-based), and the
// location file's latitude and longitude of the cell.
struct CellPlace {
  int jdate = 0;
  int jtime = 0;
  int layer = 0;
  int col = 0;
  int row = 0;
  float lat = 0.0F;
  float lon = 0.0F;
};

// The largest of a measure so far, with its cell and both values.
struct Extreme {
  bool found = false;
  double measure = 0.0;
  double a = 0.0;
  double b = 0.0;
  CellPlace at;
};

// One step's figures of a variable: the cells differing, the largest |difference| and the
// RMS difference over the step's cells with numbers on both sides.
struct StepFigures {
  int jdate = 0;
  int jtime = 0;
  std::uint64_t differing = 0;
  double largest_abs = 0.0;
  double rms = 0.0;
};

struct VariableStats {
  std::string name;  // trimmed
  std::string units;
  int vtype = 0;
  int steps = 0;                 // steps compared
  std::uint64_t compared = 0;    // cells x layers x steps
  std::uint64_t differing = 0;   // reported by the rule in force
  std::uint64_t nan_number = 0;  // a NaN against a number
  std::uint64_t nan_any = 0;     // a NaN on either side (both included)
  std::uint64_t unreported = 0;  // differing but beyond the report cap
  int steps_differing = 0;
  int first_jdate = 0;
  int first_jtime = 0;
  Extreme largest_abs;
  Extreme largest_rel;
  double sum_squares = 0.0;
  // The tolerance in force for the variable, when one is, and the largest margin of a cell
  // against it (tolerances.h: 1 is exactly the allowed).
  bool tolerance_set = false;
  double tolerance_abs = 0.0;
  double tolerance_rel = 0.0;
  double margin = 0.0;
  std::vector<StepFigures> series;  // one entry per step compared

  // One step of `cells` cells x layers.
  void begin_step(std::uint64_t cells) noexcept;
  // A cell whose bits differ (the only cells that can add to a difference), its two values
  // as the comparison sees them, and whether the rule in force reports it.
  void add_cell(double a, double b, bool reported, const CellPlace& at) noexcept;
  void end_step(int jdate, int jtime) noexcept;

  // The RMS difference over the cells with numbers on both sides; 0 when there are none.
  double rms() const noexcept;

 private:
  bool step_differs_ = false;
  std::uint64_t step_cells_ = 0;
  std::uint64_t step_nan_any_ = 0;
  StepFigures step_;
  double step_sum_squares_ = 0.0;
};

// The block of one variable, one string per log line (without the log's leading blanks).
std::vector<std::string> summary_block(const VariableStats& s);

// The closing table across all variables: a title, a header, one aligned row per variable.
std::vector<std::string> summary_table(std::span<const VariableStats> all);

// The table for the terminal: per variable the cells compared and differing, the largest
// |difference| with its step, layer, column, row, latitude and longitude, the RMS difference
// and the first step that differs.
std::vector<std::string> terminal_table(std::span<const VariableStats> all);

// The cap's line for a variable with differing cells not reported.
std::string unreported_line(const VariableStats& s, std::int64_t cap);

// The type differences of a variable of type VTYPE are shown in: single precision for INTEGER
// and REAL variables, double for DOUBLE ones.
int difference_type(int vtype) noexcept;

// "2024033:020000": a step's date and time as the log shows them.
std::string date_time_text(int jdate, int jtime);

}  // namespace brindlewick

#endif  // BRINDLEWICK_SUMMARY_H
