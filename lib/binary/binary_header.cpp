// The native binary file and its header: the module's start-up, the record layout, creating,
// opening and describing a file. Every integer of the header is little-endian byte by byte;
// a header read from disk is untrusted and checked field by field before anything is sized
// or read from it.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "binary/binary_io.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/kavro_c.h"
#include "kavro/params.h"
#include "netcdf/layout.h"

namespace kavro::detail {

namespace {

using Header = std::array<unsigned char, static_cast<std::size_t>(kFixedHeader)>;

constexpr int kNumberText = 512;  // room for a path as a C string

// Module-wide state.
constinit std::array<BinState*, MXOPEN3 + 1> fstate{};
constinit int byte_order = 0;
constinit std::array<char, 16> kavro_version{};
constinit int run_date = 0;
constinit int run_time = 0;
constexpr std::array<const char*, 2> fmodes = {"r", "r+"};

// The variable table of one file, read or written in one operation per part.
constinit std::array<char, static_cast<std::size_t>(MXVARS3) * MXDLEN3> table_buf{};

// The header's names for its nine grid values.
constexpr std::array<std::string_view, 9> kGridNames = {"P_ALP", "P_BET", "P_GAM", "XCENT", "YCENT",
                                                        "XORIG", "YORIG", "XCELL", "YCELL"};

void put_int(Header& h, std::size_t at, int value) noexcept {
  const auto u = static_cast<unsigned int>(value);
  for (std::size_t i = 0; i < 4; ++i)
    h[at + i] = static_cast<unsigned char>((u >> (8 * i)) & 0xFFU);
}

int get_int(const Header& h, std::size_t at) noexcept {
  unsigned int u = 0;
  for (std::size_t i = 0; i < 4; ++i) u |= static_cast<unsigned int>(h[at + i]) << (8 * i);
  return static_cast<int>(u);
}

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

double grid_value(const Header& h, std::size_t k) noexcept {
  std::array<char, hdr::kGridField + 1> text{};
  if (!field_text(h, hdr::kGrid + k * hdr::kGridField, text)) return 0.0;
  return std::strtod(text.data(), nullptr);
}

float level_value(const Header& h, std::size_t at) noexcept {
  std::array<char, hdr::kLevelField + 1> text{};
  float v = 0.0F;
  if (field_text(h, at, text) && std::sscanf(text.data(), "%e", &v) != 1) v = 0.0F;
  return v;
}

bool checked_mul(std::int64_t a, std::int64_t b, std::int64_t& r) noexcept {
  return !__builtin_mul_overflow(a, b, &r);
}
bool checked_add(std::int64_t a, std::int64_t b, std::int64_t& r) noexcept {
  return !__builtin_add_overflow(a, b, &r);
}

BinState* new_state(const char* caller) {
  void* p = sys::allocate(sizeof(BinState));
  if (p == nullptr) {
    XQMSG2(MsgBuf<80>(caller) << ":  malloc( BIN_STATE ) failure");
    return nullptr;
  }
  return new (p) BinState;
}

// The path as a C string and a fresh state for slot FID (any state it held released first).
BinState* begin_setup(const char* fname, int fid, const char* caller,
                      std::array<char, kNumberText>& path) {
  if (fid < 1 || fid > MXOPEN3) return nullptr;
  name2cstr(fname, path.data(), static_cast<int>(fname == nullptr ? 0 : std::strlen(fname)),
            kNumberText);
  discard_state(fid);
  return new_state(caller);
}

void free_state(BinState* st) noexcept {
  st->~BinState();
  sys::release(st);
}

// A failed set-up: the stream closed (a failing close is reported), the state released.
void abandon(BinState* st, bool describe_close_failure) {
  if (st->stream != nullptr && sys::fclose(st->stream) != 0) {
    if (describe_close_failure) {
      log_system_failure("CRTBIN3:  fclose() failure");
    } else {
      XQMSG2("CRTBIN3:  fclose() failure");
    }
  }
  st->stream = nullptr;
  free_state(st);
}

// The header fields the layout depends on.
struct Fields {
  int mxrec, ftype, gdtyp, ncols, nrows, nlays, nthik, nvars, isize, rsize, dsize;
};

Fields fields_of(const Header& h) noexcept {
  return {get_int(h, hdr::kMxrec),    get_int(h, hdr::kFtype),   get_int(h, hdr::kGdtyp),
          get_int(h, hdr::kNcols),    get_int(h, hdr::kNrows),   get_int(h, hdr::kNlays),
          get_int(h, hdr::kNthik),    get_int(h, hdr::kNvars),   get_int(h, hdr::kIntSize),
          get_int(h, hdr::kRealSize), get_int(h, hdr::kDbleSize)};
}

void bad_field(std::string_view caller, std::string_view field, long long value,
               std::string_view path) {
  XQMSG2((MsgBuf<256>(caller) << ":  invalid header field " << field).format(" = %lld", value)
         << " in file " << path);
}

// The checks of a description (created) or header (opened) that need no file: counts and
// sizes in range, a storable type, a layout that fits in 64 bits. VTYPE is checked by
// set_fstate, which names the variable.
bool check_fields(std::string_view caller, const Fields& f, std::string_view path,
                  std::span<const int> vtype, BinState& st) {
  struct Range {
    std::string_view name;
    int value, lo, hi;
  };
  const Range ranges[] = {
      {"NVARS", f.nvars, 0, MXVARS3},   {"NLAYS", f.nlays, 0, MXLAYS3},
      {"NCOLS", f.ncols, 0, INT32_MAX}, {"NROWS", f.nrows, 0, INT32_MAX},
      {"MXREC", f.mxrec, 0, INT32_MAX}, {"INTEGER size", f.isize, 4, 4},
      {"REAL size", f.rsize, 4, 4},     {"DOUBLE size", f.dsize, 8, 8},
  };
  for (const Range& r : ranges) {
    if (r.value < r.lo || r.value > r.hi) {
      bad_field(caller, r.name, r.value, path);
      return false;
    }
  }
  std::int64_t values = 0;
  std::int64_t arrays = 0;
  if (!layer_shape(f.ftype, f.ncols, f.nrows, f.nthik, f.isize, f.dsize, values, arrays)) {
    XQMSG2((MsgBuf<80>()).format("CRTBIN3():  unsupported FTYPE %d", f.ftype));
    if (caller == "OPNBIN3") bad_field(caller, "FTYPE", f.ftype, path);
    return false;
  }
  if (values < 0) {
    bad_field(caller, "NTHIK", f.nthik, path);
    return false;
  }
  // Invalid variable types are left to set_fstate: any code that is not 4, 5 or 6 counts as
  // a 4-byte value here, which overstates nothing.
  std::array<int, MXVARS3> types{};
  for (std::size_t v = 0; v < static_cast<std::size_t>(f.nvars); ++v) {
    types[v] = vtype[v] == XQDBLE ? XQDBLE : XQREAL;
  }
  if (compute_layout(st, f.ncols, f.nrows, f.nlays, f.nthik, f.nvars, f.ftype,
                     std::span<const int>(types.data(), static_cast<std::size_t>(f.nvars))) < 0) {
    XQMSG2(MsgBuf<256>(caller) << ":  invalid header field NCOLS x NROWS x NLAYS in file " << path);
    return false;
  }
  return true;
}

// The checks of a header read from disk that the fields alone cannot make: every number text
// terminated in its field, the file long enough for its header and its MXREC records.
bool check_file(const Header& h, const Fields& f, const BinState& st, std::int64_t length,
                std::string_view path) {
  for (std::size_t k = 0; k < kGridNames.size(); ++k) {
    std::array<char, hdr::kGridField + 1> text{};
    if (!field_text(h, hdr::kGrid + k * hdr::kGridField, text)) {
      XQMSG2(MsgBuf<256>("OPNBIN3:  invalid header field ")
             << kGridNames[k] << " (no NUL in its text) in file " << path);
      return false;
    }
  }
  std::array<char, hdr::kLevelField + 1> text{};
  if (!field_text(h, hdr::kVgtop, text)) {
    XQMSG2(MsgBuf<256>("OPNBIN3:  invalid header field VGTOP (no NUL in its text) in file ")
           << path);
    return false;
  }
  for (int l = 0; l <= f.nlays; ++l) {
    if (!field_text(h, hdr::kLevels + static_cast<std::size_t>(l) * hdr::kLevelField, text)) {
      XQMSG2((MsgBuf<256>("OPNBIN3:  invalid header field VGLVS")).format("(%d)", l + 1)
             << " (no NUL in its text) in file " << path);
      return false;
    }
  }
  if (length < st.hdr_len) {
    XQMSG2(MsgBuf<256>("OPNBIN3:  file shorter than its header: ") << path);
    return false;
  }
  // A record counts once its flags are written: MXREC records reach at least the flags of
  // the last one.
  if (f.mxrec > 0) {
    std::int64_t need = 0;
    const std::int64_t flags = 8 * static_cast<std::int64_t>(f.nvars > 0 ? f.nvars : 1);
    if (!checked_mul(st.rec_len, f.mxrec - 1, need) || !checked_add(need, st.hdr_len, need) ||
        !checked_add(need, flags, need) || need > length) {
      bad_field("OPNBIN3", "MXREC", f.mxrec, path);
      return false;
    }
  }
  return true;
}

// The checks of a header read from disk that need no more of the file: the host's byte
// order, then the fields (ST takes the layout, F and VTYPES the fields and the variable types).
bool check_read_fields(const Header& h, std::string_view path, BinState& st, Fields& f,
                       std::array<int, MXVARS3>& vtypes) {
  // The records hold raw host memory: a file written in another byte order cannot be read.
  int mark = 0;
  std::memcpy(&mark, h.data() + hdr::kByteOrder, 4);
  if (mark != byte_order) {
    xqwarnc("OPNBIN3", 0, 0, "Byte-order mismatch");
    XQMSG2("OPNBIN3:  invalid file specification");
    return false;
  }
  f = fields_of(h);
  if (f.nvars > MXVARS3) XQMSG2("CRTBIN3:  max NVARS exceeded for this build");
  const std::size_t nv = static_cast<std::size_t>(std::clamp(f.nvars, 0, MXVARS3));
  for (std::size_t v = 0; v < nv; ++v) vtypes[v] = get_int(h, hdr::kVtype + 4 * v);
  st.int_size = 4;
  st.real_size = 4;
  st.dble_size = 8;
  return check_fields("OPNBIN3", f, path, std::span<const int>(vtypes.data(), nv), st);
}

}  // namespace

BinState* bin_state(int fid) noexcept {
  if (fid < 1 || fid > MXOPEN3) return nullptr;
  return fstate[static_cast<std::size_t>(fid)];
}

void log_system_failure(std::string_view message) noexcept {
  const char* why = sys::failure_text();
  XQMSG2(message);
  if (why != nullptr) XQMSG2(why);
}

bool layer_shape(int ftype, std::int64_t ncols, std::int64_t nrows, std::int64_t nthik,
                 std::int64_t isize, std::int64_t dsize, std::int64_t& values,
                 std::int64_t& arrays) noexcept {
  arrays = 0;
  switch (ftype) {
    case CUSTOM3:
      values = ncols;
      return true;
    case GRDDED3:
      values = ncols * nrows;
      return true;
    case BNDARY3:
      // NTHIK is any 32-bit value here: a perimeter too large saturates and is refused.
      values = layout::perimeter(ncols, nrows, nthik);
      return true;
    case IDDATA3:
      arrays = (nrows + 1) * isize;
      values = nrows;
      return true;
    case PROFIL3:
      arrays = (2 * nrows + 1) * isize + 3 * nrows * dsize;
      values = ncols * nrows;
      return true;
    case SMATRX3:
      arrays = (ncols + nrows) * isize;
      values = ncols;
      return true;
    default:
      return false;
  }
}

int compute_layout(BinState& st, int ncols, int nrows, int nlays, int nthik, int nvars, int ftype,
                   std::span<const int> vtype) noexcept {
  std::int64_t values = 0;
  std::int64_t arrays = 0;
  if (!layer_shape(ftype, ncols, nrows, nthik, st.int_size, st.dble_size, values, arrays)) {
    return 0;
  }
  if (values < 0 || values > INT32_MAX) return -1;
  std::int64_t off = 8 * static_cast<std::int64_t>(nvars > 0 ? nvars : 1) + arrays;
  st.data_start = off;
  int result = 1;
  for (int v = 0; v < nvars; ++v) {
    const auto i = static_cast<std::size_t>(v);
    st.vtype[i] = vtype[i];
    std::int64_t size = 0;
    switch (vtype[i]) {
      case XQINT:
        size = st.int_size;
        break;
      case XQREAL:
        size = st.real_size;
        break;
      case XQDBLE:
        size = st.dble_size;
        break;
      default:
        if (result == 1) result = -(v + 2);
        break;
    }
    std::int64_t bytes = 0;
    if (!checked_mul(values, size, st.lay_size[i]) || !checked_mul(st.lay_size[i], nlays, bytes)) {
      return -1;
    }
    st.offset[i] = off;
    if (!checked_add(off, bytes, off)) return -1;
  }
  st.rec_len = off;
  st.hdr_len = kFixedHeader + kVarTableEntry * nvars;
  return result;
}

int set_fstate(int fid, BinState& st, int ncols, int nrows, int nlays, int nthik, int nvars,
               int mxrec, int ftype, int gdtyp, std::span<const int> vtype, int isize, int rsize,
               int dsize) noexcept {
  Bstate3& b = state().b;
  b.NVARS3(fid) = nvars;
  b.NLAYS3(fid) = nlays;
  b.NROWS3(fid) = nrows;
  b.NCOLS3(fid) = ncols;
  b.NTHIK3(fid) = nthik;
  b.FTYPE3(fid) = ftype;
  b.MXREC3(fid) = mxrec;
  b.GDTYP3(fid) = gdtyp;
  st.nvars = nvars;
  st.nlays = nlays;
  st.nrows = nrows;
  st.ncols = ncols;
  st.nthik = nthik;
  st.ftype = ftype;
  st.mxrec = mxrec;
  st.int_size = isize;
  st.real_size = rsize;
  st.dble_size = dsize;
  if (nvars < 0 || nvars > MXVARS3 || nlays < 0) return 0;
  const int laid = compute_layout(st, ncols, nrows, nlays, nthik, nvars, ftype, vtype);
  if (laid == 0) {
    XQMSG2((MsgBuf<80>()).format("CRTBIN3():  unsupported FTYPE %d", ftype));
    return 0;
  }
  if (laid == -1) return 0;
  std::int64_t values = 0;
  std::int64_t arrays = 0;
  (void)layer_shape(ftype, ncols, nrows, nthik, isize, dsize, values, arrays);
  b.LAYSIZE3(fid) = static_cast<int>(values);
  for (int v = 0; v < nvars; ++v) {
    const int t = vtype[static_cast<std::size_t>(v)];
    b.VTYPE3(v + 1, fid) = t;
    if (t != XQINT && t != XQREAL && t != XQDBLE) {
      XQMSG2((MsgBuf<80>()).format("Variable %d:  invalid type %d", v, t));
    }
  }
  return laid == 1 ? 1 : 0;
}

bool check_binary_header(std::span<const unsigned char> file, std::string_view path) {
  if (file.size() < static_cast<std::size_t>(kFixedHeader)) {
    XQMSG2("OPNBIN3:  fread( HEADER ) failure");
    XQMSG2("unexpected end of file");
    return false;
  }
  static Header h;
  std::memcpy(h.data(), file.data(), h.size());
  static BinState st;
  st = BinState();
  Fields f{};
  std::array<int, MXVARS3> vtypes{};
  return check_read_fields(h, path, st, f, vtypes) &&
         check_file(h, f, st, static_cast<std::int64_t>(file.size()), path);
}

void discard_state(int fid) noexcept {
  if (fid < 1 || fid > MXOPEN3) return;
  BinState*& st = fstate[static_cast<std::size_t>(fid)];
  if (st == nullptr) return;
  if (st->stream != nullptr) (void)sys::fclose(st->stream);
  free_state(st);
  st = nullptr;
}

void discard_all() noexcept {
  for (int fid = 1; fid <= MXOPEN3; ++fid) discard_state(fid);
  release_scratch();
}

}  // namespace kavro::detail

