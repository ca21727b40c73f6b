#include "core/slot_facts.h"

#include <span>

#include "core/kinds.h"
#include "core/state.h"
#include "kavro/util.h"
#include "util/layer_size.h"

namespace kavro::detail {

int variable_count(int fid) noexcept { return state().b.NVARS3(fid); }

int variable_index(int fid, std::string_view vname) noexcept {
  return INDEX1(vname, state().b.NVARS3(fid), std::span<const Name16>(state().c.VLIST3D.row(fid)));
}

int variable_type(int fid, int vid) noexcept { return state().b.VTYPE3(vid, fid); }

SlotShape slot_shape(int fid) noexcept {
  const Bstate3& b = state().b;
  return {b.NLAYS3(fid),
          layer_size(b.FTYPE3(fid), b.NCOLS3(fid), b.NROWS3(fid), b.NTHIK3(fid)).value_or(0),
          b.MXREC3(fid)};
}

SlotTime slot_time(int fid) noexcept {
  const Bstate3& b = state().b;
  return {b.SDATE3(fid), b.STIME3(fid), b.TSTEP3(fid)};
}

bool slot_volatile(int fid) noexcept { return state().b.VOLATILE3(fid); }

bool keeps_step_flags(int fid) noexcept { return kind_of(fid).read_flags != no_flags; }

bool record_flags(int fid, int n, int rec, std::span<int> flags, MsgBuf<256>& why) {
  return kind_of(fid).read_flags(fid, ALLVAR3, 1, n, rec, flags, why);
}

}  // namespace kavro::detail
