// The netCDF kind's opener: reads the header of an existing netCDF file into its slot. The header
// is untrusted input: every attribute is inquired before it is read, and every size it gives is
// checked in 64-bit arithmetic before anything is sized from it.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "core/syscalls.h"
#include "filetype/file_type_model.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "netcdf/classic/kept_files.h"
#include "netcdf/classic/open_existing.h"
#include "netcdf/header_atts.h"
#include "netcdf/header_mistakes.h"
#include "netcdf/netcdf_ops.h"
#include "netcdf/netcdf_routines.h"
#include "settings/settings_table.h"
#include "util/layer_size.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::nc_ok;
using detail::NumField;

constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();

struct IntField {
  std::string_view name;
  PerSlot<int> Bstate3::*table;
  std::string_view failure;
};

struct RealField {
  std::string_view name;
  PerSlot<double> Bstate3::*table;
  std::string_view failure;
};

constexpr std::array<IntField, 7> kIntFields = {{
    {layout::kSdateAtt, &Bstate3::SDATE3, "Error reading file attribute SDATE"},
    {layout::kStimeAtt, &Bstate3::STIME3, "Error reading file attribute STIME"},
    {layout::kNthikAtt, &Bstate3::NTHIK3, "Error reading file attribute NTHIK"},
    {layout::kNcolsAtt, &Bstate3::NCOLS3, "Error reading file attribute NCOLS"},
    {layout::kNrowsAtt, &Bstate3::NROWS3, "Error reading file attribute NROWS"},
    {layout::kNlaysAtt, &Bstate3::NLAYS3, "Error reading file attribute NLAYS"},
    {layout::kGdtypAtt, &Bstate3::GDTYP3, "Error reading file attribute GDTYP"},
}};

constexpr std::array<RealField, 9> kRealFields = {{
    {layout::kPalpAtt, &Bstate3::P_ALP3, "Error reading file attribute P_ALP"},
    {layout::kPbetAtt, &Bstate3::P_BET3, "Error reading file attribute P_BET"},
    {layout::kPgamAtt, &Bstate3::P_GAM3, "Error reading file attribute P_GAM"},
    {layout::kXcentAtt, &Bstate3::XCENT3, "Error reading file attribute XCENT"},
    {layout::kYcentAtt, &Bstate3::YCENT3, "Error reading file attribute YCENT"},
    {layout::kXorigAtt, &Bstate3::XORIG3, "Error reading file attribute XORIG"},
    {layout::kYorigAtt, &Bstate3::YORIG3, "Error reading file attribute YORIG"},
    {layout::kXcellAtt, &Bstate3::XCELL3, "Error reading file attribute XCELL"},
    {layout::kYcellAtt, &Bstate3::YCELL3, "Error reading file attribute YCELL"},
}};

// What the layout expects of an attribute: its type in a word, and what it must hold.
struct Expected {
  std::string_view type;
  std::string_view holds;
};
constexpr Expected kOneInt = {"int", "one integer value that fits 32 bits"};
constexpr Expected kOneFloat = {"float", "one float value"};
constexpr Expected kOneDouble = {"double", "one double value"};
constexpr Expected kLevels = {"float", "at most 101 float values"};
constexpr Expected kText = {"text", "text"};

// The type of a value in the words of the layout's tables.
std::string_view type_word(nc_type type) {
  switch (type) {
    case NC_CHAR:
      return "text";
    case NC_FLOAT:
      return "float";
    case NC_DOUBLE:
      return "double";
    case NC_STRING:
      return "string";
    default:
      return "int";  // every netCDF integer type reads as int
  }
}

// Reports a failed attribute read through the funnel; an attribute of the wrong type or
// length also gets a line saying what the layout expects, and one of the wrong type is the
// cause of the failure, named with the type it must have.
bool att_ok(int status, int fid, std::string_view name, const Expected& expected,
            std::string_view failure, int varid = NC_GLOBAL) {
  if (nc_ok(status, fid, failure)) return true;
  if (status == NC_EBADTYPE || status == NC_EINVAL || status == NC_ERANGE) {
    XQMSG2(MsgBuf<256>() << "Header attribute \"" << name << "\" must hold " << expected.holds);
  }
  nc_type type{};
  if (status == NC_EBADTYPE && varid == NC_GLOBAL &&
      nc_inq_atttype(state().b.NCID3(fid), varid, detail::NcName(name).c_str(), &type) ==
          NC_NOERR) {
    const detail::Mistake m = detail::type_mistake(name, type_word(type), expected.type);
    if (!m.view().empty()) detail::note_file_failure("OPNFIL3", fid, m);
  }
  return false;
}

