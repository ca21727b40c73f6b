#include "core/netcdf_status.h"

#include <netcdf.h>

#include "core/log.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"

namespace kavro::detail {

static_assert(kStatusOk == NC_NOERR && kStatusTooManyVars == NC_EMAXVARS,
              "the library's names for netCDF statuses carry netCDF's values");

namespace {

// A netCDF failure in a few words: what the library was doing and netCDF's own text, or for
// a file netCDF does not recognise, that it is not a netCDF file.
MsgBuf<160> netcdf_cause(int status, std::string_view text) {
  if (status == NC_ENOTNC) return MsgBuf<160>("not a netCDF file");
  std::string_view doing = trimmed(text);
  while (!doing.empty() && (doing.back() == ':' || doing.back() == '.')) doing.remove_suffix(1);
  std::string_view said = nc_strerror(status);
  if (said.starts_with("NetCDF: ")) said.remove_prefix(8);
  return MsgBuf<160>() << doing << ": " << said;
}

}  // namespace

bool nc_ok(int status, int fid, std::string_view text) {
  if (status == NC_NOERR) return true;
  const auto& st = state();
  XQABORT(st.c.FLNAME3(fid).padded(), st.b.NCID3(fid), status, text);
  note_file_failure("XQABORT", fid, netcdf_cause(status, text));
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
