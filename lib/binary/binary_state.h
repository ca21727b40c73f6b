// The native binary module's own state, shared by its header and record routines
// (binary_header.cpp, binary_records.cpp), its checks and layout, and its kind row.
#ifndef KAVRO_BINARY_BINARY_STATE_H
#define KAVRO_BINARY_BINARY_STATE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include "binary/binary_format.h"
#include "kavro/params.h"

namespace kavro::detail {

// BIN_STATE: one per open native binary file.
struct BinState {
  std::int64_t hdr_len = 0;                      // fixed header and variable table
  std::int64_t rec_len = 0;                      // one time-step record
  std::array<std::int64_t, MXVARS3> lay_size{};  // bytes of one layer, per variable
  std::array<std::int64_t, MXVARS3> offset{};    // within a record, per variable
  std::int64_t data_start = 0;  // offset of variable 1: the flags and the per-step arrays
  std::int64_t int_size = 0, real_size = 0, dble_size = 0;
  std::FILE* stream = nullptr;
  int ftype = 0, ncols = 0, nrows = 0, nlays = 0, nthik = 0, nvars = 0, mxrec = 0;
  std::array<int, MXVARS3> vtype{};
};

// The state of slot FID (1..MXOPEN3), or null.
BinState* bin_state(int fid) noexcept;

// set_fstate: the fields F and variable types VTYPE of slot FID's file into ST (with the
// record layout) and the slot's tables; 1 when every variable type is valid and the type
// supported, else 0 (reported).
int set_fstate(int fid, BinState& st, const Fields& f, std::span<const int> vtype) noexcept;

// The checks OPNBIN3 makes of a header and the file's length, made on a whole file held in
// memory (the module started): false, with OPNBIN3's messages logged, for a header it refuses.
bool check_binary_header(std::span<const unsigned char> file, std::string_view path);

// Releases slot FID's state, closing its stream without a message.
void discard_state(int fid) noexcept;
// Every slot's state and the extraction buffer (the library starting afresh).
void discard_all() noexcept;
// The extraction buffer of XTRBIN3.
void release_scratch() noexcept;

// Logs MESSAGE and then the system's description of the failure.
void log_system_failure(std::string_view message) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_BINARY_BINARY_STATE_H
