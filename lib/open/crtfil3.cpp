// CRTFIL3: a new file from the description record. The checks every kind shares come first;
// then the creator of the slot's kind makes the file (netCDF here, a native binary file in its
// own module).
#include "core/kinds.h"
#include "open/netcdf_kind.h"
#include "open/open.h"

namespace kavro {

namespace detail {

bool create_netcdf(std::string_view, int, std::string_view) {
  not_built("CRTFIL3", "File creation is");
  return false;
}

}  // namespace detail

bool CRTFIL3(std::string_view path, int fid, std::string_view pname) {
  return detail::kind_of(fid).create(path, fid, pname);
}

}  // namespace kavro
