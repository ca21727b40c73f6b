// Reading a variable at a date and time.
#ifndef KAVRO_READ_H
#define KAVRO_READ_H

#include <cstddef>
#include <string_view>

namespace kavro {

// ---- Reading -----------------------------------------------------------------------------------
// BUFFER is addressed in 4-byte words; its layout per file type is the transfer's.
bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer);
// The same read into a buffer of `nbytes` bytes: a read that would not fit is refused with
// a warning and the buffer is left untouched.
bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer, std::size_t nbytes);

}  // namespace kavro

#endif  // KAVRO_READ_H
