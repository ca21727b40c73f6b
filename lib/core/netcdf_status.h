// The one place where a failed netCDF call is reported. nc_ok reports through XQABORT (the
// caller's text, the status with the file's logical name, the netCDF library's own text);
// error_number_line is the "netCDF error number" line the routines that report a status
// themselves write.
#ifndef KAVRO_CORE_NETCDF_STATUS_H
#define KAVRO_CORE_NETCDF_STATUS_H

#include <string_view>

#include "core/msgbuf.h"

namespace kavro::detail {

// The netCDF statuses the kind-neutral routines name, under names of the library's own (equal
// to netCDF's, which netcdf_status.cpp checks): success, and too many variables for a file.
inline constexpr int kStatusOk = 0;
inline constexpr int kStatusTooManyVars = -48;

// True when STATUS is NC_NOERR; otherwise reports the failure for the file in slot FID
// (its FLNAME3 and NCID3) and returns false.
[[nodiscard]] bool nc_ok(int status, int fid, std::string_view text);

// The same for a file known by its logical name and netCDF id only.
[[nodiscard]] bool nc_ok(int status, std::string_view fname, int ncid, std::string_view text);

// "netCDF error number" and STATUS right-justified in WIDTH characters.
MsgBuf<80> error_number_line(int status, int width = 5) noexcept;

// True when a netCDF status from reading time-step flags means that the record has not been
// written yet: NC_EINVALCOORDS on a file opened read-only, NC_EEDGE while this process holds
// the file open for writing.
bool step_not_yet_written(int status) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_CORE_NETCDF_STATUS_H
