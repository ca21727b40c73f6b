// Whether a path names a file.
#ifndef KAVRO_UTIL_FILES_H
#define KAVRO_UTIL_FILES_H

#include <cstddef>
#include <string_view>

namespace kavro::detail {

// True when PATH (without its trailing blanks) names an existing file.
bool file_exists(std::string_view path) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_FILES_H
