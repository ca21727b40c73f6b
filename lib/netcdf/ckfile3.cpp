// CKFILE3: the optional sanity checks of a header just read (KAVRO_CHECK_HEADERS).
// Messages are composed in an 80-character line; a longer text is kept whole (the warning
// paragraph holds 256 characters), so no report loses the names it quotes.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/msgbuf.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "netcdf/header_atts.h"
#include "netcdf/netcdf_routines.h"
#include "open/check_lines.h"
#include "settings/settings_table.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::NumField;
using Line = detail::CheckLine;

void warn(std::string_view text) { XQWARN("CKFILE3", 0, 0, text); }

std::string_view lname_of(int fid) { return state().c.FLNAME3(fid).trimmed(); }

// An integer check failed: text, value in 10 characters, two blanks, the reference.
bool fail_int(int fid, std::string_view text, long long value, std::string_view prep) {
  warn(detail::int_check_line(text, value, prep, lname_of(fid)));
  return false;
}

// A real value in 14 characters with 7 significant digits: fixed-point and four blanks for
// zero and magnitudes from 0.1 up to 10 000 000, otherwise exponent form. The form goes by the
// value rounded to seven digits (9999999.7 is 1.0000000E+07), and a fixed value keeps its
// point when all seven digits stand before it (-2556000.).
void append_real(Line& line, double x) {
  std::array<char, 40> buf{};
  if (x == 0.0) {
    std::snprintf(buf.data(), buf.size(), "%10.6f    ", 0.0);
  } else {
    std::snprintf(buf.data(), buf.size(), "%.6e", x);
    const char* mark = std::strchr(buf.data(), 'e');
    const int e = mark != nullptr ? std::atoi(mark + 1) : 99;
    if (e >= -1 && e <= 6) {
      std::snprintf(buf.data(), buf.size(), "%#10.*f    ", 6 - e, x);
    } else {
      std::snprintf(buf.data(), buf.size(), "%14.7E", x);
    }
  }
  line << std::string_view(buf.data());
}

bool fail_real(int fid, std::string_view text, double value) {
  Line line;
  line << text;
  append_real(line, value);
  line << "  ";
  warn(detail::file_reference(line, "in ", lname_of(fid)));
  return false;
}

// A range check: a value below LO or above HI fails (so a NaN passes).
bool outside(double x, double lo, double hi) { return x < lo || x > hi; }

// The dimensions of each file type. Dictionaries and directed graphs skip every
// later step; the caller sees that through DONE.
bool check_type(int fid, bool& done) {
  const auto& b = state().b;
  const int ncols = b.NCOLS3(fid), nrows = b.NROWS3(fid), nthik = b.NTHIK3(fid);
  done = false;
  switch (b.FTYPE3(fid)) {
    case DCTNRY3:
    case DGRAPH3:
      done = true;
      return true;
    case CUSTOM3:
      return ncols > 0 || fail_int(fid, "Bad blob-size NCOLS", ncols, "for ");
    case GRDDED3:
    case kTypeSeven:
    case PTRFLY3:
      return (ncols > 0 || fail_int(fid, "Bad NCOLS", ncols, "for ")) &&
             (nrows > 0 || fail_int(fid, "Bad NROWS", nrows, "for "));
    case BNDARY3:
      return (ncols > 0 || fail_int(fid, "Bad NCOLS", ncols, "for ")) &&
             (nrows > 0 || fail_int(fid, "Bad NROWS", nrows, "for ")) &&
             (std::llabs(nthik) <= std::min(ncols, nrows) / 2 ||
              fail_int(fid, "Bad boundary width NTHIK", nthik, "for "));
    case IDDATA3:
      return nrows > 0 || fail_int(fid, "Bad max site count NROWS", nrows, "for ");
    case PROFIL3:
      return (nrows > 0 || fail_int(fid, "Bad max site count NROWS", nrows, "for ")) &&
             (ncols > 0 || fail_int(fid, "Bad max level count NCOLS", ncols, "for "));
    case GRNEST3:
      return (ncols > 0 || fail_int(fid, "Bad max cell-count NCOLS", ncols, "for ")) &&
             (nrows > 0 || fail_int(fid, "Bad max nest count NROWS", nrows, "for "));
    case SMATRX3:
      return (ncols > 0 || fail_int(fid, "Bad max matrix coeff-count NCOLS", ncols, "for ")) &&
             (nrows > 0 || fail_int(fid, "Bad matrix NROWS", nrows, "for ")) &&
             (nthik > 0 || fail_int(fid, "Bad full-matrix col-count NTHIK", nthik, "for "));
    case KFEVNT3:
      return (ncols > 0 || fail_int(fid, "Bad NCOLS", ncols, "for ")) &&
             (nrows > 0 || fail_int(fid, "Bad NROWS", nrows, "for ")) &&
             (nthik > 0 || fail_int(fid, "Bad NTHIK", nthik, "for "));
    default:
      return fail_int(fid, "Illegal file type:", b.FTYPE3(fid), "for ");
  }
}

