// Texts of the library handed out to C and Fortran callers, into buffers they size: a
// NUL-terminated C string, or a blank-padded Fortran field. A text longer than its buffer is
// cut before a whole character (UTF-8), so a path cut short is still valid text.
#ifndef KAVRO_C_API_TEXT_OUT_H
#define KAVRO_C_API_TEXT_OUT_H

#include <cstddef>
#include <span>
#include <string_view>

namespace kavro::detail {

// How many bytes of TEXT fit in N: all of it when it fits, else the longest prefix of at
// most N bytes that does not end inside a UTF-8 character.
std::size_t whole_characters(std::string_view text, std::size_t n) noexcept;

// TEXT, cut as above to leave room for the NUL, then the NUL; an empty buffer gets nothing.
void put_c_text(std::string_view text, std::span<char> buffer) noexcept;

// TEXT, cut as above, then blanks to the end of FIELD.
void put_field_text(std::string_view text, std::span<char> field) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_C_API_TEXT_OUT_H
