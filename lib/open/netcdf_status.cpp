#include "open/netcdf_status.h"

#include <netcdf.h>

#include "core/state.h"
#include "kavro/kavro.h"

namespace kavro::detail {

bool nc_ok(int status, int fid, std::string_view text) {
  if (status == NC_NOERR) return true;
  const auto& st = state();
  XQABORT(st.c.FLNAME3(fid).padded(), st.b.NCID3(fid), status, text);
  return false;
}

bool nc_ok(int status, std::string_view fname, int ncid, std::string_view text) {
  if (status == NC_NOERR) return true;
  XQABORT(fname, ncid, status, text);
  return false;
}

}  // namespace kavro::detail
