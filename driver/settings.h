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

#include "compare.h"

namespace brindlewick {

inline constexpr std::string_view kSummarySetting = "BRINDLEWICK_SUMMARY";
inline constexpr std::string_view kMapsSetting = "BRINDLEWICK_MAPS";
inline constexpr std::string_view kCsvSetting = "BRINDLEWICK_CSV";
inline constexpr std::string_view kExitOnDiffSetting = "BRINDLEWICK_EXIT_ON_DIFF";
inline constexpr std::string_view kMaxReportsSetting = "BRINDLEWICK_MAX_REPORTS";
inline constexpr std::string_view kAbsTolSetting = "BRINDLEWICK_ABS_TOL";
inline constexpr std::string_view kRelTolSetting = "BRINDLEWICK_REL_TOL";

// The exit status of a completed run in which cells differ, with BRINDLEWICK_EXIT_ON_DIFF.
inline constexpr int kExitDifferences = 1;

struct Settings {
  bool summary = false;
  std::string maps_dir;  // empty: no maps
  std::string csv_path;  // empty: no CSV
  bool exit_on_diff = false;
  std::int64_t max_reports = -1;  // -1: every report
  Tolerance tolerance;

  // Whether any setting changes what the comparison does beyond today's reports.
  bool any() const noexcept {
    return summary || !maps_dir.empty() || !csv_path.empty() || exit_on_diff || max_reports >= 0 ||
           tolerance.set;
  }
};

// Whether a tolerance read from the environment is usable: a number, 0 or more (infinity
// included: only a NaN against a number is then reported).
constexpr bool valid_tolerance(double t) noexcept { return t >= 0.0; }

// Reads the settings present in the environment, logging each value as the library's readers
// do, and checks them: a value that is not of its kind, a negative count or tolerance, a map
// directory that does not exist or cannot be written, and a CSV file that exists already are
// refused with `mesg`.
bool read_settings(Settings& settings, Mesg& mesg) noexcept;

// The log line that records the tolerances in force.
std::string tolerance_line(const Tolerance& tol);

}  // namespace brindlewick

#endif  // BRINDLEWICK_SETTINGS_H
