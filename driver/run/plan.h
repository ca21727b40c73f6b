// What a run will compare, decided before the first cell from the two data files'
// descriptions and the settings: the variables and steps both files hold and those only one
// holds, the steps the cell loop walks, and how the grids and headers differ. The cell loop
// walks the plan; the verdict and the outputs read it.
#ifndef BRINDLEWICK_PLAN_H
#define BRINDLEWICK_PLAN_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "run/compare_checks.h"
#include "run/described.h"
#include "run/settings.h"

namespace brindlewick {

// A header attribute that differs: the attribute, the variable it belongs to (empty: the
// file's own) and both files' values.
struct HeaderDifference {
  std::string attribute;
  std::string variable;
  std::string value1;
  std::string value2;
};

struct Plan {
  // INFILE2's variables the cell loop compares, as positions among INFILE2's variables.
  std::vector<std::size_t> variables;
  // The chosen variables only INFILE1 holds, and only INFILE2 holds.
  std::vector<std::string> only_in_1;
  std::vector<std::string> only_in_2;
  // The steps the cell loop walks for every variable (INFILE2's, in its order).
  std::vector<StepTime> steps;
  // INFILE2's records: how many, how many of them the chosen steps hold, the first and last.
  int records2 = 0;
  int records2_chosen = 0;
  StepTime first2;
  StepTime last2;
  // The chosen steps each file holds, and those only one of them holds.
  std::size_t steps_in_1 = 0;
  std::size_t steps_in_2 = 0;
  std::vector<StepTime> steps_only_in_1;
  std::vector<StepTime> steps_only_in_2;
  // How INFILE1's grid lies against INFILE2's.
  std::vector<GridDifference> grid;
  // Header attributes that differ, the ignored ones left out.
  std::vector<HeaderDifference> header;
};

// The steps of AXIS in the order a reader meets them, one per record: the one walk of a step
// axis. A time-independent file gives its one date and time for every record.
std::vector<StepTime> steps_of(const StepAxis& axis);

// Whether AXIS holds the step; a time-independent file holds every step.
bool axis_holds(const StepAxis& axis, const std::vector<StepTime>& steps, StepTime t) noexcept;

// The plan for comparing ONE (INFILE1) with TWO (INFILE2) under SETTINGS.
Plan make_plan(const Described& one, const Described& two, const Settings& settings);

// The header attributes of ONE and TWO that differ and SETTINGS do not ignore: the files' own
// attributes, then those of every chosen variable both files hold.
std::vector<HeaderDifference> header_differences(const Described& one, const Described& two,
                                                 const Settings& settings);

// The log's line for a header difference.
std::string header_line(const HeaderDifference& d);

// "YYYYDDD:HHMMSS, ..." of STEPS.
std::string steps_text(const std::vector<StepTime>& steps);

}  // namespace brindlewick

#endif  // BRINDLEWICK_PLAN_H
