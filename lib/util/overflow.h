// 64-bit sums and products of sizes read from files, never wrapped: saturated at the ends of
// the range (a saturated size is one no buffer holds, so the caller's range check refuses it),
// or checked (false when the exact result does not fit).
#ifndef KAVRO_UTIL_OVERFLOW_H
#define KAVRO_UTIL_OVERFLOW_H

#include <cstdint>

namespace kavro::detail {

constexpr std::int64_t sat_mul(std::int64_t a, std::int64_t b) noexcept {
  std::int64_t r = 0;
  if (!__builtin_mul_overflow(a, b, &r)) return r;
  return (a < 0) != (b < 0) ? INT64_MIN : INT64_MAX;
}
constexpr std::int64_t sat_add(std::int64_t a, std::int64_t b) noexcept {
  std::int64_t r = 0;
  if (!__builtin_add_overflow(a, b, &r)) return r;
  return a < 0 ? INT64_MIN : INT64_MAX;
}

// R = A x B or A + B; false when it overflows (R is then unspecified).
constexpr bool checked_mul(std::int64_t a, std::int64_t b, std::int64_t& r) noexcept {
  return !__builtin_mul_overflow(a, b, &r);
}
constexpr bool checked_add(std::int64_t a, std::int64_t b, std::int64_t& r) noexcept {
  return !__builtin_add_overflow(a, b, &r);
}

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_OVERFLOW_H
