// Internals of the conversions between fixed-length and C strings.
#ifndef KAVRO_UTIL_C_STRINGS_H
#define KAVRO_UTIL_C_STRINGS_H

namespace kavro::detail {

// White space of any kind ends a name in the C conversions: blank, tab, newline, vertical
// tab, form feed, return.
bool is_white(char c) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_C_STRINGS_H
