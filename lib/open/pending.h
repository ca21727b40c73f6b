// The branches of opening, describing and flushing whose routines belong to other parts of
// the library (file lists, native binary files, memory-resident files, creation and the
// description checks). Each is one function; until its routine lands it refuses with a
// warning that names the missing capability.
#ifndef KAVRO_OPEN_PENDING_H
#define KAVRO_OPEN_PENDING_H

#include <string_view>

namespace kavro {

// File lists: opens the members of the list in slot FID.
bool OPNLIST3(int fid, std::string_view pname);
// Native binary files: open, describe into BDESC3/CDESC3, flush (1 success, 0 failure).
int OPNBIN3(std::string_view fname, int fid, int access, std::string_view pgname);
int DSCBIN3(int fid);
int FLUSHBIN3(int fid);
// Memory-resident files: creates the file in slot FID from the description record.
bool CRTBUF3(int fid);
// Creation of a netCDF (or native binary) file in slot FID from the description record.
bool CRTFIL3(std::string_view path, int fid, std::string_view pname);
// Description checks for new files and for files opened "UNKNOWN".
bool CKDESC3(std::string_view fname);
bool CHKFIL3(int fid);

}  // namespace kavro

#endif  // KAVRO_OPEN_PENDING_H
