#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "comparison.h"
#include "kavro/kavro.h"

namespace brindlewick {

using kavro::ALLAYS3;
using kavro::BDESC3;
using kavro::CDESC3;
using kavro::Name16;

namespace {

// The most memory the kept report texts may take: grids up to about 500 000 cells.
constexpr std::size_t kReportTextBudget = std::size_t{64} << 20;

// Whether AXIS holds the step; a time-independent file holds every step.
bool axis_holds(const StepAxis& axis, int jdate, int jtime) noexcept {
  if (axis.tstep == 0) return axis.nrec > 0;
  int d = axis.sdate, t = axis.stime;
  for (int k = 0; k < axis.nrec; ++k, kavro::NEXTIME(d, t, step_length(axis.tstep))) {
    if (d == jdate && t == jtime) return true;
  }
  return false;
}

std::string step_text(int jdate, int jtime) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%d:%06d", jdate, jtime);
  return text.data();
}

// The steps of FROM that IN lacks, as "YYYYDDD:HHMMSS, ...".
std::string steps_lacking(const StepAxis& from, const StepAxis& in) {
  std::string list;
  int d = from.sdate, t = from.stime;
  for (int k = 0; k < from.nrec; ++k, kavro::NEXTIME(d, t, step_length(from.tstep))) {
    if (axis_holds(in, d, t)) continue;
    list.append(list.empty() ? "" : ", ").append(step_text(d, t));
    if (from.tstep == 0) break;
  }
  return list;
}

// Whether the variable is among INFILE2's, whose description is in force.
bool in_infile2(std::string_view vname) noexcept {
  const int n = description_nvars();
  for (std::size_t v = 0; v < static_cast<std::size_t>(n); ++v) {
    if (kavro::padded_equal(vname, CDESC3.VNAME3D[v].padded())) return true;
  }
  return false;
}

// Bytes of the widest value among INFILE2's variables: the data buffers hold any of them.
std::size_t widest_value(int nvars) noexcept {
  std::size_t widest = sizeof(float);
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    const std::size_t bytes = value_bytes(BDESC3.VTYPE3D[v]);
    if (bytes > widest) widest = bytes;
  }
  return widest;
}

// INFILE2's steps and how many of them BRINDLEWICK_STEPS selects.
struct StepCount {
  int compared = 0;
  int last_date = 0;
  int last_time = 0;
};

StepCount count_steps(const StepRange& range, int TSTEP, int nsteps) noexcept {
  StepCount count;
  int JDATE = BDESC3.SDATE3D;
  int JTIME = BDESC3.STIME3D;
  for (int step = 0; step < nsteps; ++step) {
    count.compared += range.holds(JDATE, JTIME) ? 1 : 0;
    count.last_date = JDATE;
    count.last_time = JTIME;
    kavro::NEXTIME(JDATE, JTIME, TSTEP);
  }
  return count;
}

}  // namespace

StepAxis description_axis() noexcept {
  return {BDESC3.SDATE3D, BDESC3.STIME3D, BDESC3.TSTEP3D, BDESC3.MXREC3D};
}

// A negative step marks a file that keeps its two latest steps in turn; its steps still
// advance in time, by the step's magnitude.
int step_length(int tstep) noexcept {
  return tstep == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max()
                                                  : std::abs(tstep);
}

void Comparison::keep_infile1_variables() noexcept {
  infile1_axis_ = description_axis();
  infile1_variables_.nvars = description_nvars();
  for (std::size_t v = 0; v < static_cast<std::size_t>(infile1_variables_.nvars); ++v) {
    infile1_variables_.names[v] = CDESC3.VNAME3D[v];
    infile1_variables_.types[v] = BDESC3.VTYPE3D[v];
  }
}

bool Comparison::in_infile1(std::string_view vname) const noexcept {
  return kavro::INDEX1(vname, infile1_variables_.nvars,
                       std::span<const Name16>(infile1_variables_.names)) != 0;
}

// After DESC3(INFILE2): a chosen variable must be in one of the files, and the variables of
// INFILE1 that INFILE2 lacks (and that are chosen) are said, since only INFILE2's are compared.
void Comparison::check_variables() noexcept {
  for (const auto& [names, setting] : {std::pair{&settings_.variables, kVariablesSetting},
                                       std::pair{&settings_.exclude, kExcludeSetting}}) {
    for (const std::string& name : *names) {
      if (!in_infile1(name) && !in_infile2(name)) {
        fail(Mesg{"Variable \"" + name + "\" of " + std::string(setting) +
                  " is in neither \"INFILE1\" nor \"INFILE2\""});
      }
    }
  }
  // Excluded variables are listed as such, never as missing from a file.
  for (const std::string& name : settings_.exclude) {
    say("Variable \"" + name + "\" excluded (" + std::string(kExcludeSetting) + "): not compared");
  }
  for (std::size_t v = 0; v < static_cast<std::size_t>(infile1_variables_.nvars); ++v) {
    const std::string_view name = infile1_variables_.names[v].trimmed();
    if (settings_.selects(name) && !in_infile2(name)) {
      say("Variable \"" + std::string(name) +
          "\" of \"INFILE1\" is not in \"INFILE2\": not compared");
    }
  }
}

