// Sizes of what a read writes into a caller's buffer, in one place: the buffer is addressed in
// 4-byte words; an INTEGER or REAL value takes one word, a DOUBLE PRECISION value two. Sizes
// from file headers are multiplied in 64-bit arithmetic that saturates at INT64_MAX, a size
// no buffer holds.
#ifndef KAVRO_CORE_SIZES_H
#define KAVRO_CORE_SIZES_H

#include <cstdint>

#include "kavro/params.h"
#include "util/overflow.h"

namespace kavro::detail {

inline constexpr std::int64_t kWordBytes = 4;

// Words one value of type VTYPE takes: 1 for codes 1 to 5, 2 for XQDBLE, 0 for any other.
constexpr int words_per_value(int vtype) noexcept {
  if (vtype >= 1 && vtype <= XQREAL) return 1;
  return vtype == XQDBLE ? 2 : 0;
}

// The magnitude of a 32-bit value read from a file, without negating INT_MIN: INT_MAX for it.
constexpr int magnitude(int v) noexcept {
  if (v >= 0) return v;
  return v == INT32_MIN ? INT32_MAX : -v;
}
constexpr std::int64_t non_negative(std::int64_t v) noexcept { return v < 0 ? 0 : v; }
// The vertical levels of NLAYS layers, NLAYS + 1, within LO .. HI: counted in 64 bits, so a
// header's NLAYS of INT_MAX does not overflow.
constexpr int level_count(int nlays, int lo, int hi) noexcept {
  const std::int64_t n = std::int64_t{nlays} + 1;
  return static_cast<int>(n < lo ? lo : (n > hi ? hi : n));
}

// Variables of slot FID that the tables describe: NVARS3 within 0..MXVARS3.
int described_vars(int fid) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_CORE_SIZES_H
