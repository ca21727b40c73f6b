// Writing a variable at a date and time: the counterpart of READ3.
#ifndef KAVRO_WRITE_H
#define KAVRO_WRITE_H

#include <cstddef>
#include <string_view>

namespace kavro {

// Writes every layer of variable VNAME (or of every variable, "ALL") of the file FNAME as the
// step of (JDATE, JTIME), from BUFFER laid out as READ3 of all layers fills it (the file
// type's per-step arrays first in a netCDF file; every variable one after another for "ALL").
// The record is the one READ3 reads for that date and time, the variable's time-step flags are
// written with the data, the file's record count grows, and a volatile file is brought up to
// date on disk. Refused with a warning, the file unchanged: a file opened read-only, a kind
// not written by date and time (a file list, a dictionary), an unknown variable, a date and
// time off the file's time axis.
bool WRITE3(std::string_view fname, std::string_view vname, int jdate, int jtime,
            const void* buffer);
// The same from a buffer of NBYTES bytes: a write that would read past its end is refused.
bool WRITE3(std::string_view fname, std::string_view vname, int jdate, int jtime,
            const void* buffer, std::size_t nbytes);

}  // namespace kavro

#endif  // KAVRO_WRITE_H