// A header this build cannot use safely: one line naming the file, then false.
bool refuse(int fid, std::string_view problem) {
  XQMSG2(MsgBuf<256>() << "File opening error:  " << problem << " for file \""
                       << state().c.FLNAME3(fid).trimmed() << "\"");
  detail::note_file_failure("OPNFIL3", fid, problem);
  return false;
}

int int_field(int ncid, std::string_view name, int& value) {
  return detail::get_int_att(ncid, NC_GLOBAL, name, value);
}

// Clears the slot's description so nothing of an earlier file shows through fields that
// this file's type does not set.
void clear_description(int fid) {
  auto& b = state().b;
  for (const IntField& f : kIntFields) (b.*f.table)(fid) = 0;
  for (const RealField& f : kRealFields) (b.*f.table)(fid) = 0.0;
  b.TSTEP3(fid) = 0;
  b.MXREC3(fid) = 0;
  b.VGTYP3(fid) = 0;
  b.VGTOP3(fid) = 0.0F;
  b.VGLVS3(fid).fill(0.0F);
  b.TFLAGID3(fid) = IMISSING3;
  b.LAYSIZE3(fid) = IMISSING3;
  state().c.GDNAM3(fid).blank();
}

// After FTYPE and NVARS: the grid, time and projection description.
bool read_description(int fid, int ncid) {
  auto& b = state().b;
  if (b.FTYPE3(fid) != KFEVNT3) {
    // An event file has no time step of its own.
    if (!att_ok(int_field(ncid, layout::kTstepAtt, b.TSTEP3(fid)), fid, layout::kTstepAtt, kOneInt,
                "Error reading file attribute TSTEP")) {
      return false;
    }
  }
  for (const IntField& f : kIntFields) {
    if (!att_ok(int_field(ncid, f.name, (b.*f.table)(fid)), fid, f.name, kOneInt, f.failure)) {
      return false;
    }
  }
  for (const RealField& f : kRealFields) {
    const int status = detail::get_double_att(ncid, NC_GLOBAL, f.name, (b.*f.table)(fid));
    if (!att_ok(status, fid, f.name, kOneDouble, f.failure)) return false;
  }
  if (!att_ok(int_field(ncid, layout::kVgtypAtt, b.VGTYP3(fid)), fid, layout::kVgtypAtt, kOneInt,
              "Error reading file attribute VGTYP.")) {
    return false;
  }
  if (!att_ok(detail::get_float_att(ncid, NC_GLOBAL, layout::kVgtopAtt, b.VGTOP3(fid)), fid,
              layout::kVgtopAtt, kOneFloat, "Error reading file attribute VGTOP.")) {
    return false;
  }
  // The level table holds 101 values: a longer level list is refused, not cut.
  int& nlevels = b.header_levels(fid);
  if (!att_ok(detail::get_float_atts(ncid, NC_GLOBAL, layout::kVglvlsAtt, b.VGLVS3(fid), nlevels),
              fid, layout::kVglvlsAtt, kLevels, "Error reading file attribute VGLVS.")) {
    return false;
  }
  return att_ok(
      detail::get_text_att(ncid, NC_GLOBAL, layout::kGdnamAtt, state().c.GDNAM3(fid).span()), fid,
      layout::kGdnamAtt, kText, "Error reading file attribute GDNAM");
}

// The time-step flags and the number of records present.
bool read_records(int fid, int ncid) {
  auto& b = state().b;
  if (!nc_ok(nc_inq_varid(ncid, layout::kTflagVar.data(), &b.TFLAGID3(fid)), fid,
             "Error reading file attribute TFLAG")) {
    return false;
  }
  int dimid = 0;
  if (!nc_ok(nc_inq_dimid(ncid, layout::kTstepDim.data(), &dimid), fid,
             "Error reading time-dimension ID")) {
    return false;
  }
  std::size_t records = 0;
  if (!nc_ok(nc_inq_dimlen(ncid, dimid, &records), fid, "Error reading maximum timestep number")) {
    return false;
  }
  if (records > static_cast<std::size_t>(kMaxCount)) return refuse(fid, "too many time steps");
  b.MXREC3(fid) = static_cast<int>(records);
  return true;
}

