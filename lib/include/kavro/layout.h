// The old name of the survey of what a gridded netCDF file lacks (kavro/file_gaps.h), kept for
// callers written against it. Deprecated: new code includes kavro/file_gaps.h and calls
// kavro::file_gaps and kavro::file_gaps_line.
#ifndef KAVRO_LAYOUT_H
#define KAVRO_LAYOUT_H

#include <string>
#include <string_view>
#include <vector>

#include "kavro/file_gaps.h"

namespace kavro {

// Deprecated: kavro::file_gaps.
inline std::vector<std::string> layout_gaps(const std::string& path) { return file_gaps(path); }

// Deprecated: kavro::file_gaps_line.
inline std::string layout_gaps_line(std::string_view path, const std::vector<std::string>& gaps) {
  return file_gaps_line(path, gaps);
}

}  // namespace kavro

#endif  // KAVRO_LAYOUT_H
