#include "binary/binary_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kavro::detail {

namespace {

void put_int(Header& h, std::size_t at, int value) noexcept { put_le(h.data() + at, value); }

void put_text(Header& h, std::size_t at, std::string_view text) noexcept {
  std::memcpy(h.data() + at, text.data(), text.size());
}

// VALUE as text by FORMAT and a NUL in a field of FIELD bytes. A value whose text would not
// fit (a negative level by "%15.9e") loses digits of precision, never its exponent.
void put_number(Header& h, std::size_t at, std::size_t field, const char* format, double value) {
  char* out = reinterpret_cast<char*>(h.data() + at);
  int n = std::snprintf(out, field, format, value);
  for (int prec = 8; n >= static_cast<int>(field) && prec >= 0; --prec) {
    n = std::snprintf(out, field, "%.*e", prec, value);
  }
}

// The NUL-terminated text of a number field, or false when the field holds no NUL.
template <std::size_t N>
bool field_text(const Header& h, std::size_t at, std::array<char, N>& out) noexcept {
  static_assert(N >= 1);
  const void* nul = std::memchr(h.data() + at, '\0', N - 1);
  if (nul == nullptr) return false;
  std::memcpy(out.data(), h.data() + at, N - 1);
  out[N - 1] = '\0';
  return true;
}

using GridText = std::array<char, hdr::kGridField + 1>;
using LevelText = std::array<char, hdr::kLevelField + 1>;

constexpr std::size_t grid_at(std::size_t k) noexcept { return hdr::kGrid + k * hdr::kGridField; }

// The integers of the fixed header, in the order they are stored from FTYPE on.
void encode_integers(const Bdesc3& bd, const Stamp& stamp, Header& h) noexcept {
  put_int(h, hdr::kMxrec, 0);
  put_int(h, hdr::kIntSize, 4);
  put_int(h, hdr::kRealSize, 4);
  put_int(h, hdr::kDbleSize, 8);
  put_int(h, hdr::kCdate, stamp.date);
  put_int(h, hdr::kCtime, stamp.time);
  put_int(h, hdr::kWdate, stamp.date);
  put_int(h, hdr::kWtime, stamp.time);
  put_int(h, hdr::kFtype, bd.FTYPE3D);
  put_int(h, hdr::kGdtyp, bd.GDTYP3D);
  put_int(h, hdr::kVgtyp, bd.VGTYP3D);
  put_int(h, hdr::kNcols, bd.NCOLS3D);
  put_int(h, hdr::kNrows, bd.NROWS3D);
  put_int(h, hdr::kNlays, bd.NLAYS3D);
  put_int(h, hdr::kNthik, bd.NTHIK3D);
  put_int(h, hdr::kNvars, bd.NVARS3D);
  put_int(h, hdr::kSdate, bd.SDATE3D);
  put_int(h, hdr::kStime, bd.STIME3D);
  put_int(h, hdr::kTstep, bd.TSTEP3D);
  for (int v = 0; v < bd.NVARS3D; ++v) {
    put_int(h, hdr::kVtype + 4 * static_cast<std::size_t>(v),
            bd.VTYPE3D[static_cast<std::size_t>(v)]);
  }
}

// The grid values and the levels, as text.
void encode_numbers(const Bdesc3& bd, Header& h) {
  const double grid[9] = {bd.P_ALP3D, bd.P_BET3D, bd.P_GAM3D, bd.XCENT3D, bd.YCENT3D,
                          bd.XORIG3D, bd.YORIG3D, bd.XCELL3D, bd.YCELL3D};
  for (std::size_t k = 0; k < 9; ++k) {
    put_number(h, grid_at(k), hdr::kGridField, "%27.19e", grid[k]);
  }
  put_number(h, hdr::kVgtop, hdr::kLevelField, "%15.9e", static_cast<double>(bd.VGTOP3D));
  for (int l = 0; l <= bd.NLAYS3D; ++l) {
    put_number(h, level_at(l), hdr::kLevelField, "%15.9e",
               static_cast<double>(bd.VGLVS3D[static_cast<std::size_t>(l)]));
  }
}

}  // namespace

