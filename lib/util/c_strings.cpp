// The conversions between blank-padded fixed-length fields and NUL-terminated C strings
// that the setting readers and the C callers rest on. Every size comes from the caller
// and may be anything, so each routine writes only inside the buffer it is given.
#include "util/c_strings.h"

#include <algorithm>
#include <cstring>

#include "kavro/kavro_c.h"

namespace kavro::detail {

bool is_white(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace kavro::detail

using kavro::detail::is_white;

extern "C" {

void name2cstr(const char* fstr, char* cstr, int flen, int csize) {
  if (cstr == nullptr || csize <= 0) return;
  const int limit = fstr == nullptr ? 0 : std::min(flen, csize - 2);
  int n = 0;
  while (n < limit && !is_white(fstr[n])) ++n;
  if (n > 0) std::memcpy(cstr, fstr, static_cast<std::size_t>(n));
  cstr[n] = '\0';
  cstr[csize - 1] = '\0';
}

void fstr2cstr(const char* fstr, char* cstr, int flen, int csize) {
  if (cstr == nullptr || csize <= 0) return;
  const int n = fstr == nullptr ? 0 : std::max(0, std::min(flen, csize - 1));
  if (n > 0) std::memcpy(cstr, fstr, static_cast<std::size_t>(n));
  cstr[n] = '\0';
}

void cstr2fstr(const char* cstr, char* fstr, int flen) {
  if (fstr == nullptr || flen <= 0) return;
  const std::size_t field = static_cast<std::size_t>(flen);
  // Never look past the field's length for the NUL: the C string may be longer.
  const std::size_t n = cstr == nullptr ? 0 : strnlen(cstr, field);
  if (n > 0) std::memcpy(fstr, cstr, n);
  std::memset(fstr + n, ' ', field - n);
}

}  // extern "C"
