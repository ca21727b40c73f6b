// The library's state tables: everything it knows about the files it holds, per slot
// (1..MXOPEN3) and per (variable, slot), plus a few process-wide scalars. One instance,
// reached only through state().
#ifndef KAVRO_CORE_STATE_H
#define KAVRO_CORE_STATE_H

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>

#include "kavro/fixed_string.h"
#include "kavro/params.h"

namespace kavro {

// One entry per file slot, indexed 1..MXOPEN3.
template <typename T>
class PerSlot {
 public:
  T& operator()(int slot) noexcept {
    assert(slot >= 1 && slot <= MXOPEN3 && "slot out of range");
    return v_[static_cast<std::size_t>(slot - 1)];
  }
  const T& operator()(int slot) const noexcept {
    assert(slot >= 1 && slot <= MXOPEN3 && "slot out of range");
    return v_[static_cast<std::size_t>(slot - 1)];
  }
  void fill(const T& x) noexcept { v_.fill(x); }

 private:
  std::array<T, MXOPEN3> v_{};
};

// One entry per (variable 1..MXVARS3, slot 1..MXOPEN3); the entries of one slot are
// contiguous, so row(slot) is that slot's table.
template <typename T>
class PerVarSlot {
 public:
  T& operator()(int var, int slot) noexcept { return v_[index(var, slot)]; }
  const T& operator()(int var, int slot) const noexcept { return v_[index(var, slot)]; }
  std::span<T, MXVARS3> row(int slot) noexcept {
    return std::span<T, MXVARS3>(&v_[index(1, slot)], MXVARS3);
  }
  std::span<const T, MXVARS3> row(int slot) const noexcept {
    return std::span<const T, MXVARS3>(&v_[index(1, slot)], MXVARS3);
  }
  void fill(const T& x) noexcept { v_.fill(x); }

 private:
  static std::size_t index(int var, int slot) noexcept {
    assert(var >= 1 && var <= MXVARS3 && "variable out of range");
    assert(slot >= 1 && slot <= MXOPEN3 && "slot out of range");
    return static_cast<std::size_t>(slot - 1) * MXVARS3 + static_cast<std::size_t>(var - 1);
  }
  std::array<T, static_cast<std::size_t>(MXVARS3) * MXOPEN3> v_{};
};

// Numeric state.
struct Bstate3 {
  PerSlot<double> P_ALP3, P_BET3, P_GAM3, XCENT3, YCENT3, XORIG3, YORIG3, XCELL3, YCELL3;
  PerSlot<int> VGTYP3;
  PerSlot<float> VGTOP3;
  PerSlot<std::array<float, MXLEVS3>> VGLVS3;
  bool INITDONE3 = false;
  int LASTFID3 = 0;
  int RUNDATE3 = 0, RUNTIME3 = 0;
  int LOGUNIT3 = IMISSING3;
  PerSlot<int> NCID3, FTYPE3, SDATE3, STIME3, TSTEP3, MXREC3, NVARS3;
  PerSlot<int> NLAYS3, NROWS3, NCOLS3, NTHIK3;
  PerSlot<int> TFLAGID3;
  PerSlot<int> CNTVID3, IDVID3, LEVVID3, WCOLVID3, WROWVID3, XVID3, YVID3, ZVID3, DXVID3, DYVID3;
  PerVarSlot<int> VARID3;
  PerSlot<int> GDTYP3;
  PerSlot<bool> VOLATILE3, READONLY3;
  PerSlot<int> LAYSIZE3;
  PerVarSlot<int> BUF0DATE3, BUF0TIME3, BUF1DATE3, BUF1TIME3, BUFLAST3;
  PerVarSlot<int> VTYPE3;
  int LISTUSED3 = 0;
  PerSlot<int> LISTCOUNT3, LISTFIRST3;
  PerSlot<int> MEMBERFID3, MEMBERBEG3, MEMBEREND3;  // per member entry 1..MXOPEN3
  bool LOGSTDOUT3 = false;
};

// Character state.
struct Cstate3 {
  Line80 EXECID3;
  std::array<Line80, MXDESC3> SCENDESC3;
  PerSlot<Name16> FLNAME3;
  PerSlot<Name16> GDNAM3;
  PerVarSlot<Name16> VLIST3D;
  PerVarSlot<Name16> UNITS3;
  Line80 LIBVERS3;
};

struct LibraryState {
  Bstate3 b;
  Cstate3 c;
};

// The one instance, allocated on first use (its blank-filled names would otherwise make a
// large initialised-data image).
LibraryState& state() noexcept;

namespace detail {
// True when the slot's logical name marks it free.
bool slot_free(int slot) noexcept;
// Frees a slot: its logical name back to question marks.
void free_slot(int slot) noexcept;
// Resets the tables to the state with no file open, as INIT3 leaves them.
void reset_tables() noexcept;
// Returns a slot to free after its file is closed: logical name to question marks, and for
// its variables 1..NVARS3 the netCDF variable id and the memory-resident buffer entries to
// IMISSING3 and the names to question marks.
void reset_slot(int slot) noexcept;
}  // namespace detail

namespace test_hooks {
// Starts the library afresh: every table at its program-start value, log unit unset, every
// file unit 10..99 closed, the wall clock unpinned.
void reset_state();
// GETDTTIME reads SECONDS (since 1970-01-01 00:00:00 UTC) instead of the system clock.
void pin_clock(std::int64_t seconds);
void unpin_clock();
}  // namespace test_hooks

}  // namespace kavro

#endif  // KAVRO_CORE_STATE_H
