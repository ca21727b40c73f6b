// Reading: the time-step flag proof (RDTFLAG), the transfer routine of each file type and
// RDVARS, the one place that moves a variable's values into the caller's buffer. READ3
// itself is declared in the public header.
//
// The caller's buffer is addressed in 4-byte words, word 1 first; an INTEGER or REAL value
// takes one word, a DOUBLE PRECISION value two.
#ifndef KAVRO_READ_READ_H
#define KAVRO_READ_READ_H

#include <cstdint>
#include <string_view>

#include "core/kinds.h"

namespace kavro {

// Turns (JDATE, JTIME) into the record number STEP of the file in slot FID and proves through
// the stored flag pairs that the record holds that date and time for variable VID (or every
// variable, ALLVAR3). A file list's slot is replaced by the slot of the member that holds the
// record. VERBOSE reports the failures that are reported only on request.
bool RDTFLAG(int& fid, int vid, int jdate, int jtime, int& step, bool verbose);

// The transfers by file type: header arrays of the type (netCDF files) at the front of the
// buffer, then the variable (or all variables, ALLVAR3) for LAYER (or all layers, ALLAYS3)
// of record STEP.
bool RDGRDDED(int fid, int vid, int layer, int step, void* buffer);
bool RDBNDARY(int fid, int vid, int layer, int step, void* buffer);
bool RDIDDATA(int fid, int vid, int layer, int step, void* buffer);
bool RDPROFIL(int fid, int vid, int layer, int step, void* buffer);
bool RDGRNEST(int fid, int vid, int layer, int step, void* buffer);
bool RDSMATRX(int fid, int vid, int step, void* buffer);
bool RDCUSTOM(int fid, int vid, int layer, int step, void* buffer);

// Transfers one variable (VID >= 1) or all variables (ALLVAR3) of SIZE values each into
// BUFFER, through the reader of the slot's kind.
bool RDVARS(int fid, int vid, const SlabVector& start, const SlabVector& count, std::int64_t size,
            void* buffer);

// Dictionary file: the entry VNAME into the description record.
bool RDDICT3(int fid, std::string_view vname);

namespace detail {

// Bytes a READ3 of variable VID (or ALLVAR3) and LAYER (or ALLAYS3) of the file in slot FID
// writes into the caller's buffer, as the slot's kind reads it. Computed in 64-bit
// arithmetic; a request whose size does not fit 64 bits gives INT64_MAX, which no buffer holds.
std::int64_t read3_size_bytes(int fid, int vid, int layer) noexcept;

}  // namespace detail
}  // namespace kavro

#endif  // KAVRO_READ_READ_H
