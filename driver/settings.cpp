#include "settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kavro/kavro.h"
#include "number_text.h"

namespace brindlewick {
namespace {

// The readers' status: a value was read (0), the variable is empty (-1), not of its kind (1).
constexpr int kValueRead = 0;

// Paths are read into a field of this many characters; a longer value is refused, not cut.
constexpr std::size_t kPathField = 4096;

// The readers log every look-up, unset ones too ("not defined; returning default"), so only
// the settings a user gave are handed to them.
bool present(std::string_view name) noexcept {
  const std::string n(name);
  return std::getenv(n.c_str()) != nullptr;
}

std::string_view raw_value(std::string_view name) noexcept {
  const std::string n(name);
  const char* v = std::getenv(n.c_str());
  return v == nullptr ? std::string_view() : std::string_view(v);
}

bool refuse(Mesg& mesg, std::string_view name, const char* what) noexcept {
  char text[Mesg::size() + 1];
  std::snprintf(text, sizeof text, "Bad value for %.*s: %s", static_cast<int>(name.size()),
                name.data(), what);
  mesg.assign(text);
  return false;
}

bool read_yes_no(std::string_view name, std::string_view desc, bool& value, Mesg& mesg) {
  if (!present(name)) return true;
  int stat = 0;
  value = kavro::ENVYN(name, desc, false, stat);
  return stat <= kValueRead || refuse(mesg, name, "Y or N");
}

bool read_tolerance(std::string_view name, std::string_view desc, Tolerance& tol, double& value,
                    Mesg& mesg) {
  if (!present(name)) return true;
  int stat = 0;
  value = kavro::ENVDBLE(name, desc, 0.0, stat);
  if (stat > kValueRead || !valid_tolerance(value) ||
      (stat == kValueRead && !whole_number(raw_value(name), false))) {
    return refuse(mesg, name, "a tolerance is a number, 0 or more");
  }
  if (stat == kValueRead) tol.set = true;
  return true;
}

bool read_path(std::string_view name, std::string_view desc, std::string& path, Mesg& mesg) {
  if (!present(name)) return true;
  if (raw_value(name).size() >= kPathField) return refuse(mesg, name, "path too long");
  std::array<char, kPathField> field{};
  int stat = 0;
  kavro::ENVSTR(name, desc, "", field, stat);
  path = kavro::trimmed(std::string_view(field.data(), field.size()));
  return true;
}

// A text setting read as a path is, then checked by PARSE; refused with WHAT.
template <typename Parse>
bool read_text(std::string_view name, std::string_view desc, const char* what, Mesg& mesg,
               Parse parse) {
  if (!present(name)) return true;
  std::string text;
  if (!read_path(name, desc, text, mesg)) return false;
  return parse(text) || refuse(mesg, name, what);
}

bool check_maps_dir(const std::string& dir, Mesg& mesg) {
  struct stat st {};
  if (dir.empty()) return true;
  if (::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
      ::access(dir.c_str(), W_OK | X_OK) == 0) {
    return true;
  }
  char text[Mesg::size() + 1];
  std::snprintf(text, sizeof text, "Map directory \"%s\" does not exist or is not writable",
                dir.c_str());
  mesg.assign(text);
  return false;
}

// The CSV and the JSON result are created later; one that exists already is refused now, as
// the log file is, so no earlier result is overwritten. WHAT names the file ("CSV file").
bool check_new_path(const std::string& path, const char* what, Mesg& mesg) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return true;
  char text[Mesg::size() + 1];
  std::snprintf(text, sizeof text, "%s \"%s\" already exists", what, path.c_str());
  mesg.assign(text);
  return false;
}

// A JSON file that exists already is refused, and the failed run writes none there.
bool check_json_path(std::string& path, Mesg& mesg) {
  if (check_new_path(path, "JSON file", mesg)) return true;
  path.clear();
  return false;
}

bool read_count(std::string_view name, std::string_view desc, std::int64_t& value, Mesg& mesg) {
  if (!present(name)) return true;
  int stat = 0;
  const int n = kavro::ENVINT(name, desc, -1, stat);
  if (stat > kValueRead ||
      (stat == kValueRead && (n < 0 || !whole_number(raw_value(name), true)))) {
    return refuse(mesg, name, "a number of reports, 0 or more");
  }
  value = n;
  return true;
}

// Takes a number of up to seven decimal digits from the front of TEXT.
bool take_number(std::string_view& text, int& value) noexcept {
  std::size_t n = 0;
  value = 0;
  while (n < text.size() && n < 7 && text[n] >= '0' && text[n] <= '9') {
    value = value * 10 + (text[n] - '0');
    ++n;
  }
  text.remove_prefix(n);
  return n > 0;
}

bool take_step(std::string_view& text, StepTime& t) noexcept {
  if (!take_number(text, t.jdate) || text.empty() || text[0] != ':') return false;
  text.remove_prefix(1);
  return take_number(text, t.jtime) && t.jtime <= 235959 && t.jtime % 100 < 60 &&
         t.jtime / 100 % 100 < 60;
}

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

}  // namespace

