// CKDESC3 and CHKFIL3: the description record checked before a file is created from it, and
// checked against the header of a file opened "UNKNOWN". Both only report to the log and
// answer; neither changes the state tables.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <span>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "open/check_lines.h"
#include "open/open.h"
#include "settings/settings_table.h"

namespace kavro {

namespace {

using detail::CheckLine;
using detail::int_check_line;
using detail::NumField;

// ---- CKDESC3 ----------------------------------------------------------------------------------

// The checks of one description: each failed check logs its line and marks the description
// bad; the checks go on.
class DescCheck {
 public:
  explicit DescCheck(std::string_view fname) : fname_(trimmed(fname)) {}
  std::string_view fname() const { return fname_; }
  bool failed() const { return failed_; }

  void fail(std::string_view line) {
    XQMSG2(line);
    failed_ = true;
  }
  // A size: the label, the value and "for file".
  void size(bool ok, std::string_view label, long long value) {
    if (!ok) fail(int_check_line(label, value, "for ", fname_));
  }
  // An angle in the closed range [LO, HI]; a NaN is in no range.
  void angle(double x, double lo, double hi, std::string_view label) {
    if (x >= lo && x <= hi) return;
    real_failure(label, x);
  }
  // The label, the value in exponent form (14 characters), "in file".
  void real_failure(std::string_view label, double x) {
    CheckLine line;
    (line << label).format("%14.7E", x) << "  ";
    fail(detail::file_reference(line, "in ", fname_));
  }

 private:
  std::string_view fname_;
  bool failed_ = false;
};

bool bad_description() {
  XQWARN("CKDESC", 0, 0, "Bad file description found");
  return false;
}

// Whatever the setting: the variable count before any name is looked at, then the
// duplicated names (reported only). A count the description record cannot hold refuses the
// description: a negative one would make a file no opener accepts, one above 2048 would
// take names from past the end of the name table.
bool check_count_and_names(const DescCheck& c) {
  const int nvars = BDESC3.NVARS3D;
  if (nvars < 0) {
    XQMSG2(int_check_line("Illegal negative number of variables:", nvars, "for ", c.fname()));
    return false;
  }
  if (nvars > MXVARS3) {
    XQMSG2(int_check_line("Number of variables exceeds MXVARS3 = 2048:", nvars, "for ", c.fname()));
    return false;
  }
  const std::span<const Name16> names(CDESC3.VNAME3D.data(), static_cast<std::size_t>(nvars));
  for (std::size_t i = 1; i < names.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (!(names[i] == names[j])) continue;
      XQMSG2(CheckLine() << "Variable name VNAME3D(" << NumField(static_cast<long long>(i + 1), 5)
                         << "  ) = \"" << names[i].trimmed() << "\" duplicates VNAME3D("
                         << NumField(static_cast<long long>(j + 1), 5) << "  ) = \""
                         << names[j].trimmed() << "\" in file \"" << c.fname() << "\"");
    }
  }
  return true;
}

// A flight-track file must carry its position variables.
void check_flight_vars(DescCheck& c) {
  const std::span<const Name16> names(CDESC3.VNAME3D);
  for (std::string_view needed : {"AIR_LAT", "AIR_LON", "AIR_ELV"}) {
    if (INDEX1(needed, BDESC3.NVARS3D, names) > 0) continue;
    c.fail(CheckLine() << "Variable " << needed << " not found in PTRFLY3-type file " << c.fname()
                       << "\"");
  }
}

// The sizes of each file type.
void check_sizes(DescCheck& c) {
  const long long ncols = BDESC3.NCOLS3D, nrows = BDESC3.NROWS3D, nthik = BDESC3.NTHIK3D;
  switch (BDESC3.FTYPE3D) {
    case GRDDED3:
    case kTypeSeven:
    case KFEVNT3:
      c.size(ncols >= 1, "Bad NCOLS", ncols);
      c.size(nrows >= 1, "Bad NROWS", nrows);
      break;
    case BNDARY3:
      c.size(ncols >= 1, "Bad NCOLS", ncols);
      c.size(nrows >= 1, "Bad NROWS", nrows);
      c.size(std::llabs(nthik) <= std::min(ncols, nrows) + 1, "Bad boundary width NTHIK", nthik);
      break;
    case IDDATA3:
      c.size(nrows >= 1, "Bad max site count NROWS", nrows);
      break;
    case PROFIL3:
      c.size(nrows >= 1, "Bad max site count NROWS", nrows);
      c.size(ncols >= 1, "Bad max level count NCOLS", ncols);
      break;
    case GRNEST3:
      c.size(ncols >= 1, "Bad max cell-count NCOLS", ncols);
      c.size(nrows >= 1, "Bad max nest count NROWS", nrows);
      break;
    case SMATRX3:
      c.size(ncols >= 1, "Bad max matrix coeff-count NCOLS", ncols);
      c.size(nrows >= 1, "Bad matrux NROWS", nrows);
      c.size(nthik >= 1, "Bad full-matrix col-count NTHIK", nthik);
      break;
    case PTRFLY3:
      c.size(ncols >= 1, "Bad NCOLS", ncols);
      c.size(nrows >= 1, "Bad NROWS", nrows);
      if (nrows >= 1) check_flight_vars(c);
      break;
    case CUSTOM3:
      c.size(ncols >= 1, "Bad blob-size NCOLS", ncols);
      break;
    default:
      break;
  }
}

// Names, data types and units of the variables.
void check_variables(DescCheck& c) {
  const int nvars = BDESC3.NVARS3D;
  if (nvars == 0)
    XQMSG2(int_check_line("WARNING:  number of variables:", nvars, "for ", c.fname()));
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    const std::string_view name = CDESC3.VNAME3D[v].trimmed();
    if (!CKNAME(CDESC3.VNAME3D[v].padded())) {
      c.fail(CheckLine() << "Illegal variable name \"" << name << "\" in file " << c.fname()
                         << "\"");
    }
    const int type = BDESC3.VTYPE3D[v];
    if (type != XQINT && type != XQREAL && type != XQDBLE) {
      c.fail(CheckLine() << "Illegal data type " << NumField(type, 10) << "  for variable \""
                         << name << "\" in file \"" << c.fname() << "\"");
    }
    const Name16& units = CDESC3.UNITS3D[v];
    if (units.trimmed().empty() || units[0] == '\0') {
      c.fail(CheckLine() << "No UNITS specifier for variable \"" << name << "\" in file \""
                         << c.fname() << "\"");
    }
  }
}

