// The transfers by file type and RDVARS. Every transfer is the same walk: build START, COUNT
// and SIZE for the type, read the type's per-step header arrays (netCDF files) one after
// another into the front of the buffer, and hand the variable to RDVARS at the word after
// them. The per-type facts live in two places only, plan_for() and header_arrays(), which
// the size computation of the sized READ3 reads too, so the bytes promised and the bytes
// written cannot drift apart.
#include <climits>
#include <cstddef>
#include <span>
#include <string_view>

#include "core/kinds.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/params.h"
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

// The transfer routine a file type belongs to, named by the type it was written for.
int transfer_kind(int ftype) noexcept {
  return ftype == kTypeSeven || ftype == PTRFLY3 ? GRDDED3 : ftype;
}

// START, COUNT and SIZE of the variable read of one transfer.
struct Plan {
  SlabVector start{};
  SlabVector count{};
  std::int64_t size = 0;  // values of one variable, never negative
};

// The table of the transfers: the variable's START/COUNT/SIZE per transfer kind. False for a
// type without a transfer.
bool plan_for(int kind, int fid, int layer, int step, Plan& p) noexcept {
  const Bstate3& b = state().b;
  const std::int64_t ncols = b.NCOLS3(fid);
  const std::int64_t nrows = b.NROWS3(fid);
  const bool all = layer == ALLAYS3;
  const int lstart = all ? 1 : layer;
  const int lcount = all ? b.NLAYS3(fid) : 1;
  const std::int64_t nlay = non_negative(lcount);
  switch (kind) {
    case GRDDED3:
      p.start = {1, 1, lstart, step, 0};
      p.count = {as_count(ncols), as_count(nrows), lcount, 1, 0};
      p.size = sat_mul(sat_mul(non_negative(ncols), non_negative(nrows)), nlay);
      return true;
    case BNDARY3: {
      const std::int64_t nthik = b.NTHIK3(fid);
      const std::int64_t perim = 2 * (nthik < 0 ? -nthik : nthik) * (ncols + nrows + 2 * nthik);
      p.start = {1, lstart, step, 0, 0};
      p.count = {as_count(perim), lcount, 1, 0, 0};
      p.size = sat_mul(non_negative(perim), nlay);
      return true;
    }
    case IDDATA3:
      p.start = {1, lstart, step, 0, 0};
      p.count = {as_count(nrows), lcount, 1, 0, 0};
      p.size = sat_mul(non_negative(nrows), nlay);
      return true;
    case PROFIL3:
    case GRNEST3:
      p.start = {1, 1, lstart, step, 0};
      p.count = {as_count(ncols), as_count(nrows), lcount, 1, 0};
      p.size = sat_mul(sat_mul(non_negative(ncols), non_negative(nrows)), nlay);
      return true;
    case SMATRX3:
      p.start = {1, step, 0, 0, 0};
      p.count = {as_count(ncols), 1, 0, 0, 0};
      p.size = non_negative(ncols);
      return true;
    case CUSTOM3:
      p.start = {1, lstart, step, 0, 0};
      p.count = {as_count(ncols), lcount, 1, 0, 0};
      p.size = sat_mul(non_negative(ncols), nlay);
      return true;
    default:
      return false;
  }
}

// One per-step header array of a netCDF file: which structural variable, how many values
// (the step's single count, one per site/row, or one per coefficient), their type, and the
// text of the warning when it cannot be read.
enum class Extent { kOne, kPerRow, kPerCoef };
struct HeaderArray {
  PerSlot<int> Bstate3::*varid;
  Extent extent;
  int vtype;
  std::string_view text;
};

constexpr HeaderArray kIddataArrays[] = {
    {&Bstate3::CNTVID3, Extent::kOne, XQINT, "Error reading count for file "},
    {&Bstate3::IDVID3, Extent::kPerRow, XQINT, "Error reading ID list for file "},
};
constexpr HeaderArray kProfilArrays[] = {
    {&Bstate3::CNTVID3, Extent::kOne, XQINT, "Error reading site count for file "},
    {&Bstate3::IDVID3, Extent::kPerRow, XQINT, "Error reading ID list for file "},
    {&Bstate3::LEVVID3, Extent::kPerRow, XQINT, "Error reading profile-count for file "},
    {&Bstate3::XVID3, Extent::kPerRow, XQREAL, "Error reading X-coordinate for file "},
    {&Bstate3::YVID3, Extent::kPerRow, XQREAL, "Error reading Y-coordinate for file "},
    {&Bstate3::ZVID3, Extent::kPerRow, XQREAL, "Error reading Z-coordinate for file "},
};
constexpr HeaderArray kGrnestArrays[] = {
    {&Bstate3::CNTVID3, Extent::kOne, XQINT, "Error reading count for file "},
    {&Bstate3::IDVID3, Extent::kPerRow, XQINT, "Error reading ID list for file "},
    {&Bstate3::LEVVID3, Extent::kPerRow, XQINT, "Error reading profile count for file "},
    {&Bstate3::XVID3, Extent::kPerRow, XQDBLE, "Error reading X coord for file "},
    {&Bstate3::YVID3, Extent::kPerRow, XQDBLE, "Error reading Y coord for file "},
    {&Bstate3::DXVID3, Extent::kPerRow, XQDBLE, "Error reading cell DX for file "},
    {&Bstate3::DYVID3, Extent::kPerRow, XQDBLE, "Error reading cell DY for file "},
};
constexpr HeaderArray kSmatrxArrays[] = {
    {&Bstate3::IDVID3, Extent::kPerRow, XQINT, "Error reading MAXROW for file "},
    {&Bstate3::LEVVID3, Extent::kPerCoef, XQINT, "Error reading ROW INDEX for file "},
};

