#include "run/verdict.h"

#include <cstdint>

namespace brindlewick {
namespace {

std::string count_text(std::uint64_t n) { return std::to_string(n); }

// "A", "A LAST B", "A, B LAST C".
std::string joined(const std::vector<std::string>& parts, std::string_view last) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += i + 1 == parts.size() ? last : ", ";
    out += parts[i];
  }
  return out;
}

// "INFILE2 lacks 6 of INFILE1's 12 steps".
std::string lacks(std::string_view lacking, std::string_view holder, std::size_t n, std::size_t of,
                  std::string_view things) {
  // "1 step", "12 steps".
  std::string counted = count_text(of) + " " + std::string(things);
  if (of == 1 && counted.ends_with('s')) counted.pop_back();
  return std::string(lacking) + " lacks " + count_text(n) + " of " + std::string(holder) + "'s " +
         counted;
}

// "INFILE2 lacks INFILE1's variable NO2", or how many it lacks.
std::string lacks_variables(std::string_view lacking, std::string_view holder,
                            const std::vector<std::string>& names) {
  if (names.size() == 1) {
    return std::string(lacking) + " lacks " + std::string(holder) + "'s variable " + names[0];
  }
  return std::string(lacking) + " lacks " + count_text(names.size()) + " of " +
         std::string(holder) + "'s variables";
}

std::string header_phrase(const Plan& plan) {
  if (plan.header.size() != 1) return count_text(plan.header.size()) + " header attributes differ";
  const HeaderDifference& d = plan.header.front();
  if (d.variable.empty()) return d.attribute + " differs";
  return "the " + d.attribute + " of " + d.variable +
         (d.attribute == "units" ? " differ" : " differs");
}

std::string grid_phrase(const Plan& plan) {
  std::vector<std::string> what;
  for (const GridDifference& d : plan.grid) what.push_back(d.what);
  return "the grids differ in " + joined(what, " and ");
}

}  // namespace

Verdict verdict_of(const Plan& plan, std::span<const VariableStats> stats, Categories excluded) {
  Verdict v;
  v.excluded = excluded;
  for (const VariableStats& s : stats) {
    if (s.differing > 0) v.found |= bit(Category::cells);
  }
  if (!plan.steps_only_in_1.empty() || !plan.steps_only_in_2.empty()) {
    v.found |= bit(Category::steps);
  }
  if (!plan.only_in_1.empty() || !plan.only_in_2.empty()) v.found |= bit(Category::variables);
  if (!plan.grid.empty()) v.found |= bit(Category::grid);
  if (!plan.header.empty()) v.found |= bit(Category::header);
  return v;
}

std::vector<std::string_view> category_names(Categories categories) {
  std::vector<std::string_view> names;
  for (const CategoryName& c : kCategories) {
    if ((categories & bit(c.category)) != 0) names.push_back(c.name);
  }
  return names;
}

std::string cells_text(std::span<const VariableStats> stats) {
  std::uint64_t cells = 0, variables = 0;
  for (const VariableStats& s : stats) {
    cells += s.differing;
    variables += s.differing > 0 ? 1 : 0;
  }
  if (cells == 0) return "no differences";
  return count_text(cells) + (cells == 1 ? " cell differs in " : " cells differ in ") +
         count_text(variables) + (variables == 1 ? " variable" : " variables");
}

std::string verdict_line(const Verdict& verdict, const Plan& plan,
                         std::span<const VariableStats> stats) {
  const Categories counted = verdict.counted();
  const auto holds = [counted](Category c) { return (counted & bit(c)) != 0; };
  std::vector<std::string> others;
  if (holds(Category::steps)) {
    if (!plan.steps_only_in_1.empty()) {
      others.push_back(
          lacks("INFILE2", "INFILE1", plan.steps_only_in_1.size(), plan.steps_in_1, "steps"));
    }
    if (!plan.steps_only_in_2.empty()) {
      others.push_back(
          lacks("INFILE1", "INFILE2", plan.steps_only_in_2.size(), plan.steps_in_2, "steps"));
    }
  }
  if (holds(Category::variables)) {
    if (!plan.only_in_1.empty())
      others.push_back(lacks_variables("INFILE2", "INFILE1", plan.only_in_1));
    if (!plan.only_in_2.empty())
      others.push_back(lacks_variables("INFILE1", "INFILE2", plan.only_in_2));
  }
  if (holds(Category::grid)) others.push_back(grid_phrase(plan));
  if (holds(Category::header)) others.push_back(header_phrase(plan));

  const bool cells = holds(Category::cells);
  std::string line =
      cells ? cells_text(stats) : (others.empty() ? "no differences" : "no cell differs");
  if (!others.empty()) line += (cells ? "; and " : "; but ") + joined(others, ", and ");
  const Categories left_out = verdict.found & verdict.excluded;
  if (left_out != 0) {
    std::vector<std::string> names;
    for (const std::string_view n : category_names(left_out)) names.emplace_back(n);
    line += " (not counted: " + joined(names, " and ") + ")";
  }
  return line;
}

std::vector<std::string> header_lines(const Plan& plan, std::size_t most) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < plan.header.size() && i < most; ++i) {
    lines.push_back(header_line(plan.header[i]));
  }
  if (plan.header.size() > most) {
    lines.push_back("and " + count_text(plan.header.size() - most) +
                    " more header differences (in the log and the JSON result)");
  }
  return lines;
}

}  // namespace brindlewick
