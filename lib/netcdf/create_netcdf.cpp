// CRTFIL3: a new file from the description record. The checks every kind shares come first;
// then the creator of the slot's kind makes the file: the netCDF header below, in the layout's
// order, or a native binary file in its own module.
#include <netcdf.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "netcdf/header_atts.h"
#include "netcdf/netcdf_ops.h"
#include "netcdf/netcdf_routines.h"
#include "util/layer_size.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::nc_ok;

// Columns of KFCOUNT zeroed by one write.
constexpr int kZeroPiece = 8192;

// The creation mode of a new file.
int creation_mode(bool large_offsets) {
  return NC_SHARE | NC_NOCLOBBER | (large_offsets ? NC_64BIT_OFFSET : 0);
}

// A new netCDF file being written: every call reports its failure through the funnel with
// the step's text, and the first failure ends the creation.
class HeaderWriter {
 public:
  HeaderWriter(int fid, int ncid) : fid_(fid), ncid_(ncid) {}

  bool text(int varid, std::string_view name, std::string_view value, std::string_view failure) {
    const detail::NcName n(name);
    return nc_ok(nc_put_att_text(ncid_, varid, n.c_str(), value.size(), value.data()), fid_,
                 failure);
  }
  bool ints(std::string_view name, std::span<const int> v, std::string_view failure) {
    const detail::NcName n(name);
    return nc_ok(nc_put_att_int(ncid_, NC_GLOBAL, n.c_str(), NC_INT, v.size(), v.data()), fid_,
                 failure);
  }
  bool one_int(std::string_view name, int v, std::string_view failure) {
    return ints(name, std::span<const int>(&v, 1), failure);
  }
  bool one_double(std::string_view name, double v, std::string_view failure) {
    const detail::NcName n(name);
    return nc_ok(nc_put_att_double(ncid_, NC_GLOBAL, n.c_str(), NC_DOUBLE, 1, &v), fid_, failure);
  }
  bool floats(int varid, std::string_view name, std::span<const float> v,
              std::string_view failure) {
    const detail::NcName n(name);
    return nc_ok(nc_put_att_float(ncid_, varid, n.c_str(), NC_FLOAT, v.size(), v.data()), fid_,
                 failure);
  }
  bool dim(std::string_view name, std::size_t len, std::string_view failure) {
    const detail::NcName n(name);
    int id = 0;
    if (!nc_ok(nc_def_dim(ncid_, n.c_str(), len, &id), fid_, failure)) return false;
    dims_[std::string(name)] = id;
    return true;
  }
  // A variable of the given shape (dimension names, slowest first); its id into ID.
  bool var(std::string_view name, int type, std::span<const std::string_view> shape, int& id,
           std::string_view failure) {
    std::array<int, NC_MAX_VAR_DIMS> ids{};
    for (std::size_t i = 0; i < shape.size(); ++i) ids[i] = dims_.at(std::string(shape[i]));
    const detail::NcName n(name);
    return nc_ok(nc_def_var(ncid_, n.c_str(), static_cast<nc_type>(type),
                            static_cast<int>(shape.size()), ids.data(), &id),
                 fid_, failure);
  }
  int ncid() const { return ncid_; }

 private:
  int fid_;
  int ncid_;
  std::map<std::string, int> dims_;
};

// "Error creating netCDF file attribute " + NAME (+ TAIL).
MsgBuf<80> att_failure(std::string_view name, std::string_view tail = "") {
  return MsgBuf<80>("Error creating netCDF file attribute ") << name << tail;
}

// A fixed dimension's length: a zero or negative one would be the unlimited dimension.
std::size_t fixed_length(std::int64_t n) {
  return n < 1 ? 1 : static_cast<std::size_t>(std::min<std::int64_t>(n, INT32_MAX));
}

// The warning block of the three failures written straight to the log.
void warning_block(std::string_view first, std::string_view second, int number) {
  detail::put_log_line("");
  detail::put_log_line("");
  detail::put_log_line(">>> WARNING in subroutine CRTFIL3 <<<");
  detail::put_log_line(first);
  detail::put_log_line(MsgBuf<160>(second) << detail::right_justified(number, 5));
  detail::put_log_line("");
  detail::put_log_line("");
  detail::flush_log();
}

