#include "netcdf/header_mistakes.h"

#include <array>
#include <cstddef>

#include "kavro/params.h"
#include "kavro/util.h"

namespace kavro::detail {

namespace {

constexpr std::size_t kShownNames = 4;  // VAR-LIST names quoted in a message, then "..."

bool leap(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The day of the year of YEAR-MONTH-DAY, or 0 when that is no date.
int day_of_year(int year, int month, int day) noexcept {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return 0;
  const auto m = static_cast<std::size_t>(month - 1);
  const int last = kDays[m] + (month == 2 && leap(year) ? 1 : 0);
  if (day > last) return 0;
  int doy = day;
  for (std::size_t k = 0; k < m; ++k) doy += kDays[k];
  return doy + (month > 2 && leap(year) ? 1 : 0);
}

// VAR-LIST up to its first NUL (C writers store one) and without trailing blanks.
std::string_view names_text(std::string_view var_list) noexcept {
  const std::size_t nul = var_list.find('\0');
  if (nul != std::string_view::npos) var_list = var_list.substr(0, nul);
  return trimmed(var_list);
}

// Blank-separated words in TEXT.
int word_count(std::string_view text) noexcept {
  int n = 0;
  bool in_word = false;
  for (const char ch : text) {
    const bool blank = ch == ' ';
    if (!blank && !in_word) ++n;
    in_word = !blank;
  }
  return n;
}

}  // namespace

Mistake sdate_mistake(int sdate) noexcept {
  Mistake m;
  // Eight digits would be a year past 9999: no model run's, but a YYYYMMDD date's.
  if (sdate <= 0 || (sdate % 1000 <= 366 && sdate < 10000000)) return m;
  m.format("SDATE %d is not a YYYYDDD date", sdate);
  // Eight digits that make a date YYYYMMDD: the fix is that date's YYYYDDD.
  const int year = sdate / 10000, month = sdate / 100 % 100, day = sdate % 100;
  const int doy = sdate >= 10000000 && sdate <= 99999999 ? day_of_year(year, month, day) : 0;
  if (doy > 0) m.format(" (%04d-%02d-%02d is %d%03d)", year, month, day, year, doy);
  return m;
}

Mistake tstep_mistake(int tstep, int date1, int time1, int date2, int time2) noexcept {
  Mistake m;
  if (tstep <= 0 || date1 <= 0 || date2 <= 0) return m;
  const int secs = SECSDIFF(date1, time1, date2, time2);
  if (secs != tstep || TIME2SEC(tstep) == secs) return m;
  const int hhmmss = SEC2TIME(secs);
  m.format("TSTEP %d is in seconds, TFLAG steps by %06d: write TSTEP %d", tstep, hhmmss, hhmmss);
  return m;
}

Mistake var_list_mistake(int nvars, std::string_view var_list) noexcept {
  Mistake m;
  const std::string_view text = names_text(var_list);
  const std::size_t entries = (text.size() + NAMLEN3 - 1) / NAMLEN3;
  if (nvars < 1 || entries == static_cast<std::size_t>(nvars)) return m;
  m.format("NVARS %d does not match the %zu name%s of VAR-LIST (", nvars, entries,
           entries == 1 ? "" : "s");
  for (std::size_t e = 0; e < entries && e < kShownNames; ++e) {
    if (e > 0) m << ", ";
    m << trimmed(text.substr(e * NAMLEN3, NAMLEN3));
  }
  if (entries > kShownNames) m << ", ...";
  m << ")";
  // Names written one after another with single blanks: the right count, the wrong width.
  if (word_count(text) == nvars) return m << ": pad each name to 16 characters";
  return m.format(": write NVARS %zu", entries);
}

Mistake shape_mistake(std::string_view name, std::span<const std::string_view> has,
                      std::span<const std::string_view> needs) noexcept {
  Mistake m;
  bool same = has.size() == needs.size();
  for (std::size_t i = 0; same && i < has.size(); ++i) same = has[i] == needs[i];
  if (same) return m;
  auto list = [&m](std::span<const std::string_view> dims) {
    m << "(";
    for (std::size_t i = 0; i < dims.size(); ++i) m << (i > 0 ? ", " : "") << dims[i];
    m << ")";
  };
  m << "variable " << trimmed(name) << " has dimensions ";
  list(has);
  m << ", needs ";
  list(needs);
  return m;
}

Mistake type_mistake(std::string_view name, std::string_view has, std::string_view needs) noexcept {
  Mistake m;
  if (has == needs) return m;
  return m << name << " is " << has << ", must be " << needs;
}

}  // namespace kavro::detail
