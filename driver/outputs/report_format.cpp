#include "outputs/report_format.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace brindlewick {
namespace {

using U64 = std::uint64_t;
__extension__ typedef unsigned __int128 U128;

// 5^0 .. 5^55: the largest power a float's digits need (5^52, for the smallest denormal) and
// a little more; 5^55 < 2^128.
constexpr std::array<U128, 56> kPow5 = [] {
  std::array<U128, 56> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 5;
  return p;
}();

// 10^0 .. 10^38 (the float range tops out near 3.4e38).
constexpr std::array<U128, 39> kPow10 = [] {
  std::array<U128, 39> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}();

constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> d{};
  for (std::size_t i = 0; i < 100; ++i) {
    d[2 * i] = static_cast<char>('0' + i / 10);
    d[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return d;
}();

constexpr U64 kTen7 = 10000000;
constexpr U64 kTen8 = 100000000;

// What lies beyond the last kept digit, as a fraction of one unit of it.
enum class Tail : std::uint8_t { kExact, kBelowHalf, kHalf, kAboveHalf };

// The leading eight digits of a positive float: value = (t + tail) x 10^(k - 7), with
// 10^7 <= t < 10^8.
struct Digits {
  U64 t;
  int k;
  Tail tail;
};

// x / 2^shift truncated, and where the bits shifted out lie; `sticky` marks non-zero bits
// already dropped below them. Needs 1 <= shift <= 127.
Digits shifted(U128 x, int shift, bool sticky) noexcept {
  const U128 half = U128{1} << (shift - 1);
  const U128 rem = x & ((half << 1) - 1);
  Tail tail = Tail::kBelowHalf;
  if (rem > half || (rem == half && sticky)) {
    tail = Tail::kAboveHalf;
  } else if (rem == half) {
    tail = Tail::kHalf;
  } else if (rem == 0 && !sticky) {
    tail = Tail::kExact;
  }
  return {static_cast<U64>(x >> shift), 0, tail};
}

// Drops the last digit of d.t into the tail, exactly.
void drop_digit(Digits& d) noexcept {
  const U64 last = d.t % 10;
  d.t /= 10;
  if (last > 5 || (last == 5 && d.tail != Tail::kExact)) {
    d.tail = Tail::kAboveHalf;
  } else if (last == 5) {
    d.tail = Tail::kHalf;
  } else if (last != 0 || d.tail != Tail::kExact) {
    d.tail = Tail::kBelowHalf;
  }
}

// Round half to even of the digits and tail.
U64 rounded(const Digits& d) noexcept {
  const bool up = d.tail == Tail::kAboveHalf || (d.tail == Tail::kHalf && (d.t & 1) != 0);
  return d.t + (up ? 1 : 0);
}

// Exact leading digits of m x 2^e (0 < m < 2^24, -149 <= e <= 104), from integer arithmetic
// only. The decimal exponent k first comes from the binary one: floor(b log10 2) is k or
// k - 1; the latter shows as a ninth digit and is dropped at the end. Then value x 10^(7-k)
// = m x 5^p x 2^(e+p) with p = 7 - k is split at the binary point, or, for values of 10^8 and
// more (whole numbers), divided by 10^(k-7).
Digits decimal_digits(U64 m, int e) noexcept {
  const int b = static_cast<int>(std::bit_width(m)) - 1 + e;
  int k = (b * 78913) >> 18;  // floor(b x log10 2) for |b| < 2^11
  const int p = 7 - k;
  Digits d{};
  if (p >= 0) {
    const int s = e + p;
    if (s >= 0) {
      // A whole number below 10^9: nothing beyond it.
      d = {static_cast<U64>((U128{m} * kPow5[static_cast<std::size_t>(p)]) << s), 0, Tail::kExact};
    } else if (p <= 44) {
      // m x 5^p < 2^24 x 5^44 < 2^127.
      d = shifted(U128{m} * kPow5[static_cast<std::size_t>(p)], -s, false);
    } else {
      // Below about 1e-37 m x 5^p needs up to 146 bits: keep its top 128, note whether the low
      // 64 were zero, and shift the rest (-s >= 75 here, so -s - 64 >= 11).
      const U128 f = kPow5[static_cast<std::size_t>(p)];
      const U128 low = U128{m} * static_cast<U64>(f);
      const U128 high = U128{m} * static_cast<U64>(f >> 64) + (low >> 64);
      d = shifted(high, -s - 64, static_cast<U64>(low) != 0);
    }
  } else {
    // m x 2^e < 2^128 is a whole number of at least nine digits.
    const U128 whole = U128{m} << e;
    const U128 unit = kPow10[static_cast<std::size_t>(-p)];
    const U128 rem = whole % unit;
    const Tail tail = rem == 0          ? Tail::kExact
                      : 2 * rem < unit  ? Tail::kBelowHalf
                      : 2 * rem == unit ? Tail::kHalf
                                        : Tail::kAboveHalf;
    d = {static_cast<U64>(whole / unit), 0, tail};
  }
  if (d.t >= kTen8) {
    drop_digit(d);
    ++k;
  }
  d.k = k;
  return d;
}

// Writes exactly n digits of v (leading zeros kept) ending just before `end`; returns where
// they begin.
[[gnu::always_inline]] inline char* put_digits(char* end, U64 v, int n) noexcept {
  for (; n >= 2; n -= 2) {
    const std::size_t pair = 2 * static_cast<std::size_t>(v % 100);
    v /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (n == 1) *--end = static_cast<char>('0' + v % 10);
  return end;
}

// Writes all digits of v ending just before `end`; returns where they begin.
[[gnu::always_inline]] inline char* put_number(char* end, std::uint32_t v) noexcept {
  while (v >= 100) {
    const std::size_t pair = 2 * static_cast<std::size_t>(v % 100);
    v /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (v >= 10) {
    *--end = kDigitPairs[2 * v + 1];
    *--end = kDigitPairs[2 * v];
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

void put_right(char* field, std::size_t width, std::string_view text) noexcept {
  std::memset(field, ' ', width - text.size());
  std::memcpy(field + width - text.size(), text.data(), text.size());
}

// Fixed notation: seven significant digits t (10^6 <= t < 10^7) of a value
// whose decimal exponent is e (-1..6), right-justified in 11, then 4 blanks. Written from the
// right, straight into the field.
void put_fixed(char* out, bool negative, U64 t, int e) noexcept {
  std::memset(out, ' ', kRealWidth);
  char* p = out + 11;
  const int decimals = 6 - e;
  for (int i = 0; i < 7; ++i) {
    if (i == decimals) *--p = '.';
    *--p = static_cast<char>('0' + t % 10);
    t /= 10;
  }
  if (e < 0) {
    *--p = '.';
    *--p = '0';
  }
  if (negative) *--p = '-';
}

// Exponent form: eight significant digits t (10^7 <= t < 10^8, or 0 for zero), d.dddddddE+XX,
// right-justified in 15. Float exponents need two digits at most.
void put_exponent(char* out, bool negative, U64 t, int e) noexcept {
  out[0] = ' ';
  out[1] = negative ? '-' : ' ';
  char* p = put_digits(out + kRealWidth, static_cast<U64>(e < 0 ? -e : e), 2);
  *--p = e < 0 ? '-' : '+';
  *--p = 'E';
  p = put_digits(p, t % kTen7, 7);
  *--p = '.';
  *--p = static_cast<char>('0' + t / kTen7);
}

// Fixed notation straight from the float, for magnitudes from 0.01 up to 10^7 (where most
// data lie): with 10^k <= |v| < 10^(k+1), |v| x 10^(6-k) is a 24-bit significand times at most
// 10^8, under 2^51, so the double product is exact and rounding it to an integer, ties to
// even, gives the seven digits the exact path gives. False, with nothing written, when the
// value rounded to seven digits falls outside the fixed form's range.
bool put_fixed_direct(char* out, bool negative, float magnitude) noexcept {
  static constexpr std::array<double, 9> kTens = {1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  static constexpr std::array<double, 9> kScales = {1e8, 1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1e0};
  // No float lies between 1/10 (or 1/100) and its double approximation, so these
  // comparisons are exact.
  const double x = magnitude;
  if (!(x >= kTens[0] && x < 1e7)) return false;
  std::size_t k = kTens.size() - 1;
  while (x < kTens[k]) --k;
  // Adding and taking away 2^52 rounds a value below 2^52 to an integer, ties to even, in the
  // default rounding mode (the tool never changes it).
  constexpr double kTwo52 = 4503599627370496.0;
  const double scaled = x * kScales[k];
  U64 t = static_cast<U64>((scaled + kTwo52) - kTwo52);
  int e = static_cast<int>(k) - 2;
  if (t == kTen7) {
    t /= 10;
    ++e;
  }
  if (e < -1 || e > 6) return false;
  put_fixed(out, negative, t, e);
  return true;
}

}  // namespace

char* append_int(char* out, int v) noexcept {
  std::memset(out, ' ', kIntWidth);
  // Magnitude in unsigned arithmetic: INT_MIN has none in int.
  const std::uint32_t mag =
      v < 0 ? 0U - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  char* p = put_number(out + kIntWidth, mag);
  if (v < 0) p[-1] = '-';
  return out + kIntWidth;
}

char* append_real(char* out, float v) noexcept {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  const bool negative = (bits >> 31) != 0;
  const auto biased = static_cast<int>((bits >> 23) & 0xFF);
  const std::uint32_t fraction = bits & 0x7FFFFF;
  if (biased == 0xFF) {
    put_right(out, kRealWidth, fraction != 0 ? "NaN" : (negative ? "-Infinity" : "Infinity"));
  } else if (biased == 0 && fraction == 0) {
    // Zero lies outside [0.1, 10 000 000): exponent form, with the sign of a negative zero.
    put_exponent(out, negative, 0, 0);
  } else if (!put_fixed_direct(out, negative, std::bit_cast<float>(bits & 0x7FFFFFFFu))) {
    const U64 m = biased == 0 ? fraction : (fraction | 0x800000u);
    const Digits d8 = decimal_digits(m, biased == 0 ? -149 : biased - 150);
    // The choice of form goes by the value rounded to seven digits.
    Digits d7 = d8;
    drop_digit(d7);
    U64 t7 = rounded(d7);
    int e7 = d7.k;
    if (t7 == kTen7) {
      t7 /= 10;
      ++e7;
    }
    if (e7 >= -1 && e7 <= 6) {
      put_fixed(out, negative, t7, e7);
    } else {
      U64 t8 = rounded(d8);
      int e8 = d8.k;
      if (t8 == kTen8) {
        t8 /= 10;
        ++e8;
      }
      put_exponent(out, negative, t8, e8);
    }
  }
  return out + kRealWidth;
}

char* append_report(char* out, int col, int row, float lat, float lon, float x, float y, int c,
                    int r, int gcol, int grow) noexcept {
  out = append_int(out, col);
  out = append_int(out, row);
  out = append_real(out, lat);
  out = append_real(out, lon);
  out = append_real(out, x);
  *out++ = '\n';
  out = append_real(out, y);
  out = append_int(out, c);
  out = append_int(out, r);
  out = append_int(out, gcol);
  out = append_int(out, grow);
  *out++ = '\n';
  return out;
}

}  // namespace brindlewick