// The attributes every file starts with, the dictionary's too.
bool common_header(HeaderWriter& w, int fid) {
  Bstate3& b = state().b;
  const Cstate3& c = state().c;
  b.FTYPE3(fid) = BDESC3.FTYPE3D;
  return w.text(NC_GLOBAL, layout::kVersionAtt, c.LIBVERS3.trimmed(),
                att_failure(layout::kVersionAtt)) &&
         w.text(NC_GLOBAL, layout::kExecIdAtt, c.EXECID3.padded(),
                att_failure(layout::kExecIdAtt, " ")) &&
         w.one_int(layout::kFtypeAtt, BDESC3.FTYPE3D, att_failure(layout::kFtypeAtt)) &&
         w.one_int(layout::kCdateAtt, b.RUNDATE3, att_failure(layout::kCdateAtt)) &&
         w.one_int(layout::kCtimeAtt, b.RUNTIME3, att_failure(layout::kCtimeAtt)) &&
         w.one_int(layout::kWdateAtt, b.RUNDATE3, att_failure(layout::kWdateAtt)) &&
         w.one_int(layout::kWtimeAtt, b.RUNTIME3, att_failure(layout::kWtimeAtt));
}

// Time, sizes, projection and vertical grid, each also into the slot.
bool description_header(HeaderWriter& w, int fid) {
  Bstate3& b = state().b;
  int sdate = BDESC3.SDATE3D;
  int stime = BDESC3.STIME3D;
  NEXTIME(sdate, stime, 0);
  b.SDATE3(fid) = sdate;
  b.STIME3(fid) = stime;
  b.TSTEP3(fid) = BDESC3.TSTEP3D;
  b.MXREC3(fid) = 0;
  b.NTHIK3(fid) = BDESC3.NTHIK3D;
  b.NCOLS3(fid) = BDESC3.NCOLS3D;
  b.NROWS3(fid) = BDESC3.NROWS3D;
  b.NLAYS3(fid) = BDESC3.NLAYS3D;
  b.NVARS3(fid) = BDESC3.NVARS3D;
  b.GDTYP3(fid) = BDESC3.GDTYP3D;
  struct IntAtt {
    std::string_view name;
    int value;
  };
  for (const IntAtt& a :
       {IntAtt{layout::kSdateAtt, sdate}, IntAtt{layout::kStimeAtt, stime},
        IntAtt{layout::kTstepAtt, BDESC3.TSTEP3D}, IntAtt{layout::kNthikAtt, BDESC3.NTHIK3D},
        IntAtt{layout::kNcolsAtt, BDESC3.NCOLS3D}, IntAtt{layout::kNrowsAtt, BDESC3.NROWS3D},
        IntAtt{layout::kNlaysAtt, BDESC3.NLAYS3D}, IntAtt{layout::kNvarsAtt, BDESC3.NVARS3D},
        IntAtt{layout::kGdtypAtt, BDESC3.GDTYP3D}}) {
    if (!w.one_int(a.name, a.value, att_failure(a.name))) return false;
  }
  struct RealAtt {
    std::string_view name;
    double value;
    PerSlot<double> Bstate3::*table;
  };
  for (const RealAtt& a : {RealAtt{layout::kPalpAtt, BDESC3.P_ALP3D, &Bstate3::P_ALP3},
                           RealAtt{layout::kPbetAtt, BDESC3.P_BET3D, &Bstate3::P_BET3},
                           RealAtt{layout::kPgamAtt, BDESC3.P_GAM3D, &Bstate3::P_GAM3},
                           RealAtt{layout::kXcentAtt, BDESC3.XCENT3D, &Bstate3::XCENT3},
                           RealAtt{layout::kYcentAtt, BDESC3.YCENT3D, &Bstate3::YCENT3},
                           RealAtt{layout::kXorigAtt, BDESC3.XORIG3D, &Bstate3::XORIG3},
                           RealAtt{layout::kYorigAtt, BDESC3.YORIG3D, &Bstate3::YORIG3},
                           RealAtt{layout::kXcellAtt, BDESC3.XCELL3D, &Bstate3::XCELL3},
                           RealAtt{layout::kYcellAtt, BDESC3.YCELL3D, &Bstate3::YCELL3}}) {
    (b.*a.table)(fid) = a.value;
    if (!w.one_double(a.name, a.value, att_failure(a.name, " "))) return false;
  }
  b.VGTYP3(fid) = BDESC3.VGTYP3D;
  b.VGTOP3(fid) = BDESC3.VGTOP3D;
  b.VGLVS3(fid).fill(0.0F);
  std::copy_n(BDESC3.VGLVS3D.begin(), detail::level_count(BDESC3.NLAYS3D, 0, MXLEVS3),
              b.VGLVS3(fid).begin());
  const auto stored = static_cast<std::size_t>(
      detail::level_count(BDESC3.NLAYS3D, 1, static_cast<int>(layout::kStoredLevels)));
  b.header_levels(fid) = static_cast<int>(stored);
  const float top = BDESC3.VGTOP3D;
  return w.one_int(layout::kVgtypAtt, BDESC3.VGTYP3D, att_failure(layout::kVgtypAtt, " ")) &&
         w.floats(NC_GLOBAL, layout::kVgtopAtt, std::span<const float>(&top, 1),
                  att_failure(layout::kVgtopAtt, " ")) &&
         w.floats(NC_GLOBAL, layout::kVglvlsAtt,
                  std::span<const float>(BDESC3.VGLVS3D.data(), stored),
                  att_failure(layout::kVglvlsAtt, " "));
}

