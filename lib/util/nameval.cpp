// NAMEVAL: the value of a logical name, or the name itself when no such variable is set.
#include <cstdlib>
#include <string>

#include "kavro/util.h"

namespace kavro {

namespace {
// At most this many characters of a logical name are looked up.
constexpr std::size_t kNamevalNameMax = 511;
}  // namespace

void NAMEVAL(std::string_view lname, std::span<char> eqname) {
  const std::string name(first_word(lname).substr(0, kNamevalNameMax));
  const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
  assign_padded(eqname, value != nullptr ? std::string_view(value) : lname);
}

}  // namespace kavro
