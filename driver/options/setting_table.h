// The tool's settings, one row each: the environment name, the long option that stands beside
// it, the kind of value, and the help. The command line, the help, the environment reader
// (settings.cpp), the check of unknown names and the Python package's keyword checks
// (python/_kavro.cpp exports the rows) all follow from this one table.
//
// Pure: no library call, no file looked at, so the Python module compiles it too. The checks
// here look at a value's text only; what a value names (a folder that must exist, a file that
// must not) is checked where the run reads it.
#ifndef BRINDLEWICK_SETTING_TABLE_H
#define BRINDLEWICK_SETTING_TABLE_H

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

enum class SettingKind {
  kYesNo,       // Y or N (the library's reader takes T, Y, F, N in either case); the option is a
                // flag that gives Y
  kTolerance,   // a number, 0 or more
  kCount,       // a whole number, 0 or more
  kNewFile,     // a path that must not exist yet
  kFolder,      // an existing folder this process may write in
  kFile,        // an existing file to read
  kFormat,      // standard or labelled
  kNames,       // variable names, separated by commas
  kSteps,       // FIRST:LAST or FIRST/LAST, each YYYYDDD:HHMMSS or YYYY-MM-DD[Thh:mm[:ss]]
  kLayers,      // FIRST:LAST (1-based), or one layer N
  kAttributes,  // ALL, NONE, or attribute names separated by commas
  kCategories,  // kinds of difference (cells, steps, variables, grid, header), by commas
};

struct ToolSetting {
  std::string_view env;     // BRINDLEWICK_ABS_TOL
  std::string_view option;  // abs-tol: the long option without its dashes
  SettingKind kind;
  std::string_view value;        // what the help calls the value ("X", "PATH"); empty for a flag
  std::string_view help;         // what the setting does, for --help
  std::string_view description;  // what the library's reader logs beside the value
};

// Every setting, in the order --help lists them.
std::span<const ToolSetting> tool_settings() noexcept;

// The row of an environment name; null for a name that is no setting of the tool.
const ToolSetting* find_setting(std::string_view env) noexcept;

// Why TEXT is no value of SETTING, with the value quoted ("\"1e\" is not a number, 0 or
// more"); empty when it is one. An empty Y/N, number or path is the setting's default, as the
// library's readers take it; a list or a range has no empty form. Control characters in the value
// show as '?'.
std::string setting_problem(const ToolSetting& setting, std::string_view text);

// ---- The values' parsers, shared by the checks above and the run ----------------------------

// A model date and time (YYYYDDD, HHMMSS), ordered in time.
struct StepTime {
  int jdate = 0;
  int jtime = 0;
  friend constexpr bool operator<=(const StepTime& a, const StepTime& b) noexcept {
    return a.jdate < b.jdate || (a.jdate == b.jdate && a.jtime <= b.jtime);
  }
};

// One step: "YYYYDDD:HHMMSS", or an ISO 8601 date and time "YYYY-MM-DD", "YYYY-MM-DDThh:mm" or
// "YYYY-MM-DDThh:mm:ss" (the model's clock: no zone).
bool parse_step(std::string_view text, StepTime& t) noexcept;

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

// FIRST:LAST or FIRST/LAST, each a step as parse_step takes it, the first not after the last.
// A colon splits the text at the one place where both sides are steps, so
// "2024-07-01T00:00:2024-07-01T06:00" is read as the ISO 8601 interval
// "2024-07-01T00:00/2024-07-01T06:00" is. On false, WHY says what is wrong.
bool parse_step_range(std::string_view text, StepRange& range, std::string& why);

// BRINDLEWICK_LAYERS: the layers from FIRST to LAST (1-based), both included.
struct LayerRange {
  bool set = false;
  int first = 1;
  int last = 1;
};
bool parse_layer_range(std::string_view text, LayerRange& range) noexcept;

// Names separated by commas, none empty, longer than 16 characters or with a blank.
bool parse_variable_list(std::string_view text, std::vector<std::string>& names);

// Whether TEXT is a whole number (INTEGER) or a whole floating-point number, with nothing but
// blanks around it: the library's readers take the number at the front of a value and ignore
// the rest, which would take a typing slip for a value.
bool whole_number(std::string_view text, bool integer) noexcept;

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

// BRINDLEWICK_IGNORE_ATTRIBUTES's value: ALL, NONE, or attribute names separated by commas.
bool parse_attribute_rule(std::string_view text, AttributeRule& rule);

// BRINDLEWICK_VERDICT_IGNORES's value: category names (cells, steps, variables, grid, header)
// separated by commas.
bool parse_categories(std::string_view text, Categories& categories) noexcept;

// Appends TEXT with control characters shown as '?', so a line stays one line.
void append_printable(std::string& line, std::string_view text);

}  // namespace brindlewick

#endif  // BRINDLEWICK_SETTING_TABLE_H