// 60 lines of 80 characters as one text.
std::string lines_text(std::span<const Line80> lines) {
  std::string t;
  t.reserve(static_cast<std::size_t>(layout::kDescTextLen));
  for (const Line80& l : lines) t.append(l.padded());
  return t;
}

// Names and descriptions.
bool names_header(HeaderWriter& w, int fid, std::string_view pname) {
  Cstate3& c = state().c;
  c.GDNAM3(fid) = CDESC3.GDNAM3D;
  if (!w.text(NC_GLOBAL, layout::kGdnamAtt, CDESC3.GDNAM3D.padded(),
              att_failure(layout::kGdnamAtt, " ")) ||
      !w.text(NC_GLOBAL, layout::kUpnamAtt, Name16(pname).padded(),
              att_failure(layout::kUpnamAtt, " "))) {
    return false;
  }
  if (BDESC3.NVARS3D > 0) {
    std::string list;
    for (int v = 0; v < BDESC3.NVARS3D; ++v) {
      list.append(CDESC3.VNAME3D[static_cast<std::size_t>(v)].padded());
    }
    if (!w.text(NC_GLOBAL, layout::kVarListAtt, list, "Error creating attribute VAR-LIST ")) {
      return false;
    }
  }
  return w.text(NC_GLOBAL, layout::kFiledescAtt, lines_text(CDESC3.FDESC3D),
                att_failure(layout::kFiledescAtt, " ")) &&
         w.text(NC_GLOBAL, layout::kHistoryAtt, lines_text(c.SCENDESC3),
                att_failure(layout::kHistoryAtt, " "));
}

// The common dimensions and the time-step flags.
bool flags_header(HeaderWriter& w, int fid) {
  Bstate3& b = state().b;
  const int ftype = BDESC3.FTYPE3D;
  const bool events = ftype == KFEVNT3;
  layout::Header h;
  h.ftype = ftype;
  h.tstep = BDESC3.TSTEP3D;
  const std::int64_t tsteps = layout::tstep_dimension_length(h);
  if (!w.dim(layout::kTstepDim, tsteps == 0 ? NC_UNLIMITED : static_cast<std::size_t>(tsteps),
             "Error creating netCDF dimension TSTEP ") ||
      !w.dim(layout::kDateTimeDim, events ? layout::kEventDateTimeLen : layout::kDateTimeLen,
             "Error creating netCDF dimension DATE-TIME") ||
      !w.dim(layout::kLayDim, fixed_length(BDESC3.NLAYS3D),
             "Error creating netCDF dimension LAY") ||
      !w.dim(layout::kVarDim, fixed_length(BDESC3.NVARS3D),
             "Error creating netCDF dimension VAR ") ||
      !w.var(layout::kTflagVar, NC_INT, layout::tflag_dimensions(ftype), b.TFLAGID3(fid),
             "Error creating netCDF variable TFLAG ")) {
    return false;
  }
  const int id = b.TFLAGID3(fid);
  const std::string_view units = events ? layout::kEventTflagUnits : layout::kTflagUnits;
  return w.text(id, layout::kUnitsAtt, Name16(units).padded(),
                "Error creating FLAG attribute \"units\"") &&
         w.text(id, layout::kLongNameAtt, Name16(layout::kTflagVar).padded(),
                "Error creating FLAG attribute \"long_name\" ") &&
         w.text(id, layout::kVarDescAtt,
                Line80(events ? layout::kEventTflagDesc : layout::kTflagDesc).padded(),
                "Error creating FLAG attribute VAR_DESC ");
}

