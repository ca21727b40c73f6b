// The files the direct data path reads (netcdf/classic/direct_read.*): per slot, the classic header
// as the open checked it and the descriptor it was read through. The opener keeps them, the close
// releases them, and only the direct read looks them up.
#ifndef KAVRO_NETCDF_KEPT_FILES_H
#define KAVRO_NETCDF_KEPT_FILES_H

#include "netcdf/classic/classic_header.h"

namespace kavro::detail::classic {

// The header of a slot's file as it was checked at its open, with the descriptor it was read
// through: kept while a file opened read-only and not volatile stays open, for the direct data
// path. The file as it was checked is the file that is read.
struct KeptFile {
  Header header;
  int fd = -1;
};

// Keeps H and the descriptor FD (which it owns from now on) for slot FID, replacing what the
// slot kept before; false (FD closed) when the memory cannot be had.
bool keep_file(int fid, Header&& h, int fd) noexcept;
// What slot FID keeps, or null.
const KeptFile* kept_file(int fid) noexcept;
// Releases what slot FID keeps, if anything.
void forget_file(int fid) noexcept;

}  // namespace kavro::detail::classic

#endif  // KAVRO_NETCDF_KEPT_FILES_H
