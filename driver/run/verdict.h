// The verdict of a completed run: which kinds of difference hold between the two files
// (cells, steps, variables, grid, header), which of them the settings leave out, and the one
// line that says it. "identical" only when every variable and step of both files was
// compared, the grids lie alike, no header attribute differs beyond the ignored ones and no
// cell differs. Pure.
#ifndef BRINDLEWICK_VERDICT_H
#define BRINDLEWICK_VERDICT_H

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/summary.h"
#include "run/plan.h"
#include "run/settings.h"

namespace brindlewick {

struct Verdict {
  Categories found = 0;     // every kind of difference that holds
  Categories excluded = 0;  // left out by BRINDLEWICK_VERDICT_IGNORES
  Categories counted() const noexcept { return found & ~excluded; }
  bool differ() const noexcept { return counted() != 0; }
};

Verdict verdict_of(const Plan& plan, std::span<const VariableStats> stats, Categories excluded);

// The names of CATEGORIES, in the order of kCategories.
std::vector<std::string_view> category_names(Categories categories);

// "N cells differ in M variables", or "no differences" when no cell differs.
std::string cells_text(std::span<const VariableStats> stats);

// The verdict in one line: "no differences", "2 cells differ in 1 variable", or what cells say
// followed by the other kinds of difference ("no cell differs; but INFILE2 lacks 6 of
// INFILE1's 12 steps, and the units of O3 differ"), and the kinds left out.
std::string verdict_line(const Verdict& verdict, const Plan& plan,
                         std::span<const VariableStats> stats);

// At most MOST header lines for the terminal, and a count of the others.
std::vector<std::string> header_lines(const Plan& plan, std::size_t most);

}  // namespace brindlewick

#endif  // BRINDLEWICK_VERDICT_H
