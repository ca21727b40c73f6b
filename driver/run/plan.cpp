#include "run/plan.h"

#include <algorithm>

#include "kavro/kavro.h"
#include "outputs/summary.h"

namespace brindlewick {
namespace {

bool same_step(const StepTime& a, const StepTime& b) noexcept {
  return a.jdate == b.jdate && a.jtime == b.jtime;
}

bool earlier(const StepTime& a, const StepTime& b) noexcept {
  return a.jdate < b.jdate || (a.jdate == b.jdate && a.jtime < b.jtime);
}

// The distinct steps of STEPS that RANGE selects, in time order.
std::vector<StepTime> chosen(const std::vector<StepTime>& steps, const StepRange& range) {
  std::vector<StepTime> out;
  for (const StepTime& t : steps) {
    if (range.holds(t.jdate, t.jtime)) out.push_back(t);
  }
  std::sort(out.begin(), out.end(), earlier);
  out.erase(std::unique(out.begin(), out.end(), same_step), out.end());
  return out;
}

// The steps of FROM (distinct, in time order) that the axis IN lacks.
std::vector<StepTime> lacking(const std::vector<StepTime>& from, const StepAxis& in,
                              const std::vector<StepTime>& in_sorted) {
  std::vector<StepTime> out;
  for (const StepTime& t : from) {
    if (!axis_holds(in, in_sorted, t)) out.push_back(t);
  }
  return out;
}

const HeaderAttribute* find_attribute(const std::vector<HeaderAttribute>& list,
                                      std::string_view name) noexcept {
  for (const HeaderAttribute& a : list) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

// The differing attributes of two lists, in ONE's order and then those only TWO holds.
void compare_attributes(const std::vector<HeaderAttribute>& one,
                        const std::vector<HeaderAttribute>& two, std::string_view variable,
                        const Settings& settings, std::vector<HeaderDifference>& out) {
  constexpr std::string_view kAbsent = "(absent)";
  for (const HeaderAttribute& a : one) {
    if (settings.attributes.ignores(a.name)) continue;
    const HeaderAttribute* b = find_attribute(two, a.name);
    if (b == nullptr || b->value != a.value) {
      out.push_back(
          {a.name, std::string(variable), a.value, b == nullptr ? std::string(kAbsent) : b->value});
    }
  }
  for (const HeaderAttribute& b : two) {
    if (settings.attributes.ignores(b.name) || find_attribute(one, b.name) != nullptr) continue;
    out.push_back({b.name, std::string(variable), std::string(kAbsent), b.value});
  }
}

}  // namespace

std::vector<StepTime> steps_of(const StepAxis& axis) {
  std::vector<StepTime> steps;
  if (axis.nrec <= 0) return steps;
  steps.reserve(static_cast<std::size_t>(axis.nrec));
  int jdate = axis.sdate, jtime = axis.stime;
  for (int k = 0; k < axis.nrec; ++k) {
    steps.push_back({jdate, jtime});
    kavro::NEXTIME(jdate, jtime, step_length(axis.tstep));
  }
  return steps;
}

bool axis_holds(const StepAxis& axis, const std::vector<StepTime>& sorted, StepTime t) noexcept {
  if (axis.tstep == 0) return axis.nrec > 0;
  return std::binary_search(sorted.begin(), sorted.end(), t, earlier);
}

Plan make_plan(const Described& one, const Described& two, const Settings& settings) {
  Plan plan;
  for (const DescribedVariable& v : one.variables) {
    const std::string_view name = v.name.trimmed();
    if (settings.selects(name) && !two.holds(name)) plan.only_in_1.emplace_back(name);
  }
  for (std::size_t v = 0; v < two.variables.size(); ++v) {
    const std::string_view name = two.variables[v].name.trimmed();
    if (!settings.selects(name)) continue;
    const bool in_one = one.holds(name);
    if (!in_one) plan.only_in_2.emplace_back(name);
    if (in_one || !settings.only_common) plan.variables.push_back(v);
  }

  const std::vector<StepTime> all1 = steps_of(one.axis);
  const std::vector<StepTime> all2 = steps_of(two.axis);
  const std::vector<StepTime> steps1 = chosen(all1, settings.steps);
  const std::vector<StepTime> steps2 = chosen(all2, settings.steps);
  plan.steps_in_1 = steps1.size();
  plan.steps_in_2 = steps2.size();
  plan.steps_only_in_1 = lacking(steps1, two.axis, steps2);
  plan.steps_only_in_2 = lacking(steps2, one.axis, steps1);
  plan.records2 = two.axis.nrec < 0 ? 0 : two.axis.nrec;
  if (!all2.empty()) {
    plan.first2 = all2.front();
    plan.last2 = all2.back();
  }
  for (const StepTime& t : all2) {
    if (!settings.steps.holds(t.jdate, t.jtime)) continue;
    ++plan.records2_chosen;
    if (settings.only_common && !axis_holds(one.axis, steps1, t)) continue;
    plan.steps.push_back(t);
  }

  plan.grid = grid_difference_items(one.place, two.place);
  plan.header = header_differences(one, two, settings);
  return plan;
}

std::vector<HeaderDifference> header_differences(const Described& one, const Described& two,
                                                 const Settings& settings) {
  std::vector<HeaderDifference> out;
  compare_attributes(one.attributes, two.attributes, "", settings, out);
  for (const DescribedVariable& v : two.variables) {
    const std::string_view name = v.name.trimmed();
    const int k = one.find(name);
    if (k < 0 || !settings.selects(name)) continue;
    compare_attributes(one.variables[static_cast<std::size_t>(k)].attributes, v.attributes, name,
                       settings, out);
  }
  return out;
}

std::string header_line(const HeaderDifference& d) {
  // A value of several lines (a description) stays on the log's one line.
  const auto one_line = [](std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
  };
  std::string line = "Header attribute \"" + d.attribute + "\"";
  if (!d.variable.empty()) line += " of variable \"" + d.variable + "\"";
  return line + " differs: \"INFILE1\" \"" + one_line(d.value1) + "\", \"INFILE2\" \"" +
         one_line(d.value2) + "\"";
}

std::string steps_text(const std::vector<StepTime>& steps) {
  std::string list;
  for (const StepTime& t : steps) {
    list.append(list.empty() ? "" : ", ").append(date_time_text(t.jdate, t.jtime));
  }
  return list;
}

}  // namespace brindlewick
