// The library's state tables: everything it knows about the files it holds, per slot
// (1..MXOPEN3) and per (variable, slot), plus a few process-wide scalars. One instance,
// reached only through state().
#ifndef KAVRO_CORE_STATE_H
#define KAVRO_CORE_STATE_H

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

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
//
// The nine such tables take about 24 MB, yet a run touches the rows of a few slots. A slot's
// row is therefore written out only when first used after a fill: fill() records the value
// and marks every row stale, and every access to a stale row writes the value into it first.
// What any access sees is exactly what an eager fill would have left; the pages of rows
// never used are never touched (the state lives in zero-filled memory mapped on demand).
template <typename T>
class PerVarSlot {
 public:
  PerVarSlot() noexcept { stale_.fill(true); }  // storage deliberately left unwritten
  PerVarSlot(const PerVarSlot&) = delete;
  PerVarSlot& operator=(const PerVarSlot&) = delete;

  T& operator()(int var, int slot) noexcept { return row(slot)[offset(var)]; }
  const T& operator()(int var, int slot) const noexcept { return row(slot)[offset(var)]; }
  std::span<T, MXVARS3> row(int slot) noexcept {
    const std::size_t s = slot_index(slot);
    if (stale_[s]) [[unlikely]]
      refill(s);
    return std::span<T, MXVARS3>(entries() + s * MXVARS3, MXVARS3);
  }
  std::span<const T, MXVARS3> row(int slot) const noexcept {
    return const_cast<PerVarSlot*>(this)->row(slot);
  }
  void fill(const T& x) noexcept {
    fill_value_ = x;
    stale_.fill(true);
  }

 private:
  static std::size_t slot_index(int slot) noexcept {
    assert(slot >= 1 && slot <= MXOPEN3 && "slot out of range");
    return static_cast<std::size_t>(slot - 1);
  }
  static std::size_t offset(int var) noexcept {
    assert(var >= 1 && var <= MXVARS3 && "variable out of range");
    return static_cast<std::size_t>(var - 1);
  }
  T* entries() noexcept { return reinterpret_cast<T*>(storage_); }
  void refill(std::size_t s) noexcept {
    std::uninitialized_fill_n(entries() + s * MXVARS3, MXVARS3, fill_value_);
    stale_[s] = false;
  }

  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
  T fill_value_{};
  std::array<bool, MXOPEN3> stale_;
  alignas(T) std::byte storage_[sizeof(T) * static_cast<std::size_t>(MXVARS3) * MXOPEN3];
};

// What a setting read once per run gave: whether it has been read in this run, and its value.
// Kept here, in the one state object, so that starting the library afresh forgets it too.
struct SettingMemo {
  bool read = false;
  bool value = false;
  double number = 0;  // a number setting's value
};
// Rows the settings table may hold: a table past it does not compile.
inline constexpr std::size_t kSettingCapacity = 8;

// Numeric state.
struct Bstate3 {
  PerSlot<double> P_ALP3, P_BET3, P_GAM3, XCENT3, YCENT3, XORIG3, YORIG3, XCELL3, YCELL3;
  PerSlot<int> VGTYP3;
  PerSlot<float> VGTOP3;
  PerSlot<std::array<float, MXLEVS3>> VGLVS3;
  // How many of VGLVS3 the file's own header holds, as its opener or creator stored them
  // (CHKFIL3 compares no more).
  PerSlot<int> header_levels;
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
  // The settings read once per run, by their place in the settings table; only the settings
  // reader (lib/settings/settings_table.cpp) touches them.
  std::array<SettingMemo, kSettingCapacity> settings{};
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
  // The reason of the last failure the library reported, for callers that turn a false
  // result into an error value (the C++ interface): the routine and the text of the last
  // warning or netCDF failure, else the last line logged. Written as the log is.
  FixedString<32> reason_routine;
  FixedString<256> reason_text;
  FixedString<256> reason_line;
  // The last failure of a file, noted where it is logged (detail::note_file_failure): the
  // routine, the file's logical name and path, and a short cause ("no such file").
  bool failure_noted = false;
  unsigned failure_serial = 0;  // notes so far: whether a call noted one
  FixedString<32> failure_routine;
  Name16 failure_lname;
  Path512 failure_path;
  FixedString<160> failure_cause;
  // The path each slot's file was opened from (its logical name's value), for the notes.
  PerSlot<Path512> paths;
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
// The description record's grid, time span, vertical coordinate and grid name into the
// slot's tables (a file created from it).
void grid_from_description(int slot) noexcept;
}  // namespace detail

namespace test_hooks {
// Starts the library afresh: whatever the file kinds hold given back, every table and the
// description records at their program-start values, the settings read once forgotten, log unit
// unset, every file unit 10..99 closed, the wall clock unpinned; the next INIT3 lists the kinds
// of this build again.
void reset_state();
// GETDTTIME reads SECONDS (since 1970-01-01 00:00:00 UTC) instead of the system clock.
void pin_clock(std::int64_t seconds);
void unpin_clock();
}  // namespace test_hooks

}  // namespace kavro

#endif  // KAVRO_CORE_STATE_H