// The dates of a hand-written file: SDATE as YYYYDDD, and TSTEP as HHMMSS where the flags of
// the first two records show the step. Flags that cannot be read leave the step to the reads,
// which report them.
bool check_time(int fid, int ncid) {
  const auto& b = state().b;
  if (const detail::Mistake m = detail::sdate_mistake(b.SDATE3(fid)); !m.view().empty()) {
    return refuse(fid, m);
  }
  if (b.FTYPE3(fid) == KFEVNT3 || b.TSTEP3(fid) <= 0 || b.MXREC3(fid) < 2) return true;
  int ndims = 0;
  if (nc_inq_varndims(ncid, b.TFLAGID3(fid), &ndims) != NC_NOERR || ndims != 3) return true;
  const std::array<std::size_t, 3> start{0, 0, 0};
  const std::array<std::size_t, 3> count{2, 1, 2};
  std::array<int, 4> flags{};
  if (nc_get_vara_int(ncid, b.TFLAGID3(fid), start.data(), count.data(), flags.data()) !=
      NC_NOERR) {
    return true;
  }
  const detail::Mistake m =
      detail::tstep_mistake(b.TSTEP3(fid), flags[0], flags[1], flags[2], flags[3]);
  return m.view().empty() || refuse(fid, m);
}

layout::Header header_of(int fid) {
  const auto& b = state().b;
  return {b.FTYPE3(fid), b.TSTEP3(fid), b.NCOLS3(fid), b.NROWS3(fid),
          b.NLAYS3(fid), b.NTHIK3(fid), b.NVARS3(fid)};
}

// The type must be one the layout knows.
bool check_type(int fid) {
  const int ftype = state().b.FTYPE3(fid);
  if (layout::known_type(ftype)) return true;
  XQMSG2(MsgBuf<256>() << "File opening error:  ILLEGAL FILE TYPE for file "
                       << state().c.FLNAME3(fid).padded());
  XQMSG2(MsgBuf<256>() << "Unknown file type " << NumField(ftype, 10));
  detail::note_file_failure("OPNFIL3", fid, MsgBuf<80>("unknown file type ").format("%d", ftype));
  return false;
}

// The sizes must fit the 32-bit counts the reader sizes its buffers from; then the layer
// size (LAYSIZE3) is known.
bool check_sizes(int fid) {
  auto& b = state().b;
  const int ftype = b.FTYPE3(fid);
  const std::int64_t ncols = b.NCOLS3(fid), nrows = b.NROWS3(fid), nlays = b.NLAYS3(fid);
  if (ncols < 0 || nrows < 0 || nlays < 0) return refuse(fid, "negative NCOLS, NROWS or NLAYS");
  if (ftype == KFEVNT3 && b.NTHIK3(fid) < 0) return refuse(fid, "negative NTHIK");
  if (detail::sat_mul(detail::sat_mul(ncols, nrows), nlays) > kMaxCount) {
    return refuse(fid, "NCOLS x NROWS x NLAYS exceeds 2147483647");
  }
  const std::int64_t laysize = *detail::layer_size(ftype, ncols, nrows, b.NTHIK3(fid));
  if (laysize < 0 || detail::sat_mul(laysize, nlays > 1 ? nlays : 1) > kMaxCount) {
    return refuse(fid, "bad layer size from NCOLS, NROWS, NLAYS and NTHIK");
  }
  b.LAYSIZE3(fid) = static_cast<int>(laysize);
  return true;
}

// The structural variables of the type.
bool read_structure(int fid, int ncid) {
  for (const layout::StructuralVar& v : layout::structural_variables(state().b.FTYPE3(fid))) {
    const detail::NcName name(v.name);
    if (!nc_ok(nc_inq_varid(ncid, name.c_str(), &(state().b.*v.id_table)(fid)), fid,
               v.open_failure)) {
      return false;
    }
  }
  return true;
}

