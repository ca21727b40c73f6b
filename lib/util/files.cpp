#include "util/files.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "kavro/fixed_string.h"

namespace kavro::detail {

bool value_fits(std::string_view lname, std::size_t width) noexcept {
  const std::string name(first_word(lname));
  const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
  if (value != nullptr) return std::strlen(value) <= width;
  return trimmed(lname).size() <= width;
}

bool file_exists(std::string_view path) noexcept {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(std::string(trimmed(path))), ec);
}

}  // namespace kavro::detail
