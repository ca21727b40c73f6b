#include "support/holdings.h"

#include <dirent.h>
#include <netcdf.h>

#include "core/state.h"
#include "kavro/params.h"

namespace kavro_test {

namespace {

int open_descriptors() {
  DIR* d = ::opendir("/proc/self/fd");
  if (d == nullptr) return -1;
  int n = 0;
  while (const dirent* e = ::readdir(d)) {
    if (e->d_name[0] != '.') ++n;
  }
  ::closedir(d);
  return n - 1;  // the listing's own descriptor
}

// The netCDF library hands out the lowest free entry of its file list, as entry << 16; an id
// a failed open kept is among the first ones.
int open_netcdf_ids() {
  constexpr int kEntriesProbed = 1024;
  int n = 0;
  for (int e = 1; e < kEntriesProbed; ++e) {
    int format = 0;
    if (nc_inq_format(e << 16, &format) == NC_NOERR) ++n;
  }
  return n;
}

}  // namespace

Holdings holdings() {
  Holdings h;
  h.descriptors = open_descriptors();
  h.netcdf_ids = open_netcdf_ids();
  for (int s = 1; s <= kavro::MXOPEN3; ++s) h.slots += kavro::detail::slot_free(s) ? 0 : 1;
  h.list_entries = kavro::state().b.LISTUSED3;
  return h;
}

std::ostream& operator<<(std::ostream& os, const Holdings& h) {
  return os << "{descriptors " << h.descriptors << ", netCDF ids " << h.netcdf_ids << ", slots "
            << h.slots << ", list entries " << h.list_entries << "}";
}

}  // namespace kavro_test
