#include "outputs/json_result.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "kavro/kavro.h"
#include "outputs/number_text.h"

namespace brindlewick {
namespace {

// One JSON object under construction: "key": value pairs, separated by commas.
class Object {
 public:
  explicit Object(std::string& out) : out_(out) { out_ += '{'; }
  std::string& key(std::string_view name) {
    out_ += first_ ? "\"" : ", \"";
    first_ = false;
    out_ += name;
    out_ += "\": ";
    return out_;
  }
  void close() { out_ += '}'; }

 private:
  std::string& out_;
  bool first_ = true;
};

void put_string(std::string& out, std::string_view text) {
  out += '"';
  out += json_escaped(text);
  out += '"';
}

void put_bool(std::string& out, bool v) { out += v ? "true" : "false"; }

void put_count(std::string& out, std::uint64_t n) {
  append_integer(out, static_cast<std::int64_t>(n));
}

// A value as the summary shows it; a NaN or an infinity as null.
void put_value(std::string& out, double v, int vtype) {
  out += std::isfinite(v) ? value_text(v, vtype) : "null";
}

void put_step(std::string& out, int jdate, int jtime) {
  out += '[';
  append_integer(out, jdate);
  out += ", ";
  append_integer(out, jtime);
  out += ']';
}

void put_extreme(std::string& out, const Extreme& e, int vtype) {
  if (!e.found) {
    out += "null";
    return;
  }
  Object o(out);
  put_value(o.key("difference"), e.measure, difference_type(vtype));
  append_integer(o.key("date"), e.at.jdate);
  append_integer(o.key("time"), e.at.jtime);
  append_integer(o.key("layer"), e.at.layer);
  append_integer(o.key("column"), e.at.col);
  append_integer(o.key("row"), e.at.row);
  put_value(o.key("latitude"), e.at.lat, kavro::XQREAL);
  put_value(o.key("longitude"), e.at.lon, kavro::XQREAL);
  put_value(o.key("value1"), e.a, vtype);
  put_value(o.key("value2"), e.b, vtype);
  o.close();
}

void put_variable(std::string& out, const VariableStats& s) {
  Object o(out);
  put_string(o.key("name"), s.name);
  put_string(o.key("units"), s.units);
  put_count(o.key("cells_compared"), s.compared);
  append_integer(o.key("steps"), s.steps);
  put_count(o.key("cells_differing"), s.differing);
  put_count(o.key("nan_against_number"), s.nan_number);
  append_integer(o.key("steps_differing"), s.steps_differing);
  if (s.steps_differing > 0) {
    put_step(o.key("first_difference"), s.first_jdate, s.first_jtime);
  } else {
    o.key("first_difference") += "null";
  }
  put_extreme(o.key("largest_abs"), s.largest_abs, s.vtype);
  put_extreme(o.key("largest_rel"), s.largest_rel, s.vtype);
  put_value(o.key("rms"), s.rms(), difference_type(s.vtype));
  // The tolerance in force for the variable and the margin against it (null: none in force;
  // an infinite margin, a difference where nothing is allowed, is null too).
  if (s.tolerance_set) {
    Object tol(o.key("tolerance"));
    put_value(tol.key("abs"), s.tolerance_abs, kavro::XQDBLE);
    put_value(tol.key("rel"), s.tolerance_rel, kavro::XQDBLE);
    tol.close();
    put_value(o.key("margin"), s.margin, difference_type(s.vtype));
  } else {
    o.key("tolerance") += "null";
    o.key("margin") += "null";
  }
  // The series only for a variable that differs: the others would only repeat zeros.
  std::string& series = o.key("series");
  if (s.differing == 0) {
    series += "null";
  } else {
    series += '[';
    for (std::size_t i = 0; i < s.series.size(); ++i) {
      if (i > 0) series += ", ";
      const StepFigures& f = s.series[i];
      Object step(series);
      append_integer(step.key("date"), f.jdate);
      append_integer(step.key("time"), f.jtime);
      put_count(step.key("cells_differing"), f.differing);
      put_value(step.key("largest_abs"), f.largest_abs, difference_type(s.vtype));
      put_value(step.key("rms"), f.rms, difference_type(s.vtype));
      step.close();
    }
    series += ']';
  }
  o.close();
}

void put_strings(std::string& out, const std::vector<std::string>& list) {
  out += '[';
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) out += ", ";
    put_string(out, list[i]);
  }
  out += ']';
}

void put_steps(std::string& out, std::span<const StepTime> steps) {
  out += '[';
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) out += ", ";
    put_step(out, steps[i].jdate, steps[i].jtime);
  }
  out += ']';
}

void put_categories(std::string& out, Categories categories) {
  out += '[';
  bool first = true;
  for (const std::string_view name : category_names(categories)) {
    if (!first) out += ", ";
    first = false;
    put_string(out, name);
  }
  out += ']';
}

void put_not_compared(std::string& out, const Plan* plan) {
  const Plan none;
  const Plan& p = plan == nullptr ? none : *plan;
  Object o(out);
  put_strings(o.key("variables_only_in_file1"), p.only_in_1);
  put_strings(o.key("variables_only_in_file2"), p.only_in_2);
  put_steps(o.key("steps_only_in_file1"), p.steps_only_in_1);
  put_steps(o.key("steps_only_in_file2"), p.steps_only_in_2);
  o.close();
}

void put_grid(std::string& out, const Plan* plan) {
  out += '[';
  if (plan != nullptr) {
    for (std::size_t i = 0; i < plan->grid.size(); ++i) {
      if (i > 0) out += ", ";
      Object o(out);
      put_string(o.key("what"), plan->grid[i].what);
      put_string(o.key("file1"), plan->grid[i].first);
      put_string(o.key("file2"), plan->grid[i].second);
      o.close();
    }
  }
  out += ']';
}