// What a projection's parameters must satisfy, by horizontal grid type.
enum class Alpha { kNone, kLatitude, kUnit };                  // -, [-90, 90], +1 or -1
enum class Beta { kNone, kFromAlpha, kLongitude, kLatitude };  // -, [P_ALP, 90], ±180, ±90

struct ProjectionChecks {
  int gdtyp;
  Alpha alpha;
  Beta beta;
  bool gamma;  // P_GAM in [-180, 180]
};

constexpr std::array<ProjectionChecks, 8> kProjections = {{
    {2, Alpha::kLatitude, Beta::kFromAlpha, true},
    {3, Alpha::kLatitude, Beta::kLongitude, true},
    {4, Alpha::kLatitude, Beta::kLongitude, false},
    {6, Alpha::kUnit, Beta::kLatitude, true},
    {7, Alpha::kLatitude, Beta::kNone, true},
    {8, Alpha::kNone, Beta::kNone, true},
    {9, Alpha::kLatitude, Beta::kFromAlpha, true},
    {10, Alpha::kLatitude, Beta::kNone, true},
}};

// The projection centre, then the parameters of one grid type's row.
void check_projection(DescCheck& c, const ProjectionChecks& p) {
  const double alp = BDESC3.P_ALP3D, bet = BDESC3.P_BET3D;
  c.angle(BDESC3.XCENT3D, -180.0, 180.0, "Bad X-Y origin");
  c.angle(BDESC3.YCENT3D, -90.0, 90.0, "Bad X-Y origin");
  if (p.alpha == Alpha::kLatitude) c.angle(alp, -90.0, 90.0, "Bad PROJ-ALPHA");
  if (p.alpha == Alpha::kUnit) {
    // +1 or -1 within the single-precision 0.00001.
    const bool unit =
        std::fabs(alp) <= 2.0 && std::fabs(std::fabs(static_cast<float>(alp)) - 1.0F) <= 0.00001F;
    if (!unit) c.real_failure("Bad PROJ-ALPHA", alp);
  }
  if (p.beta == Beta::kFromAlpha) c.angle(bet, alp, 90.0, "Bad PROJ-BETA");
  if (p.beta == Beta::kLongitude) c.angle(bet, -180.0, 180.0, "Bad PROJ-BETA");
  if (p.beta == Beta::kLatitude) c.angle(bet, -90.0, 90.0, "Bad PROJ-BETA");
  if (p.gamma) c.angle(BDESC3.P_GAM3D, -180.0, 180.0, "Bad PROJ-GAMMA");
}

