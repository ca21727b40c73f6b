// Message building in fixed buffers. The library's messages are concatenations into lines
// of a fixed length (80, 160 or 256 characters): whatever would run past the end of such a
// line is lost. MsgBuf<N> drops overflow exactly there, and the two number fields used
// throughout the messages ("right-justified in W characters", "six digits with leading
// zeros") are built by one helper.
//
// A number too wide for its field shows the field filled with asterisks, as a formatted
// record does, so every line keeps its layout.
#ifndef KAVRO_CORE_MSGBUF_H
#define KAVRO_CORE_MSGBUF_H

#include <array>
#include <cassert>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string_view>

namespace kavro::detail {

// A number as a right-justified field of at most kMaxWidth characters.
class NumField {
 public:
  static constexpr int kMaxWidth = 32;

  // VALUE right-justified in WIDTH characters, with at least MIN_DIGITS digits (leading
  // zeros); asterisks when it does not fit.
  constexpr NumField(long long value, int width, int min_digits = 1) noexcept {
    assert(width >= 1 && width <= kMaxWidth && "field width out of range");
    assert(min_digits >= 1 && min_digits <= width && "digit count out of range");
    std::array<char, 24> digits{};  // a long long has at most 19 digits
    int nd = 0;
    // Work on the negative side so the most negative value needs no special case.
    long long v = value < 0 ? value : -value;
    do {
      digits[static_cast<std::size_t>(nd++)] = static_cast<char>('0' - v % 10);
      v /= 10;
    } while (v != 0);
    while (nd < min_digits) digits[static_cast<std::size_t>(nd++)] = '0';
    const int needed = nd + (value < 0 ? 1 : 0);
    len_ = static_cast<std::size_t>(width);
    if (needed > width) {
      for (std::size_t i = 0; i < len_; ++i) text_[i] = '*';
      return;
    }
    std::size_t pos = 0;
    for (int i = 0; i < width - needed; ++i) text_[pos++] = ' ';
    if (value < 0) text_[pos++] = '-';
    while (nd > 0) text_[pos++] = digits[static_cast<std::size_t>(--nd)];
  }

  constexpr std::string_view view() const noexcept { return {text_.data(), len_}; }
  constexpr operator std::string_view() const noexcept { return view(); }  // NOLINT

 private:
  std::array<char, kMaxWidth> text_{};
  std::size_t len_ = 0;
};

// "right-justified in a field of WIDTH"
constexpr NumField right_justified(long long value, int width) noexcept {
  return NumField(value, width);
}

// "exactly 6 digits with leading zeros" (times HHMMSS)
constexpr NumField six_digits(long long value) noexcept { return NumField(value, 6, 6); }

// A message line of at most N characters. Appending past the end drops the overflow, as
// concatenation into an N-character variable does.
template <std::size_t N>
class MsgBuf {
 public:
  constexpr MsgBuf() noexcept = default;
  constexpr explicit MsgBuf(std::string_view s) noexcept { append(s); }

  constexpr MsgBuf& append(std::string_view s) noexcept {
    for (char c : s) {
      if (len_ == N) break;
      buf_[len_++] = c;
    }
    return *this;
  }
  constexpr MsgBuf& operator<<(std::string_view s) noexcept { return append(s); }
  constexpr MsgBuf& operator<<(const NumField& f) noexcept { return append(f.view()); }
  constexpr MsgBuf& operator<<(char c) noexcept { return append(std::string_view(&c, 1)); }

  // Appends printf-formatted text, cut at the end of the buffer.
  __attribute__((format(printf, 2, 3))) MsgBuf& format(const char* fmt, ...) noexcept {
    std::array<char, N + 1> tmp{};
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(tmp.data(), tmp.size(), fmt, ap);
    va_end(ap);
    if (n > 0) {
      const std::size_t got = static_cast<std::size_t>(n) < N ? static_cast<std::size_t>(n) : N;
      append(std::string_view(tmp.data(), got));
    }
    return *this;
  }

  constexpr void clear() noexcept { len_ = 0; }
  // The characters written so far (trailing blanks of the line are not included).
  constexpr std::string_view view() const noexcept { return {buf_.data(), len_}; }
  constexpr operator std::string_view() const noexcept { return view(); }  // NOLINT
  constexpr std::size_t size() const noexcept { return len_; }
  static constexpr std::size_t capacity() noexcept { return N; }

 private:
  std::array<char, N> buf_{};
  std::size_t len_ = 0;
};

}  // namespace kavro::detail

#endif  // KAVRO_CORE_MSGBUF_H
