#include "outputs/number_text.h"

#include <charconv>
#include <cmath>

#include "kavro/kavro.h"

namespace brindlewick {
namespace {

template <typename T>
void append_chars(std::string& out, T v) {
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, v);
  out.append(text, r.ptr);
}

}  // namespace

void append_shortest(std::string& out, float v) { append_chars(out, v); }
void append_shortest(std::string& out, double v) { append_chars(out, v); }
void append_integer(std::string& out, std::int64_t v) { append_chars(out, v); }

std::string value_text(double v, int vtype) {
  std::string s;
  if (vtype == kavro::XQINT && std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9.0e18) {
    append_integer(s, static_cast<std::int64_t>(v));
  } else if (vtype == kavro::XQDBLE) {
    append_shortest(s, v);
  } else {
    append_shortest(s, static_cast<float>(v));
  }
  return s;
}

}  // namespace brindlewick
