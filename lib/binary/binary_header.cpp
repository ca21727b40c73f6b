// The native binary file's routines: the module's start-up, creating, opening and describing
// a file, and the state each open file keeps in its slot. The header's bytes, its checks and
// the record layout each have their own file (binary_format, binary_checks, record_offsets).
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <span>
#include <string_view>

#include "binary/binary_checks.h"
#include "binary/binary_format.h"
#include "binary/binary_state.h"
#include "binary/record_offsets.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/kavro_c.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

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

// ---- Creating ----------------------------------------------------------------------------------

// The description's fields checked and taken into ST and slot FID's tables.
bool accept_description(int fid, BinState& st, const Bdesc3& bd, std::string_view path) {
  const Fields f = {0,          bd.FTYPE3D, bd.GDTYP3D, bd.NCOLS3D, bd.NROWS3D, bd.NLAYS3D,
                    bd.NTHIK3D, bd.NVARS3D, 4,          4,          8};
  st.int_size = 4;
  st.real_size = 4;
  st.dble_size = 8;
  const std::span<const int> vtypes(bd.VTYPE3D.data(),
                                    static_cast<std::size_t>(std::clamp(f.nvars, 0, MXVARS3)));
  if (check_fields("CRTBIN3", f, path, vtypes, st) && set_fstate(fid, st, f, vtypes) != 0) {
    return true;
  }
  XQMSG2("CRTBIN3:  invalid file specification");
  return false;
}

// The fixed header H, then the variable table (names, units, descriptions, each part in one
// write), to ST's stream; synced when slot FID is volatile.
bool write_header(int fid, const BinState& st, const Header& h, const Cdesc3& cd) {
  const auto nvars = static_cast<std::size_t>(st.nvars);
  auto write_part = [&](std::size_t width, auto text_of, const char* what) {
    for (std::size_t v = 0; v < nvars; ++v) {
      std::memcpy(table_buf.data() + v * width, text_of(v).data(), width);
    }
    if (sys::fwrite_full(table_buf.data(), width * nvars, st.stream)) return true;
    log_system_failure(what);
    return false;
  };
  bool ok = sys::fwrite_full(h.data(), h.size(), st.stream);
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
  if (ok && state().b.VOLATILE3(fid) && !sys::fsync(st.stream)) {
    log_system_failure("CRTBIN3:  fsync( HEADER VDESC ) failure");
    ok = false;
  }
  return ok;
}

// The rest of the description into slot FID's tables: the grid, the levels, the variables'
// names and units.
void take_description(int fid, const Bdesc3& bd, const Cdesc3& cd) {
  grid_from_description(fid);
  Cstate3& c = state().c;
  state().b.VGLVS3(fid) = bd.VGLVS3D;
  for (int v = 0; v < bd.NVARS3D; ++v) {
    c.VLIST3D(v + 1, fid) = cd.VNAME3D[static_cast<std::size_t>(v)];
    c.UNITS3(v + 1, fid) = cd.UNITS3D[static_cast<std::size_t>(v)];
  }
}

// ---- Opening -----------------------------------------------------------------------------------

// The fixed header of ST's stream into H, checked against itself and the file's length, and its
// fields taken into ST and slot FID's tables (F and VTYPES the fields and variable types).
bool read_checked_header(int fid, BinState& st, std::string_view path, Header& h, Fields& f,
                         std::array<int, MXVARS3>& vtypes) {
  if (!sys::fread_full(h.data(), h.size(), st.stream)) {
    log_system_failure("OPNBIN3:  fread( HEADER ) failure");
    return false;
  }
  if (!check_read_fields(h, byte_order, path, st, f, vtypes)) return false;
  std::int64_t length = 0;
  if (!sys::flength(st.stream, length)) {
    log_system_failure("OPNBIN3:  fstat() failure");
    return false;
  }
  if (!check_file(h, f, st, length, path)) return false;
  const std::span<const int> vt(vtypes.data(), static_cast<std::size_t>(f.nvars));
  if (set_fstate(fid, st, f, vt) == 0) {
    XQMSG2("OPNBIN3:  invalid file specification");
    return false;
  }
  return true;
}

// The header's grid, time step, levels and grid name into slot FID's tables.
void take_header(int fid, const Header& h, int nlays) {
  Bstate3& b = state().b;
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
  for (int l = 0; l <= nlays; ++l) {
    b.VGLVS3(fid)[static_cast<std::size_t>(l)] = level_value(h, level_at(l));
  }
  state().c.GDNAM3(fid).assign(text_at(h, hdr::kGdnam, NAMLEN3));
}