// The dimensions the data variables use must hold at least what the header gives, so that a
// reader sized from the header addresses data the file really holds. A longer dimension is
// accepted: the header governs what is read (a header saying NCOLS 0 reads nothing).
bool check_dimensions(int fid, int ncid, std::span<int> dimids) {
  const layout::Header h = header_of(fid);
  const auto names = layout::data_dimensions(h.ftype);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const detail::NcName name(names[i]);
    if (nc_inq_dimid(ncid, name.c_str(), &dimids[i]) != NC_NOERR) {
      return refuse(fid, MsgBuf<80>() << "missing dimension " << names[i]);
    }
    const auto want = layout::expected_dimension_length(names[i], h);
    std::size_t len = 0;
    if (want && (nc_inq_dimlen(ncid, dimids[i], &len) != NC_NOERR ||
                 static_cast<std::int64_t>(len) < *want)) {
      return refuse(fid, MsgBuf<80>() << "dimension " << names[i] << " shorter than header");
    }
  }
  return true;
}

// The names of a variable's first dimensions, for a message: at most kShownDims, the last
// one "..." when it has more.
class DimensionNames {
 public:
  static constexpr std::size_t kShownDims = 6;

  DimensionNames(int ncid, std::span<const int> dimids) {
    for (std::size_t i = 0; i < dimids.size() && n_ < kShownDims; ++i, ++n_) {
      if (i + 1 == kShownDims && dimids.size() > kShownDims) {
        views_[n_] = "...";
      } else if (nc_inq_dimname(ncid, dimids[i], text_[n_].data()) == NC_NOERR) {
        views_[n_] = text_[n_].data();
      } else {
        views_[n_] = "?";
      }
    }
  }
  std::span<const std::string_view> names() const { return {views_.data(), n_}; }

 private:
  std::array<std::array<char, NC_MAX_NAME + 1>, kShownDims> text_{};
  std::array<std::string_view, kShownDims> views_{};
  std::size_t n_ = 0;
};

// A data variable must have the shape of its file type, NEEDS (whose ids are DIMIDS).
bool check_shape(int fid, int ncid, int varid, std::string_view name, std::span<const int> dimids,
                 std::span<const std::string_view> needs) {
  int ndims = 0;
  std::array<int, NC_MAX_VAR_DIMS> got{};
  if (nc_inq_varndims(ncid, varid, &ndims) != NC_NOERR || ndims < 0 || ndims > NC_MAX_VAR_DIMS ||
      nc_inq_vardimid(ncid, varid, got.data()) != NC_NOERR) {
    return refuse(fid, MsgBuf<80>() << "variable " << trimmed(name)
                                    << " does not have the shape of its file type");
  }
  const std::span<const int> has(got.data(), static_cast<std::size_t>(ndims));
  if (std::equal(dimids.begin(), dimids.end(), has.begin(), has.end())) return true;
  const detail::Mistake m = detail::shape_mistake(name, DimensionNames(ncid, has).names(), needs);
  if (!m.view().empty()) return refuse(fid, m);
  return refuse(fid, MsgBuf<80>() << "variable " << trimmed(name)
                                  << " does not have the shape of its file type");
}

// The variable list, ids, types and units.
bool read_variables(int fid, int ncid) {
  auto& b = state().b;
  auto& c = state().c;
  const int nvars = b.NVARS3(fid);
  if (nvars < 1) return true;
  const std::size_t need = static_cast<std::size_t>(NAMLEN3) * static_cast<std::size_t>(nvars);
  // The whole attribute, to count its names: netCDF already holds that much of it in memory.
  std::size_t len = 0;
  if (!nc_ok(nc_inq_attlen(ncid, NC_GLOBAL, layout::kVarListAtt.data(), &len), fid,
             "Error reading attribute VAR-LIST")) {
    return false;
  }
  std::vector<char> list(std::max(len, need));
  if (!att_ok(detail::get_text_att(ncid, NC_GLOBAL, layout::kVarListAtt, list, &len), fid,
              layout::kVarListAtt, kText, "Error reading attribute VAR-LIST")) {
    return false;
  }
  // A last name shorter than 16 characters is padded, like every text attribute; a list of
  // another number of names is a VAR-LIST that cannot be read.
  const detail::Mistake names = detail::var_list_mistake(nvars, std::string_view(list.data(), len));
  if (!names.view().empty()) {
    (void)nc_ok(NC_EINVAL, fid, "Error reading attribute VAR-LIST");
    return refuse(fid, names);
  }
  for (int v = 1; v <= nvars; ++v) {
    Name16& name = c.VLIST3D(v, fid);
    name.assign(
        std::string_view(list.data() + static_cast<std::size_t>(NAMLEN3) * (v - 1), NAMLEN3));
    const detail::NcName ncname(name.padded());
    int& varid = b.VARID3(v, fid);
    if (!nc_ok(nc_inq_varid(ncid, ncname.c_str(), &varid), fid,
               MsgBuf<80>() << "Error reading IDs for  variable " << name.padded())) {
      return false;
    }
    nc_type type{};
    if (!nc_ok(nc_inq_vartype(ncid, varid, &type), fid,
               MsgBuf<80>() << "Error reading type for  variable " << name.padded())) {
      return false;
    }
    b.VTYPE3(v, fid) = type;
    if (!att_ok(detail::get_text_att(ncid, varid, layout::kUnitsAtt, c.UNITS3(v, fid).span()), fid,
                layout::kUnitsAtt, kText,
                MsgBuf<80>() << "Error reading units for  variable " << name.padded(), varid)) {
      return false;
    }
  }
  return true;
}