// A flight-track file must carry its position variables.
bool check_flight_vars(int fid) {
  const auto& st = state();
  const auto names = std::span<const Name16>(st.c.VLIST3D.row(fid));
  constexpr std::array<std::string_view, 3> kNeeded = {"AIR_LAT", "AIR_LON", "AIR_ELV"};
  for (std::string_view needed : kNeeded) {
    if (INDEX1(needed, st.b.NVARS3(fid), names) > 0) continue;
    Line line;
    line << "Variable " << needed << " not found in PTRFLY3-type file \""
         << st.c.FLNAME3(fid).trimmed() << "\"";
    XQWARN(needed == "AIR_ELV" ? "CKFILE" : "CKFILE3", 0, 0, line);
    return false;
  }
  return true;
}

// The variable list.
bool check_variables(int fid) {
  const auto& st = state();
  const int nvars = st.b.NVARS3(fid);
  if (nvars < 0) return fail_int(fid, "Illegal number of variables:", nvars, "for ");
  if (nvars == 0) fail_int(fid, "WARNING:  number of variables:", nvars, "for ");
  const std::string_view lname = st.c.FLNAME3(fid).trimmed();
  for (int v = 1; v <= nvars && v <= MXVARS3; ++v) {
    const Name16& name = st.c.VLIST3D(v, fid);
    if (!CKNAME(name.padded())) {
      warn(Line() << "Illegal variable name \"" << name.padded() << "\" in file "
                  << st.c.FLNAME3(fid).padded());
      return false;
    }
    const int type = st.b.VTYPE3(v, fid);
    if (type != XQINT && type != XQREAL && type != XQDBLE) {
      warn(Line() << "Illegal data type " << NumField(type, 10) << "  for variable \""
                  << name.trimmed() << "\" in file \"" << lname << "\"");
      return false;
    }
    for (int w = 1; w < v; ++w) {
      if (st.c.VLIST3D(w, fid) == name) {
        warn(Line() << "Variable name VLIST3D(" << NumField(v, 5) << "  ) = \"" << name.trimmed()
                    << "\" duplicates VLIST3D(" << NumField(w, 5) << "  ) = \"" << name.trimmed()
                    << "\" in file \"" << lname << "\"");
        return false;
      }
    }
  }
  return true;
}

// Centre, then the three projection parameters, of grid types 2, 3, 4 and 6.
bool check_projection(int fid, double beta_lo, double beta_hi, bool alpha_unit) {
  const auto& b = state().b;
  const double alp = b.P_ALP3(fid), bet = b.P_BET3(fid), gam = b.P_GAM3(fid);
  if (outside(b.XCENT3(fid), -180.0, 180.0)) return fail_real(fid, "Bad X-Y origin", b.XCENT3(fid));
  if (outside(b.YCENT3(fid), -90.0, 90.0)) return fail_real(fid, "Bad X-Y origin", b.YCENT3(fid));
  if (alpha_unit ? (alp != 1.0 && alp != -1.0) : outside(alp, -90.0, 90.0)) {
    return fail_real(fid, "Bad PROJ-ALPHA", alp);
  }
  if (outside(bet, beta_lo, beta_hi)) return fail_real(fid, "Bad PROJ-BETA", bet);
  if (outside(gam, -180.0, 180.0)) return fail_real(fid, "Bad PROJ-GAMMA", gam);
  return true;
}

