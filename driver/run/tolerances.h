// Tolerances per variable, from a TOML file (BRINDLEWICK_TOLERANCES, --tolerances):
//
//   [default]                    # every variable the entries below do not name
//   abs = 1e-6
//   rel = 0
//   [variables]
//   O3 = { abs = 1e-9 }          # one variable, by its exact name
//   "NO*" = { rel = 1e-4 }       # a glob (*, ?, [...] as fnmatch(3) takes them)
//
// A variable takes the entry of its exact name, else the first glob that matches it in the
// file's order, else the default table. A value an entry leaves out comes from [default], and
// one [default] leaves out from BRINDLEWICK_ABS_TOL / BRINDLEWICK_REL_TOL (0 without them).
// The rule that applies the two values is the tool's own (compare.h, Tolerance); only the
// values are picked here.
#ifndef BRINDLEWICK_TOLERANCES_H
#define BRINDLEWICK_TOLERANCES_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/compare.h"

namespace brindlewick {

struct ToleranceValues {
  std::optional<double> absolute;
  std::optional<double> relative;
  bool any() const noexcept { return absolute.has_value() || relative.has_value(); }
};

struct ToleranceEntry {
  std::string name;  // a variable's name, or a glob
  ToleranceValues values;
};

struct ToleranceTable {
  bool loaded = false;
  ToleranceValues defaults;
  std::vector<ToleranceEntry> exact;
  std::vector<ToleranceEntry> globs;  // in the file's order

  // The tolerance of variable NAME (trimmed), with GLOBAL (the environment's) beneath.
  Tolerance tolerance_for(std::string_view name, const Tolerance& global) const;
};

// How close a cell of values A and B came to TOL: |a - b| against the larger of what the two
// tolerances allow, max(abs, rel x max(|a|, |b|)); 0.4 is 40% of the allowed, above 1 is
// reported. Equal values give 0; a NaN on either side gives NaN (counted apart); an infinity
// against another value, or a difference with nothing allowed, gives infinity.
double tolerance_margin(double a, double b, const Tolerance& tol) noexcept;

// Reads TEXT, the file SOURCE's contents, into TABLE. On false, WHY holds "line L, column C:
// what" for the first thing wrong.
bool parse_tolerances(std::string_view text, ToleranceTable& table, std::string& why);

// Reads the file at PATH; on false, WHY says what is wrong, with the file's name.
bool read_tolerance_file(const std::string& path, ToleranceTable& table, std::string& why);

}  // namespace brindlewick

#endif  // BRINDLEWICK_TOLERANCES_H