// The variables' names, the first part of the variable table, into slot FID's list.
bool read_names(int fid, const BinState& st) {
  const auto nv = static_cast<std::size_t>(st.nvars);
  if (!sys::fread_full(table_buf.data(), NAMLEN3 * nv, st.stream)) {
    log_system_failure("CRTBIN3:  fread( HEADER VNAME ) failure");
    return false;
  }
  Cstate3& c = state().c;
  for (std::size_t v = 0; v < nv; ++v) {
    c.VLIST3D(static_cast<int>(v) + 1, fid)
        .assign(std::string_view(table_buf.data() + v * NAMLEN3, NAMLEN3));
  }
  return true;
}

// ---- Describing --------------------------------------------------------------------------------

// The variable table of ST's stream (read just after the fixed header) into CD.
bool read_var_table(const BinState& st, Cdesc3& cd) {
  const auto nv = static_cast<std::size_t>(st.nvars);
  struct Part {
    std::size_t width;
    const char* failure;
  };
  const Part parts[3] = {{NAMLEN3, "DSCBIN3:  fread( HEADER VNAME ) failure"},
                         {NAMLEN3, "DSCBIN3:  fread( HEADER UNITS ) failure"},
                         {MXDLEN3, "DSCBIN3:  fread( HEADER VDESC ) failure"}};
  for (std::size_t p = 0; p < 3; ++p) {
    if (!sys::fread_full(table_buf.data(), parts[p].width * nv, st.stream)) {
      log_system_failure(parts[p].failure);
      return false;
    }
    for (std::size_t v = 0; v < nv; ++v) {
      const std::string_view t(table_buf.data() + v * parts[p].width, parts[p].width);
      if (p == 0) cd.VNAME3D[v].assign(t);
      if (p == 1) cd.UNITS3D[v].assign(t);
      if (p == 2) cd.VDESC3D[v].assign(t);
    }
  }
  return true;
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

int set_fstate(int fid, BinState& st, const Fields& f, std::span<const int> vtype) noexcept {
  Bstate3& b = state().b;
  b.NVARS3(fid) = f.nvars;
  b.NLAYS3(fid) = f.nlays;
  b.NROWS3(fid) = f.nrows;
  b.NCOLS3(fid) = f.ncols;
  b.NTHIK3(fid) = f.nthik;
  b.FTYPE3(fid) = f.ftype;
  b.MXREC3(fid) = f.mxrec;
  b.GDTYP3(fid) = f.gdtyp;
  st.nvars = f.nvars;
  st.nlays = f.nlays;
  st.nrows = f.nrows;
  st.ncols = f.ncols;
  st.nthik = f.nthik;
  st.ftype = f.ftype;
  st.mxrec = f.mxrec;
  st.int_size = f.isize;
  st.real_size = f.rsize;
  st.dble_size = f.dsize;
  if (f.nvars < 0 || f.nvars > MXVARS3 || f.nlays < 0) return 0;
  const int laid = compute_record_offsets(st, f, vtype);
  if (laid == 0) {
    report_unsupported_type(f.ftype);
    return 0;
  }
  if (laid == -1) return 0;
  b.LAYSIZE3(fid) = static_cast<int>(layer_shape(f)->values);
  for (int v = 0; v < f.nvars; ++v) {
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
  return check_read_fields(h, byte_order, path, st, f, vtypes) &&
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
namespace sys = kavro::detail::sys;

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
  if (!accept_description(fid, *st, bd, path.data())) {
    free_state(st);
    return 0;
  }
  static Header h;
  const Stamp stamp = {std::string_view(kavro_version.data(), kavro_version.size()), byte_order,
                       run_date, run_time};
  encode_header(bd, cd, stamp, h);
  st->stream = sys::fopen(path.data(), "w+");
  if (st->stream == nullptr) {
    log_system_failure("CRTBIN3:  fopen() failure");
    free_state(st);
    return 0;
  }
  if (!write_header(fid, *st, h, cd)) {
    abandon(st, false);
    return 0;
  }
  take_description(fid, bd, cd);
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
  Fields f{};
  std::array<int, MXVARS3> vtypes{};
  if (!read_checked_header(fid, *st, path.data(), h, f, vtypes)) {
    abandon(st, true);
    return 0;
  }
  take_header(fid, h, f.nlays);
  if (!read_names(fid, *st)) {
    abandon(st, true);
    return 0;
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
  decode_description(h, st->nlays, BDESC3, CDESC3);
  return read_var_table(*st, CDESC3) ? 1 : 0;
}

}  // extern "C"
