// The netCDF kind's one write, WRITE3's step.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "filetype/transfer_plan.h"
#include "kavro/params.h"
#include "netcdf/block_io.h"
#include "netcdf/netcdf_ops.h"

namespace kavro::detail {

// The walk of a transfer run backwards: the type's per-step arrays from the front of the
// buffer, every layer of the variable (or of each variable), then the flag pairs, so that a
// reader never finds a flag for values not yet there. The first failed call stops the write,
// reported through the netCDF funnel.
bool write_netcdf_step(int fid, int vid, int step, const std::array<int, 2>& flags, int, int,
                       const std::byte* in) {
  Bstate3& b = state().b;
  const Cstate3& c = state().c;
  const int ncid = b.NCID3(fid);
  const int ftype = transfer_type(fid);
  Plan p;
  if (!plan_for(ftype, fid, ALLAYS3, step, p)) return false;
  const layout::Header h = header_for(ftype, fid);
  for (const layout::StructuralVar& a : layout::structural_variables(ftype)) {
    if (a.transfer_failure.empty()) continue;
    const ArraySlab slab = array_slab(a, h, step);
    const int status = nc_write_block(ncid, (b.*a.id_table)(fid), slab.rank, slab.start.data(),
                                      slab.count.data(), a.nc_type, in);
    if (!nc_ok(status, fid,
               MsgBuf<80>("Error writing ")
                   << a.name << " for file " << c.FLNAME3(fid).trimmed())) {
      return false;
    }
    in += slab.words * kWordBytes;
  }
  const int rank = rank_of(p.count);
  const int first = vid >= 1 ? vid : 1;
  const int last = vid >= 1 ? vid : described_vars(fid);
  for (int v = first; v <= last; ++v) {
    const int vtype = b.VTYPE3(v, fid);
    const int status =
        nc_write_block(ncid, b.VARID3(v, fid), rank, p.start.data(), p.count.data(), vtype, in);
    if (!nc_ok(status, fid,
               MsgBuf<80>("Error writing variable \"") << c.VLIST3D(v, fid).trimmed() << '"')) {
      return false;
    }
    in += sat_mul(sat_mul(p.size, words_per_value(vtype)), kWordBytes);
  }
  // The pair of each variable written; a file without variables keeps one pair, as its
  // flags are read.
  const int n = last >= first ? last - first + 1 : 1;
  std::vector<int> pairs(static_cast<std::size_t>(2 * n));
  for (int i = 0; i < n; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = flags[0];
    pairs[static_cast<std::size_t>(2 * i + 1)] = flags[1];
  }
  const int start[3] = {1, first, step};
  const int count[3] = {2, n, 1};
  const int trank = static_cast<int>(layout::tflag_dimensions(b.FTYPE3(fid)).size());
  if (!nc_ok(nc_write_block(ncid, b.TFLAGID3(fid), trank, start, count, XQINT, pairs.data()), fid,
             MsgBuf<80>("Error writing time step flags for file ") << c.FLNAME3(fid).trimmed())) {
    return false;
  }
  b.MXREC3(fid) = std::max(b.MXREC3(fid), step);
  return true;
}

}  // namespace kavro::detail
