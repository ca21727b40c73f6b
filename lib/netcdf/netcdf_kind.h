// The netCDF kind: a logical name whose value is a plain path names a netCDF file (classic,
// 64-bit offset, CDF-5 or netCDF-4), read through the netCDF library or, for a classic file
// opened read-only, straight from the file.
#ifndef KAVRO_NETCDF_NETCDF_KIND_H
#define KAVRO_NETCDF_NETCDF_KIND_H

#include "core/kinds.h"

namespace kavro::detail {
extern const FileKind kNetcdfKind;
}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_NETCDF_KIND_H
