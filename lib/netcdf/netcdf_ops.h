// The netCDF kind's operations: open, create, describe, synchronise, the time-step flags,
// the variables and the size of a read, WRITE3's step, close, release and the open report.
// netcdf_kind.cpp puts them into the kind's row; nothing else calls them.
#ifndef KAVRO_NETCDF_NETCDF_OPS_H
#define KAVRO_NETCDF_NETCDF_OPS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "kavro/fixed_string.h"

namespace kavro::detail {

// Opens the existing netCDF file PATH for slot FID and reads its header into the slot.
bool open_netcdf(std::string_view path, int fid, int access, std::string_view pname);

// Creates the netCDF file PATH for slot FID from the description record, with 64-bit offsets
// when LARGE_OFFSETS.
bool create_netcdf(std::string_view path, int fid, std::string_view pname, bool large_offsets);

// The descriptive attributes of the file into the description record.
bool describe_netcdf(int fid, std::string_view lname);

// nc_sync without a message; with the SYNCFID message.
bool flush_netcdf(int fid);
bool sync_netcdf(int fid);

// The time-step flags, the variables, the per-step header arrays of a transfer and the size
// of a read, as the row's operations of the same names describe them.
bool read_netcdf_flags(int fid, int vid, int first, int n, int step, std::span<int> flags,
                       MsgBuf<256>& why);
bool read_netcdf_vars(int fid, int vid, const VarRead& read, std::byte* out);
std::int64_t read_netcdf_header_arrays(int ftype, int fid, int step, std::string_view caller,
                                       std::byte* out);
std::int64_t netcdf_read_bytes(int fid, int vid, int layer);

// WRITE3's step: the per-step arrays, the data, then the flag pairs.
bool write_netcdf_step(int fid, int vid, int step, const std::array<int, 2>& flags, int jdate,
                       int jtime, const std::byte* in);

// nc_close of the slot's file: the netCDF status.
int close_netcdf(int fid);

// Releases the header and descriptor kept for the direct data path of slot FID.
void release_netcdf(int fid);

// The open report's line for the kind, and the file's own EXEC_ID.
void report_netcdf(int fid, std::string_view access);
int netcdf_execution_id(int fid, Line80& execid, bool& first_nul);

}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_NETCDF_OPS_H
