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

#include "compare.h"

namespace brindlewick {

inline constexpr std::string_view kSummarySetting = "BRINDLEWICK_SUMMARY";
inline constexpr std::string_view kMapsSetting = "BRINDLEWICK_MAPS";
inline constexpr std::string_view kCsvSetting = "BRINDLEWICK_CSV";
inline constexpr std::string_view kExitOnDiffSetting = "BRINDLEWICK_EXIT_ON_DIFF";
inline constexpr std::string_view kMaxReportsSetting = "BRINDLEWICK_MAX_REPORTS";
inline constexpr std::string_view kAbsTolSetting = "BRINDLEWICK_ABS_TOL";
inline constexpr std::string_view kRelTolSetting = "BRINDLEWICK_REL_TOL";
inline constexpr std::string_view kFormatSetting = "BRINDLEWICK_FORMAT";
inline constexpr std::string_view kVariablesSetting = "BRINDLEWICK_VARIABLES";
inline constexpr std::string_view kStepsSetting = "BRINDLEWICK_STEPS";
inline constexpr std::string_view kNanEqualSetting = "BRINDLEWICK_NAN_EQUAL";
inline constexpr std::string_view kJsonSetting = "BRINDLEWICK_JSON";
inline constexpr std::string_view kOnlyCommonSetting = "BRINDLEWICK_ONLY_COMMON";
inline constexpr std::string_view kIgnoreAttributesSetting = "BRINDLEWICK_IGNORE_ATTRIBUTES";
inline constexpr std::string_view kVerdictIgnoresSetting = "BRINDLEWICK_VERDICT_IGNORES";

// Every setting of the tool, for the check of the names in the environment.
inline constexpr std::string_view kKnownSettings[] = {
    kSummarySetting,       kMapsSetting,
    kCsvSetting,           kExitOnDiffSetting,
    kMaxReportsSetting,    kAbsTolSetting,
    kRelTolSetting,        kFormatSetting,
    kVariablesSetting,     kStepsSetting,
    kNanEqualSetting,      kJsonSetting,
    kOnlyCommonSetting,    kIgnoreAttributesSetting,
    kVerdictIgnoresSetting};

// The exit status of a completed run in which cells differ, with BRINDLEWICK_EXIT_ON_DIFF.
inline constexpr int kExitDifferences = 1;

// A model date and time (YYYYDDD, HHMMSS), ordered in time.
struct StepTime {
  int jdate = 0;
  int jtime = 0;
  friend constexpr bool operator<=(const StepTime& a, const StepTime& b) noexcept {
    return a.jdate < b.jdate || (a.jdate == b.jdate && a.jtime <= b.jtime);
  }
};

// BRINDLEWICK_STEPS: the steps from FIRST to LAST, both included.
struct StepRange {
  bool set = false;
  StepTime first;
  StepTime last;
  bool holds(int jdate, int jtime) const noexcept {
    const StepTime t{jdate, jtime};
    return !set || (first <= t && t <= last);
  }
};

// What the verdict weighs: the kinds of difference between two files, one bit each.
enum class Category : unsigned {
  cells = 1U << 0,      // cells whose values differ
  steps = 1U << 1,      // steps only one file holds
  variables = 1U << 2,  // variables only one file holds
  grid = 1U << 3,       // grids that lie differently
  header = 1U << 4,     // header attributes that differ
};
// The categories in the order they are named, with their names.
struct CategoryName {
  Category category;
  std::string_view name;
};
inline constexpr CategoryName kCategories[] = {{Category::cells, "cells"},
                                               {Category::steps, "steps"},
                                               {Category::variables, "variables"},
                                               {Category::grid, "grid"},
                                               {Category::header, "header"}};
using Categories = unsigned;
constexpr Categories bit(Category c) noexcept { return static_cast<Categories>(c); }

// The header attributes left out of the comparison: by default those that differ between any
// two runs by nature (dates and times of creation and writing, descriptions, history, the
// program and run that wrote the file).
inline constexpr std::string_view kIgnoredAttributes[] = {
    "CDATE", "CTIME", "WDATE", "WTIME", "FILEDESC", "HISTORY", "EXEC_ID", "UPNAM"};
struct AttributeRule {
  bool none = false;              // NONE: every attribute compared, the default ones too
  bool all = false;               // ALL: no attribute compared
  std::vector<std::string> more;  // named ones, ignored beside the default ones
  bool ignores(std::string_view name) const noexcept;
};

struct Settings {
  bool summary = false;
  std::string maps_dir;   // empty: no maps
  std::string csv_path;   // empty: no CSV
  std::string json_path;  // empty: no machine-readable result
  bool exit_on_diff = false;
  std::int64_t max_reports = -1;  // -1: every report
  Tolerance tolerance;
  bool labelled = false;               // one labelled line per differing cell
  std::vector<std::string> variables;  // empty: every variable of INFILE2
  StepRange steps;
  bool nan_equal = false;  // NaN against NaN not reported
  // Only the variables and steps both files hold are compared; the others are listed.
  bool only_common = false;
  AttributeRule attributes;        // BRINDLEWICK_IGNORE_ATTRIBUTES
  Categories verdict_ignores = 0;  // BRINDLEWICK_VERDICT_IGNORES

