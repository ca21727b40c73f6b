// The netCDF kind's reading side: the time-step flags, the per-step header arrays of a
// transfer, the variables (through the direct data path where it serves the read) and the
// size of a read.
#include <netcdf.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "filetype/transfer_plan.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "netcdf/block_io.h"
#include "netcdf/classic/direct_read.h"
#include "netcdf/netcdf_ops.h"

namespace kavro::detail {

namespace {

// A variable's block, through the direct data path where it serves the read; left in the
// file's byte order where the caller accepts it.
int read_variable_block(int fid, int varid, int rank, const VarRead& read, int vtype,
                        std::byte* out) noexcept {
  return read_block(fid, varid, rank, read.start.data(), read.count.data(), vtype, out,
                    read.stored_order_left);
}

void report_variable_failure(int status, int fid, int v) {
  const Cstate3& c = state().c;
  XQMSG2(MsgBuf<256>(error_number_line(status, 6))
         << "  "
         << "Error reading variable \"" << c.VLIST3D(v, fid).padded() << "\" from file \""
         << c.FLNAME3(fid).padded() << '"');
}

}  // namespace

// Both elements of the pair, the chosen variables, one record. An event file's flags are
// (record, date-time) only: the pairs are taken from the records FIRST .. FIRST + N - 1, as
// the first two entries of the start and count would address them.
bool read_netcdf_flags(int fid, int, int first, int n, int step, std::span<int> flags,
                       MsgBuf<256>& why) {
  const Bstate3& b = state().b;
  const int start[3] = {1, first, step};
  const int count[3] = {2, n, 1};
  const int rank = static_cast<int>(layout::tflag_dimensions(b.FTYPE3(fid)).size());
  const int status = read_block(fid, b.TFLAGID3(fid), rank, start, count, XQINT, flags.data());
  if (status == NC_NOERR) return true;
  const std::string_view fname = state().c.FLNAME3(fid).padded();
  if (step_not_yet_written(status)) {
    why << "Time step not yet written in file " << fname;
  } else {
    XQMSG2(error_number_line(status));
    why << "Error reading netCDF time step flag for " << fname;
    note_file_failure("RDTFLAG", fid,
                      MsgBuf<160>("time-step flags unreadable: ") << nc_strerror(status));
  }
  return false;
}

// The header arrays into the front of the buffer; on the first failure the status is logged
// and the warning has date and time 0.
std::int64_t read_netcdf_header_arrays(int ftype, int fid, int step, std::string_view caller,
                                       std::byte* out) {
  Bstate3& b = state().b;
  const layout::Header h = header_for(ftype, fid);
  std::int64_t word = 0;
  for (const layout::StructuralVar& a : layout::structural_variables(ftype)) {
    if (a.transfer_failure.empty()) continue;
    const ArraySlab slab = array_slab(a, h, step);
    const int status = read_block(fid, (b.*a.id_table)(fid), slab.rank, slab.start.data(),
                                  slab.count.data(), a.nc_type, out + word * kWordBytes);
    if (status != 0) {
      XQMSG2(error_number_line(status));
      XQWARN(caller, 0, 0, MsgBuf<80>(a.transfer_failure) << state().c.FLNAME3(fid).padded());
      return -1;
    }
    word = sat_add(word, slab.words);
  }
  return word;
}

bool read_netcdf_vars(int fid, int vid, const VarRead& read, std::byte* out) {
  const Bstate3& b = state().b;
  const int rank = rank_of(read.count);
  if (vid >= 1) {
    const int status =
        read_variable_block(fid, b.VARID3(vid, fid), rank, read, b.VTYPE3(vid, fid), out);
    if (status != 0) report_variable_failure(status, fid, vid);
    return status == 0;
  }
  std::int64_t off = 0;  // bytes
  for (int v = 1; v <= described_vars(fid); ++v) {
    const int vtype = b.VTYPE3(v, fid);
    const int status = read_variable_block(fid, b.VARID3(v, fid), rank, read, vtype, out + off);
    if (status != 0) {
      report_variable_failure(status, fid, v);
      return false;
    }
    off = sat_add(off, sat_mul(sat_mul(read.size, words_per_value(vtype)), kWordBytes));
  }
  return true;
}

// The transfer's variable values and the type's header arrays.
std::int64_t netcdf_read_bytes(int fid, int vid, int layer) {
  const Bstate3& b = state().b;
  const int nvars = described_vars(fid);
  if (vid > nvars) return 0;
  const int ftype = transfer_type(fid);
  Plan p;
  if (!plan_for(ftype, fid, layer, 1, p)) return 0;  // refused, nothing written
  std::int64_t per_value = 0;
  if (vid >= 1) {
    per_value = words_per_value(b.VTYPE3(vid, fid));
  } else {
    for (int v = 1; v <= nvars; ++v) per_value += words_per_value(b.VTYPE3(v, fid));
  }
  const std::int64_t words = sat_add(sat_mul(p.size, per_value), header_words(ftype, fid));
  return sat_mul(words, kWordBytes);
}

}  // namespace kavro::detail
