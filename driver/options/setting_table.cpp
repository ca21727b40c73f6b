#include "options/setting_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace brindlewick {
namespace {

using K = SettingKind;

constexpr std::array<ToolSetting, 18> kSettings = {{
    {"BRINDLEWICK_SUMMARY", "summary", K::kYesNo, "",
     "per-variable summary and closing table in the log", "Summary of the differences in the log"},
    {"BRINDLEWICK_MAPS", "maps", K::kFolder, "DIR",
     "a PNG map per differing variable, in an existing DIR", "Directory for the difference maps"},
    {"BRINDLEWICK_CSV", "csv", K::kNewFile, "PATH",
     "one CSV row per differing cell (PATH must not exist yet)", "CSV file of the differences"},
    {"BRINDLEWICK_EXIT_ON_DIFF", "exit-on-diff", K::kYesNo, "",
     "exit status 1 when any cell differed", "Exit status 1 when cells differ"},
    {"BRINDLEWICK_MAX_REPORTS", "max-reports", K::kCount, "N",
     "at most N reports on standard output", "Most difference reports written"},
    {"BRINDLEWICK_ABS_TOL", "abs-tol", K::kTolerance, "X",
     "report a cell only beyond this absolute difference", "Absolute tolerance"},
    {"BRINDLEWICK_REL_TOL", "rel-tol", K::kTolerance, "X",
     "... and beyond this relative difference", "Relative tolerance"},
    {"BRINDLEWICK_TOLERANCES", "tolerances", K::kFile, "FILE",
     "tolerances per variable from a TOML file (see brindlewick(1)); a variable it does not "
     "name keeps the tolerances above",
     "Tolerances per variable"},
    {"BRINDLEWICK_FORMAT", "format", K::kFormat, "labelled",
     "one line per differing cell: variable, date:time, layer, column, row, latitude, "
     "longitude, both values, difference; then totals per variable and overall (standard: "
     "the two-line reports)",
     "Form of the difference reports"},
    {"BRINDLEWICK_VARIABLES", "variables", K::kNames, "A,B", "compare only these variables",
     "Variables compared"},
    {"BRINDLEWICK_EXCLUDE", "exclude", K::kNames, "A,B",
     "do not compare these variables; the log and the JSON list them as excluded",
     "Variables not compared"},
    {"BRINDLEWICK_STEPS", "steps", K::kSteps, "FIRST:LAST",
     "compare only the steps from FIRST to LAST, both included; each YYYYDDD:HHMMSS or "
     "YYYY-MM-DD[Thh:mm[:ss]]; FIRST/LAST also",
     "Steps compared"},
    {"BRINDLEWICK_LAYERS", "layers", K::kLayers, "FIRST:LAST",
     "compare only the layers from FIRST to LAST (1-based), both included; N: layer N only",
     "Layers compared"},
    {"BRINDLEWICK_NAN_EQUAL", "nan-equal", K::kYesNo, "", "a NaN against a NaN is not reported",
     "NaN against NaN not reported"},
    {"BRINDLEWICK_JSON", "json", K::kNewFile, "PATH",
     "the result as JSON (PATH must not exist yet): status, reason, settings, steps, "
     "per-variable summary, totals",
     "JSON file of the result"},
    {"BRINDLEWICK_ONLY_COMMON", "only-common", K::kYesNo, "",
     "compare only the variables and steps both files hold; list the others instead of ending "
     "the run",
     "Compare only what both files hold"},
    {"BRINDLEWICK_IGNORE_ATTRIBUTES", "ignore-attributes", K::kAttributes, "A,B",
     "header attributes not compared, beside the dates, descriptions and history; ALL: none "
     "compared; NONE: all",
     "Header attributes not compared"},
    {"BRINDLEWICK_VERDICT_IGNORES", "verdict-ignores", K::kCategories, "C,D",
     "kinds of difference the verdict leaves out: cells, steps, variables, grid, header",
     "Differences the verdict leaves out"},
}};

// Hands each of the names TEXT separates by commas to TAKE, which may refuse one.
template <typename Take>
bool each_name(std::string_view text, Take take) {
  for (;;) {
    const std::size_t comma = text.find(',');
    if (!take(text.substr(0, comma))) return false;
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  append_printable(out, text);
  out += "\" ";
}

bool yes_no_text(std::string_view text) noexcept {
  // Only one letter counts, the second when the first is a period (.TRUE., .FALSE.).
  if (text.empty()) return false;
  const char c = text[0] == '.' && text.size() > 1 ? text[1] : text[0];
  return std::string_view("TYFNtyfn").find(c) != std::string_view::npos;
}

// Takes up to MAX decimal digits (at least MIN) from the front of TEXT.
bool take_digits(std::string_view& text, std::size_t min, std::size_t max, int& value) noexcept {
  std::size_t n = 0;
  value = 0;
  while (n < text.size() && n < max && text[n] >= '0' && text[n] <= '9') {
    value = value * 10 + (text[n] - '0');
    ++n;
  }
  text.remove_prefix(n);
  return n >= min;
}

bool take_char(std::string_view& text, char c) noexcept {
  if (text.empty() || text[0] != c) return false;
  text.remove_prefix(1);
  return true;
}

bool leap(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// "YYYY-MM-DD[Thh:mm[:ss]]" as (YYYYDDD, HHMMSS).
bool parse_iso_step(std::string_view text, StepTime& t) noexcept {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = 0, month = 0, day = 0, hh = 0, mm = 0, ss = 0;
  if (!take_digits(text, 4, 4, year) || !take_char(text, '-') || !take_digits(text, 2, 2, month) ||
      !take_char(text, '-') || !take_digits(text, 2, 2, day) || month < 1 || month > 12) {
    return false;
  }
  const auto m = static_cast<std::size_t>(month - 1);
  if (day < 1 || day > kDays[m] + (month == 2 && leap(year) ? 1 : 0)) return false;
  if (take_char(text, 'T')) {
    if (!take_digits(text, 2, 2, hh) || !take_char(text, ':') || !take_digits(text, 2, 2, mm)) {
      return false;
    }
    if (take_char(text, ':') && !take_digits(text, 2, 2, ss)) return false;
  }
  if (!text.empty() || hh > 23 || mm > 59 || ss > 59) return false;
  int yday = day;
  for (std::size_t k = 0; k < m; ++k) yday += kDays[k] + (k == 1 && leap(year) ? 1 : 0);
  t = {year * 1000 + yday, hh * 10000 + mm * 100 + ss};
  return true;
}

bool parse_model_step(std::string_view text, StepTime& t) noexcept {
  StepTime s;
  if (!take_digits(text, 1, 7, s.jdate) || !take_char(text, ':') ||
      !take_digits(text, 1, 6, s.jtime) || !text.empty()) {
    return false;
  }
  if (s.jtime > 235959 || s.jtime % 100 >= 60 || s.jtime / 100 % 100 >= 60) return false;
  t = s;
  return true;
}

std::string step_problem(std::string_view text) {
  std::string why;
  StepRange range;
  if (parse_step_range(text, range, why)) return {};
  return why;
}

}  // namespace

std::span<const ToolSetting> tool_settings() noexcept { return kSettings; }

const ToolSetting* find_setting(std::string_view env) noexcept {
  const auto rows = tool_settings();
  const auto it =
      std::find_if(rows.begin(), rows.end(), [env](const ToolSetting& s) { return s.env == env; });
  return it == rows.end() ? nullptr : &*it;
}

void append_printable(std::string& line, std::string_view text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    line.push_back(u < 0x20 || u == 0x7f ? '?' : c);
  }
}

bool parse_step(std::string_view text, StepTime& t) noexcept {
  return parse_model_step(text, t) || parse_iso_step(text, t);
}

bool parse_step_range(std::string_view text, StepRange& range, std::string& why) {
  // Every place a separator could stand; exactly one must leave a step on either side.
  int splits = 0;
  StepRange found;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != ':' && text[at] != '/') continue;
    StepRange r;
    if (parse_step(text.substr(0, at), r.first) && parse_step(text.substr(at + 1), r.last)) {
      found = r;
      ++splits;
    }
  }
  why.clear();
  // FIRST/LAST with one side no step: that side is quoted.
  const std::size_t slash = text.find('/');
  if (splits == 0 && slash != std::string_view::npos && text.find('/', slash + 1) == text.npos) {
    StepTime t;
    const std::string_view first = text.substr(0, slash);
    append_quoted(why, parse_step(first, t) ? text.substr(slash + 1) : first);
    why += "is not YYYYDDD:HHMMSS or YYYY-MM-DD[Thh:mm[:ss]]";
    return false;
  }
  append_quoted(why, text);
  if (splits != 1) {
    why += "is not FIRST:LAST, each YYYYDDD:HHMMSS or YYYY-MM-DD[Thh:mm[:ss]]";
    return false;
  }
  if (!(found.first <= found.last)) {
    why += "has its first step after its last";
    return false;
  }
  why.clear();
  found.set = true;
  range = found;
  return true;
}

