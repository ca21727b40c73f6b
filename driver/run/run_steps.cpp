#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "kavro/kavro.h"
#include "run/comparison.h"

namespace brindlewick {

using kavro::ALLAYS3;

namespace {

// The most memory the kept report texts may take: grids up to about 500 000 cells.
constexpr std::size_t kReportTextBudget = std::size_t{64} << 20;

// Bytes of the widest value among the variables: the data buffers hold any of them.
std::size_t widest_value(const std::vector<DescribedVariable>& variables) noexcept {
  std::size_t widest = sizeof(float);
  for (const DescribedVariable& v : variables) widest = std::max(widest, value_bytes(v.vtype));
  return widest;
}

// The hint for a run that INFILE1's lacking a variable or step of INFILE2 ends.
constexpr std::string_view kOnlyCommonHint = " (BRINDLEWICK_ONLY_COMMON=Y compares the rest)";

}  // namespace

// After planning: a chosen variable must be in one of the files, and the variables of INFILE1
// that INFILE2 lacks (and that are chosen) are said, since only INFILE2's are compared.
void Comparison::check_variables() noexcept {
  for (const auto& [names, setting] : {std::pair{&settings_.variables, kVariablesSetting},
                                       std::pair{&settings_.exclude, kExcludeSetting}}) {
    for (const std::string& name : *names) {
      if (!infile1_.holds(name) && !infile2_.holds(name)) {
        fail(Mesg{"Variable \"" + name + "\" of " + std::string(setting) +
                  " is in neither \"INFILE1\" nor \"INFILE2\""});
      }
    }
  }
  // Excluded variables are listed as such, never as missing from a file.
  for (const std::string& name : settings_.exclude) {
    say("Variable \"" + name + "\" excluded (" + std::string(kExcludeSetting) + "): not compared");
  }
  for (const std::string& name : plan_.only_in_1) {
    say("Variable \"" + name + "\" of \"INFILE1\" is not in \"INFILE2\": not compared");
  }
}

// BRINDLEWICK_ONLY_COMMON: what INFILE2 holds and INFILE1 lacks is said, not compared (what
// INFILE1 alone holds check_variables says); and so are the steps either file alone holds.
// Then the header attributes that differ, one line each.
void Comparison::say_plan() noexcept {
  if (settings_.only_common) {
    for (const std::string& name : plan_.only_in_2) {
      say("Variable \"" + name + "\" of \"INFILE2\" is not in \"INFILE1\": not compared");
    }
    if (!plan_.steps_only_in_2.empty()) {
      say("Steps of \"INFILE2\" not in \"INFILE1\", not compared: " +
          steps_text(plan_.steps_only_in_2));
    }
    if (!plan_.steps_only_in_1.empty()) {
      say("Steps of \"INFILE1\" not in \"INFILE2\", not compared: " +
          steps_text(plan_.steps_only_in_1));
    }
  }
  for (const HeaderDifference& d : plan_.header) kavro::XQMSG2(header_line(d));
}

// Grids of the same size that lie differently are compared as they are, with a warning.
void Comparison::warn_grid_differences(const GridPlace& stack) noexcept {
  for (const auto& [lname, place] :
       {std::pair{"STACK1", stack}, std::pair{"INFILE1", infile1_.place}}) {
    for (const std::string& line : grid_differences(lname, place, "INFILE2", infile2_.place)) {
      kavro::XQWARN(PROGNAME, 0, 0, line);
      tell(line);
    }
  }
}

// INFILE1's type of a variable of INFILE2; a variable INFILE1 lacks is left to READ3.
int Comparison::infile1_type(std::string_view vname, int vtype2) const noexcept {
  const int v = infile1_.find(vname);
  return v < 0 ? vtype2 : infile1_.variables[static_cast<std::size_t>(v)].vtype;
}

void Comparison::allocate_data_arrays(const GridFrame& grid) noexcept {
  const std::size_t widest = widest_value(infile2_.variables);
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

// One variable at the plan's steps, from INFILE2's start.
void Comparison::compare_variable(const DescribedVariable& var, const GridFrame& grid,
                                  Outputs* outputs) noexcept {
  const std::string_view vname = var.name.padded();
  const int vtype = var.vtype;
  if (outputs != nullptr) outputs->begin_variable(vname, var.units.padded(), vtype);
  if (plan_.records2 <= 0) return;
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
  for (std::size_t k = 0; k < plan_.steps.size(); ++k) {
    const auto [JDATE, JTIME] = plan_.steps[k];
    flush_reports();
    // The values are compared as the files store them where both reads left them so.
    kavro::ValueOrder order1{}, order2{};
    if (!read(INFILE1, vname, ALLAYS3, JDATE, JTIME, arrays_.INCONC, arrays_.data_bytes, &order1)) {
      const bool lacks =
          !infile1_.holds(vname) ||
          std::binary_search(
              plan_.steps_only_in_2.begin(), plan_.steps_only_in_2.end(), plan_.steps[k],
              [](const StepTime& a, const StepTime& b) { return a <= b && !(b <= a); });
      fail_on_file(INFILE1, read_failure_message(INFILE1), lacks ? kOnlyCommonHint : "");
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
    step_compared_[k] = true;
    if (outputs != nullptr && !outputs->end_step(mesg)) fail(mesg);
  }
  if (outputs == nullptr) return;
  flush_reports();
  if (!outputs->end_variable(mesg)) fail(mesg);
}

// The steps at which a variable was compared, for the JSON result.
std::vector<StepTime> Comparison::compared_steps() const {
  std::vector<StepTime> steps;
  for (std::size_t k = 0; k < plan_.steps.size(); ++k) {
    if (k < step_compared_.size() && step_compared_[k]) steps.push_back(plan_.steps[k]);
  }
  return steps;
}

// A selection that selects none of the steps INFILE2 holds is refused before any report.
void Comparison::check_steps_selected() noexcept {
  if (!settings_.steps.set || plan_.records2 <= 0 || plan_.records2_chosen > 0) return;
  std::array<char, Mesg::size() + 1> text{};
  std::snprintf(text.data(), text.size(),
                "%.*s selects none of the %d steps of \"INFILE2\", %d:%06d to %d:%06d",
                static_cast<int>(kStepsSetting.size()), kStepsSetting.data(), plan_.records2,
                plan_.first2.jdate, plan_.first2.jtime, plan_.last2.jdate, plan_.last2.jtime);
  fail(Mesg{text.data()});
}

// How many of INFILE2's steps BRINDLEWICK_STEPS leaves out, for the log.
std::string Comparison::steps_line() const {
  const int compared = plan_.records2_chosen;
  const int total = plan_.records2;
  return "Steps compared: " + std::to_string(compared) + " of " + std::to_string(total) + "; " +
         std::to_string(total - compared) + " outside " + std::string(kStepsSetting) + " skipped";
}

}  // namespace brindlewick
