// The transfers by file type and RDVARS. Every transfer is the same walk: build START, COUNT
// and SIZE from the shape of the type's data variables, read the type's per-step header arrays
// (netCDF files) one after another into the front of the buffer, and hand the variable to
// RDVARS at the word after them. The per-type facts come from the layout's row of the type
// only, which the size computation of the sized READ3 reads too, so the bytes promised and
// the bytes written cannot drift apart.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "open/layout.h"
#include "read/direct_read.h"
#include "read/nc_read.h"
#include "read/netcdf_read.h"
#include "read/read.h"

namespace kavro {
namespace {

using detail::MsgBuf;
using detail::right_justified;

using detail::kWordBytes;
using detail::non_negative;
using detail::sat_add;
using detail::sat_mul;
using detail::words_per_value;

// A count for the START/COUNT vectors: a length that is negative or does not fit an
// INTEGER is refused by the read (-1), never wrapped.
int as_count(std::int64_t v) noexcept { return v < 0 || v > INT_MAX ? -1 : static_cast<int>(v); }

// START, COUNT and SIZE of the variable read of one transfer.
struct Plan {
  SlabVector start{};
  SlabVector count{};
  std::int64_t size = 0;  // values of one variable, never negative
};

// The header values the layout sizes a transfer of type FTYPE from.
layout::Header header_for(int ftype, int fid) noexcept {
  const Bstate3& b = state().b;
  return {ftype,         b.TSTEP3(fid), b.NCOLS3(fid), b.NROWS3(fid),
          b.NLAYS3(fid), b.NTHIK3(fid), b.NVARS3(fid)};
}

// The variable's START/COUNT/SIZE for a transfer of type FTYPE, from the shape of the type's data
// variables: the layer (or all layers), the record STEP, every other dimension whole. False
// for a type without a transfer.
bool plan_for(int ftype, int fid, int layer, int step, Plan& p) noexcept {
  const layout::TypeLayout* t = layout::type_layout(ftype);
  if (t == nullptr || t->transfer == 0) return false;
  const layout::Header h = header_for(ftype, fid);
  const bool all = layer == ALLAYS3;
  p.size = 1;
  std::size_t i = 0;  // fastest varying first: the shape read from its end
  for (auto d = t->shape.rbegin(); d != t->shape.rend(); ++d, ++i) {
    if (*d == layout::kTstepDim) {
      p.start[i] = step;
      p.count[i] = 1;
      continue;
    }
    std::int64_t n = 0;
    if (*d == layout::kLayDim) {
      p.start[i] = all ? 1 : layer;
      n = all ? h.nlays : 1;
    } else {
      p.start[i] = 1;
      n = layout::expected_dimension_length(*d, h).value_or(0);
    }
    p.count[i] = as_count(n);
    p.size = sat_mul(p.size, non_negative(n));
  }
  return true;
}

// The values of one structural variable a transfer reads: one per step, or one per entry of
// its second dimension.
std::int64_t array_values(const layout::StructuralVar& a, const layout::Header& h) noexcept {
  if (a.dims.size() < 2) return 1;
  return layout::expected_dimension_length(a.dims[1], h).value_or(0);
}

// Words the header arrays of a netCDF transfer of type FTYPE take at the front of the buffer.
std::int64_t header_words(int ftype, int fid) noexcept {
  const layout::Header h = header_for(ftype, fid);
  std::int64_t words = 0;
  for (const layout::StructuralVar& a : layout::structural_variables(ftype)) {
    if (a.transfer_failure.empty()) continue;
    words = sat_add(words, sat_mul(non_negative(array_values(a, h)), words_per_value(a.nc_type)));
  }
  return words;
}

// Reads the header arrays into the front of the buffer; on the first failure logs the status
// and warns with date and time 0. Returns the words written, or -1 on failure.
std::int64_t read_header_arrays(int ftype, int fid, int step, std::string_view caller,
                                std::byte* out) {
  Bstate3& b = state().b;
  const layout::Header h = header_for(ftype, fid);
  std::int64_t word = 0;
  for (const layout::StructuralVar& a : layout::structural_variables(ftype)) {
    if (a.transfer_failure.empty()) continue;
    const std::int64_t n = array_values(a, h);
    const int start[2] = {1, step};
    const int count[2] = {as_count(n), 1};
    // A per-step count is the variable's one value of the record.
    const bool single = a.dims.size() < 2;
    const int status =
        detail::read_block(fid, (b.*a.id_table)(fid), single ? 1 : 2, single ? start + 1 : start,
                           single ? count + 1 : count, a.nc_type, out + word * kWordBytes);
    if (status != 0) {
      XQMSG2(detail::error_number_line(status));
      XQWARN(caller, 0, 0, MsgBuf<80>(a.transfer_failure) << state().c.FLNAME3(fid).padded());
      return -1;
    }
    word = sat_add(word, non_negative(n) * words_per_value(a.nc_type));
  }
  return word;
}

// The walk every transfer routine shares.
bool transfer(int ftype, std::string_view caller, int fid, int vid, int layer, int step,
              void* buffer) {
  Plan p;
  if (!plan_for(ftype, fid, layer, step, p)) return false;
  auto* out = static_cast<std::byte*>(buffer);
  if (detail::kind_of(fid).header_arrays) {
    const std::int64_t words = read_header_arrays(ftype, fid, step, caller, out);
    if (words < 0) return false;
    // The header arrays are in the machine's order, so the values after them must be too.
    if (words > 0) detail::stored_order().allowed = false;
    out += words * kWordBytes;
  }
  return RDVARS(fid, vid, p.start, p.count, p.size, out);
}

// The used length of a START/COUNT pair: up to the time step, whose COUNT is 1 and last.
int rank_of(const SlabVector& count) noexcept {
  int rank = static_cast<int>(count.size());
  while (rank > 0 && count[static_cast<std::size_t>(rank - 1)] == 0) --rank;
  return rank;
}

// A variable's block, through the direct data path where it serves the read; left in the
// file's byte order where the caller accepts it.
int read_variable_block(int fid, int varid, int rank, const SlabVector& start,
                        const SlabVector& count, int vtype, std::byte* out) noexcept {
  detail::StoredOrder& order = detail::stored_order();
  return detail::read_block(fid, varid, rank, start.data(), count.data(), vtype, out,
                            order.allowed ? &order.left : nullptr);
}

void report_variable_failure(int status, int fid, int v) {
  const Cstate3& c = state().c;
  XQMSG2(MsgBuf<256>(detail::error_number_line(status, 6))
         << "  "
         << "Error reading variable \"" << c.VLIST3D(v, fid).padded() << "\" from file \""
         << c.FLNAME3(fid).padded() << '"');
}

}  // namespace

bool RDGRDDED(int fid, int vid, int layer, int step, void* buffer) {
  return transfer(GRDDED3, "READ3/RDGRDDED", fid, vid, layer, step, buffer);
}
bool RDBNDARY(int fid, int vid, int layer, int step, void* buffer) {
  return transfer(BNDARY3, "READ3/RDBNDARY", fid, vid, layer, step, buffer);
}
bool RDIDDATA(int fid, int vid, int layer, int step, void* buffer) {
  return transfer(IDDATA3, "READ3/RDIDDATA", fid, vid, layer, step, buffer);
}
bool RDPROFIL(int fid, int vid, int layer, int step, void* buffer) {
  return transfer(PROFIL3, "READ3/RDPROFILE", fid, vid, layer, step, buffer);
}
bool RDGRNEST(int fid, int vid, int layer, int step, void* buffer) {
  return transfer(GRNEST3, "READ3/RDGRNEST", fid, vid, layer, step, buffer);
}
bool RDSMATRX(int fid, int vid, int step, void* buffer) {
  return transfer(SMATRX3, "READ3/RDSMATRX", fid, vid, 1, step, buffer);
}
bool RDCUSTOM(int fid, int vid, int layer, int step, void* buffer) {
  return transfer(CUSTOM3, "READ3/RDCUSTOM", fid, vid, layer, step, buffer);
}

bool RDVARS(int fid, int vid, const SlabVector& start, const SlabVector& count, std::int64_t size,
            void* buffer) {
  return detail::kind_of(fid).read_vars(fid, vid, start, count, size,
                                        static_cast<std::byte*>(buffer));
}

namespace detail {

bool read_netcdf_vars(int fid, int vid, const SlabVector& start, const SlabVector& count,
                      std::int64_t size, std::byte* out) {
  const Bstate3& b = state().b;
  const int rank = rank_of(count);
  if (vid >= 1) {
    const int status =
        read_variable_block(fid, b.VARID3(vid, fid), rank, start, count, b.VTYPE3(vid, fid), out);
    if (status != 0) report_variable_failure(status, fid, vid);
    return status == 0;
  }
  std::int64_t off = 0;  // bytes
  for (int v = 1; v <= described_vars(fid); ++v) {
    const int vtype = b.VTYPE3(v, fid);
    const int status =
        read_variable_block(fid, b.VARID3(v, fid), rank, start, count, vtype, out + off);
    if (status != 0) {
      report_variable_failure(status, fid, v);
      return false;
    }
    off = sat_add(off, sat_mul(sat_mul(size, words_per_value(vtype)), kWordBytes));
  }
  return true;
}

// The transfer's variable values and the type's header arrays.
std::int64_t netcdf_read_bytes(int fid, int vid, int layer) {
  const Bstate3& b = state().b;
  const int nvars = described_vars(fid);
  if (vid > nvars) return 0;
  const layout::TypeLayout* t = layout::type_layout(b.FTYPE3(fid));
  const int ftype = t != nullptr ? t->transfer : 0;
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

// The walk of a transfer run backwards: the type's per-step arrays from the front of the
// buffer, every layer of the variable (or of each variable), then the flag pairs, so that a
// reader never finds a flag for values not yet there. The first failed call stops the write,
// reported through the netCDF funnel.
bool write_netcdf_step(int fid, int vid, int step, const std::array<int, 2>& flags, int, int,
                       const std::byte* in) {
  Bstate3& b = state().b;
  const Cstate3& c = state().c;
  const int ncid = b.NCID3(fid);
  const layout::TypeLayout* t = layout::type_layout(b.FTYPE3(fid));
  const int ftype = t != nullptr ? t->transfer : 0;
  Plan p;
  if (!plan_for(ftype, fid, ALLAYS3, step, p)) return false;
  const layout::Header h = header_for(ftype, fid);
  for (const layout::StructuralVar& a : layout::structural_variables(ftype)) {
    if (a.transfer_failure.empty()) continue;
    const std::int64_t n = array_values(a, h);
    const int start[2] = {1, step};
    const int count[2] = {as_count(n), 1};
    const bool single = a.dims.size() < 2;
    const int status =
        nc_write_block(ncid, (b.*a.id_table)(fid), single ? 1 : 2, single ? start + 1 : start,
                       single ? count + 1 : count, a.nc_type, in);
    if (!nc_ok(status, fid,
               MsgBuf<80>("Error writing ")
                   << a.name << " for file " << c.FLNAME3(fid).trimmed())) {
      return false;
    }
    in += non_negative(n) * words_per_value(a.nc_type) * kWordBytes;
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

std::int64_t read3_size_bytes(int fid, int vid, int layer) noexcept {
  // A dictionary entry goes to the description record.
  if (state().b.FTYPE3(fid) == DCTNRY3) return 0;
  return kind_of(fid).read_bytes(fid, vid, layer);
}

}  // namespace detail
}  // namespace kavro
