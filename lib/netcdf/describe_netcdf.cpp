// The netCDF kind's description: the descriptive attributes of the file header into the
// description record (after DESC3 has copied what the opener stored), and the file synchronised.
#include <netcdf.h>

#include <algorithm>
#include <array>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/open.h"
#include "kavro/params.h"
#include "netcdf/header_atts.h"
#include "netcdf/netcdf_ops.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::NumField;
using Line = MsgBuf<256>;

void error_number(int status) { XQMSG2(detail::error_number_line(status)); }

// The two lines reporting a header attribute DESC3 could not read.
void not_available(int status, std::string_view what, std::string_view lname) {
  error_number(status);
  XQMSG2(Line() << "netCDF file header attribute " << what << " not available for file \"" << lname
                << "\"");
}

// A 60-line description attribute (FILEDESC, HISTORY) into its lines.
int get_lines(int ncid, std::string_view name, std::array<Line80, MXDESC3>& lines) {
  static std::array<char, static_cast<std::size_t>(layout::kDescTextLen)> text;
  const int status = detail::get_text_att(ncid, NC_GLOBAL, name, text);
  if (status != NC_NOERR) return status;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    lines[i].assign(std::string_view(text.data() + i * MXDLEN3, MXDLEN3));
  }
  return NC_NOERR;
}

// The descriptive global attributes; false when any but EXEC_ID is missing (and, for
// a dictionary, UPNAM, FILEDESC and HISTORY). A missing stamp reads as IMISSING3 and a
// missing text as blanks, so nothing of the file described before shows through.
bool read_stamps(int ncid, std::string_view lname) {
  bool ok = true;
  const int exec = detail::get_text_att(ncid, NC_GLOBAL, layout::kExecIdAtt, CDESC3.EXECN3D.span());
  if (exec != NC_NOERR) {
    not_available(exec, "EXEC_ID", lname);
    CDESC3.EXECN3D = kFreeSlotName;
  }
  struct Stamp {
    std::string_view name;
    int& field;
  };
  const std::array<Stamp, 4> stamps = {{{layout::kCdateAtt, BDESC3.CDATE3D},
                                        {layout::kCtimeAtt, BDESC3.CTIME3D},
                                        {layout::kWdateAtt, BDESC3.WDATE3D},
                                        {layout::kWtimeAtt, BDESC3.WTIME3D}}};
  for (const Stamp& s : stamps) {
    const int status = detail::get_int_att(ncid, NC_GLOBAL, s.name, s.field);
    if (status != NC_NOERR) {
      not_available(status, s.name, lname);
      s.field = IMISSING3;
      ok = false;
    }
  }
  // A dictionary's layout has no updater, description or history: each is read when the
  // file has it, and not missed when it has not.
  const bool optional_texts = BDESC3.FTYPE3D == DCTNRY3;
  const auto missed = [&](int status, std::string_view what) {
    if (optional_texts && status == NC_ENOTATT) return;
    not_available(status, what, lname);
    ok = false;
  };
  int status = detail::get_text_att(ncid, NC_GLOBAL, layout::kUpnamAtt, CDESC3.UPNAM3D.span());
  if (status != NC_NOERR) {
    missed(status, "UPNAM");
    CDESC3.UPNAM3D.blank();
  }
  status = get_lines(ncid, layout::kFiledescAtt, CDESC3.FDESC3D);
  if (status != NC_NOERR) {
    missed(status, "FDESC");
    for (Line80& l : CDESC3.FDESC3D) l.blank();
  }
  status = get_lines(ncid, layout::kHistoryAtt, CDESC3.UPDSC3D);
  if (status != NC_NOERR) {
    missed(status, "UPDSC");
    for (Line80& l : CDESC3.UPDSC3D) l.blank();
  }
  return ok;
}

