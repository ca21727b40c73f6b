// The native binary module's own state and its layout computation, shared by its header and
// record routines (binary_header.cpp, binary_records.cpp) and its kind row.
#ifndef KAVRO_BINARY_BINARY_IO_H
#define KAVRO_BINARY_BINARY_IO_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include "kavro/params.h"

namespace kavro::detail {

// BIN_STATE: one per open native binary file.
struct BinState {
  std::int64_t hdr_len = 0;  // fixed header and variable table
  std::int64_t rec_len = 0;  // one time-step record
  std::array<std::int64_t, MXVARS3> lay_size{};  // bytes of one layer, per variable
  std::array<std::int64_t, MXVARS3> offset{};    // within a record, per variable
  std::int64_t data_start = 0;  // offset of variable 1: the flags and the per-step arrays
  std::int64_t int_size = 0, real_size = 0, dble_size = 0;
  std::FILE* stream = nullptr;
  int ftype = 0, ncols = 0, nrows = 0, nlays = 0, nthik = 0, nvars = 0, mxrec = 0;
  std::array<int, MXVARS3> vtype{};
};

// Fixed header: 19884 bytes, then 112 bytes per variable.
inline constexpr std::int64_t kFixedHeader = 19884;
inline constexpr std::int64_t kVarTableEntry = 16 + 16 + 80;
// The byte-order mark, as the host lays it out.
inline constexpr int kByteOrder = 50462976;

// Offsets in the fixed header.
namespace hdr {
inline constexpr std::size_t kMxrec = 0, kVersion = 4, kByteOrder = 20, kIntSize = 24,
                             kRealSize = 28, kDbleSize = 32, kCdate = 36, kCtime = 40,
                             kWdate = 44, kWtime = 48, kFtype = 52, kGdtyp = 56, kVgtyp = 60,
                             kNcols = 64, kNrows = 68, kNlays = 72, kNthik = 76, kNvars = 80,
                             kSdate = 84, kStime = 88, kTstep = 92, kGrid = 96, kGridField = 28,
                             kVgtop = 348, kLevels = 364, kLevelField = 16, kVtype = 1980,
                             kGdnam = 10172, kUpnam = 10188, kExecn = 10204, kFdesc = 10284,
                             kUpdsc = 15084;
}  // namespace hdr

// The state of slot FID (1..MXOPEN3), or null.
BinState* bin_state(int fid) noexcept;

// The values one layer holds (S) and the bytes of the per-step arrays, for a storable FTYPE;
// false for any other. Sizes in bytes of INTEGER and DOUBLE PRECISION values.
bool layer_shape(int ftype, std::int64_t ncols, std::int64_t nrows, std::int64_t nthik,
                 std::int64_t isize, std::int64_t dsize, std::int64_t& values,
                 std::int64_t& arrays) noexcept;

// The record layout of the file into ST (sizes, offsets, record and header length); the
// table entries of the slot are not touched. Returns 0 for a type the format cannot hold, -1
// when a size overflows, -(v + 2) for variable v (from 0) of an invalid type, 1 on success.
int compute_layout(BinState& st, int ncols, int nrows, int nlays, int nthik, int nvars,
                   int ftype, std::span<const int> vtype) noexcept;

// set_fstate: the layout of slot FID's file into ST and the slot's tables; 1 when every
// variable type is valid and the type supported, else 0 (reported).
int set_fstate(int fid, BinState& st, int ncols, int nrows, int nlays, int nthik, int nvars,
               int mxrec, int ftype, int gdtyp, std::span<const int> vtype, int isize,
               int rsize, int dsize) noexcept;

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

#endif  // KAVRO_BINARY_BINARY_IO_H
