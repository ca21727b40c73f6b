// Opening and reporting on existing files: the internal routines behind OPEN3.
#ifndef KAVRO_OPEN_OPEN_H
#define KAVRO_OPEN_OPEN_H

#include <string_view>

namespace kavro {

// Access flags of OPNFIL3.
inline constexpr int kReadOnlyAccess = 0;
inline constexpr int kReadWriteAccess = 1;

// Opens the existing file PATH for slot FID (FLNAME3, NCID3, VOLATILE3 and READONLY3 already
// set), reads its header into the slot, records PNAME as updater when ACCESS is read-write,
// and checks the header. A failed open leaves no netCDF file open.
bool OPNFIL3(std::string_view path, int fid, int access, std::string_view pname);

// Writes the open report of slot FID to the log; the result of the final log flush.
bool OPNLOG3(int fid, std::string_view path, int fstatus);

// Header checks of the file just opened in slot FID, when KAVRO_CHECK_HEADERS is set.
bool CKFILE3(int fid);

namespace detail {
// Closes the netCDF file of slot FID, if it holds one, reporting a failed close.
void close_netcdf(int fid);
}  // namespace detail

namespace test_hooks {
// Makes the next CKFILE3 read KAVRO_CHECK_HEADERS afresh.
void reset_header_checks();
}  // namespace test_hooks

}  // namespace kavro

#endif  // KAVRO_OPEN_OPEN_H