// The horizontal grid.
bool check_horizontal(int fid) {
  const auto& b = state().b;
  const int gdtyp = b.GDTYP3(fid);
  switch (gdtyp) {
    case 1:
      if (outside(b.XORIG3(fid), -180.0, 180.0))
        return fail_real(fid, "Bad grid origin", b.XORIG3(fid));
      if (outside(b.YORIG3(fid), -90.0, 90.0))
        return fail_real(fid, "Bad grid origin", b.YORIG3(fid));
      return true;
    case 2:
      return check_projection(fid, b.P_ALP3(fid), 90.0, false);
    case 3:
    case 4:
      return check_projection(fid, -180.0, 180.0, false);
    case 5: {
      const double alp = b.P_ALP3(fid);
      // The tolerance is the single-precision 0.01, compared in double precision.
      const double tolerance = static_cast<double>(0.01F);
      if (outside(alp, 0.9, 36.1) || std::fabs(alp - std::round(alp)) > tolerance) {
        return fail_real(fid, "Bad PROJ-ALPHA", alp);
      }
      return true;
    }
    case 6:
      return check_projection(fid, -90.0, 90.0, true);
    case IMISSING3:
      warn(detail::missing_horizontal_line(gdtyp, lname_of(fid)));
      return true;
    default:
      return fail_int(fid, "Illegal horizontal grid/coordinate type:", gdtyp, "in ");
  }
}

// The vertical grid, from the file's own VGTYP and VGLVLS.
bool check_vertical(int fid) {
  const auto& st = state();
  const int nlays = st.b.NLAYS3(fid);
  const std::string_view lname = st.c.FLNAME3(fid).trimmed();
  if (nlays <= 0) {
    if (st.b.FTYPE3(fid) == KFEVNT3) return true;
    return fail_int(fid, "Illegal vertical layer dimension:", nlays, "in ");
  }
  if (nlays == 1) return true;
  const int ncid = st.b.NCID3(fid);
  int vgtyp = IMISSING3;
  int status = detail::get_int_att(ncid, NC_GLOBAL, layout::kVgtypAtt, vgtyp);
  if (status != NC_NOERR) {
    // Without a readable VGTYP the vertical grid type counts as missing.
    warn(Line() << "netCDF error" << NumField(status, 10) << "  reading VGTYP for file \"" << lname
                << "\"");
    vgtyp = IMISSING3;
  }
  std::array<float, MXLEVS3> levels{};
  int count = 0;
  status = detail::get_float_atts(ncid, NC_GLOBAL, layout::kVglvlsAtt, levels, count);
  if (status != NC_NOERR) {
    warn(Line() << "netCDF error" << NumField(status, 10) << "  reading VGLVLS for file \"" << lname
                << "\"");
    return false;
  }
  // Levels 1..N+1, N = min(NLAYS, 100), as far as the file holds them.
  const int n = std::min(std::min(nlays, layout::kStoredLevels) + 1, count);
  if (n >= 2) {
    const bool increasing = levels[0] < levels[1];
    for (int k = 2; k < n; ++k) {
      const float lo = levels[static_cast<std::size_t>(k - 1)];
      const float hi = levels[static_cast<std::size_t>(k)];
      if (increasing ? !(hi > lo) : hi > lo) {
        return fail_int(fid, "Bad layer monotonicity at layer", k, "in ");
      }
    }
  }
  if (vgtyp == IMISSING3) {
    warn(detail::missing_vertical_line(vgtyp, lname));
    return true;
  }
  if (vgtyp >= 1 && vgtyp <= 8) return true;
  return fail_int(fid, "Unknown vertical grid/coordinate type:", vgtyp, "in ");
}

}  // namespace

bool CKFILE3(int fid) {
  if (!detail::setting("KAVRO_CHECK_HEADERS", "CKFILE3")) return true;
  bool done = false;
  if (!check_type(fid, done)) return false;
  if (done) return true;
  if (state().b.FTYPE3(fid) == PTRFLY3 && !check_flight_vars(fid)) return false;
  return check_variables(fid) && check_horizontal(fid) && check_vertical(fid);
}

namespace test_hooks {
void reset_header_checks() { detail::forget_setting("KAVRO_CHECK_HEADERS"); }
}  // namespace test_hooks

}  // namespace kavro
