// Opening and reporting on existing files: the internal routines behind OPEN3.
#ifndef KAVRO_OPEN_OPEN_H
#define KAVRO_OPEN_OPEN_H

#include <string_view>

namespace kavro {

// Access flags of OPNFIL3.
inline constexpr int kReadOnlyAccess = 0;
inline constexpr int kReadWriteAccess = 1;

// Opens the existing file PATH for slot FID (FLNAME3, NCID3, VOLATILE3 and READONLY3 already
// set) through the opener of the slot's kind: a netCDF file's header is read into the slot,
// PNAME recorded as updater when ACCESS is read-write, and the header checked. A failed open
// leaves no file open.
bool OPNFIL3(std::string_view path, int fid, int access, std::string_view pname);

// Writes the open report of slot FID to the log; the result of the final log flush.
bool OPNLOG3(int fid, std::string_view path, int fstatus);

// Creation of a file in slot FID from the description record.
bool CRTFIL3(std::string_view path, int fid, std::string_view pname);

// The layout of a new dictionary in slot FID, whose netCDF file is created, in define mode,
// with its common global attributes written: dimensions, FLAG, NVARS and VAR-LIST, the 26
// schema variables; the slot's FTYPE3, NVARS3, VLIST3D, VARID3, VTYPE3, UNITS3, TFLAGID3 and
// MXREC3 (0) as the opener sets them. True: the file is in data mode. False: the failure was
// reported, the file discarded (nc_abort) and NCID3 is IMISSING3.
bool CRDICT3(int fid);

// Description checks: of the description record before a file is created, and of the file
// in slot FID against it when a file is opened "UNKNOWN".
bool CKDESC3(std::string_view fname);
bool CHKFIL3(int fid);

// Header checks of the file just opened in slot FID, when KAVRO_CHECK_HEADERS is set.
bool CKFILE3(int fid);

namespace test_hooks {
// Makes the next CKFILE3 read KAVRO_CHECK_HEADERS afresh.
void reset_header_checks();
}  // namespace test_hooks

}  // namespace kavro

#endif  // KAVRO_OPEN_OPEN_H
