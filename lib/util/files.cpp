#include "util/files.h"

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

}  // namespace kavro::detail