std::span<const HeaderArray> header_arrays(int kind) noexcept {
  switch (kind) {
    case IDDATA3:
      return kIddataArrays;
    case PROFIL3:
      return kProfilArrays;
    case GRNEST3:
      return kGrnestArrays;
    case SMATRX3:
      return kSmatrxArrays;
    default:
      return {};
  }
}

std::int64_t extent_values(Extent e, int fid) noexcept {
  switch (e) {
    case Extent::kOne:
      return 1;
    case Extent::kPerRow:
      return state().b.NROWS3(fid);
    case Extent::kPerCoef:
      return state().b.NCOLS3(fid);
  }
  return 0;
}

// Words the header arrays of a netCDF transfer of this kind take at the front of the buffer.
std::int64_t header_words(int kind, int fid) noexcept {
  std::int64_t words = 0;
  for (const HeaderArray& a : header_arrays(kind)) {
    const std::int64_t n = non_negative(extent_values(a.extent, fid));
    words = sat_add(words, sat_mul(n, words_per_value(a.vtype)));
  }
  return words;
}

// Reads the header arrays into the front of the buffer; on the first failure logs the status
// and warns with date and time 0. Returns the words written, or -1 on failure.
std::int64_t read_header_arrays(int kind, int fid, int step, std::string_view caller,
                                std::byte* out) {
  Bstate3& b = state().b;
  std::int64_t word = 0;
  for (const HeaderArray& a : header_arrays(kind)) {
    const std::int64_t n = extent_values(a.extent, fid);
    int status = 0;
    if (a.extent == Extent::kOne) {
      const int start[1] = {step};
      const int count[1] = {1};
      status = detail::nc_read_block(b.NCID3(fid), (b.*a.varid)(fid), 1, start, count, a.vtype,
                                     out + word * kWordBytes);
    } else {
      const int start[2] = {1, step};
      const int count[2] = {as_count(n), 1};
      status = detail::nc_read_block(b.NCID3(fid), (b.*a.varid)(fid), 2, start, count, a.vtype,
                                     out + word * kWordBytes);
    }
    if (status != 0) {
      XQMSG2(detail::error_number_line(status));
      XQWARN(caller, 0, 0, MsgBuf<80>(a.text) << state().c.FLNAME3(fid).padded());
      return -1;
    }
    word += non_negative(n) * words_per_value(a.vtype);
  }
  return word;
}

// The walk every transfer routine shares.
bool transfer(int kind, std::string_view caller, int fid, int vid, int layer, int step,
              void* buffer) {
  Plan p;
  if (!plan_for(kind, fid, layer, step, p)) return false;
  auto* out = static_cast<std::byte*>(buffer);
  if (detail::kind_of(fid).header_arrays) {
    const std::int64_t words = read_header_arrays(kind, fid, step, caller, out);
    if (words < 0) return false;
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
  const int ncid = b.NCID3(fid);
  const int rank = rank_of(count);
  if (vid >= 1) {
    const int status = nc_read_block(ncid, b.VARID3(vid, fid), rank, start.data(), count.data(),
                                     b.VTYPE3(vid, fid), out);
    if (status != 0) report_variable_failure(status, fid, vid);
    return status == 0;
  }
  std::int64_t off = 0;  // bytes
  for (int v = 1; v <= described_vars(fid); ++v) {
    const int vtype = b.VTYPE3(v, fid);
    const int status =
        nc_read_block(ncid, b.VARID3(v, fid), rank, start.data(), count.data(), vtype, out + off);
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
  const int kind = transfer_kind(b.FTYPE3(fid));
  Plan p;
  if (!plan_for(kind, fid, layer, 1, p)) return 0;  // refused, nothing written
  std::int64_t per_value = 0;
  if (vid >= 1) {
    per_value = words_per_value(b.VTYPE3(vid, fid));
  } else {
    for (int v = 1; v <= nvars; ++v) per_value += words_per_value(b.VTYPE3(v, fid));
  }
  const std::int64_t words = sat_add(sat_mul(p.size, per_value), header_words(kind, fid));
  return sat_mul(words, kWordBytes);
}

std::int64_t read3_size_bytes(int fid, int vid, int layer) noexcept {
  // A dictionary entry goes to the description record.
  if (state().b.FTYPE3(fid) == DCTNRY3) return 0;
  return kind_of(fid).read_bytes(fid, vid, layer);
}

}  // namespace detail
}  // namespace kavro
