// CRDICT3: the layout of a new, empty dictionary file (its dimensions, the record flag FLAG
// and the 26 schema variables with their units and descriptions), and the slot filled as the
// opener fills it for a dictionary.
#include <netcdf.h>

#include <array>
#include <cstddef>
#include <span>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/fixed_string.h"
#include "kavro/params.h"
#include "netcdf/dictionary/dictionary_format.h"
#include "netcdf/header_atts.h"
#include "netcdf/netcdf_routines.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::NcName;
namespace dict = layout::dictionary;

// A failed step: the warning block, then the half-made file discarded (a file created in
// this define session is removed with it); the slot holds no netCDF id afterwards.
bool discard(int fid, std::string_view text, int status) {
  int& ncid = state().b.NCID3(fid);
  detail::warning_block("CRDICT3",
                        {text, MsgBuf<80>("File name ") << state().c.FLNAME3(fid).padded(),
                         detail::error_number_line(status)},
                        2);
  (void)nc_abort(ncid);
  ncid = IMISSING3;
  return false;
}

// A text attribute at its full WIDTH (at most 80), blank-padded.
int put_padded(int ncid, int varid, std::string_view name, std::string_view value,
               std::size_t width) {
  std::array<char, MXDLEN3> field{};
  assign_padded(std::span<char>(field.data(), width), value);
  return nc_put_att_text(ncid, varid, NcName(name).c_str(), width, field.data());
}

// The record flag and its attributes.
bool define_flag(int fid, int ncid, int findx) {
  int& flag = state().b.TFLAGID3(fid);
  int status = nc_def_var(ncid, NcName(layout::kDictFlagVar).c_str(), NC_INT, 1, &findx, &flag);
  if (status != NC_NOERR) return discard(fid, "Error creating netCDF variable FLAG", status);
  status = put_padded(ncid, flag, layout::kUnitsAtt, dict::kFlagUnits, NAMLEN3);
  if (status != NC_NOERR) return discard(fid, "Error creating FLAG attribute UNITS", status);
  status = put_padded(ncid, flag, layout::kVarDescAtt, dict::kFlagDesc, MXDLEN3);
  if (status != NC_NOERR) return discard(fid, "Error creating FLAG attribute VAR_DESC", status);
  return true;
}

// The schema names as the file's variable list.
bool write_variable_list(int fid, int ncid) {
  auto& b = state().b;
  std::array<char, static_cast<std::size_t>(NAMLEN3) * dict::kSchema.size()> list{};
  for (std::size_t k = 0; k < dict::kSchema.size(); ++k) {
    const Name16 name(dict::kSchema[k].name);
    state().c.VLIST3D(static_cast<int>(k) + 1, fid) = name;
    std::copy(name.padded().begin(), name.padded().end(), list.begin() + k * NAMLEN3);
  }
  b.NVARS3(fid) = static_cast<int>(dict::kSchema.size());
  int status =
      nc_put_att_int(ncid, NC_GLOBAL, NcName(layout::kNvarsAtt).c_str(), NC_INT, 1, &b.NVARS3(fid));
  if (status != NC_NOERR) return discard(fid, "Error creating netCDF attribute NVARS", status);
  status = nc_put_att_text(ncid, NC_GLOBAL, NcName(layout::kVarListAtt).c_str(), list.size(),
                           list.data());
  if (status != NC_NOERR) return discard(fid, "Error creating attribute VAR-LIST ", status);
  return true;
}

// The schema variables, each with FINDX3 as its record dimension.
bool define_schema(int fid, int ncid, std::span<const int> dimids) {
  auto& b = state().b;
  for (std::size_t k = 0; k < dict::kSchema.size(); ++k) {
    const dict::SchemaVar& v = dict::kSchema[k];
    const int var = static_cast<int>(k) + 1;
    std::array<int, 3> shape{dimids[dict::kFindx]};
    for (std::size_t d = 0; d < v.dims.size(); ++d) shape[d + 1] = dimids[v.dims[d]];
    const int status =
        nc_def_var(ncid, NcName(v.name).c_str(), v.type, static_cast<int>(v.dims.size()) + 1,
                   shape.data(), &b.VARID3(var, fid));
    if (status != NC_NOERR) {
      return discard(fid, MsgBuf<80>("Error creating netCDF variable ") << Name16(v.name).padded(),
                     status);
    }
    b.VTYPE3(var, fid) = v.type;
    state().c.UNITS3(var, fid) = v.units;
  }
  return true;
}

// Each schema variable's units, then its description.
bool describe_schema(int fid, int ncid) {
  for (std::size_t k = 0; k < dict::kSchema.size(); ++k) {
    const dict::SchemaVar& v = dict::kSchema[k];
    const int varid = state().b.VARID3(static_cast<int>(k) + 1, fid);
    const Name16 name(v.name);
    int status = put_padded(ncid, varid, layout::kUnitsAtt, v.units, NAMLEN3);
    if (status != NC_NOERR) {
      return discard(fid, MsgBuf<80>("Error creating ") << name.padded() << " attribute UNITS",
                     status);
    }
    status = put_padded(ncid, varid, layout::kVarDescAtt, v.desc, MXDLEN3);
    if (status != NC_NOERR) {
      return discard(fid, MsgBuf<80>("Error creating ") << name.padded() << " attribute VAR_DESC",
                     status);
    }
  }
  return true;
}

}  // namespace

bool CRDICT3(int fid) {
  auto& b = state().b;
  const int ncid = b.NCID3(fid);
  std::array<int, dict::kDimensions.size()> dimids{};
  for (std::size_t d = 0; d < dict::kDimensions.size(); ++d) {
    const dict::Dimension& dim = dict::kDimensions[d];
    const int status = nc_def_dim(ncid, NcName(dim.name).c_str(), dim.length, &dimids[d]);
    if (status != NC_NOERR) return discard(fid, dim.create_failure, status);
  }
  if (!define_flag(fid, ncid, dimids[dict::kFindx]) || !write_variable_list(fid, ncid) ||
      !define_schema(fid, ncid, dimids) || !describe_schema(fid, ncid)) {
    return false;
  }
  const int status = nc_enddef(ncid);
  if (status != NC_NOERR) {
    return discard(fid, "Error returning netCDF file into data mode.", status);
  }
  b.FTYPE3(fid) = DCTNRY3;
  b.MXREC3(fid) = 0;  // no entry yet
  return true;
}

}  // namespace kavro