void put_header(std::string& out, const Plan* plan) {
  out += '[';
  if (plan != nullptr) {
    for (std::size_t i = 0; i < plan->header.size(); ++i) {
      if (i > 0) out += ", ";
      const HeaderDifference& d = plan->header[i];
      Object o(out);
      put_string(o.key("attribute"), d.attribute);
      if (d.variable.empty()) {
        o.key("variable") += "null";
      } else {
        put_string(o.key("variable"), d.variable);
      }
      put_string(o.key("file1"), d.value1);
      put_string(o.key("file2"), d.value2);
      o.close();
    }
  }
  out += ']';
}

void put_files(std::string& out, const RunFiles& files) {
  Object o(out);
  put_string(o.key("file1"), files.file1);
  put_string(o.key("file2"), files.file2);
  if (files.stack.empty()) {
    o.key("stack") += "null";
  } else {
    put_string(o.key("stack"), files.stack);
  }
  o.close();
}

void put_path(std::string& out, const std::string& path) {
  if (path.empty()) {
    out += "null";
  } else {
    put_string(out, path);
  }
}

// A list of names; null when empty.
void put_names(std::string& out, const std::vector<std::string>& names) {
  if (names.empty()) {
    out += "null";
    return;
  }
  out += '[';
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += ", ";
    put_string(out, names[i]);
  }
  out += ']';
}

void put_settings(std::string& out, const Settings& s) {
  Object o(out);
  if (s.tolerance.set) {
    put_value(o.key("abs_tol"), s.tolerance.absolute, kavro::XQDBLE);
    put_value(o.key("rel_tol"), s.tolerance.relative, kavro::XQDBLE);
  } else {
    o.key("abs_tol") += "null";
    o.key("rel_tol") += "null";
  }
  put_bool(o.key("nan_equal"), s.nan_equal);
  put_names(o.key("variables"), s.variables);
  put_names(o.key("exclude"), s.exclude);
  if (s.layers.set) {
    std::string& layers = o.key("layers");
    layers += '[';
    append_integer(layers, s.layers.first);
    layers += ", ";
    append_integer(layers, s.layers.last);
    layers += ']';
  } else {
    o.key("layers") += "null";
  }
  put_path(o.key("tolerances"), s.tolerances_path);
  std::string& steps = o.key("steps");
  if (s.steps.set) {
    steps += '[';
    put_step(steps, s.steps.first.jdate, s.steps.first.jtime);
    steps += ", ";
    put_step(steps, s.steps.last.jdate, s.steps.last.jtime);
    steps += ']';
  } else {
    steps += "null";
  }
  if (s.max_reports >= 0) {
    append_integer(o.key("max_reports"), s.max_reports);
  } else {
    o.key("max_reports") += "null";
  }
  put_path(o.key("maps"), s.maps_dir);
  put_path(o.key("csv"), s.csv_path);
  put_bool(o.key("summary"), s.summary);
  put_bool(o.key("exit_on_diff"), s.exit_on_diff);
  put_string(o.key("format"), s.labelled ? "labelled" : "standard");
  put_bool(o.key("only_common"), s.only_common);
  std::string& ignored = o.key("ignore_attributes");
  if (s.attributes.all || s.attributes.none) {
    put_string(ignored, s.attributes.all ? "ALL" : "NONE");
  } else {
    put_strings(ignored, s.attributes.more);
  }
  put_categories(o.key("verdict_ignores"), s.verdict_ignores);
  o.close();
}

void put_totals(std::string& out, std::span<const VariableStats> all) {
  std::uint64_t compared = 0, differing = 0, nan_number = 0, variables_differing = 0;
  for (const VariableStats& s : all) {
    compared += s.compared;
    differing += s.differing;
    nan_number += s.nan_number;
    variables_differing += s.differing > 0 ? 1 : 0;
  }
  Object o(out);
  put_count(o.key("variables"), all.size());
  put_count(o.key("variables_differing"), variables_differing);
  put_count(o.key("cells_compared"), compared);
  put_count(o.key("cells_differing"), differing);
  put_count(o.key("nan_against_number"), nan_number);
  o.close();
}

}  // namespace

std::string json_escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", u);
      out += esc;
    } else {
      out += c;
    }
  }
  return out;
}

std::string json_result(const RunOutcome& r) {
  std::string out;
  Object o(out);
  append_integer(o.key("schema_version"), kSchemaVersion);
  put_string(o.key("status"), r.status);
  put_string(o.key("reason"), r.reason);
  put_categories(o.key("categories"), r.verdict == nullptr ? 0 : r.verdict->counted());
  put_categories(o.key("not_counted"),
                 r.verdict == nullptr ? 0 : r.verdict->found & r.verdict->excluded);
  put_categories(o.key("excluded_categories"), r.settings.verdict_ignores);
  put_files(o.key("files"), r.files);
  put_settings(o.key("settings"), r.settings);
  // The variables left out by name, apart from those a file lacks.
  put_names(o.key("excluded_variables"), r.settings.exclude);
  put_steps(o.key("steps"), r.steps);
  put_not_compared(o.key("not_compared"), r.plan);
  put_grid(o.key("grid"), r.plan);
  put_header(o.key("header"), r.plan);
  std::string& vars = o.key("variables");
  vars += '[';
  for (std::size_t i = 0; i < r.variables.size(); ++i) {
    vars += i > 0 ? ",\n  " : "\n  ";
    put_variable(vars, r.variables[i]);
  }
  vars += r.variables.empty() ? "]" : "\n]";
  put_totals(o.key("totals"), r.variables);
  o.close();
  out += '\n';
  return out;
}

}  // namespace brindlewick
