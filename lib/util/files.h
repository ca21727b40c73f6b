// Paths from logical names: whether a value fits its field, whether a path names a file.
#ifndef KAVRO_UTIL_FILES_H
#define KAVRO_UTIL_FILES_H

#include <cstddef>
#include <string_view>

namespace kavro::detail {

// True when the value of logical name LNAME (the name itself when unset) fits a field of
// WIDTH characters without being cut.
bool value_fits(std::string_view lname, std::size_t width) noexcept;

// True when PATH (without its trailing blanks) names an existing file.
bool file_exists(std::string_view path) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_FILES_H