bool parse_layer_range(std::string_view text, LayerRange& range) noexcept {
  LayerRange r;
  if (!take_digits(text, 1, 6, r.first)) return false;
  r.last = r.first;
  if (take_char(text, ':') && !take_digits(text, 1, 6, r.last)) return false;
  if (!text.empty() || r.first < 1 || r.last < r.first) return false;
  r.set = true;
  range = r;
  return true;
}

bool parse_variable_list(std::string_view text, std::vector<std::string>& names) {
  std::vector<std::string> list;
  const bool named = each_name(text, [&list](std::string_view name) {
    if (name.empty() || name.size() > 16 || name.find(' ') != std::string_view::npos) {
      return false;
    }
    list.emplace_back(name);
    return true;
  });
  if (named) names = std::move(list);
  return named;
}

bool AttributeRule::ignores(std::string_view name) const noexcept {
  if (all) return true;
  if (std::find(more.begin(), more.end(), name) != more.end()) return true;
  return !none && std::find(std::begin(kIgnoredAttributes), std::end(kIgnoredAttributes), name) !=
                      std::end(kIgnoredAttributes);
}

bool parse_attribute_rule(std::string_view text, AttributeRule& rule) {
  AttributeRule r;
  if (text == "ALL" || text == "NONE") {
    r.all = text == "ALL";
    r.none = text == "NONE";
  } else {
    const bool named = each_name(text, [&r](std::string_view name) {
      if (name.empty() || name.find(' ') != std::string_view::npos) return false;
      r.more.emplace_back(name);
      return true;
    });
    if (!named) return false;
  }
  rule = std::move(r);
  return true;
}

