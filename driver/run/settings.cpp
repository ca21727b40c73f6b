#include "run/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kavro/kavro.h"
#include "outputs/number_text.h"

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

bool refuse(Mesg& mesg, std::string_view name, std::string_view why) noexcept {
  std::string text = "Bad value for ";
  text.append(name).append(": ").append(why);
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
  if (stat > kValueRead || !valid_tolerance(value)) {
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

// A text setting read as a path is, then taken by PARSE (the table's check has passed).
template <typename Parse>
bool read_text(std::string_view name, std::string_view desc, Mesg& mesg, Parse parse) {
  if (!present(name)) return true;
  std::string text;
  if (!read_path(name, desc, text, mesg)) return false;
  parse(text);
  return true;
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
  if (stat > kValueRead || (stat == kValueRead && n < 0)) {
    return refuse(mesg, name, "a number of reports, 0 or more");
  }
  value = n;
  return true;
}

}  // namespace

bool Settings::selects(std::string_view vname) const noexcept {
  const std::string_view name = kavro::trimmed(vname);
  if (excludes(name)) return false;
  return variables.empty() ||
         std::find(variables.begin(), variables.end(), name) != variables.end();
}

bool Settings::excludes(std::string_view vname) const noexcept {
  const std::string_view name = kavro::trimmed(vname);
  return std::find(exclude.begin(), exclude.end(), name) != exclude.end();
}

Tolerance Settings::tolerance_for(std::string_view vname) const {
  return tolerances.loaded ? tolerances.tolerance_for(kavro::trimmed(vname), tolerance) : tolerance;
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
  std::string_view best = tool_settings().front().env;
  std::size_t best_distance = edit_distance(name, best);
  for (const ToolSetting& row : tool_settings()) {
    const std::string_view known = row.env;
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
    if (find_setting(name) != nullptr) continue;
    lines.push_back("Unknown setting " + std::string(name) + " not used; the nearest is " +
                    std::string(nearest_setting(name)));
  }
  return lines;
}

namespace {

// Reads one setting, present in the environment and of its kind, into its field.
bool read_row(const ToolSetting& row, Settings& s, Mesg& mesg) {
  const std::string_view e = row.env;
  const std::string_view d = row.description;
  if (e == kSummarySetting) return read_yes_no(e, d, s.summary, mesg);
  if (e == kMapsSetting) return read_path(e, d, s.maps_dir, mesg);
  if (e == kCsvSetting) return read_path(e, d, s.csv_path, mesg);
  if (e == kExitOnDiffSetting) return read_yes_no(e, d, s.exit_on_diff, mesg);
  if (e == kMaxReportsSetting) return read_count(e, d, s.max_reports, mesg);
  if (e == kAbsTolSetting) return read_tolerance(e, d, s.tolerance, s.tolerance.absolute, mesg);
  if (e == kRelTolSetting) return read_tolerance(e, d, s.tolerance, s.tolerance.relative, mesg);
  if (e == kTolerancesSetting) return read_path(e, d, s.tolerances_path, mesg);
  if (e == kFormatSetting) {
    return read_text(e, d, mesg, [&s](const std::string& v) { s.labelled = v == "labelled"; });
  }
  if (e == kVariablesSetting) {
    return read_text(e, d, mesg,
                     [&s](const std::string& v) { (void)parse_variable_list(v, s.variables); });
  }
  if (e == kExcludeSetting) {
    return read_text(e, d, mesg,
                     [&s](const std::string& v) { (void)parse_variable_list(v, s.exclude); });
  }
  if (e == kStepsSetting) {
    return read_text(e, d, mesg, [&s](const std::string& v) {
      std::string why;
      (void)parse_step_range(v, s.steps, why);
    });
  }
  if (e == kLayersSetting) {
    return read_text(e, d, mesg,
                     [&s](const std::string& v) { (void)parse_layer_range(v, s.layers); });
  }
  if (e == kNanEqualSetting) return read_yes_no(e, d, s.nan_equal, mesg);
  if (e == kJsonSetting) return read_path(e, d, s.json_path, mesg);
  if (e == kOnlyCommonSetting) return read_yes_no(e, d, s.only_common, mesg);
  if (e == kIgnoreAttributesSetting) {
    return read_text(e, d, mesg,
                     [&s](const std::string& v) { (void)parse_attribute_rule(v, s.attributes); });
  }
  if (e == kVerdictIgnoresSetting) {
    return read_text(e, d, mesg,
                     [&s](const std::string& v) { (void)parse_categories(v, s.verdict_ignores); });
  }
  assert(false && "a setting of the table without its field");
  return true;
}

bool read_tolerance_table(Settings& s, Mesg& mesg) {
  if (s.tolerances_path.empty()) return true;
  std::string why;
  if (read_tolerance_file(s.tolerances_path, s.tolerances, why)) return true;
  mesg.assign(why);
  return false;
}

}  // namespace

bool read_settings(Settings& s, Mesg& mesg) noexcept {
  for (const ToolSetting& row : tool_settings()) {
    if (!present(row.env)) continue;
    // The reader logs the value whatever it is; the table's check then has the first word,
    // so the message quotes what was given.
    const std::string why = setting_problem(row, raw_value(row.env));
    Mesg reader;
    const bool read = read_row(row, s, reader);
    if (!why.empty()) return refuse(mesg, row.env, why);
    if (!read) {
      mesg = reader;
      return false;
    }
  }
  return check_maps_dir(s.maps_dir, mesg) && check_new_path(s.csv_path, "CSV file", mesg) &&
         check_json_path(s.json_path, mesg) && read_tolerance_table(s, mesg);
}

bool check_layers(const LayerRange& layers, int nlays, Mesg& mesg) noexcept {
  if (!layers.set || layers.last <= nlays) return true;
  char text[Mesg::size() + 1];
  std::snprintf(text, sizeof text, "%.*s %d:%d reaches beyond layer %d, the last of \"INFILE2\"",
                static_cast<int>(kLayersSetting.size()), kLayersSetting.data(), layers.first,
                layers.last, nlays);
  mesg.assign(text);
  return false;
}

GridFrame compared_layers(GridFrame grid, const LayerRange& layers) noexcept {
  if (!layers.set) return grid;
  grid.first_layer = layers.first;
  grid.nlays = layers.last - layers.first + 1;
  return grid;
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