// The horizontal grid.
void check_horizontal(DescCheck& c) {
  const int gdtyp = BDESC3.GDTYP3D;
  const auto row = std::find_if(kProjections.begin(), kProjections.end(),
                                [gdtyp](const ProjectionChecks& p) { return p.gdtyp == gdtyp; });
  if (row != kProjections.end()) {
    check_projection(c, *row);
  } else if (gdtyp == 1) {
    c.angle(BDESC3.XORIG3D, -180.0, 180.0, "Bad grid origin");
    c.angle(BDESC3.YORIG3D, -90.0, 90.0, "Bad grid origin");
  } else if (gdtyp == 5) {
    // A zone number 1..36, within the single-precision 0.01 of a whole number.
    const double alp = BDESC3.P_ALP3D;
    const double tolerance = static_cast<double>(0.01F);
    if (!(alp >= 0.9 && alp <= 36.1 && std::fabs(alp - std::round(alp)) <= tolerance)) {
      c.real_failure("Bad PROJ-ALPHA", alp);
    }
  } else if (gdtyp == IMISSING3) {
    XQMSG2(detail::missing_horizontal_line(gdtyp, c.fname()));
  } else {
    c.fail(int_check_line("Illegal horizontal grid/coordinate type:", gdtyp, "in ", c.fname()));
  }
}

// The vertical structure; an illegal layer count or vertical grid type ends it.
void check_vertical(DescCheck& c) {
  const int nlays = BDESC3.NLAYS3D;
  if (nlays < 1 && BDESC3.FTYPE3D >= CUSTOM3) {
    c.fail(int_check_line("Illegal vertical layer dimension:", nlays, "in ", c.fname()));
    return;
  }
  if (nlays == 1) return;
  const int vgtyp = BDESC3.VGTYP3D;
  if (vgtyp == IMISSING3) {
    XQMSG2(detail::missing_vertical_line(vgtyp, c.fname()));
  } else if (vgtyp < 1 || vgtyp > 8) {
    c.fail(int_check_line("Unknown vertical grid/coordinate type:", vgtyp, "in ", c.fname()));
    return;
  }
  // Levels 1..N+1, N = min(NLAYS, 100), all one way: strictly increasing, or never increasing.
  const auto& levels = BDESC3.VGLVS3D;
  const bool increasing = levels[0] < levels[1];
  const int n = std::min(nlays, MXLAYS3);
  for (int l = 2; l <= n; ++l) {
    const float lo = levels[static_cast<std::size_t>(l - 1)];
    const float hi = levels[static_cast<std::size_t>(l)];
    if (increasing ? lo < hi : !(lo < hi)) continue;
    c.fail(int_check_line("Bad layer monotonicity at layer", l, "in ", c.fname()));
  }
}

// ---- CHKFIL3 ----------------------------------------------------------------------------------

// Whether a caller's value C and a file's value F differ: both must be above -9.0E36 (in
// single precision; a value at or below it is missing and not compared), and their difference
// relative to sqrt(C^2 + F^2 + 0.00001) above TOLERANCE, computed in T.
template <typename T>
bool differ(T c, T f, T tolerance) {
  const T missing = static_cast<T>(-9.0E36F);
  if (!(c > missing && f > missing)) return false;
  if (!std::isfinite(c) || !std::isfinite(f)) return !(c == f);
  return std::fabs(c - f) / std::hypot(c, f, std::sqrt(static_cast<T>(0.00001))) > tolerance;
}

// The comparison of a caller's description with the file in one slot: every mismatch writes
// its warning block and makes the result false; the comparison goes on.
class FileMatch {
 public:
  explicit FileMatch(int fid) : lname_(state().c.FLNAME3(fid).padded()) {}
  bool matched() const { return matched_; }