bool Settings::selects(std::string_view vname) const noexcept {
  if (variables.empty()) return true;
  const std::string_view name = kavro::trimmed(vname);
  return std::find(variables.begin(), variables.end(), name) != variables.end();
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

bool parse_step_range(std::string_view text, StepRange& range) noexcept {
  StepRange r;
  if (!take_step(text, r.first) || text.empty() || text[0] != ':') return false;
  text.remove_prefix(1);
  if (!take_step(text, r.last) || !text.empty() || !(r.first <= r.last)) return false;
  r.set = true;
  range = r;
  return true;
}

bool parse_variable_list(std::string_view text, std::vector<std::string>& names) {
  std::vector<std::string> list;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    if (name.empty() || name.size() > kavro::Name16::size() ||
        name.find(' ') != std::string_view::npos) {
      return false;
    }
    list.emplace_back(name);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  names = std::move(list);
  return true;
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

namespace {

// Characters to insert, delete or change to turn A into B.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

constexpr std::string_view kSettingPrefix = "BRINDLEWICK_";

}  // namespace

std::string_view nearest_setting(std::string_view name) noexcept {
  std::string_view best = kKnownSettings[0];
  std::size_t best_distance = edit_distance(name, best);
  for (const std::string_view known : kKnownSettings) {
    const std::size_t d = edit_distance(name, known);
    if (d < best_distance) {
      best = known;
      best_distance = d;
    }
  }
  return best;
}

std::vector<std::string> unknown_setting_lines(const char* const* environ_list) {
  std::vector<std::string> lines;
  for (const char* const* e = environ_list; e != nullptr && *e != nullptr; ++e) {
    const std::string_view entry = *e;
    const std::string_view name = entry.substr(0, entry.find('='));
    if (name.substr(0, kSettingPrefix.size()) != kSettingPrefix) continue;
    if (std::find(std::begin(kKnownSettings), std::end(kKnownSettings), name) !=
        std::end(kKnownSettings)) {
      continue;
    }
    lines.push_back("Unknown setting " + std::string(name) + " not used; the nearest is " +
                    std::string(nearest_setting(name)));
  }
  return lines;
}

bool read_settings(Settings& s, Mesg& mesg) noexcept {
  return read_yes_no(kSummarySetting, "Summary of the differences in the log", s.summary, mesg) &&
         read_path(kMapsSetting, "Directory for the difference maps", s.maps_dir, mesg) &&
         read_path(kCsvSetting, "CSV file of the differences", s.csv_path, mesg) &&
         read_yes_no(kExitOnDiffSetting, "Exit status 1 when cells differ", s.exit_on_diff, mesg) &&
         read_count(kMaxReportsSetting, "Most difference reports written", s.max_reports, mesg) &&
         read_tolerance(kAbsTolSetting, "Absolute tolerance", s.tolerance, s.tolerance.absolute,
                        mesg) &&
         read_tolerance(kRelTolSetting, "Relative tolerance", s.tolerance, s.tolerance.relative,
                        mesg) &&
         read_text(kFormatSetting, "Form of the difference reports", "labelled or standard", mesg,
                   [&s](const std::string& v) {
                     s.labelled = v == "labelled";
                     return s.labelled || v == "standard";
                   }) &&
         read_text(kVariablesSetting, "Variables compared",
                   "variable names of at most 16 characters, separated by commas", mesg,
                   [&s](const std::string& v) { return parse_variable_list(v, s.variables); }) &&
         read_text(kStepsSetting, "Steps compared",
                   "YYYYDDD:HHMMSS:YYYYDDD:HHMMSS, the first step not after the last", mesg,
                   [&s](const std::string& v) { return parse_step_range(v, s.steps); }) &&
         read_yes_no(kNanEqualSetting, "NaN against NaN not reported", s.nan_equal, mesg) &&
         read_path(kJsonSetting, "JSON file of the result", s.json_path, mesg) &&
         read_yes_no(kOnlyCommonSetting, "Compare only what both files hold", s.only_common,
                     mesg) &&
         read_text(kIgnoreAttributesSetting, "Header attributes not compared",
                   "ALL, NONE, or attribute names separated by commas", mesg,
                   [&s](const std::string& v) { return parse_attribute_rule(v, s.attributes); }) &&
         read_text(kVerdictIgnoresSetting, "Differences the verdict leaves out",
                   "cells, steps, variables, grid or header, separated by commas", mesg,
                   [&s](const std::string& v) { return parse_categories(v, s.verdict_ignores); }) &&
         check_maps_dir(s.maps_dir, mesg) && check_new_path(s.csv_path, "CSV file", mesg) &&
         check_json_path(s.json_path, mesg);
}

std::string tolerance_line(const Tolerance& tol) {
  std::string s = "Tolerances in force: absolute ";
  append_shortest(s, tol.absolute);
  s += ", relative ";
  append_shortest(s, tol.relative);
  s += "; a cell is reported when |difference| exceeds both";
  return s;
}

}  // namespace brindlewick
