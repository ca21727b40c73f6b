#include "settings.h"

#include <sys/stat.h>
#include <unistd.h>

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
  if (stat > kValueRead || !valid_tolerance(value)) {
    return refuse(mesg, name, "a tolerance is a number, 0 or more");
  }
  if (stat == kValueRead) tol.set = true;
  return true;
}

bool read_path(std::string_view name, std::string_view desc, std::string& path, Mesg& mesg) {
  if (!present(name)) return true;
  const std::string n(name);
  if (std::strlen(std::getenv(n.c_str())) >= kPathField) return refuse(mesg, name, "path too long");
  std::array<char, kPathField> field{};
  int stat = 0;
  kavro::ENVSTR(name, desc, "", field, stat);
  path = kavro::trimmed(std::string_view(field.data(), field.size()));
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

// The CSV is created when the comparison starts; one that exists already is refused now, as
// the log file is, so no earlier result is overwritten.
bool check_csv_path(const std::string& path, Mesg& mesg) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return true;
  char text[Mesg::size() + 1];
  std::snprintf(text, sizeof text, "CSV file \"%s\" already exists", path.c_str());
  mesg.assign(text);
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
         check_maps_dir(s.maps_dir, mesg) && check_csv_path(s.csv_path, mesg);
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