using kavro::detail::BinState;
namespace hdr = kavro::detail::hdr;
namespace sys = kavro::detail::sys;
using kavro::detail::MsgBuf;

extern "C" {

int INITBIN3(const char* version, int jdate, int jtime) {
  using namespace kavro::detail;
  run_date = jdate;
  run_time = jtime;
  kavro_version.fill(' ');
  const std::size_t n = version == nullptr ? 0 : strnlen(version, kavro_version.size() - 1);
  if (n > 0) std::memcpy(kavro_version.data(), version, n);
  byte_order = kByteOrder;
  discard_all();
  return 1;
}

int CRTBIN3(const char* fname, int fid, const char* /*pgname*/) {
  using namespace kavro;
  using namespace kavro::detail;
  std::array<char, kNumberText> path{};
  BinState* st = begin_setup(fname, fid, "CRTBIN3", path);
  if (st == nullptr) return 0;

  const Bdesc3& bd = BDESC3;
  const Cdesc3& cd = CDESC3;
  const Fields f = {0,          bd.FTYPE3D, bd.GDTYP3D, bd.NCOLS3D, bd.NROWS3D, bd.NLAYS3D,
                    bd.NTHIK3D, bd.NVARS3D, 4,          4,          8};
  st->int_size = 4;
  st->real_size = 4;
  st->dble_size = 8;
  const std::span<const int> vtypes(bd.VTYPE3D.data(),
                                    static_cast<std::size_t>(std::clamp(f.nvars, 0, MXVARS3)));
  if (!check_fields("CRTBIN3", f, path.data(), vtypes, *st) ||
      set_fstate(fid, *st, f.ncols, f.nrows, f.nlays, f.nthik, f.nvars, 0, f.ftype, f.gdtyp, vtypes,
                 4, 4, 8) == 0) {
    XQMSG2("CRTBIN3:  invalid file specification");
    free_state(st);
    return 0;
  }

  static Header h;
  h.fill(0);
  put_int(h, hdr::kMxrec, 0);
  put_text(h, hdr::kVersion, std::string_view(kavro_version.data(), kavro_version.size()));
  std::memcpy(h.data() + hdr::kByteOrder, &byte_order, 4);  // the host's own order
  put_int(h, hdr::kIntSize, 4);
  put_int(h, hdr::kRealSize, 4);
  put_int(h, hdr::kDbleSize, 8);
  put_int(h, hdr::kCdate, run_date);
  put_int(h, hdr::kCtime, run_time);
  put_int(h, hdr::kWdate, run_date);
  put_int(h, hdr::kWtime, run_time);
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
  const double grid[9] = {bd.P_ALP3D, bd.P_BET3D, bd.P_GAM3D, bd.XCENT3D, bd.YCENT3D,
                          bd.XORIG3D, bd.YORIG3D, bd.XCELL3D, bd.YCELL3D};
  for (std::size_t k = 0; k < 9; ++k) {
    put_number(h, hdr::kGrid + k * hdr::kGridField, hdr::kGridField, "%27.19e", grid[k]);
  }
  put_number(h, hdr::kVgtop, hdr::kLevelField, "%15.9e", static_cast<double>(bd.VGTOP3D));
  for (int l = 0; l <= bd.NLAYS3D; ++l) {
    put_number(h, hdr::kLevels + static_cast<std::size_t>(l) * hdr::kLevelField, hdr::kLevelField,
               "%15.9e", static_cast<double>(bd.VGLVS3D[static_cast<std::size_t>(l)]));
  }
  for (int v = 0; v < bd.NVARS3D; ++v) {
    put_int(h, hdr::kVtype + 4 * static_cast<std::size_t>(v),
            bd.VTYPE3D[static_cast<std::size_t>(v)]);
  }
  put_text(h, hdr::kGdnam, cd.GDNAM3D.padded());
  put_text(h, hdr::kUpnam, cd.UPNAM3D.padded());
  put_text(h, hdr::kExecn, cd.EXECN3D.padded());
  for (std::size_t i = 0; i < MXDESC3; ++i) {
    put_text(h, hdr::kFdesc + i * MXDLEN3, cd.FDESC3D[i].padded());
    put_text(h, hdr::kUpdsc + i * MXDLEN3, cd.UPDSC3D[i].padded());
  }

  st->stream = sys::fopen(path.data(), "w+");
  if (st->stream == nullptr) {
    log_system_failure("CRTBIN3:  fopen() failure");
    free_state(st);
    return 0;
  }
  const auto nvars = static_cast<std::size_t>(bd.NVARS3D);
  // The variable table: names, units, descriptions, each part in one write.
  auto write_part = [&](std::size_t width, auto text_of, const char* what) {
    for (std::size_t v = 0; v < nvars; ++v) {
      std::memcpy(table_buf.data() + v * width, text_of(v).data(), width);
    }
    if (sys::fwrite_full(table_buf.data(), width * nvars, st->stream)) return true;
    log_system_failure(what);
    return false;
  };
  bool ok = sys::fwrite_full(h.data(), h.size(), st->stream);
  if (!ok) XQMSG2("CRTBIN3:  fwrite( HEADER ) failure");
  ok = ok && write_part(
                 NAMLEN3, [&](std::size_t v) { return cd.VNAME3D[v].padded(); },
                 "CRTBIN3:  fwrite( HEADER VNAME ) failure");
  ok = ok && write_part(
                 NAMLEN3, [&](std::size_t v) { return cd.UNITS3D[v].padded(); },
                 "CRTBIN3:  fwrite( HEADER UNITS ) failure");
  ok = ok && write_part(
                 MXDLEN3, [&](std::size_t v) { return cd.VDESC3D[v].padded(); },
                 "CRTBIN3:  fwrite( HEADER VDESC ) failure");
  if (ok && state().b.VOLATILE3(fid) && !sys::fsync(st->stream)) {
    log_system_failure("CRTBIN3:  fsync( HEADER VDESC ) failure");
    ok = false;
  }
  if (!ok) {
    abandon(st, false);
    return 0;
  }

  grid_from_description(fid);
  Cstate3& c = state().c;
  state().b.VGLVS3(fid) = bd.VGLVS3D;
  for (std::size_t v = 0; v < nvars; ++v) {
    c.VLIST3D(static_cast<int>(v) + 1, fid) = cd.VNAME3D[v];
    c.UNITS3(static_cast<int>(v) + 1, fid) = cd.UNITS3D[v];
  }
  fstate[static_cast<std::size_t>(fid)] = st;
  return 1;
}

int OPNBIN3(const char* fname, int fid, int access, const char* /*pgname*/) {
  using namespace kavro;
  using namespace kavro::detail;
  std::array<char, kNumberText> path{};
  BinState* st = begin_setup(fname, fid, "OPNBIN3", path);
  if (st == nullptr) return 0;
  st->stream = sys::fopen(path.data(), fmodes[static_cast<std::size_t>(access & 1)]);
  if (st->stream == nullptr) {
    log_system_failure("OPNBIN3:  fopen() failure");
    free_state(st);
    return 0;
  }
  static Header h;
  if (!sys::fread_full(h.data(), h.size(), st->stream)) {
    log_system_failure("OPNBIN3:  fread( HEADER ) failure");
    abandon(st, true);
    return 0;
  }
  Fields f{};
  std::array<int, MXVARS3> vtypes{};
  if (!check_read_fields(h, path.data(), *st, f, vtypes)) {
    abandon(st, true);
    return 0;
  }
  const std::size_t nv = static_cast<std::size_t>(f.nvars);
  const std::span<const int> vt(vtypes.data(), nv);
  std::int64_t length = 0;
  if (!sys::flength(st->stream, length)) {
    log_system_failure("OPNBIN3:  fstat() failure");
    abandon(st, true);
    return 0;
  }
  if (!check_file(h, f, *st, length, path.data())) {
    abandon(st, true);
    return 0;
  }
  if (set_fstate(fid, *st, f.ncols, f.nrows, f.nlays, f.nthik, f.nvars, f.mxrec, f.ftype, f.gdtyp,
                 vt, f.isize, f.rsize, f.dsize) == 0) {
    XQMSG2("OPNBIN3:  invalid file specification");
    abandon(st, true);
    return 0;
  }
  Bstate3& b = state().b;
  Cstate3& c = state().c;
  double* const grid[9] = {&b.P_ALP3(fid), &b.P_BET3(fid), &b.P_GAM3(fid),
                           &b.XCENT3(fid), &b.YCENT3(fid), &b.XORIG3(fid),
                           &b.YORIG3(fid), &b.XCELL3(fid), &b.YCELL3(fid)};
  for (std::size_t k = 0; k < 9; ++k) *grid[k] = grid_value(h, k);
  b.SDATE3(fid) = get_int(h, hdr::kSdate);
  b.STIME3(fid) = get_int(h, hdr::kStime);
  b.TSTEP3(fid) = get_int(h, hdr::kTstep);
  b.VGTYP3(fid) = get_int(h, hdr::kVgtyp);
  b.VGTOP3(fid) = level_value(h, hdr::kVgtop);
  b.VGLVS3(fid).fill(0.0F);
  for (int l = 0; l <= f.nlays; ++l) {
    b.VGLVS3(fid)[static_cast<std::size_t>(l)] =
        level_value(h, hdr::kLevels + static_cast<std::size_t>(l) * hdr::kLevelField);
  }
  c.GDNAM3(fid).assign(
      std::string_view(reinterpret_cast<const char*>(h.data() + hdr::kGdnam), NAMLEN3));
  if (!sys::fread_full(table_buf.data(), NAMLEN3 * nv, st->stream)) {
    log_system_failure("CRTBIN3:  fread( HEADER VNAME ) failure");
    abandon(st, true);
    return 0;
  }
  for (std::size_t v = 0; v < nv; ++v) {
    c.VLIST3D(static_cast<int>(v) + 1, fid)
        .assign(std::string_view(table_buf.data() + v * NAMLEN3, NAMLEN3));
  }
  fstate[static_cast<std::size_t>(fid)] = st;
  return 1;
}

int DSCBIN3(int fid) {
  using namespace kavro;
  using namespace kavro::detail;
  BinState* st = bin_state(fid);
  if (st == nullptr || st->stream == nullptr) {
    sys::clear_failure();  // no system call failed: there is nothing to describe
    log_system_failure(st == nullptr ? "DSCBIN3:  file not yet open" : "DSCBIN3:  bad FID");
    return 0;
  }
  if (!sys::fseek(st->stream, 0)) {
    XQMSG2("DSCBIN3:  fseeko( HEADER ) failure");
    return 0;
  }
  static Header h;
  if (!sys::fread_full(h.data(), h.size(), st->stream)) {
    log_system_failure("DSCBIN3:  fread( HEADER ) failure");
    return 0;
  }
  // Only MXREC changes after creation; a value the file cannot hold is not taken.
  const int mxrec = get_int(h, hdr::kMxrec);
  if (mxrec >= st->mxrec) st->mxrec = mxrec;
  state().b.MXREC3(fid) = st->mxrec;

  Bdesc3& bd = BDESC3;
  Cdesc3& cd = CDESC3;
  auto text = [&](std::size_t at, std::size_t n) {
    return std::string_view(reinterpret_cast<const char*>(h.data() + at), n);
  };
  cd.UPNAM3D.assign(text(hdr::kUpnam, NAMLEN3));
  cd.EXECN3D.assign(text(hdr::kExecn, MXDLEN3));
  for (std::size_t i = 0; i < MXDESC3; ++i) {
    cd.FDESC3D[i].assign(text(hdr::kFdesc + i * MXDLEN3, MXDLEN3));
    cd.UPDSC3D[i].assign(text(hdr::kUpdsc + i * MXDLEN3, MXDLEN3));
  }
  bd.CDATE3D = get_int(h, hdr::kCdate);
  bd.CTIME3D = get_int(h, hdr::kCtime);
  bd.WDATE3D = get_int(h, hdr::kWdate);
  bd.WTIME3D = get_int(h, hdr::kWtime);
  bd.VGTYP3D = get_int(h, hdr::kVgtyp);
  bd.VGTOP3D = level_value(h, hdr::kVgtop);
  for (int l = 0; l <= st->nlays; ++l) {
    bd.VGLVS3D[static_cast<std::size_t>(l)] =
        level_value(h, hdr::kLevels + static_cast<std::size_t>(l) * hdr::kLevelField);
  }
  const auto nv = static_cast<std::size_t>(st->nvars);
  struct Part {
    std::size_t width;
    const char* failure;
  };
  const Part parts[3] = {{NAMLEN3, "DSCBIN3:  fread( HEADER VNAME ) failure"},
                         {NAMLEN3, "DSCBIN3:  fread( HEADER UNITS ) failure"},
                         {MXDLEN3, "DSCBIN3:  fread( HEADER VDESC ) failure"}};
  for (std::size_t p = 0; p < 3; ++p) {
    if (!sys::fread_full(table_buf.data(), parts[p].width * nv, st->stream)) {
      log_system_failure(parts[p].failure);
      return 0;
    }
    for (std::size_t v = 0; v < nv; ++v) {
      const std::string_view t(table_buf.data() + v * parts[p].width, parts[p].width);
      if (p == 0) cd.VNAME3D[v].assign(t);
      if (p == 1) cd.UNITS3D[v].assign(t);
      if (p == 2) cd.VDESC3D[v].assign(t);
    }
  }
  return 1;
}

}  // extern "C"