bool parse_categories(std::string_view text, Categories& categories) noexcept {
  Categories found = 0;
  const bool named = each_name(text, [&found](std::string_view name) {
    const auto* known = std::find_if(std::begin(kCategories), std::end(kCategories),
                                     [name](const CategoryName& c) { return c.name == name; });
    if (known == std::end(kCategories)) return false;
    found |= bit(known->category);
    return true;
  });
  if (named) categories = found;
  return named;
}

bool whole_number(std::string_view text, bool integer) noexcept {
  const std::string s(text);
  const char* begin = s.c_str();
  char* end = nullptr;
  if (integer) {
    static_cast<void>(std::strtol(begin, &end, 10));
  } else {
    static_cast<void>(std::strtod(begin, &end));
  }
  if (end == begin) return false;
  while (*end == ' ') ++end;
  return *end == '\0';
}

std::string setting_problem(const ToolSetting& setting, std::string_view text) {
  std::string why;
  // The library's readers take an empty Y/N or number as unset; a list or a range has no
  // empty form.
  const bool listed = setting.kind == K::kFormat || setting.kind == K::kNames ||
                      setting.kind == K::kSteps || setting.kind == K::kLayers ||
                      setting.kind == K::kAttributes || setting.kind == K::kCategories;
  if (text.empty() && !listed) return {};
  switch (setting.kind) {
    case K::kYesNo:
      if (yes_no_text(text)) return {};
      append_quoted(why, text);
      return why + "is not Y or N";
    case K::kTolerance: {
      if (whole_number(text, false)) {
        const double v = std::strtod(std::string(text).c_str(), nullptr);
        if (v >= 0.0) return {};  // infinity too; a NaN compares false
      }
      append_quoted(why, text);
      return why + "is not a number, 0 or more";
    }
    case K::kCount: {
      if (whole_number(text, true)) {
        const long n = std::strtol(std::string(text).c_str(), nullptr, 10);
        if (n >= 0 && n <= 2147483647L) return {};
      }
      append_quoted(why, text);
      return why + "is not a whole number, 0 or more";
    }
    case K::kFormat:
      if (text == "labelled" || text == "standard") return {};
      append_quoted(why, text);
      return why + "is not labelled or standard";
    case K::kNames: {
      std::vector<std::string> names;
      if (parse_variable_list(text, names)) return {};
      append_quoted(why, text);
      return why + "is not variable names of at most 16 characters, separated by commas";
    }
    case K::kSteps:
      return step_problem(text);
    case K::kLayers: {
      LayerRange r;
      if (parse_layer_range(text, r)) return {};
      append_quoted(why, text);
      return why + "is not FIRST:LAST, layers from 1, the first not after the last";
    }
    case K::kAttributes: {
      AttributeRule rule;
      if (parse_attribute_rule(text, rule)) return {};
      append_quoted(why, text);
      return why + "is not ALL, NONE, or attribute names separated by commas";
    }
    case K::kCategories: {
      Categories categories = 0;
      if (parse_categories(text, categories)) return {};
      append_quoted(why, text);
      return why + "is not cells, steps, variables, grid or header, separated by commas";
    }
    case K::kNewFile:
    case K::kFolder:
    case K::kFile:
      return {};
  }
  return {};
}

}  // namespace brindlewick
