// Whether a path names a file.
#ifndef KAVRO_UTIL_FILES_H
#define KAVRO_UTIL_FILES_H

#include <cstddef>
#include <string_view>

namespace kavro::detail {

// True when PATH (without its trailing blanks) names an existing file.
bool file_exists(std::string_view path) noexcept;

// Why PATH names no file a program may open, in a few words: "no such file", "permission
// denied" (a folder on the way cannot be searched), "a folder on the path is not a folder".
std::string_view absence_cause(std::string_view path) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_FILES_H
