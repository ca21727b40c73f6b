// What NAMEVAL cannot say: whether a logical name's value fits the field it is copied into.
#ifndef KAVRO_UTIL_NAMEVAL_H
#define KAVRO_UTIL_NAMEVAL_H

#include <cstddef>
#include <string_view>

namespace kavro::detail {

// False when the logical name LNAME is set to a value that a field of FIELD characters would
// cut to a different path: longer than FIELD, with something other than blanks past it. An
// unset name fits.
bool value_fits(std::string_view lname, std::size_t field) noexcept;

// Whether the environment sets the logical name LNAME (its first word), to any value: what
// NAMEVAL's result cannot tell for a name set to itself.
bool name_is_set(std::string_view lname) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_NAMEVAL_H