// BRINDLEWICK_ONLY_COMMON: what INFILE2 holds and INFILE1 lacks is said, not compared (what
// INFILE1 alone holds check_variables says); and so are the steps either file alone holds.
void Comparison::list_uncommon() noexcept {
  const int n = description_nvars();
  for (std::size_t v = 0; v < static_cast<std::size_t>(n); ++v) {
    const std::string_view name = CDESC3.VNAME3D[v].trimmed();
    if (settings_.selects(name) && !in_infile1(name)) {
      say("Variable \"" + std::string(name) +
          "\" of \"INFILE2\" is not in \"INFILE1\": not compared");
    }
  }
  const StepAxis infile2 = description_axis();
  for (const auto& [from, in, other] :
       {std::tuple{infile2, infile1_axis_, "INFILE2\" not in \"INFILE1"},
        std::tuple{infile1_axis_, infile2, "INFILE1\" not in \"INFILE2"}}) {
    const std::string list = steps_lacking(from, in);
    if (!list.empty()) say("Steps of \"" + std::string(other) + "\", not compared: " + list);
  }
}

// Whether a variable of INFILE2 is compared.
bool Comparison::compared(std::string_view vname) const noexcept {
  return settings_.selects(vname) && (!settings_.only_common || in_infile1(vname));
}

// Grids of the same size that lie differently are compared as they are, with a warning.
void Comparison::warn_grid_differences(const GridPlace& stack, const GridPlace& infile1,
                                       const GridPlace& infile2) noexcept {
  for (const auto& [lname, place] : {std::pair{"STACK1", stack}, std::pair{"INFILE1", infile1}}) {
    for (const std::string& line : grid_differences(lname, place, "INFILE2", infile2)) {
      kavro::XQWARN(PROGNAME, 0, 0, line);
      tell(line);
    }
  }
}

// INFILE1's type of a variable of INFILE2; a variable INFILE1 lacks is left to READ3.
int Comparison::infile1_type(std::string_view vname, int vtype2) const noexcept {
  const int v = kavro::INDEX1(vname, infile1_variables_.nvars,
                              std::span<const Name16>(infile1_variables_.names));
  return v == 0 ? vtype2 : infile1_variables_.types[static_cast<std::size_t>(v - 1)];
}

void Comparison::allocate_data_arrays(const GridFrame& grid, int nvars) noexcept {
  const std::size_t widest = widest_value(nvars);
  arrays_.INCONC = allocate(grid.ncols, grid.nrows, grid.nlays, widest, arrays_.data_bytes);
  arrays_.ALTCONC = allocate(grid.ncols, grid.nrows, grid.nlays, widest, arrays_.data_bytes);
  std::size_t bytes = 0;
  arrays_.scratch.found =
      static_cast<std::size_t*>(allocate(grid.ncols, grid.nrows, 1, sizeof(std::size_t), bytes));
  arrays_.scratch.sorted =
      static_cast<std::size_t*>(allocate(grid.ncols, grid.nrows, 1, sizeof(std::size_t), bytes));
  arrays_.scratch.column_starts =
      static_cast<std::size_t*>(allocate(grid.ncols, 1, 1, sizeof(std::size_t), bytes));
}

// The block of kept report texts, where the grid fits the budget. A run with few reports never
// pays for it: calloc leaves its pages untouched until a text is written into them, and the
// cell loop keeps texts only for layers where most cells differ. Without the block (too
// large, or no memory) every report is formatted anew.
void Comparison::allocate_report_texts(const GridFrame& grid) noexcept {
  std::size_t cells = 0;
  if (!array_bytes(grid.ncols, grid.nrows, 1, 1, cells) ||
      cells > kReportTextBudget / kReportSize) {
    return;
  }
  kept_.texts = static_cast<char*>(std::calloc(cells == 0 ? 1 : cells, kReportSize));
  arrays_.scratch.kept = &kept_;
}

// Counts a step's reports. Once the run has written more reports than a layer has cells,
// cells are being reported again and again (runs that diverged): from then on every layer's
// report texts are kept.
void Comparison::count_reports(std::size_t n, const GridFrame& grid) noexcept {
  reports_written_ += n;
  std::size_t cells = 0;
  if (array_bytes(grid.ncols, grid.nrows, 1, 1, cells) && reports_written_ > cells) {
    kept_.every_layer = true;
  }
}

Locations Comparison::location_view() const noexcept {
  return {static_cast<const float*>(arrays_.location[0]),
          static_cast<const float*>(arrays_.location[1]),
          static_cast<const std::int32_t*>(arrays_.location[2]),
          static_cast<const std::int32_t*>(arrays_.location[3]),
          static_cast<const float*>(arrays_.location[4]),
          static_cast<const float*>(arrays_.location[5])};
}

// Reports written so far reach standard output before the outputs' log lines. Standard output
// closed before the run is /dev/null now: reports written there are lost, which is a failed
// write too.
void Comparison::flush_reports() noexcept {
  if (!reports_.flush()) fail(Mesg{kWriteFailure});
  if (reports_written_ > 0 && kavro::standard_output_lost()) fail(Mesg{kWriteFailure});
}

