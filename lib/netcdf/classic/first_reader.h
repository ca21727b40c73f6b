// Which reader sees a netCDF file first, from the file's first bytes.
#ifndef KAVRO_NETCDF_FIRST_READER_H
#define KAVRO_NETCDF_FIRST_READER_H

#include "netcdf/classic/classic_header.h"

namespace kavro::detail {

// Which reader sees a file first. The library's own header reader knows the classic formats
// only: a regular file that does not begin with their magic ("CDF" and 1, 2 or 5), such as a
// netCDF-4 (HDF5) file or a file that is not netCDF at all, goes straight to nc_open, whose
// report for a file it cannot read is the one users know. Whatever is not a regular file stays
// with the header check, which refuses it without blocking.
enum class FirstReader { kHeaderCheck, kNetcdf, kFailed };

// The reader that sees the file at PATH first; kFailed, with WHY said, when the file cannot be
// opened or read.
FirstReader first_reader(const char* path, classic::Problem& why);

}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_FIRST_READER_H