  void block(std::initializer_list<std::string_view> lines) {
    detail::warning_block("CHKFIL3", lines);
    matched_ = false;
  }
  void integer(std::string_view att, int file, int caller) {
    if (file == caller) return;
    block({CheckLine() << "Inconsistent file attribute " << att << " for file " << lname_,
           CheckLine() << "Value from file:  " << NumField(file, 9),
           CheckLine() << "Value from caller:" << NumField(caller, 9)});
  }
  void grid_value(std::string_view att, double file, double caller) {
    if (!differ(caller, file, 0.000001)) return;
    block({CheckLine() << "Inconsistent file attribute " << att << " for file " << lname_,
           CheckLine("Value from file:  ").format("%24.17E", file),
           CheckLine("Value from caller:").format("%24.17E", caller)});
  }
  void model_top(float file, float caller) {
    if (!differ(caller, file, 0.00001F)) return;
    block({CheckLine() << "Inconsistent file attribute VGTOP for file " << lname_,
           CheckLine("Value from file:  ").format("%12.5E", static_cast<double>(file)),
           CheckLine("Value from caller:").format("%12.5E", static_cast<double>(caller))});
  }
  void level(int l, float file, float caller) {
    if (!differ(caller, file, 0.00001F)) return;
    block({CheckLine() << "Inconsistent attribute VGLVLS for file " << lname_,
           CheckLine("Value from file:  ").format("%12.5E", static_cast<double>(file)),
           CheckLine("Value from caller:").format("%12.5E", static_cast<double>(caller)),
           CheckLine() << "Error at level    " << NumField(l, 9)});
  }
  std::string_view lname() const { return lname_; }

 private:
  std::string_view lname_;
  bool matched_ = true;
};

struct GridValue {
  std::string_view att;
  double Bdesc3::*caller;
  PerSlot<double> Bstate3::*file;
};

constexpr std::array<GridValue, 9> kGridValues = {{
    {"P_ALP", &Bdesc3::P_ALP3D, &Bstate3::P_ALP3},
    {"P_BET", &Bdesc3::P_BET3D, &Bstate3::P_BET3},
    {"P_GAM", &Bdesc3::P_GAM3D, &Bstate3::P_GAM3},
    {"XCENT", &Bdesc3::XCENT3D, &Bstate3::XCENT3},
    {"YCENT", &Bdesc3::YCENT3D, &Bstate3::YCENT3},
    {"XORIG", &Bdesc3::XORIG3D, &Bstate3::XORIG3},
    {"YORIG", &Bdesc3::YORIG3D, &Bstate3::YORIG3},
    {"XCELL", &Bdesc3::XCELL3D, &Bstate3::XCELL3},
    {"YCELL", &Bdesc3::YCELL3D, &Bstate3::YCELL3},
}};

// Time step, start, sizes and grid type.
void match_time_and_sizes(FileMatch& m, int fid) {
  const Bstate3& b = state().b;
  m.integer("TSTEP", b.TSTEP3(fid), BDESC3.TSTEP3D);
  // The caller's start must lie on the file's time axis, at or after its start.
  if (BDESC3.TSTEP3D != 0 &&
      JSTEP3(BDESC3.SDATE3D, BDESC3.STIME3D, b.SDATE3(fid), b.STIME3(fid), BDESC3.TSTEP3D) < 1) {
    m.block({CheckLine() << "Inconsistent SDATE:STIME for file " << m.lname(),
             CheckLine() << "Value from file:  " << NumField(b.SDATE3(fid), 9) << ":"
                         << detail::six_digits(b.STIME3(fid)),
             CheckLine() << "Value from caller:" << NumField(BDESC3.SDATE3D, 9) << ":"
                         << detail::six_digits(BDESC3.STIME3D)});
  }
  const int ftype = b.FTYPE3(fid);
  if (ftype == BNDARY3) m.integer("NTHIK", b.NTHIK3(fid), BDESC3.NTHIK3D);
  if (ftype != IDDATA3) m.integer("NCOLS", b.NCOLS3(fid), BDESC3.NCOLS3D);
  if (ftype != CUSTOM3) m.integer("NROWS", b.NROWS3(fid), BDESC3.NROWS3D);
  m.integer("NLAYS", b.NLAYS3(fid), BDESC3.NLAYS3D);
  m.integer("GDTYP", b.GDTYP3(fid), BDESC3.GDTYP3D);
}