// The caller becomes the file's updater and the run's scenario its history.
bool record_update(int fid, int ncid, std::string_view pname) {
  if (!nc_ok(nc_redef(ncid), fid, "Error opening history for update")) return false;
  const Name16 upnam(pname);
  if (!nc_ok(
          nc_put_att_text(ncid, NC_GLOBAL, layout::kUpnamAtt.data(), Name16::size(), upnam.data()),
          fid, "Error writing file attribute UPNAM")) {
    return false;
  }
  static std::array<char, static_cast<std::size_t>(layout::kDescTextLen)> history;
  for (std::size_t i = 0; i < MXDESC3; ++i) {
    const std::string_view line = state().c.SCENDESC3[i].padded();
    std::copy(line.begin(), line.end(), history.begin() + static_cast<std::ptrdiff_t>(i * MXDLEN3));
  }
  if (!nc_ok(nc_put_att_text(ncid, NC_GLOBAL, layout::kHistoryAtt.data(), history.size(),
                             history.data()),
             fid, "Error writing file attribute HISTORY")) {
    return false;
  }
  return nc_ok(nc_enddef(ncid), fid, "Error flushing HISTORY to disk");
}

// The header of the open netCDF file: description, flags, type and variables.
bool read_description_atts(int fid) {
  auto& b = state().b;
  const int ncid = b.NCID3(fid);
  clear_description(fid);
  if (!att_ok(int_field(ncid, layout::kFtypeAtt, b.FTYPE3(fid)), fid, layout::kFtypeAtt, kOneInt,
              "Error reading netCDF file attribute FTYPE.") ||
      !att_ok(int_field(ncid, layout::kNvarsAtt, b.NVARS3(fid)), fid, layout::kNvarsAtt, kOneInt,
              "Error reading netCDF file attribute NVARS")) {
    return false;
  }
  if (b.NVARS3(fid) > MXVARS3) {
    return nc_ok(NC_EMAXVARS, fid, "Max value of attribute NVARS exceeded for this build");
  }
  if (b.NVARS3(fid) < 0) return refuse(fid, "negative NVARS");
  if (b.FTYPE3(fid) == DCTNRY3) {
    if (!nc_ok(nc_inq_varid(ncid, layout::kDictFlagVar.data(), &b.TFLAGID3(fid)), fid,
               "Error reading file attribute FLAG")) {
      return false;
    }
    // A dictionary's entry count is the current length of its record dimension.
    int dimid = 0;
    std::size_t entries = 0;
    if (!nc_ok(nc_inq_dimid(ncid, layout::kDictIndexDim.data(), &dimid), fid,
               "Error reading dictionary index dimension ID") ||
        !nc_ok(nc_inq_dimlen(ncid, dimid, &entries), fid, "Error reading dictionary entry count")) {
      return false;
    }
    if (entries > static_cast<std::size_t>(kMaxCount)) return refuse(fid, "too many entries");
    b.MXREC3(fid) = static_cast<int>(entries);
  } else if (!read_description(fid, ncid) || !read_records(fid, ncid) || !check_time(fid, ncid) ||
             !check_type(fid) || !read_structure(fid, ncid)) {
    return false;
  }
  return read_variables(fid, ncid);
}

