// The optional settings of the comparison tool, each named by an environment variable and read
// with the library's own readers: a summary block in the log, difference maps, a CSV of the
// differences, an exit status that tells whether cells differ, a cap on the reports and
// tolerances. A setting that is absent from the environment is not looked up at all, so a run
// without any of them writes exactly the log it always did.
#ifndef BRINDLEWICK_SETTINGS_H
#define BRINDLEWICK_SETTINGS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "options/setting_table.h"
#include "run/compare.h"
#include "run/tolerances.h"

namespace brindlewick {

// The names the run itself refers to, each a row of the table (setting_table.cpp).
inline constexpr std::string_view kSummarySetting = "BRINDLEWICK_SUMMARY";
inline constexpr std::string_view kMapsSetting = "BRINDLEWICK_MAPS";
inline constexpr std::string_view kCsvSetting = "BRINDLEWICK_CSV";
inline constexpr std::string_view kExitOnDiffSetting = "BRINDLEWICK_EXIT_ON_DIFF";
inline constexpr std::string_view kMaxReportsSetting = "BRINDLEWICK_MAX_REPORTS";
inline constexpr std::string_view kAbsTolSetting = "BRINDLEWICK_ABS_TOL";
inline constexpr std::string_view kRelTolSetting = "BRINDLEWICK_REL_TOL";
inline constexpr std::string_view kTolerancesSetting = "BRINDLEWICK_TOLERANCES";
inline constexpr std::string_view kFormatSetting = "BRINDLEWICK_FORMAT";
inline constexpr std::string_view kVariablesSetting = "BRINDLEWICK_VARIABLES";
inline constexpr std::string_view kExcludeSetting = "BRINDLEWICK_EXCLUDE";
inline constexpr std::string_view kStepsSetting = "BRINDLEWICK_STEPS";
inline constexpr std::string_view kLayersSetting = "BRINDLEWICK_LAYERS";
inline constexpr std::string_view kNanEqualSetting = "BRINDLEWICK_NAN_EQUAL";
inline constexpr std::string_view kJsonSetting = "BRINDLEWICK_JSON";
inline constexpr std::string_view kOnlyCommonSetting = "BRINDLEWICK_ONLY_COMMON";
inline constexpr std::string_view kIgnoreAttributesSetting = "BRINDLEWICK_IGNORE_ATTRIBUTES";
inline constexpr std::string_view kVerdictIgnoresSetting = "BRINDLEWICK_VERDICT_IGNORES";

// The exit status of a completed run in which cells differ, with BRINDLEWICK_EXIT_ON_DIFF.
inline constexpr int kExitDifferences = 1;

struct Settings {
  bool summary = false;
  std::string maps_dir;   // empty: no maps
  std::string csv_path;   // empty: no CSV
  std::string json_path;  // empty: no machine-readable result
  bool exit_on_diff = false;
  std::int64_t max_reports = -1;       // -1: every report
  Tolerance tolerance;                 // BRINDLEWICK_ABS_TOL and BRINDLEWICK_REL_TOL
  std::string tolerances_path;         // empty: no tolerance file
  ToleranceTable tolerances;           // read from it
  bool labelled = false;               // one labelled line per differing cell
  std::vector<std::string> variables;  // empty: every variable of INFILE2
  std::vector<std::string> exclude;    // variables never compared
  StepRange steps;
  LayerRange layers;       // unset: every layer
  bool nan_equal = false;  // NaN against NaN not reported
  // Only the variables and steps both files hold are compared; the others are listed.
  bool only_common = false;
  AttributeRule attributes;        // BRINDLEWICK_IGNORE_ATTRIBUTES
  Categories verdict_ignores = 0;  // BRINDLEWICK_VERDICT_IGNORES

  // Whether any setting changes what the comparison does beyond today's reports. The choice
  // of variables and steps only narrows what is compared.
  bool any() const noexcept {
    return summary || !maps_dir.empty() || !csv_path.empty() || !json_path.empty() ||
           exit_on_diff || max_reports >= 0 || tolerance.set || tolerances.loaded || labelled ||
           nan_equal;
  }
  // Whether BRINDLEWICK_VARIABLES lets the variable be compared and BRINDLEWICK_EXCLUDE does
  // not keep it out.
  bool selects(std::string_view vname) const noexcept;
  // Whether BRINDLEWICK_EXCLUDE names the variable.
  bool excludes(std::string_view vname) const noexcept;
  // The tolerance of a variable: its entry in the tolerance file over the environment's.
  Tolerance tolerance_for(std::string_view vname) const;
};

// Whether a tolerance read from the environment is usable: a number, 0 or more (infinity
// included: only a NaN against a number is then reported).
constexpr bool valid_tolerance(double t) noexcept { return t >= 0.0; }

// Reads the settings present in the environment, logging each value as the library's readers
// do, and checks them: a value that is not of its kind (refused with the value quoted), a map
// directory that does not exist or cannot be written, a CSV or JSON file that exists already
// and a tolerance file that cannot be read or is malformed (its line and column) are refused
// with `mesg`.
bool read_settings(Settings& settings, Mesg& mesg) noexcept;

// BRINDLEWICK_LAYERS against the NLAYS layers of the files: false with MESG when the range
// reaches beyond them.
bool check_layers(const LayerRange& layers, int nlays, Mesg& mesg) noexcept;

// GRID narrowed to the layers compared (all of them when LAYERS is unset).
GridFrame compared_layers(GridFrame grid, const LayerRange& layers) noexcept;

// The log line that records the tolerances in force.
std::string tolerance_line(const Tolerance& tol);

// The warning lines for BRINDLEWICK_* variables in ENVIRON that are no setting of the tool,
// each with the nearest known name.
std::vector<std::string> unknown_setting_lines(const char* const* environ_list);

// The known setting nearest to NAME (the fewest characters to insert, delete or change).
std::string_view nearest_setting(std::string_view name) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_SETTINGS_H
