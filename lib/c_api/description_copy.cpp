#include "c_api/description_copy.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "kavro/kavro.h"

namespace kavro::detail {
namespace {

static_assert(sizeof(kavro_bdesc3::VGLVS3D) / sizeof(float) == MXLEVS3);
static_assert(sizeof(kavro_bdesc3::VTYPE3D) / sizeof(int) == MXVARS3);
static_assert(sizeof(kavro_cdesc3::FDESC3D) == sizeof(Line80) * MXDESC3);
static_assert(sizeof(kavro_cdesc3::VNAME3D) == sizeof(Name16) * MXVARS3);
static_assert(sizeof(kavro_cdesc3::VDESC3D) == sizeof(Line80) * MXVARS3);

// Fields of one width, end to end from `out`.
template <std::size_t N>
void copy_fields(char* out, std::span<const FixedString<N>> fields) noexcept {
  if (out == nullptr) return;
  for (const FixedString<N>& field : fields) {
    std::memcpy(out, field.padded().data(), N);
    out += N;
  }
}

template <std::size_t N>
void copy_field(char* out, const FixedString<N>& field) noexcept {
  copy_fields(out, std::span<const FixedString<N>>(&field, 1));
}

// The other way: fields end to end from `in` into the record's fields.
template <std::size_t N>
void take_fields(const char* in, std::span<FixedString<N>> fields) noexcept {
  if (in == nullptr) return;
  for (FixedString<N>& field : fields) {
    field.assign(std::string_view(in, N));
    in += N;
  }
}

template <std::size_t N>
void take_field(const char* in, FixedString<N>& field) noexcept {
  take_fields(in, std::span<FixedString<N>>(&field, 1));
}

}  // namespace

void fill_description(const kavro_bdesc3& b) noexcept {
  Bdesc3& d = BDESC3;
  d.P_ALP3D = b.P_ALP3D;
  d.P_BET3D = b.P_BET3D;
  d.P_GAM3D = b.P_GAM3D;
  d.XCENT3D = b.XCENT3D;
  d.YCENT3D = b.YCENT3D;
  d.XORIG3D = b.XORIG3D;
  d.YORIG3D = b.YORIG3D;
  d.XCELL3D = b.XCELL3D;
  d.YCELL3D = b.YCELL3D;
  d.FTYPE3D = b.FTYPE3D;
  d.CDATE3D = b.CDATE3D;
  d.CTIME3D = b.CTIME3D;
  d.WDATE3D = b.WDATE3D;
  d.WTIME3D = b.WTIME3D;
  d.SDATE3D = b.SDATE3D;
  d.STIME3D = b.STIME3D;
  d.TSTEP3D = b.TSTEP3D;
  d.MXREC3D = b.MXREC3D;
  d.NVARS3D = b.NVARS3D;
  d.NCOLS3D = b.NCOLS3D;
  d.NROWS3D = b.NROWS3D;
  d.NLAYS3D = b.NLAYS3D;
  d.NTHIK3D = b.NTHIK3D;
  d.GDTYP3D = b.GDTYP3D;
  d.VGTYP3D = b.VGTYP3D;
  d.VGTOP3D = b.VGTOP3D;
  std::copy_n(b.VGLVS3D, MXLEVS3, d.VGLVS3D.begin());
  std::copy_n(b.VTYPE3D, MXVARS3, d.VTYPE3D.begin());
  // A caller of the C or Fortran record has no extra attributes to give.
  BATTS3.NATTS3.fill(0);
}

void fill_description(const ConstDescriptionText& t) noexcept {
  Cdesc3& d = CDESC3;
  take_field(t.GDNAM3D, d.GDNAM3D);
  take_field(t.UPNAM3D, d.UPNAM3D);
  take_field(t.EXECN3D, d.EXECN3D);
  take_fields<80>(t.FDESC3D, d.FDESC3D);
  take_fields<80>(t.UPDSC3D, d.UPDSC3D);
  take_fields<16>(t.VNAME3D, d.VNAME3D);
  take_fields<16>(t.UNITS3D, d.UNITS3D);
  take_fields<80>(t.VDESC3D, d.VDESC3D);
}

void copy_description(kavro_bdesc3& b) noexcept {
  const Bdesc3& d = BDESC3;
  b.P_ALP3D = d.P_ALP3D;
  b.P_BET3D = d.P_BET3D;
  b.P_GAM3D = d.P_GAM3D;
  b.XCENT3D = d.XCENT3D;
  b.YCENT3D = d.YCENT3D;
  b.XORIG3D = d.XORIG3D;
  b.YORIG3D = d.YORIG3D;
  b.XCELL3D = d.XCELL3D;
  b.YCELL3D = d.YCELL3D;
  b.FTYPE3D = d.FTYPE3D;
  b.CDATE3D = d.CDATE3D;
  b.CTIME3D = d.CTIME3D;
  b.WDATE3D = d.WDATE3D;
  b.WTIME3D = d.WTIME3D;
  b.SDATE3D = d.SDATE3D;
  b.STIME3D = d.STIME3D;
  b.TSTEP3D = d.TSTEP3D;
  b.MXREC3D = d.MXREC3D;
  b.NVARS3D = d.NVARS3D;
  b.NCOLS3D = d.NCOLS3D;
  b.NROWS3D = d.NROWS3D;
  b.NLAYS3D = d.NLAYS3D;
  b.NTHIK3D = d.NTHIK3D;
  b.GDTYP3D = d.GDTYP3D;
  b.VGTYP3D = d.VGTYP3D;
  b.VGTOP3D = d.VGTOP3D;
  std::copy(d.VGLVS3D.begin(), d.VGLVS3D.end(), b.VGLVS3D);
  std::copy(d.VTYPE3D.begin(), d.VTYPE3D.end(), b.VTYPE3D);
}

void copy_description(const DescriptionText& t) noexcept {
  const Cdesc3& d = CDESC3;
  copy_field(t.GDNAM3D, d.GDNAM3D);
  copy_field(t.UPNAM3D, d.UPNAM3D);
  copy_field(t.EXECN3D, d.EXECN3D);
  copy_fields<80>(t.FDESC3D, d.FDESC3D);
  copy_fields<80>(t.UPDSC3D, d.UPDSC3D);
  copy_fields<16>(t.VNAME3D, d.VNAME3D);
  copy_fields<16>(t.UNITS3D, d.UNITS3D);
  copy_fields<80>(t.VDESC3D, d.VDESC3D);
}

}  // namespace kavro::detail
