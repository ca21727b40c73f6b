#include "run/tolerances.h"

#include <fnmatch.h>
#include <sys/stat.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace brindlewick {
namespace {

bool is_glob(std::string_view name) noexcept {
  return name.find_first_of("*?[") != std::string_view::npos;
}

bool refuse_at(const toml::source_region& where, std::string_view what, std::string& why) {
  why = "line " + std::to_string(where.begin.line) + ", column " +
        std::to_string(where.begin.column) + ": ";
  why.append(what);
  return false;
}

// One table of "abs" and "rel", each a number, 0 or more; OWNER names it in a message.
bool read_values(const toml::node& node, std::string_view owner, ToleranceValues& values,
                 std::string& why) {
  const toml::table* table = node.as_table();
  if (table == nullptr) {
    return refuse_at(node.source(), std::string(owner) + " is not a table of abs and rel", why);
  }
  for (const auto& [key, value] : *table) {
    const std::string_view k = key.str();
    if (k != "abs" && k != "rel") {
      return refuse_at(
          key.source(),
          "unknown key \"" + std::string(k) + "\" in " + std::string(owner) + " (abs, rel)", why);
    }
    const std::optional<double> v = value.value<double>();
    if (!v || !(*v >= 0.0) || (!value.is_floating_point() && !value.is_integer())) {
      return refuse_at(
          value.source(),
          "\"" + std::string(k) + "\" of " + std::string(owner) + " is not a number, 0 or more",
          why);
    }
    (k == "abs" ? values.absolute : values.relative) = *v;
  }
  return true;
}

bool before(const toml::source_position& a, const toml::source_position& b) noexcept {
  return a.line < b.line || (a.line == b.line && a.column < b.column);
}

}  // namespace

double tolerance_margin(double a, double b, const Tolerance& tol) noexcept {
  if (std::isnan(a) || std::isnan(b)) return std::nan("");
  if (a == b) return 0.0;
  if (std::isinf(a) || std::isinf(b)) return HUGE_VAL;
  const double d = std::fabs(a - b);
  const double allowed =
      std::max(tol.absolute, tol.relative * std::max(std::fabs(a), std::fabs(b)));
  return allowed > 0.0 ? d / allowed : HUGE_VAL;
}

Tolerance ToleranceTable::tolerance_for(std::string_view name, const Tolerance& global) const {
  Tolerance tol = global;
  const auto overlay = [&tol](const ToleranceValues& v) {
    if (v.absolute) tol.absolute = *v.absolute;
    if (v.relative) tol.relative = *v.relative;
    tol.set = tol.set || v.any();
  };
  overlay(defaults);
  const auto named = std::find_if(exact.begin(), exact.end(),
                                  [name](const ToleranceEntry& e) { return e.name == name; });
  if (named != exact.end()) {
    overlay(named->values);
    return tol;
  }
  const std::string n(name);
  for (const ToleranceEntry& g : globs) {
    if (::fnmatch(g.name.c_str(), n.c_str(), 0) == 0) {
      overlay(g.values);
      break;
    }
  }
  return tol;
}

bool parse_tolerances(std::string_view text, ToleranceTable& table, std::string& why) {
  // Debian's toml++ is built with exceptions: a parse error is caught here and goes no further.
  toml::table parsed;
  try {
    parsed = toml::parse(text);
  } catch (const toml::parse_error& e) {
    return refuse_at(e.source(), e.description(), why);
  }
  ToleranceTable t;
  // The globs with where they stand, to be put in the file's order (a TOML table's keys are
  // not kept in it).
  std::vector<std::pair<toml::source_position, ToleranceEntry>> globs;
  for (const auto& [key, node] : parsed) {
    if (key.str() == "default") {
      if (!read_values(node, "[default]", t.defaults, why)) return false;
      continue;
    }
    if (key.str() != "variables") {
      return refuse_at(key.source(),
                       "unknown table \"" + std::string(key.str()) + "\" (default, variables)",
                       why);
    }
    const toml::table* vars = node.as_table();
    if (vars == nullptr) return refuse_at(node.source(), "variables is not a table", why);
    for (const auto& [vkey, vnode] : *vars) {
      ToleranceEntry e{std::string(vkey.str()), {}};
      if (e.name.empty() || e.name.size() > 16 || e.name.find(' ') != std::string::npos) {
        return refuse_at(vkey.source(),
                         "\"" + e.name + "\" is no variable name of 1 to 16 characters", why);
      }
      if (!read_values(vnode, "\"" + e.name + "\"", e.values, why)) return false;
      if (is_glob(e.name)) {
        globs.emplace_back(vkey.source().begin, std::move(e));
      } else {
        t.exact.push_back(std::move(e));
      }
    }
  }
  std::stable_sort(globs.begin(), globs.end(),
                   [](const auto& a, const auto& b) { return before(a.first, b.first); });
  for (auto& g : globs) t.globs.push_back(std::move(g.second));
  t.loaded = true;
  table = std::move(t);
  return true;
}

bool read_tolerance_file(const std::string& path, ToleranceTable& table, std::string& why) {
  struct stat st {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  const bool regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (regular && in && st.st_size > 0) text << in.rdbuf();
  if (!regular || !in || in.bad()) {
    why = "Tolerance file \"" + path + "\" could not be read";
    return false;
  }
  if (parse_tolerances(text.str(), table, why)) return true;
  why = "Tolerance file \"" + path + "\" " + why;
  return false;
}

}  // namespace brindlewick
