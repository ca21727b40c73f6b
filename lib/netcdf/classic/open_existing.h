// The one way into the netCDF library for a file that exists. libnetcdf trusts the counts a
// classic header states (millions of dimensions crash it, a huge attribute length makes it
// allocate gigabytes), so a classic file is read and checked by the library's own header reader
// first and reaches nc_open only when that check passes; a file the check refuses is described
// from the check's own parse. Whatever is not of the classic formats (a netCDF-4 file, a file
// that is not netCDF) goes to nc_open, as first_reader decides. This is the only file that
// calls nc_open: scripts/check_netcdf_door.sh fails on any other.
#ifndef KAVRO_NETCDF_OPEN_EXISTING_H
#define KAVRO_NETCDF_OPEN_EXISTING_H

#include "netcdf/classic/classic_header.h"
#include "netcdf/classic/first_reader.h"

namespace kavro::detail {

// What a caller asks of the way in.
struct EntryRequest {
  int mode = 0;              // nc_open's mode (0: NC_NOWRITE)
  bool keep_fd = false;      // hand over the descriptor a classic file was checked through
  bool open_classic = true;  // false: a classic file that passes is not opened, only parsed
  classic::AttributeSink* attributes = nullptr;  // told of each attribute the check reads
};

enum class Entry {
  kRefused,     // the file could not be read, or the header check refused it: WHY says
  kChecked,     // a classic file that passed the check, not opened (open_classic false)
  kOpened,      // opened by the netCDF library: NCID
  kOpenFailed,  // nc_open failed with STATUS
};

// How a file came through. HEADER is the check's parse of a classic file; FD the descriptor
// it was read through when keep_fd was asked and the check passed (the caller closes it; on
// kOpenFailed it is already closed).
struct EntryResult {
  FirstReader reader = FirstReader::kFailed;
  classic::Header header;
  classic::Problem why;
  int fd = -1;
  int ncid = -1;
  int status = 0;
};

// The file at PATH through the header check and, when it may be, nc_open.
[[nodiscard]] Entry open_existing(const char* path, const EntryRequest& request,
                                  EntryResult& got) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_OPEN_EXISTING_H
