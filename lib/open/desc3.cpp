// DESC3 and SYNCFID: the description of an open file, and its disk image brought up to date.
#include <algorithm>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/open.h"
#include "kavro/params.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using Line = MsgBuf<256>;

// What the opener stored in the slot.
void copy_state(int f) {
  const auto& b = state().b;
  const auto& c = state().c;
  BDESC3.FTYPE3D = b.FTYPE3(f);
  BDESC3.NVARS3D = b.NVARS3(f);
  for (int v = 1; v <= BDESC3.NVARS3D && v <= MXVARS3; ++v) {
    const auto i = static_cast<std::size_t>(v - 1);
    CDESC3.VNAME3D[i] = c.VLIST3D(v, f);
    BDESC3.VTYPE3D[i] = b.VTYPE3(v, f);
    CDESC3.UNITS3D[i] = c.UNITS3(v, f);
  }
  if (BDESC3.FTYPE3D == DCTNRY3) return;
  BDESC3.SDATE3D = b.SDATE3(f);
  BDESC3.STIME3D = b.STIME3(f);
  BDESC3.TSTEP3D = b.TSTEP3(f);
  BDESC3.MXREC3D = b.MXREC3(f);
  BDESC3.NCOLS3D = b.NCOLS3(f);
  BDESC3.NROWS3D = b.NROWS3(f);
  BDESC3.NLAYS3D = b.NLAYS3(f);
  BDESC3.NTHIK3D = b.NTHIK3(f);
  BDESC3.GDTYP3D = b.GDTYP3(f);
  BDESC3.P_ALP3D = b.P_ALP3(f);
  BDESC3.P_BET3D = b.P_BET3(f);
  BDESC3.P_GAM3D = b.P_GAM3(f);
  BDESC3.XCENT3D = b.XCENT3(f);
  BDESC3.YCENT3D = b.YCENT3(f);
  BDESC3.XORIG3D = b.XORIG3(f);
  BDESC3.YORIG3D = b.YORIG3(f);
  BDESC3.XCELL3D = b.XCELL3(f);
  BDESC3.YCELL3D = b.YCELL3(f);
  CDESC3.GDNAM3D = c.GDNAM3(f);
  BDESC3.VGTYP3D = b.VGTYP3(f);
  BDESC3.VGTOP3D = b.VGTOP3(f);
  // Levels 1..NLAYS+1, never more than the table holds.
  const int nlevels = detail::level_count(b.NLAYS3(f), 0, MXLEVS3);
  std::copy_n(b.VGLVS3(f).begin(), nlevels, BDESC3.VGLVS3D.begin());
}

}  // namespace

bool DESC3(std::string_view lname) {
  const int f = NAME2FID(lname);
  if (f <= 0) {
    XQWARN("DESC3", 0, 0, Line() << "Invalid file name argument \"" << lname << "\"");
    return false;
  }
  copy_state(f);
  if (state().b.VOLATILE3(f) && !SYNCFID(f)) {
    XQWARN("DESC3", 0, 0,
           Line() << "Error with disk synch for file " << state().c.FLNAME3(f).padded());
    return false;
  }
  return detail::kind_of(f).describe(f, lname);
}

bool SYNCFID(int fid) { return detail::kind_of(fid).sync(fid); }

}  // namespace kavro