// One variable at every step of INFILE2, from INFILE2's start.
void Comparison::compare_variable(std::size_t v, const GridFrame& grid, int TSTEP, int nsteps,
                                  Outputs* outputs) noexcept {
  const std::string_view vname = CDESC3.VNAME3D[v].padded();
  const int vtype = BDESC3.VTYPE3D[v];
  int JDATE = BDESC3.SDATE3D;
  int JTIME = BDESC3.STIME3D;
  if (outputs != nullptr) outputs->begin_variable(vname, CDESC3.UNITS3D[v].padded(), vtype);
  if (nsteps <= 0) return;
  Mesg mesg;
  if (!check_variable_types(vname, infile1_type(vname, vtype), vtype, mesg)) fail(mesg);
  const Locations loc = location_view();
  // The step's values fit the buffers, which hold the widest type's. The layers compared
  // (BRINDLEWICK_LAYERS) start LAYER_BYTES past the first.
  std::size_t step_bytes = 0, layer_bytes = 0;
  (void)array_bytes(grid.ncols, grid.nrows, grid.first_layer - 1 + grid.nlays, value_bytes(vtype),
                    step_bytes);
  (void)array_bytes(grid.ncols, grid.nrows, grid.first_layer - 1, value_bytes(vtype), layer_bytes);
  const auto* values1 = static_cast<const unsigned char*>(arrays_.INCONC) + layer_bytes;
  const auto* values2 = static_cast<const unsigned char*>(arrays_.ALTCONC) + layer_bytes;
  for (int step = 0; step < nsteps; ++step) {
    if (!settings_.steps.holds(JDATE, JTIME) ||
        (settings_.only_common && !axis_holds(infile1_axis_, JDATE, JTIME))) {
      kavro::NEXTIME(JDATE, JTIME, TSTEP);
      continue;
    }
    flush_reports();
    // The values are compared as the files store them where both reads left them so.
    kavro::ValueOrder order1{}, order2{};
    if (!read(INFILE1, vname, ALLAYS3, JDATE, JTIME, arrays_.INCONC, arrays_.data_bytes, &order1)) {
      fail_on_file(INFILE1, read_failure_message(INFILE1));
    }
    if (!read(INFILE2, vname, ALLAYS3, JDATE, JTIME, arrays_.ALTCONC, arrays_.data_bytes,
              &order2)) {
      fail_on_file(INFILE2, read_failure_message(INFILE2));
    }
    if (order1 != order2) {
      void* reversed = order1 == kavro::ValueOrder::reversed ? arrays_.INCONC : arrays_.ALTCONC;
      reverse_value_bytes(reversed, step_bytes, vtype);
    }
    if (outputs != nullptr) outputs->begin_step(JDATE, JTIME);
    count_reports(compare_step(vtype, values1, values2, grid, loc, arrays_.scratch, reports_,
                               outputs, order1 == order2 ? order1 : kavro::ValueOrder::native),
                  grid);
    if (outputs != nullptr && !outputs->end_step(mesg)) fail(mesg);
    kavro::NEXTIME(JDATE, JTIME, TSTEP);
  }
  if (outputs == nullptr) return;
  flush_reports();
  if (!outputs->end_variable(mesg)) fail(mesg);
}

// The steps of INFILE2 that BRINDLEWICK_STEPS lets through, for the JSON result.
void Comparison::find_steps(int TSTEP, int nsteps) {
  int JDATE = BDESC3.SDATE3D;
  int JTIME = BDESC3.STIME3D;
  for (int step = 0; step < nsteps; ++step) {
    if (settings_.steps.holds(JDATE, JTIME)) steps_.push_back({JDATE, JTIME});
    kavro::NEXTIME(JDATE, JTIME, TSTEP);
  }
}

// A selection that selects none of the steps INFILE2 holds is refused before any report.
void Comparison::check_steps_selected(int TSTEP, int nsteps) noexcept {
  if (!settings_.steps.set || nsteps <= 0) return;
  const StepCount count = count_steps(settings_.steps, TSTEP, nsteps);
  if (count.compared > 0) return;
  std::array<char, Mesg::size() + 1> text{};
  std::snprintf(text.data(), text.size(),
                "%.*s selects none of the %d steps of \"INFILE2\", %d:%06d to %d:%06d",
                static_cast<int>(kStepsSetting.size()), kStepsSetting.data(), nsteps,
                BDESC3.SDATE3D, BDESC3.STIME3D, count.last_date, count.last_time);
  fail(Mesg{text.data()});
}

// How many of INFILE2's steps BRINDLEWICK_STEPS leaves out, for the log.
std::string Comparison::steps_line(int TSTEP, int nsteps) const {
  const int compared = count_steps(settings_.steps, TSTEP, nsteps).compared;
  const int total = nsteps < 0 ? 0 : nsteps;
  return "Steps compared: " + std::to_string(compared) + " of " + std::to_string(total) + "; " +
         std::to_string(total - compared) + " outside " + std::string(kStepsSetting) + " skipped";
}

}  // namespace brindlewick