  // Whether any setting changes what the comparison does beyond today's reports. The choice
  // of variables and steps only narrows what is compared.
  bool any() const noexcept {
    return summary || !maps_dir.empty() || !csv_path.empty() || !json_path.empty() ||
           exit_on_diff || max_reports >= 0 || tolerance.set || labelled || nan_equal;
  }
  // Whether BRINDLEWICK_VARIABLES lets the variable be compared.
  bool selects(std::string_view vname) const noexcept;
};

// Whether a tolerance read from the environment is usable: a number, 0 or more (infinity
// included: only a NaN against a number is then reported).
constexpr bool valid_tolerance(double t) noexcept { return t >= 0.0; }

// Reads the settings present in the environment, logging each value as the library's readers
// do, and checks them: a value that is not of its kind, a negative count or tolerance, a map
// directory that does not exist or cannot be written, and a CSV or JSON file that exists
// already are refused with `mesg`.
bool read_settings(Settings& settings, Mesg& mesg) noexcept;

// The log line that records the tolerances in force.
std::string tolerance_line(const Tolerance& tol);

// BRINDLEWICK_STEPS's value, "YYYYDDD:HHMMSS:YYYYDDD:HHMMSS": false unless it is exactly that
// (times 0 to 235959, the first not after the last).
bool parse_step_range(std::string_view text, StepRange& range) noexcept;

// BRINDLEWICK_IGNORE_ATTRIBUTES's value: ALL, NONE, or attribute names separated by commas.
bool parse_attribute_rule(std::string_view text, AttributeRule& rule);

// BRINDLEWICK_VERDICT_IGNORES's value: category names (cells, steps, variables, grid, header)
// separated by commas.
bool parse_categories(std::string_view text, Categories& categories) noexcept;

// BRINDLEWICK_VARIABLES's value: names separated by commas, none empty or longer than 16
// characters. False for anything else.
bool parse_variable_list(std::string_view text, std::vector<std::string>& names);

// Whether TEXT is a whole number (INTEGER) or a whole floating-point number, with nothing but
// blanks around it: the library's readers take the number at the front of a value and ignore
// the rest, which would take a typing slip for a value.
bool whole_number(std::string_view text, bool integer) noexcept;

// The warning lines for BRINDLEWICK_* variables in ENVIRON that are no setting of the tool,
// each with the nearest known name.
std::vector<std::string> unknown_setting_lines(const char* const* environ_list);

// The known setting nearest to NAME (the fewest characters to insert, delete or change).
std::string_view nearest_setting(std::string_view name) noexcept;

}  // namespace brindlewick

#endif  // BRINDLEWICK_SETTINGS_H
