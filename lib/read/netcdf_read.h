// The netCDF kind's operations on the reading side: time-step flags, variables, and the size
// of a read; and the one write, WRITE3's step, which mirrors the read. lib/kind_list.cpp puts
// them into the kind's row.
#ifndef KAVRO_READ_NETCDF_READ_H
#define KAVRO_READ_NETCDF_READ_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/kinds.h"
#include "core/msgbuf.h"

namespace kavro::detail {

bool read_netcdf_flags(int fid, int vid, int first, int n, int step, std::span<int> flags,
                       MsgBuf<256>& why);
bool read_netcdf_vars(int fid, int vid, const SlabVector& start, const SlabVector& count,
                      std::int64_t size, std::byte* out);
std::int64_t netcdf_read_bytes(int fid, int vid, int layer);
bool write_netcdf_step(int fid, int vid, int step, const std::array<int, 2>& flags, int jdate,
                       int jtime, const std::byte* in);

}  // namespace kavro::detail

#endif  // KAVRO_READ_NETCDF_READ_H