// Each variable's description.
bool read_var_descs(int f, int ncid, std::string_view lname) {
  bool ok = true;
  for (int v = 1; v <= BDESC3.NVARS3D; ++v) {
    Line80& desc = CDESC3.VDESC3D[static_cast<std::size_t>(v - 1)];
    const int status =
        detail::get_text_att(ncid, state().b.VARID3(v, f), layout::kVarDescAtt, desc.span());
    if (status != NC_NOERR) {
      error_number(status);
      XQMSG2(Line() << "Error reading netCDF variable attribute "
                    << "\"var_desc\" for file \"" << lname << "\"");
      desc.blank();
      ok = false;
    }
  }
  return ok;
}

// The extra attributes of one type-7 variable; at most 20 are described.
bool read_extras(int ncid, int varid, int v, std::string_view lname) {
  const auto i = static_cast<std::size_t>(v - 1);
  const std::string_view vname = CDESC3.VNAME3D[i].trimmed();
  int& natts = BATTS3.NATTS3[i];
  int status = detail::get_int_att(ncid, varid, layout::kNattsAtt, natts);
  if (status == NC_NOERR && natts < 0) status = NC_EINVAL;
  if (status != NC_NOERR) {
    natts = 0;
    error_number(status);
    XQMSG2(Line() << "Error reading netCDF dimension "
                  << "\"natts\" for file \"" << lname << "\"");
    return false;
  }
  if (natts > MXATTS3) {
    XQMSG2(Line() << "Only the first 20 extra attributes of variable \"" << vname << "\" in file \""
                  << lname << "\" are described");
    natts = MXATTS3;
  }
  bool ok = true;
  for (int k = 1; k <= natts; ++k) {
    Name16& attname = CATTS3.ATTNAM3[i][static_cast<std::size_t>(k - 1)];
    float& value = BATTS3.ATTVAL3[i][static_cast<std::size_t>(k - 1)];
    std::array<char, NC_MAX_NAME + 1> name{};
    status = nc_inq_attname(ncid, varid, k + layout::kAttsBeforeExtras - 1, name.data());
    if (status != NC_NOERR) {
      error_number(status);
      XQMSG2((Line() << "Error reading attribute ").format("%d", k)
             << " for variable \"" << vname << "\" in file \"" << lname << "\"");
      attname.blank();
      ok = false;
      continue;
    }
    attname.assign(name.data());
    status = detail::get_float_att(ncid, varid, name.data(), value);
    if (status != NC_NOERR) {
      error_number(status);
      XQMSG2(Line() << "Error reading attribute \"" << attname.padded() << "\" for variable \""
                    << vname << "\" in file \"" << lname << "\"");
      ok = false;
    }
  }
  return ok;
}

}  // namespace

namespace detail {

// The descriptive attributes of a netCDF file. Every missing attribute is
// reported before the verdict.
bool describe_netcdf(int f, std::string_view lname) {
  const int ncid = state().b.NCID3(f);
  bool ok = read_stamps(ncid, lname);
  if (BDESC3.FTYPE3D != DCTNRY3) ok = read_var_descs(f, ncid, lname) && ok;
  if (BDESC3.FTYPE3D == kTypeSeven) {
    for (int v = 1; v <= BDESC3.NVARS3D; ++v)
      ok = read_extras(ncid, state().b.VARID3(v, f), v, lname) && ok;
  }
  if (!ok) XQWARN("DESC3", 0, 0, Line() << "Error(s) in DESC3(" << lname << ")");
  return ok;
}

bool flush_netcdf(int fid) { return nc_sync(state().b.NCID3(fid)) == NC_NOERR; }

bool sync_netcdf(int fid) {
  const int status = nc_sync(state().b.NCID3(fid));
  if (status == NC_NOERR) return true;
  XQMSG2(MsgBuf<80>() << "Error flushing netCDF file \"" << state().c.FLNAME3(fid).trimmed()
                      << "\"");
  XQMSG2(error_number_line(status));
  return false;
}

}  // namespace detail

}  // namespace kavro
