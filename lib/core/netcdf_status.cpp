#include "core/netcdf_status.h"

#include <netcdf.h>

#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"

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

MsgBuf<80> error_number_line(int status, int width) noexcept {
  return MsgBuf<80>("netCDF error number") << right_justified(status, width);
}

bool step_not_yet_written(int status) noexcept {
  // netCDF says -57, not -40, while this process holds the file for writing.
  return status == NC_EINVALCOORDS || status == NC_EEDGE;
}

}  // namespace kavro::detail
