// Opening and reporting on existing files: the internal routines behind OPEN3.
#ifndef KAVRO_OPEN_OPEN_H
#define KAVRO_OPEN_OPEN_H

#include <string_view>

#include "core/kinds.h"

namespace kavro {

// Opens the existing file PATH for slot FID (FLNAME3, NCID3, VOLATILE3 and READONLY3 already
// set) through the opener of the slot's kind: a netCDF file's header is read into the slot,
// PNAME recorded as updater when ACCESS is read-write, and the header checked. A failed open
// leaves no file open.
bool OPNFIL3(std::string_view path, int fid, int access, std::string_view pname);

// Writes the open report of slot FID to the log; the result of the final log flush.
bool OPNLOG3(int fid, std::string_view path, int fstatus);

// Creation of a file in slot FID from the description record.
bool CRTFIL3(std::string_view path, int fid, std::string_view pname);

// Description checks: of the description record before a file is created, and of the file
// in slot FID against it when a file is opened "UNKNOWN".
bool CKDESC3(std::string_view fname);
bool CHKFIL3(int fid);

}  // namespace kavro

#endif  // KAVRO_OPEN_OPEN_H
