// The one place where a failed netCDF call is reported: the caller's text, the netCDF status
// with the file's logical name, and the netCDF library's own text (XQABORT), then false.
#ifndef KAVRO_OPEN_NETCDF_STATUS_H
#define KAVRO_OPEN_NETCDF_STATUS_H

#include <string_view>

namespace kavro::detail {

// True when STATUS is NC_NOERR; otherwise reports the failure for the file in slot FID
// (its FLNAME3 and NCID3) and returns false.
[[nodiscard]] bool nc_ok(int status, int fid, std::string_view text);

// The same for a file known by its logical name and netCDF id only.
[[nodiscard]] bool nc_ok(int status, std::string_view fname, int ncid, std::string_view text);

}  // namespace kavro::detail

#endif  // KAVRO_OPEN_NETCDF_STATUS_H
