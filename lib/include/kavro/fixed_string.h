// Fixed-width, blank-padded text: the one representation of names, units, description
// lines and paths throughout the library, and the helpers that pad, trim and compare it.
#ifndef KAVRO_FIXED_STRING_H
#define KAVRO_FIXED_STRING_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace kavro {

// Text without its trailing blanks.
constexpr std::string_view trimmed(std::string_view s) noexcept {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// The logical name held in a field: the characters before its first blank.
constexpr std::string_view first_word(std::string_view s) noexcept {
  const std::size_t p = s.find(' ');
  return p == std::string_view::npos ? s : s.substr(0, p);
}

// Blank-padded equality: the shorter text counts as extended with blanks ("ALL" == "ALL   ").
constexpr bool padded_equal(std::string_view a, std::string_view b) noexcept {
  return trimmed(a) == trimmed(b);
}

// Copies s into an output field: cut to the field's length, the rest blank-filled.
inline void assign_padded(std::span<char> field, std::string_view s) noexcept {
  const std::size_t n = std::min(field.size(), s.size());
  std::copy_n(s.data(), n, field.data());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

// A field of exactly N characters, blank-padded. Trivially copyable, so the state tables
// keep their fixed sizes and copy semantics.
template <std::size_t N>
class FixedString {
 public:
  static constexpr std::size_t kSize = N;

  constexpr FixedString() noexcept { chars_.fill(' '); }
  constexpr FixedString(std::string_view s) noexcept { assign(s); }  // NOLINT: implicit by design

  constexpr void assign(std::string_view s) noexcept {
    const std::size_t n = std::min(N, s.size());
    for (std::size_t i = 0; i < n; ++i) chars_[i] = s[i];
    for (std::size_t i = n; i < N; ++i) chars_[i] = ' ';
  }
  constexpr FixedString& operator=(std::string_view s) noexcept {
    assign(s);
    return *this;
  }
  constexpr void blank() noexcept { chars_.fill(' '); }

  constexpr std::string_view padded() const noexcept { return {chars_.data(), N}; }
  constexpr std::string_view trimmed() const noexcept { return kavro::trimmed(padded()); }
  constexpr std::string_view first_word() const noexcept { return kavro::first_word(padded()); }
  constexpr operator std::string_view() const noexcept { return padded(); }  // NOLINT

  std::span<char, N> span() noexcept { return std::span<char, N>(chars_); }
  constexpr char* data() noexcept { return chars_.data(); }
  constexpr const char* data() const noexcept { return chars_.data(); }
  constexpr char& operator[](std::size_t i) noexcept { return chars_[i]; }
  constexpr char operator[](std::size_t i) const noexcept { return chars_[i]; }
  static constexpr std::size_t size() noexcept { return N; }

  friend constexpr bool operator==(const FixedString& a, const FixedString& b) noexcept {
    return a.chars_ == b.chars_;
  }

 private:
  std::array<char, N> chars_;
};

using Name16 = FixedString<16>;
using Line80 = FixedString<80>;
using Path512 = FixedString<512>;

// Sixteen question marks: a free slot, an unset name.
inline constexpr std::string_view kFreeSlotName = "????????????????";

}  // namespace kavro

#endif  // KAVRO_FIXED_STRING_H
