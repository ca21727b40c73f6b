// The library's own settings, one row each, and the one reader that code asks for their values.
// Each setting is an environment variable read as Y or N, or as a number. Everything about a
// setting is in its row: the reader, its memory of settings read once per run, the list the tool's
// --help prints and the check of the README's table all follow from kSettings.
#ifndef KAVRO_SETTINGS_SETTINGS_TABLE_H
#define KAVRO_SETTINGS_SETTINGS_TABLE_H

#include <array>
#include <cstddef>
#include <string_view>

#include "core/state.h"

namespace kavro::detail {

// When a setting is read.
enum class ReadTiming {
  kOncePerRun,  // at the first asking; later changes to the environment are not seen
  kEveryOpen,   // at every asking, so a program may change it between two files
};

// How a value other than Y or N is reported, beyond the yes/no reader's own warning (the
// setting then has its default).
enum class BadValueReport {
  kReaderOnly,  // the reader's warning alone
  kWarning,     // a warning under the name of the routine that asked, with the row's text
  kMessage,     // a plain log line with the row's text
};

// What a setting's value is.
enum class SettingKind {
  kYesNo,   // Y or N, read with ENVYN
  kNumber,  // a number above 0, read with ENVDBLE
};

struct SettingRow {
  const char* name;         // the environment variable
  std::string_view prompt;  // the description the yes/no reader is given
  bool default_value;
  ReadTiming timing;
  // False: an unset variable gives the default without a line in the log, so a run that
  // leaves it alone logs exactly what it did before the setting existed.
  bool logged_when_unset;
  BadValueReport bad_value;
  std::string_view bad_value_text;
  std::string_view summary;  // what it does, for a tool's help (after "Y or N (default N): ")
  // A number setting: its default (default_value is unused), the default as listed, and what
  // it takes.
  SettingKind kind = SettingKind::kYesNo;
  double number_default = 0;
  std::string_view number_default_text = "";
  std::string_view number_values = "";
};

inline constexpr std::array kSettings{
    SettingRow{.name = "KAVRO_CHECK_HEADERS",
               .prompt = "Perform file-header checks?",
               .default_value = false,
               .timing = ReadTiming::kOncePerRun,
               .logged_when_unset = true,
               .bad_value = BadValueReport::kWarning,
               .bad_value_text = "Invalid value for environment vble \"KAVRO_CHECK_HEADERS\"",
               .summary = "check file headers on open"},
    SettingRow{.name = "KAVRO_OFFSET_64",
               .prompt = "Use NF_64BIT_OFFSET or not",
               .default_value = false,
               .timing = ReadTiming::kOncePerRun,
               .logged_when_unset = true,
               .bad_value = BadValueReport::kMessage,
               .bad_value_text = "Bad value for environment variable KAVRO_OFFSET_64",
               .summary = "netCDF files the library creates have 64-bit offsets (CDF-2)"},
    SettingRow{.name = "KAVRO_DIRECT_READ",
               .prompt = "Read classic files directly?",
               .default_value = true,
               .timing = ReadTiming::kEveryOpen,
               .logged_when_unset = false,
               .bad_value = BadValueReport::kReaderOnly,
               .bad_value_text = "",
               .summary = "N reads every value through the netCDF library instead of straight "
                          "from the file (for diagnosis)"},
    SettingRow{.name = "KAVRO_BANNER",
               .prompt = "Start-up banner on standard output?",
               .default_value = true,
               .timing = ReadTiming::kOncePerRun,
               .logged_when_unset = false,
               .bad_value = BadValueReport::kReaderOnly,
               .bad_value_text = "",
               .summary = "the start-up banner goes to standard output when the log goes "
                          "elsewhere"},
    SettingRow{.name = "KAVRO_EARTH_RADIUS",
               .prompt = "Earth radius for grid locations (m)",
               .default_value = false,
               .timing = ReadTiming::kOncePerRun,
               .logged_when_unset = false,
               .bad_value = BadValueReport::kMessage,
               .bad_value_text = "Bad value for environment variable KAVRO_EARTH_RADIUS",
               .summary = "radius of the sphere on which cell locations are computed from a "
                          "grid's projection",
               .kind = SettingKind::kNumber,
               .number_default = 6370000.0,
               .number_default_text = "6370000",
               .number_values = "metres"},
};
static_assert(kSettings.size() <= kSettingCapacity,
              "the state keeps kSettingCapacity settings: raise it with the table");

// A setting named in code: its row's place in kSettings, found when the code is compiled, so a
// name the table lacks does not compile.
class SettingName {
 public:
  // Implicit, so that code names a setting by its variable: setting("KAVRO_OFFSET_64", ...).
  consteval SettingName(const char* name) : index_(find(name)) {}
  std::size_t index() const noexcept { return index_; }
  const SettingRow& row() const noexcept { return kSettings[index_]; }

 private:
  static consteval std::size_t find(std::string_view name) {
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
      if (name == kSettings[i].name) return i;
    }
    throw "not a setting of kSettings";  // never a constant: the caller does not compile
  }
  std::size_t index_;
};

// The value of setting NAME, read now or remembered from the run's first reading as its row
// says, with the reader's log line. A bad value is reported as its row says, a warning under
// the name CALLER.
bool setting(SettingName name, std::string_view caller);
// The same for the setting at INDEX of kSettings.
bool setting_at(std::size_t index, std::string_view caller);

// The value of number setting NAME, as setting() reads a yes/no one; a value that is not a
// number above 0 is reported as the row says and gives the default.
double setting_number(SettingName name, std::string_view caller);

// Whether a setting read once per run has been read in this run.
bool setting_read(SettingName name) noexcept;

// Makes the next asking read a setting read once per run afresh.
void forget_setting(SettingName name) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_SETTINGS_SETTINGS_TABLE_H