// The vertical grid of the file's own header, as its opener or creator stored it in the slot,
// for a file of two or more layers of a kind whose headers are compared so.
void match_vertical(FileMatch& m, int fid) {
  const Bstate3& b = state().b;
  if (!detail::kind_of(fid).checks_vertical || BDESC3.NLAYS3D < 2) return;
  m.integer("VGTYP", b.VGTYP3(fid), BDESC3.VGTYP3D);
  m.model_top(b.VGTOP3(fid), BDESC3.VGTOP3D);
  // Levels 1..min(NLAYS + 1, 100), as far as the file holds them.
  const int n =
      std::min(std::min(BDESC3.NLAYS3D, layout::kStoredLevels - 1) + 1, b.header_levels(fid));
  for (int l = 1; l <= n; ++l) {
    const auto i = static_cast<std::size_t>(l - 1);
    m.level(l, b.VGLVS3(fid)[i], BDESC3.VGLVS3D[i]);
  }
}

// The variable list and types, over the file's variables.
void match_variables(FileMatch& m, int fid) {
  const int nvars = detail::described_vars(fid);
  for (int v = 1; v <= nvars; ++v) {
    const auto i = static_cast<std::size_t>(v - 1);
    const Name16& mine = CDESC3.VNAME3D[i];
    const Name16& theirs = state().c.VLIST3D(v, fid);
    if (!CKNAME(mine.padded())) {
      m.block({CheckLine() << "Illegal variable name \"" << mine.padded() << "\" in file "
                           << m.lname()});
    }
    if (!(mine == theirs)) {
      m.block({CheckLine() << "Inconsistent variable list for file " << m.lname(),
               CheckLine() << "Value from file:   " << theirs.padded(),
               CheckLine() << "Value from caller: " << mine.padded()});
    }
    const int file_type = state().b.VTYPE3(v, fid);
    if (file_type != BDESC3.VTYPE3D[i]) {
      m.block({CheckLine() << "Inconsistent type for variable " << mine.padded() << " from file "
                           << m.lname(),
               CheckLine() << "Value from file:  " << NumField(file_type, 9),
               CheckLine() << "Value from caller:" << NumField(BDESC3.VTYPE3D[i], 9)});
    }
  }
}

}  // namespace

bool CKDESC3(std::string_view fname) {
  // An empty line before the setting is first read.
  if (!detail::setting_read("KAVRO_CHECK_HEADERS")) XQMSG2("");
  const bool checks = detail::setting("KAVRO_CHECK_HEADERS", "CKDESC3");
  DescCheck c(fname);
  if (!check_count_and_names(c)) return bad_description();
  if (!checks) return true;
  const int ftype = BDESC3.FTYPE3D;
  if (ftype < KFEVNT3 || ftype > PTRFLY3) {
    XQWARN("CKDESC3", 0, 0, int_check_line("Illegal file type:", ftype, "for ", c.fname()));
    return false;
  }
  if (ftype == DCTNRY3 || ftype == DGRAPH3) return true;
  check_sizes(c);
  check_variables(c);
  check_horizontal(c);
  check_vertical(c);
  return c.failed() ? bad_description() : true;
}

bool CHKFIL3(int fid) {
  const Bstate3& b = state().b;
  FileMatch m(fid);
  m.integer("FTYPE", b.FTYPE3(fid), BDESC3.FTYPE3D);
  m.integer("NVARS", b.NVARS3(fid), BDESC3.NVARS3D);
  // A dictionary has no grid or time axis to match: its file type is all that counts.
  if (b.FTYPE3(fid) == DCTNRY3) return true;
  match_time_and_sizes(m, fid);
  for (const GridValue& g : kGridValues) m.grid_value(g.att, (b.*g.file)(fid), BDESC3.*g.caller);
  match_vertical(m, fid);
  if (!(state().c.GDNAM3(fid) == CDESC3.GDNAM3D)) {
    m.block({CheckLine() << "Inconsistent grid name for file " << m.lname(),
             CheckLine() << "Value from file:  " << state().c.GDNAM3(fid).padded(),
             CheckLine() << "Value from caller:" << CDESC3.GDNAM3D.padded()});
  }
  match_variables(m, fid);
  return m.matched();
}

}  // namespace kavro
