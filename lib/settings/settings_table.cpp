#include "settings/settings_table.h"

#include <cassert>
#include <cmath>
#include <cstdlib>

#include "core/state.h"
#include "kavro/core.h"
#include "kavro/settings.h"

namespace kavro {
namespace {

using detail::BadValueReport;
using detail::kSettings;
using detail::SettingKind;
using detail::SettingRow;

constexpr std::string_view yes_no(bool value) noexcept { return value ? "Y" : "N"; }

// The table as the public interface lists it.
constexpr auto kListed = [] {
  std::array<LibrarySetting, kSettings.size()> listed{};
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    const bool number = kSettings[i].kind == SettingKind::kNumber;
    listed[i] = {.name = kSettings[i].name,
                 .values = number ? kSettings[i].number_values : "Y or N",
                 .default_value =
                     number ? kSettings[i].number_default_text : yes_no(kSettings[i].default_value),
                 .summary = kSettings[i].summary};
  }
  return listed;
}();

void report_bad_value(const SettingRow& row, std::string_view caller) {
  switch (row.bad_value) {
    case BadValueReport::kReaderOnly:
      break;
    case BadValueReport::kWarning:
      XQWARN(caller, 0, 0, row.bad_value_text);
      break;
    case BadValueReport::kMessage:
      XQMSG2(row.bad_value_text);
      break;
  }
}

bool read_now(const SettingRow& row, std::string_view caller) {
  if (!row.logged_when_unset && std::getenv(row.name) == nullptr) return row.default_value;
  int status = 0;
  const bool value = ENVYN(row.name, row.prompt, row.default_value, status);
  // Only an unreadable value is reported; an empty one quietly gives the default.
  if (status > 0) report_bad_value(row, caller);
  return value;
}

// A number above 0; anything else that is set is reported and gives the default.
double read_number_now(const SettingRow& row, std::string_view caller) {
  if (!row.logged_when_unset && std::getenv(row.name) == nullptr) return row.number_default;
  int status = 0;
  const double value = ENVDBLE(row.name, row.prompt, row.number_default, status);
  if (status > 0 || (status == 0 && !(std::isfinite(value) && value > 0))) {
    report_bad_value(row, caller);
    return row.number_default;
  }
  return value;
}

}  // namespace

std::span<const LibrarySetting> library_settings() noexcept { return kListed; }

bool library_setting_value(std::string_view name, std::string_view caller) {
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    if (name == kSettings[i].name) return detail::setting_at(i, caller);
  }
  return false;
}

namespace detail {

bool setting(SettingName name, std::string_view caller) { return setting_at(name.index(), caller); }

bool setting_at(std::size_t index, std::string_view caller) {
  const SettingRow& row = kSettings[index];
  if (row.timing == ReadTiming::kEveryOpen) return read_now(row, caller);
  SettingMemo& memo = state().b.settings[index];
  if (!memo.read) {
    memo.read = true;
    memo.value = read_now(row, caller);
  }
  return memo.value;
}

double setting_number(SettingName name, std::string_view caller) {
  const SettingRow& row = name.row();
  assert(row.kind == SettingKind::kNumber && "setting_number reads a number setting");
  if (row.timing == ReadTiming::kEveryOpen) return read_number_now(row, caller);
  SettingMemo& memo = state().b.settings[name.index()];
  if (!memo.read) {
    memo.read = true;
    memo.number = read_number_now(row, caller);
  }
  return memo.number;
}

bool setting_read(SettingName name) noexcept { return state().b.settings[name.index()].read; }

void forget_setting(SettingName name) noexcept { state().b.settings[name.index()] = {}; }

}  // namespace detail
}  // namespace kavro
