#include "util/files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "kavro/fixed_string.h"

namespace kavro::detail {

bool file_exists(std::string_view path) noexcept {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(std::string(trimmed(path))), ec);
}

std::string_view absence_cause(std::string_view path) noexcept {
  struct stat st {};
  if (::stat(std::string(trimmed(path)).c_str(), &st) == 0) return "no such file";
  switch (errno) {
    case EACCES:
      return "permission denied";
    case ENOTDIR:
      return "a folder on the path is not a folder";
    default:
      return "no such file";
  }
}

}  // namespace kavro::detail
