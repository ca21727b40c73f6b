// Reading: the time-step flag proof (RDTFLAG), the transfer routine of each file type and
// RDVARS, the one place that moves a variable's values into the caller's buffer. READ3
// itself is declared in the public header.
//
// The caller's buffer is addressed in 4-byte words, word 1 first; an INTEGER or REAL value
// takes one word, a DOUBLE PRECISION value two.
#ifndef KAVRO_READ_READ_H
#define KAVRO_READ_READ_H

#include <array>
#include <cstddef>
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
// of record STEP. STORED_ORDER_LEFT, when given, lets the reader leave one variable's values as
// the file stores them and says whether it did (VarRead::stored_order_left); a type whose
// header arrays come first is always read in the machine's order.
bool RDGRDDED(int fid, int vid, int layer, int step, void* buffer,
              bool* stored_order_left = nullptr);
bool RDBNDARY(int fid, int vid, int layer, int step, void* buffer,
              bool* stored_order_left = nullptr);
bool RDIDDATA(int fid, int vid, int layer, int step, void* buffer,
              bool* stored_order_left = nullptr);
bool RDPROFIL(int fid, int vid, int layer, int step, void* buffer,
              bool* stored_order_left = nullptr);
bool RDGRNEST(int fid, int vid, int layer, int step, void* buffer,
              bool* stored_order_left = nullptr);
bool RDSMATRX(int fid, int vid, int step, void* buffer, bool* stored_order_left = nullptr);
bool RDCUSTOM(int fid, int vid, int layer, int step, void* buffer,
              bool* stored_order_left = nullptr);

// Transfers one variable (VID >= 1) or all variables (ALLVAR3) of the read's SIZE values each
// into BUFFER, through the reader of the slot's kind.
bool RDVARS(int fid, int vid, const VarRead& read, void* buffer);

namespace detail {

// Bytes a READ3 of variable VID (or ALLVAR3) and LAYER (or ALLAYS3) of the file in slot FID
// writes into the caller's buffer, as the slot's kind reads it. Computed in 64-bit
// arithmetic; a request whose size does not fit 64 bits gives INT64_MAX, which no buffer holds.
std::int64_t read3_size_bytes(int fid, int vid, int layer) noexcept;
// Where, in the TOTAL bytes such a READ3 of one variable writes, the WANT bytes of the
// variable's own values start (OFFSET): where the slot's kind says, for a kind that delivers a
// whole record; otherwise last, after the file type's per-step header arrays. False when they
// do not lie inside the TOTAL bytes.
bool read3_values_start(int fid, int vid, int layer, std::size_t total, std::size_t want,
                        std::size_t& offset) noexcept;

// The slot of the file FNAME for a request of variable VNAME: 0 when the name is longer than
// 16 characters or the file is not open, reported with CALLER's warning "Invalid variable or
// file name arguments".
int named_slot(std::string_view caller, std::string_view fname, std::string_view vname, int jdate,
               int jtime);

// CALLER's warning for file FNAME (slot FID) whose type has no transfer.
void report_unknown_type(std::string_view caller, int fid, std::string_view fname, int jdate,
                         int jtime);

// The record STEP of (JDATE, JTIME) in the file of slot FID and the flag pair that record
// holds for it: (JDATE, JTIME), or (0, 0) in a time-independent file (record 1); a file with
// a negative time step reuses records 1 and 2 in turn. False, with STEP negative, when the
// date and time is not on the file's time axis.
bool record_of(int fid, int jdate, int jtime, int& step, std::array<int, 2>& pair);

// The three lines and CALLER's warning "Time step error for file:" for a date and time that
// is not on the time axis of the file in slot FID.
void report_step_error(std::string_view caller, int fid, int jdate, int jtime);
// The short cause of a step the file lacks, for one variable when VNAME is not empty.
MsgBuf<160> step_cause(int jdate, int jtime, std::string_view vname);

// The report of a variable VNAME that file FNAME (slot FID) does not hold: the file's variables
// listed three to a line, then CALLER's warning "Requested variable ... not available".
void report_missing_variable(std::string_view caller, int fid, std::string_view fname,
                             std::string_view vname, int jdate, int jtime);

// NBYTES, when given, is the size of the caller's buffer: a transfer of VID and LAYER that
// would need more is refused, with CALLER's warning, before anything is read or written.
bool fits(std::string_view caller, int fid, int vid, int layer, const std::size_t* nbytes,
          std::string_view fname, std::string_view vname, int jdate, int jtime);

}  // namespace detail
}  // namespace kavro

#endif  // KAVRO_READ_READ_H