// The file type's own dimensions and structural variables.
bool type_header(HeaderWriter& w, int fid, const layout::TypeLayout& t) {
  Bstate3& b = state().b;
  layout::Header h;
  h.ftype = t.ftype;
  h.ncols = BDESC3.NCOLS3D;
  h.nrows = BDESC3.NROWS3D;
  h.nthik = BDESC3.NTHIK3D;
  const bool grid = t.transfer == GRDDED3;
  for (const layout::TypeDimension& d : t.dims) {
    MsgBuf<80> failure("Error creating netCDF dimension ");
    failure << d.name << (grid && d.name == layout::kRowDim ? " " : "");
    if (!w.dim(d.name, fixed_length(layout::dimension_length(d.length, h)), failure)) {
      return false;
    }
  }
  for (const layout::StructuralVar& v : t.structural) {
    MsgBuf<80> failure(v.name == "KFEVENT" ? "Error creating netcdf variable "
                                           : "Error creating netCDF variable ");
    failure << v.name;
    if (!w.var(v.name, v.nc_type, v.dims, (b.*v.id_table)(fid), failure)) return false;
  }
  b.LAYSIZE3(fid) = static_cast<int>(std::clamp<std::int64_t>(
      detail::layer_size(t.ftype, h.ncols, h.nrows, h.nthik).value_or(0), 0, INT32_MAX));
  return true;
}

// Type 7's own attributes of data variable I (0-based), NAME, whose netCDF id is ID.
bool extra_attributes_header(HeaderWriter& w, int fid, int id, std::size_t i, const Name16& name) {
  const int natts = std::clamp(BATTS3.NATTS3[i], 0, MXATTS3);
  const detail::NcName n(layout::kNattsAtt);
  if (!nc_ok(nc_put_att_int(w.ncid(), id, n.c_str(), NC_INT, 1, &natts), fid,
             MsgBuf<80>("Error creating  attribute \"natts\" for variable ") << name.padded())) {
    return false;
  }
  for (int k = 0; k < natts; ++k) {
    const auto ki = static_cast<std::size_t>(k);
    const float value = BATTS3.ATTVAL3[i][ki];
    if (!w.floats(id, CATTS3.ATTNAM3[i][ki].trimmed(), std::span<const float>(&value, 1),
                  MsgBuf<80>("Error creating  attribute ")
                      << CATTS3.ATTNAM3[i][ki].padded() << " for variable " << name.padded())) {
      return false;
    }
  }
  return true;
}

// Data variable V (1-based) with its attributes, as variables_header says.
bool variable_header(HeaderWriter& w, int fid, int v, const layout::TypeLayout& t, bool& discard) {
  Bstate3& b = state().b;
  Cstate3& c = state().c;
  const std::string_view lname = c.FLNAME3(fid).padded();
  const auto i = static_cast<std::size_t>(v - 1);
  const Name16& name = CDESC3.VNAME3D[i];
  const int type = BDESC3.VTYPE3D[i];
  if (type != XQINT && type != XQREAL && type != XQDBLE) {
    warning_block(MsgBuf<160>("Error creating netCDF variable ")
                      << name.padded() << "for file " << lname,
                  "Illegal data type", type);
    discard = true;
    return false;
  }
  c.VLIST3D(v, fid) = name;
  c.UNITS3(v, fid) = CDESC3.UNITS3D[i];
  b.VTYPE3(v, fid) = type;
  if (!w.var(name.trimmed(), type, t.shape, b.VARID3(v, fid),
             MsgBuf<80>("Error creating netCDF variable ") << name.padded())) {
    return false;
  }
  const int id = b.VARID3(v, fid);
  if (!w.text(id, layout::kLongNameAtt, name.padded(),
              MsgBuf<80>("Error creating  attribute LONG_NAME for variable ") << name.padded())) {
    return false;
  }
  const detail::NcName units(layout::kUnitsAtt);
  const int status =
      nc_put_att_text(w.ncid(), id, units.c_str(), NAMLEN3, CDESC3.UNITS3D[i].padded().data());
  if (status != NC_NOERR) {
    warning_block(MsgBuf<160>("Error creating ")
                      << name.padded() << " attribute UNITS for file " << lname,
                  "netCDF error number", status);
    discard = true;
    return false;
  }
  if (!w.text(id, layout::kVarDescAtt, CDESC3.VDESC3D[i].padded(),
              MsgBuf<80>("Error creating  attribute VAR_DESC for variable ") << name.padded())) {
    return false;
  }
  return t.ftype != kTypeSeven || extra_attributes_header(w, fid, id, i, name);
}

