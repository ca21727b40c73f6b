// NAMEVAL: the value of a logical name, or the name itself when no such variable is set.
#include "util/nameval.h"

#include <cstdlib>
#include <string>

#include "kavro/util.h"

namespace kavro {

namespace {
// At most this many characters of a logical name are looked up.
constexpr std::size_t kNamevalNameMax = 511;

const char* value_of(std::string_view lname) {
  const std::string name(first_word(lname).substr(0, kNamevalNameMax));
  return name.empty() ? nullptr : std::getenv(name.c_str());
}
}  // namespace

void NAMEVAL(std::string_view lname, std::span<char> eqname) {
  const char* value = value_of(lname);
  assign_padded(eqname, value != nullptr ? std::string_view(value) : lname);
}

namespace detail {
bool value_fits(std::string_view lname, std::size_t field) noexcept {
  const char* value = value_of(lname);
  if (value == nullptr) return true;
  const std::string_view v(value);
  return v.size() <= field || v.find_first_not_of(' ', field) == std::string_view::npos;
}

bool name_is_set(std::string_view lname) noexcept { return value_of(lname) != nullptr; }
}  // namespace detail

}  // namespace kavro
