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

// The byte order of the values a read left in the caller's buffer: the machine's, or each
// value's bytes reversed (as a big-endian file stores them, on a little-endian machine).
enum class ValueOrder { native, reversed };
// The same read of one variable, where the values may be left as the file stores them when
// that saves a pass over them (a program that only compares them, or converts them itself);
// `order` says which order the buffer holds, on success and failure alike. Reads of "ALL"
// variables, of file types whose transfer puts header arrays before the values, and of every
// file not read through the direct data path give the machine's order.
bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer, std::size_t nbytes, ValueOrder& order);

}  // namespace kavro

#endif  // KAVRO_READ_H