// The header against the file's own dimensions and variables: sizes in range, and every
// data variable shaped as its file type says, so that a reader sized from the header
// addresses the data the file really holds. A dictionary has a layout of its own.
bool check_layout(int fid) {
  const auto& b = state().b;
  if (b.FTYPE3(fid) == DCTNRY3) return true;
  if (!check_sizes(fid)) return false;
  const std::span<const std::string_view> needs = layout::data_dimensions(b.FTYPE3(fid));
  std::array<int, 4> dimids{};
  const std::span<int> shape(dimids.data(), needs.size());
  const int ncid = b.NCID3(fid);
  if (!check_dimensions(fid, ncid, shape)) return false;
  for (int v = 1; v <= b.NVARS3(fid); ++v) {
    if (!check_shape(fid, ncid, b.VARID3(v, fid), state().c.VLIST3D(v, fid).padded(), shape,
                     needs)) {
      return false;
    }
  }
  return true;
}

// Whether the direct data path may serve a read-only file: on unless KAVRO_DIRECT_READ says
// no (for diagnosis). The setting is logged only when it is set, so the usual log is unchanged.
// The path converts big-endian values by reversing their bytes: little-endian machines only.
bool direct_read_wanted() {
  if constexpr (std::endian::native != std::endian::little) return false;
  return detail::setting("KAVRO_DIRECT_READ", "OPNFIL3");
}

// The update record of a read-write file, the disk image of a volatile one.
bool finish_open(int fid, int access, std::string_view pname) {
  const int ncid = state().b.NCID3(fid);
  if (access == kReadWriteAccess && !record_update(fid, ncid, pname)) return false;
  if (!state().b.VOLATILE3(fid)) return true;
  return nc_ok(nc_sync(ncid), fid, "Error with disk synchronization");
}

}  // namespace

namespace detail {

namespace {

// Closes the netCDF file of slot FID after a failed open, reporting a failed close.
void close_after_failed_open(int fid) {
  int& ncid = state().b.NCID3(fid);
  if (ncid < 0) return;
  (void)nc_ok(nc_close(ncid), fid, "Error NCCLOS-ing file");
  ncid = IMISSING3;
}

}  // namespace

int close_netcdf(int fid) { return nc_close(state().b.NCID3(fid)); }

bool open_netcdf(std::string_view path, int fid, int access, std::string_view pname) {
  auto& b = state().b;
  // Read-write files and volatile files are shared with other processes.
  int mode = NC_NOWRITE;
  if (access == kReadWriteAccess) {
    mode = NC_WRITE | NC_SHARE;
  } else if (b.VOLATILE3(fid)) {
    mode = NC_SHARE;
  }
  const std::string cpath(trimmed(path));
  // A classic file's header is read and checked by the library first (open_existing.h): the
  // netCDF library never sees a classic file whose header it could mishandle or whose data is
  // not all there. A file that no one writes while it is open keeps it, and the descriptor, for
  // the direct data path.
  EntryRequest request;
  request.mode = mode;
  request.keep_fd = access == kReadOnlyAccess && !b.VOLATILE3(fid) && direct_read_wanted();
  EntryResult entry;
  if (open_existing(cpath.c_str(), request, entry) == Entry::kRefused) {
    XQMSG2(MsgBuf<256>() << "File opening error:  " << entry.why << " for file \""
                         << state().c.FLNAME3(fid).trimmed() << "\"");
    XQMSG2(MsgBuf<640>("Path-name: ") << cpath);
    note_file_failure("OPNFIL3", fid, entry.why);
    return false;
  }
  if (!nc_ok(entry.status, fid, "Error opening file at path-name:")) {
    XQMSG2(cpath);
    return false;
  }
  b.NCID3(fid) = entry.ncid;
  const int fd = entry.fd;
  // The header checks come before the update is written, so a refused file is never
  // modified; a file that fails after it was opened is closed again, so no handle leaks.
  if (!read_description_atts(fid) || !CKFILE3(fid) || !check_layout(fid) ||
      !finish_open(fid, access, pname)) {
    close_after_failed_open(fid);
    if (fd >= 0) (void)sys::close(fd);
    return false;
  }
  // Without the memory to keep it, the file is read through the netCDF library.
  if (fd >= 0) (void)detail::classic::keep_file(fid, std::move(entry.header), fd);
  return true;
}

void release_netcdf(int fid) { classic::forget_file(fid); }

}  // namespace detail

}  // namespace kavro