// The data variables with their attributes (type 7's extra ones too). False with
// DISCARD set when the failure is one of the blocks that discard the file.
bool variables_header(HeaderWriter& w, int fid, const layout::TypeLayout& t, bool& discard) {
  for (int v = 1; v <= BDESC3.NVARS3D; ++v) {
    if (!variable_header(w, fid, v, t, discard)) return false;
  }
  return true;
}

// An event file's KFCOUNT all zeros, row by row, at most 8192 columns a write.
bool zero_event_counts(int fid) {
  const Bstate3& b = state().b;
  static const std::vector<int> zeros(static_cast<std::size_t>(kZeroPiece), 0);
  for (int r = 0; r < b.NROWS3(fid); ++r) {
    for (int c0 = 0; c0 < b.NCOLS3(fid); c0 += kZeroPiece) {
      const std::size_t start[2] = {static_cast<std::size_t>(r), static_cast<std::size_t>(c0)};
      const std::size_t count[2] = {
          1, static_cast<std::size_t>(std::min(kZeroPiece, b.NCOLS3(fid) - c0))};
      if (!nc_ok(nc_put_vara_int(b.NCID3(fid), b.CNTVID3(fid), start, count, zeros.data()), fid,
                 "Error initializing KFCOUNT")) {
        return false;
      }
    }
  }
  return true;
}

// The whole header in define mode; false after a reported failure (DISCARD: the block that
// discards the file was written).
bool define_file(HeaderWriter& w, int fid, std::string_view pname, bool& discard) {
  const layout::TypeLayout* t = layout::type_layout(BDESC3.FTYPE3D);
  if (!description_header(w, fid) || !names_header(w, fid, pname) || !flags_header(w, fid)) {
    return false;
  }
  if (t == nullptr) {
    warning_block(MsgBuf<160>("File creation error for file ") << state().c.FLNAME3(fid).padded(),
                  "ILLEGAL FILE TYPE.", BDESC3.FTYPE3D);
    discard = true;
    return false;
  }
  return type_header(w, fid, *t) && variables_header(w, fid, *t, discard);
}

// A half-made file never stays behind: discarded in define mode, closed and removed after.
void remove_half_made(int fid, std::string_view path, bool in_define_mode) {
  int& ncid = state().b.NCID3(fid);
  if (in_define_mode) {
    (void)nc_abort(ncid);
  } else {
    (void)nc_close(ncid);
  }
  (void)::unlink(std::string(trimmed(path)).c_str());
  ncid = IMISSING3;
}

}  // namespace

namespace detail {

bool create_netcdf(std::string_view path, int fid, std::string_view pname, bool large_offsets) {
  Bstate3& b = state().b;
  const std::string cpath(trimmed(path));
  int ncid = 0;
  if (!nc_ok(nc_create(cpath.c_str(), creation_mode(large_offsets), &ncid), fid,
             "Error creating netCDF file")) {
    XQMSG2(cpath);
    return false;
  }
  b.NCID3(fid) = ncid;
  HeaderWriter w(fid, ncid);
  if (!common_header(w, fid)) {
    remove_half_made(fid, path, true);
    return false;
  }
  // A dictionary's own layout; a failed one has discarded its file already.
  if (BDESC3.FTYPE3D == DCTNRY3) return CRDICT3(fid);
  bool discard = false;
  if (!define_file(w, fid, pname, discard)) {
    remove_half_made(fid, path, true);
    return false;
  }
  if (!nc_ok(nc_enddef(ncid), fid, "Error putting netCDF file into data mode.")) {
    remove_half_made(fid, path, true);
    return false;
  }
  if ((BDESC3.FTYPE3D == KFEVNT3 && !zero_event_counts(fid)) ||
      (b.VOLATILE3(fid) && !nc_ok(nc_sync(ncid), fid, "Error with disk synchronization"))) {
    remove_half_made(fid, path, false);
    return false;
  }
  return true;
}

}  // namespace detail

}  // namespace kavro
