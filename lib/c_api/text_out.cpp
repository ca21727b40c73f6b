#include "c_api/text_out.h"

#include <algorithm>
#include <cstring>

namespace kavro::detail {

namespace {
// A byte that continues a UTF-8 character (10xxxxxx).
bool continues_character(char c) noexcept {
  return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}
}  // namespace

std::size_t whole_characters(std::string_view text, std::size_t n) noexcept {
  if (text.size() <= n) return text.size();
  // text[n] is the first byte left out: while it continues a character, that character
  // began inside the prefix and goes too.
  while (n > 0 && continues_character(text[n])) --n;
  return n;
}

void put_c_text(std::string_view text, std::span<char> buffer) noexcept {
  if (buffer.empty()) return;
  const std::size_t n = whole_characters(text, buffer.size() - 1);
  if (n > 0) std::memcpy(buffer.data(), text.data(), n);
  buffer[n] = '\0';
}

void put_field_text(std::string_view text, std::span<char> field) noexcept {
  const std::size_t n = whole_characters(text, field.size());
  if (n > 0) std::memcpy(field.data(), text.data(), n);
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

}  // namespace kavro::detail
