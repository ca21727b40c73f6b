// Date and time arithmetic: model dates YYYYDDD and times HHMMSS on the proleptic Gregorian
// calendar, stepping, differences in seconds, record numbers, and the texts of messages.
//
// Every computation runs in 64 bits, so no int input can overflow. Where a true result does
// not fit the 32-bit encoding, it saturates at the nearest int (NEXTIME's date, SECSDIFF,
// SEC2TIME symmetrically at +-INT_MAX); CURREC and JSTEP3 work on exact 64-bit spans and answer
// "not found" (-1) when the record number itself would not fit.
#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "kavro/params.h"
#include "kavro/util.h"
#include "util/calendar.h"

namespace kavro {
namespace {

using Int64 = std::int64_t;

constexpr Int64 kIntMax = std::numeric_limits<int>::max();
constexpr Int64 kIntMin = std::numeric_limits<int>::min();
constexpr Int64 kDaysPer400Years = 146097;
constexpr Int64 kSecsPerDay = 86400;

constexpr int clamp_to_int(Int64 v) noexcept {
  return static_cast<int>(v > kIntMax ? kIntMax : (v < kIntMin ? kIntMin : v));
}

constexpr Int64 floor_div(Int64 a, Int64 b) noexcept {
  const Int64 q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Divisible by 4 and not by 100, or by 400; the same rule for year 0 and negative years.
constexpr bool is_leap(Int64 year) noexcept {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr Int64 year_length(Int64 year) noexcept { return is_leap(year) ? 366 : 365; }

// Whole 400-year cycles that carry a date below year 1 into the positive range; the calendar
// repeats every 400 years, so a shifted computation shifted back gives the same result.
constexpr Int64 four_century_shift(Int64 date) noexcept {
  return ((-date) / 1000 + 1) / 400 * 400000 + 400000;
}

// Leap years before `year`, counted from a fixed origin: differences give the leap years in a
// span of years, for any sign.
constexpr Int64 leaps_before(Int64 year) noexcept {
  return floor_div(year - 1, 4) - floor_div(year - 1, 100) + floor_div(year - 1, 400);
}

// Days from 1 January of year `from` to 1 January of year `to` (negative when `to` is earlier).
constexpr Int64 days_between_years(Int64 from, Int64 to) noexcept {
  return 365 * (to - from) + leaps_before(to) - leaps_before(from);
}

// Brings a day number into 1..length of its year, moving the year. Whole 400-year cycles go
// first (146097 days each, exactly what that many turns of the year loops would move), so the
// loops turn at most 400 times whatever the span.
void normalise_day(Int64& year, Int64& day) noexcept {
  if (day <= 0) {
    const Int64 cycles = (-day) / kDaysPer400Years;
    day += cycles * kDaysPer400Years;
    year -= 400 * cycles;
  } else if (day > kDaysPer400Years) {
    const Int64 cycles = (day - 1) / kDaysPer400Years;
    day -= cycles * kDaysPer400Years;
    year += 400 * cycles;
  }
  while (day <= 0) {
    day += year_length(year - 1);
    year -= 1;
  }
  while (day > 365) {
    if (!is_leap(year)) {
      day -= 365;
    } else if (day == 366) {
      break;
    } else {
      day -= 366;
    }
    year += 1;
  }
}

// Steps (jdate, jtime) by a signed offset given as hours, minutes and seconds of one sign,
// carrying seconds into minutes into hours into days into years.
void step_date_time(int& jdate, int& jtime, Int64 step_hours, Int64 step_minutes,
                    Int64 step_seconds) noexcept {
  const Int64 shift = jdate < 1000 ? four_century_shift(jdate) : 0;
  const Int64 date = jdate + shift;
  const Int64 time = jtime;

  Int64 sec = time % 100 + step_seconds;
  Int64 carry = floor_div(sec, 60);
  sec -= 60 * carry;
  Int64 min = (time / 100) % 100 + step_minutes + carry;
  carry = floor_div(min, 60);
  min -= 60 * carry;
  Int64 hr = time / 10000 + step_hours + carry;
  Int64 day = date % 1000;
  if (hr < -23) {
    day += hr / 24;
    hr %= 24;
  }
  if (hr < 0) {
    day -= 1;
    hr += 24;
  } else if (hr > 23) {
    day += hr / 24;
    hr %= 24;
  }
  jtime = static_cast<int>(10000 * hr + 100 * min + sec);

  Int64 year = date / 1000;
  normalise_day(year, day);
  jdate = clamp_to_int(year * 1000 + day - shift);
}

// Steps by a signed number of seconds: the same offset as NEXTIME with SEC2TIME(secs), without
// SEC2TIME's 32-bit limit.
void step_seconds(int& jdate, int& jtime, Int64 secs) noexcept {
  step_date_time(jdate, jtime, secs / 3600, (secs / 60) % 60, secs % 60);
}

Int64 time_to_seconds(Int64 time) noexcept {
  if (time < 0) return -time_to_seconds(-time);
  return 3600 * (time / 10000) + 60 * ((time / 100) % 100) + time % 100;
}

Int64 seconds_to_time(Int64 secs) noexcept {
  if (secs < 0) return -seconds_to_time(-secs);
  return 10000 * (secs / 3600) + 100 * ((secs / 60) % 60) + secs % 60;
}

// Seconds from A to Z, exact in 64 bits.
Int64 seconds_between(Int64 adate, Int64 atime, Int64 zdate, Int64 ztime) noexcept {
  if (adate <= 1000 || zdate <= 1000) {
    const Int64 shift = four_century_shift(adate < zdate ? adate : zdate);
    adate += shift;
    zdate += shift;
  }
  const Int64 hours = ztime / 10000 + 24 * (zdate % 1000) - 24 * (adate % 1000) - atime / 10000;
  const Int64 minutes = 60 * hours + (ztime / 100) % 100 - (atime / 100) % 100;
  const Int64 seconds = 60 * minutes + ztime % 100 - atime % 100;
  return seconds + kSecsPerDay * days_between_years(adate / 1000, zdate / 1000);
}

// Writes n's decimal digits at out (no sign, at least `width` digits with leading zeros).
char* put_digits(char* out, Int64 n, int width) noexcept {
  std::array<char, 20> digits{};
  int count = 0;
  do {
    digits[static_cast<std::size_t>(count++)] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0 || count < width);
  while (count > 0) *out++ = digits[static_cast<std::size_t>(--count)];
  return out;
}

constexpr std::string_view kTimeError = "<TIMERROR>";
constexpr std::string_view kDateError = "<DATE ERROR>";

constexpr std::array<std::string_view, 12> kMonthNames = {"Jan.",  "Feb.", "March", "April",
                                                          "May",   "June", "July",  "Aug.",
                                                          "Sept.", "Oct.", "Nov.",  "Dec."};
// Days before the end of each month; the leap table serves from day 60 (29 February) on.
constexpr std::array<int, 13> kCommonDays = {0,   31,  59,  90,  120, 151, 181,
                                             212, 243, 273, 304, 334, 365};
constexpr std::array<int, 13> kLeapDays = {0,   31,  60,  91,  121, 152, 182,
                                           213, 244, 274, 305, 335, 366};

}  // namespace

void NEXTIME(int& jdate, int& jtime, int tstep) {
  const Int64 direction = tstep >= 0 ? 1 : -1;
  const Int64 step = direction * Int64{tstep};
  step_date_time(jdate, jtime, direction * (step / 10000), direction * ((step / 100) % 100),
                 direction * (step % 100));
}

int SECSDIFF(int adate, int atime, int zdate, int ztime) {
  return clamp_to_int(seconds_between(adate, atime, zdate, ztime));
}

int TIME2SEC(int time) {
  // At most 214748 hours: always within int.
  return static_cast<int>(time_to_seconds(time));
}

int SEC2TIME(int secs) {
  // Beyond 214748:36:47 the duration has no int encoding: the longest one stands for it.
  const Int64 t = seconds_to_time(secs);
  return static_cast<int>(t > kIntMax ? kIntMax : (t < -kIntMax ? -kIntMax : t));
}

int CURREC(int jdate, int jtime, int sdate, int stime, int tstep, int& cdate, int& ctime) {
  if (tstep == 0) {
    cdate = sdate;
    ctime = stime;
    return 1;
  }
  if (jdate < -10000000 || jdate > 10000000) return -1;
  const Int64 ds = seconds_between(sdate, stime, jdate, jtime);
  if (ds < 0) return -1;
  const Int64 period = time_to_seconds(tstep < 0 ? -Int64{tstep} : Int64{tstep});
  const Int64 k = ds / period;
  // A record number beyond int is no record of any file.
  if (k + 1 > kIntMax) return -1;
  cdate = sdate;
  ctime = stime;
  step_seconds(cdate, ctime, k * period);
  return static_cast<int>(k + 1);
}

int JSTEP3(int jdate, int jtime, int sdate, int stime, int tstep) {
  if (tstep == 0) return 1;
  int cdate = 0;
  int ctime = 0;
  const int rec = CURREC(jdate, jtime, sdate, stime, tstep, cdate, ctime);
  if (rec < 0) return -1;
  NEXTIME(jdate, jtime, 0);
  return (jdate == cdate && jtime == ctime) ? rec : -1;
}

// A negative duration is shown as "-" and the text of its magnitude, while that fits.
FixedString<10> HHMMSS(int jtime) {
  const bool negative = jtime < 0;
  const Int64 t = negative ? -Int64{jtime} : Int64{jtime};
  const Int64 hours = t / 10000;
  if (hours >= (negative ? 1000 : 10000)) return FixedString<10>(kTimeError);
  std::array<char, 10> buf{};
  char* p = buf.data();
  if (negative) *p++ = '-';
  p = put_digits(p, hours, 1);
  *p++ = ':';
  p = put_digits(p, (t / 100) % 100, 2);
  *p++ = ':';
  p = put_digits(p, t % 100, 2);
  return FixedString<10>(std::string_view(buf.data(), static_cast<std::size_t>(p - buf.data())));
}

// Day 0 belongs to no month and is an error like a day past the year's end. Year -1000 is
// written with its four digits; where that makes the text longer than 14, it is an error too.
FixedString<14> MMDDYY(int jdate) {
  const FixedString<14> error(kDateError);
  if (jdate > 9999999 || jdate < -999999) return error;
  const int value = jdate < 0 ? jdate + 2800000 : jdate;
  const int day = value % 1000;
  const int year = value / 1000 - (jdate < 0 ? 2800 : 0);
  const bool leap = is_leap(year);
  if (day < 1 || day > (leap ? 366 : 365)) return error;

  const auto& table = (leap && day >= 60) ? kLeapDays : kCommonDays;
  std::size_t month = 1;
  while (table[month] < day) ++month;

  std::array<char, 20> buf{};
  char* p = buf.data();
  const std::string_view name = kMonthNames[month - 1];
  for (char c : name) *p++ = c;
  *p++ = ' ';
  p = put_digits(p, day - table[month - 1], 1);
  *p++ = ',';
  *p++ = ' ';
  if (year >= 1) {
    p = put_digits(p, year, 4);
  } else {
    *p++ = '-';
    p = put_digits(p, -Int64{year}, 3);
  }
  const auto length = static_cast<std::size_t>(p - buf.data());
  if (length > FixedString<14>::size()) return error;
  return FixedString<14>(std::string_view(buf.data(), length));
}

FixedString<24> DT2STR(int jdate, int jtime) {
  NEXTIME(jdate, jtime, 0);
  FixedString<24> text;
  const FixedString<10> time_text = HHMMSS(jtime);
  const FixedString<14> date_text = MMDDYY(jdate);
  for (std::size_t i = 0; i < 10; ++i) text[i] = time_text[i];
  for (std::size_t i = 0; i < 14; ++i) text[10 + i] = date_text[i];
  return text;
}

namespace detail {

void epoch_date_time(std::int64_t seconds, int& jdate, int& jtime) noexcept {
  const Int64 days = floor_div(seconds, kSecsPerDay);
  const Int64 tod = seconds - days * kSecsPerDay;
  Int64 year = 1970;
  Int64 day = days + 1;
  normalise_day(year, day);
  jdate = clamp_to_int(year * 1000 + day);
  jtime = static_cast<int>(tod / 3600 * 10000 + tod % 3600 / 60 * 100 + tod % 60);
}

}  // namespace detail
}  // namespace kavro
