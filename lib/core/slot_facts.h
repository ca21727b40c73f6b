// What the file in a slot holds, as its opener or creator stored it in the slot's tables: its
// variables by name and their types, its layers and the values of one, its records. The
// routines that look a variable up by name, and the C++ interface, which reads no state table,
// ask here, and learn through the slot's kind which step each record holds.
#ifndef KAVRO_CORE_SLOT_FACTS_H
#define KAVRO_CORE_SLOT_FACTS_H

#include <cstdint>
#include <span>
#include <string_view>

#include "core/msgbuf.h"

namespace kavro::detail {

// How many variables the file in slot FID has (0 .. MXVARS3).
int variable_count(int fid) noexcept;
// The index (1 ..) of variable VNAME in the file of slot FID; 0 when it has none of that name.
int variable_index(int fid, std::string_view vname) noexcept;
// The type (M3INT, M3REAL, M3DBLE) of variable VID (1 ..) of the file in slot FID.
int variable_type(int fid, int vid) noexcept;

struct SlotShape {
  int layers = 0;                 // of every variable
  std::int64_t layer_values = 0;  // values of one layer of one variable, by file type
  int records = 0;                // written so far
};
// The shape of the file in slot FID.
SlotShape slot_shape(int fid) noexcept;

struct SlotTime {
  int sdate = 0;  // the first step
  int stime = 0;
  int tstep = 0;  // 0: time-independent; negative: the file keeps its latest steps in turn
};
// The time axis of the file in slot FID, as its header gives it.
SlotTime slot_time(int fid) noexcept;

// Whether the file in slot FID is volatile (its value ended in " -v"): another process may be
// writing it, so its disk image is brought up to date before its flags are read.
bool slot_volatile(int fid) noexcept;

// Whether the kind of slot FID keeps a flag pair (date, time) per variable and record, so
// that a record says which step it holds.
bool keeps_step_flags(int fid) noexcept;
// The flag pairs of variables 1 .. N of record REC of the file in slot FID, into FLAGS (two
// per variable), through the slot's kind; on failure false with the kind's text in WHY.
bool record_flags(int fid, int n, int rec, std::span<int> flags, MsgBuf<256>& why);

}  // namespace kavro::detail

#endif  // KAVRO_CORE_SLOT_FACTS_H