void encode_header(const Bdesc3& bd, const Cdesc3& cd, const Stamp& stamp, Header& h) {
  h.fill(0);
  put_text(h, hdr::kVersion, stamp.version);
  std::memcpy(h.data() + hdr::kByteOrder, &stamp.byte_order, 4);  // the host's own order
  encode_integers(bd, stamp, h);
  encode_numbers(bd, h);
  put_text(h, hdr::kGdnam, cd.GDNAM3D.padded());
  put_text(h, hdr::kUpnam, cd.UPNAM3D.padded());
  put_text(h, hdr::kExecn, cd.EXECN3D.padded());
  for (std::size_t i = 0; i < MXDESC3; ++i) {
    put_text(h, hdr::kFdesc + i * MXDLEN3, cd.FDESC3D[i].padded());
    put_text(h, hdr::kUpdsc + i * MXDLEN3, cd.UPDSC3D[i].padded());
  }
}

void put_le(unsigned char* p, int value) noexcept {
  const auto u = static_cast<unsigned int>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>((u >> (8 * i)) & 0xFFU);
}

int get_le(const unsigned char* p) noexcept {
  unsigned int u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<unsigned int>(p[i]) << (8 * i);
  return static_cast<int>(u);
}

int get_int(const Header& h, std::size_t at) noexcept { return get_le(h.data() + at); }

int byte_order_mark(const Header& h) noexcept {
  int mark = 0;
  std::memcpy(&mark, h.data() + hdr::kByteOrder, 4);
  return mark;
}

Fields decode_fields(const Header& h) noexcept {
  return {get_int(h, hdr::kMxrec),    get_int(h, hdr::kFtype),   get_int(h, hdr::kGdtyp),
          get_int(h, hdr::kNcols),    get_int(h, hdr::kNrows),   get_int(h, hdr::kNlays),
          get_int(h, hdr::kNthik),    get_int(h, hdr::kNvars),   get_int(h, hdr::kIntSize),
          get_int(h, hdr::kRealSize), get_int(h, hdr::kDbleSize)};
}

void decode_vtypes(const Header& h, std::span<int> out) noexcept {
  for (std::size_t v = 0; v < out.size(); ++v) out[v] = get_int(h, hdr::kVtype + 4 * v);
}

std::string_view text_at(const Header& h, std::size_t at, std::size_t n) noexcept {
  return {reinterpret_cast<const char*>(h.data() + at), n};
}

void decode_description(const Header& h, int nlays, Bdesc3& bd, Cdesc3& cd) noexcept {
  cd.UPNAM3D.assign(text_at(h, hdr::kUpnam, NAMLEN3));
  cd.EXECN3D.assign(text_at(h, hdr::kExecn, MXDLEN3));
  for (std::size_t i = 0; i < MXDESC3; ++i) {
    cd.FDESC3D[i].assign(text_at(h, hdr::kFdesc + i * MXDLEN3, MXDLEN3));
    cd.UPDSC3D[i].assign(text_at(h, hdr::kUpdsc + i * MXDLEN3, MXDLEN3));
  }
  bd.CDATE3D = get_int(h, hdr::kCdate);
  bd.CTIME3D = get_int(h, hdr::kCtime);
  bd.WDATE3D = get_int(h, hdr::kWdate);
  bd.WTIME3D = get_int(h, hdr::kWtime);
  bd.VGTYP3D = get_int(h, hdr::kVgtyp);
  bd.VGTOP3D = level_value(h, hdr::kVgtop);
  for (int l = 0; l <= nlays; ++l) {
    bd.VGLVS3D[static_cast<std::size_t>(l)] = level_value(h, level_at(l));
  }
}

bool grid_terminated(const Header& h, std::size_t k) noexcept {
  GridText text{};
  return field_text(h, grid_at(k), text);
}

bool level_terminated(const Header& h, std::size_t at) noexcept {
  LevelText text{};
  return field_text(h, at, text);
}

double grid_value(const Header& h, std::size_t k) noexcept {
  GridText text{};
  if (!field_text(h, grid_at(k), text)) return 0.0;
  return std::strtod(text.data(), nullptr);
}

float level_value(const Header& h, std::size_t at) noexcept {
  LevelText text{};
  float v = 0.0F;
  if (field_text(h, at, text) && std::sscanf(text.data(), "%e", &v) != 1) v = 0.0F;
  return v;
}

}  // namespace kavro::detail
