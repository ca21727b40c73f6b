// The calendar for the library's own use: the model date and time of a wall-clock reading.
#ifndef KAVRO_UTIL_CALENDAR_H
#define KAVRO_UTIL_CALENDAR_H

#include <cstdint>

namespace kavro::detail {

// JDATE (YYYYDDD) and JTIME (HHMMSS) of SECONDS since 1970-01-01 00:00:00 UTC, any sign, on the
// proleptic Gregorian calendar the date arithmetic uses.
void epoch_date_time(std::int64_t seconds, int& jdate, int& jtime) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_CALENDAR_H
