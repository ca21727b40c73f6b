// The netCDF kind's operations on the opening side: open, describe, synchronise, close and
// the open report. The reading side is in read/netcdf_read.h; lib/kind_list.cpp puts both
// into the kind's row.
#ifndef KAVRO_OPEN_NETCDF_KIND_H
#define KAVRO_OPEN_NETCDF_KIND_H

#include <string_view>

#include "kavro/fixed_string.h"

namespace kavro::detail {

// Opens the existing netCDF file PATH for slot FID and reads its header into the slot.
bool open_netcdf(std::string_view path, int fid, int access, std::string_view pname);

// Creates the netCDF file PATH for slot FID from the description record.
bool create_netcdf(std::string_view path, int fid, std::string_view pname);

// The descriptive attributes of the file into the description record.
bool describe_netcdf(int fid, std::string_view lname);

// nc_sync without a message; with the SYNCFID message.
bool flush_netcdf(int fid);
bool sync_netcdf(int fid);

// nc_close of the slot's file: the netCDF status.
int close_netcdf_file(int fid);

// Closes the netCDF file of slot FID after a failed open, reporting a failed close.
void close_netcdf(int fid);

// Releases the header and descriptor kept for the direct data path of slot FID.
void release_netcdf(int fid);

// The open report's line for the kind, and the file's own EXEC_ID.
void report_netcdf(int fid, std::string_view access);
int netcdf_execution_id(int fid, Line80& execid, bool& first_nul);

}  // namespace kavro::detail

#endif  // KAVRO_OPEN_NETCDF_KIND_H
