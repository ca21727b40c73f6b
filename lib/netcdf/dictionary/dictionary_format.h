// The format of a dictionary file (file type DCTNRY3), written down once: its dimensions, the
// record flag FLAG and the 26 schema variables that hold one file description per record. The
// creator (CRDICT3) defines exactly this; the reader (RDDICT3) reads an entry by it.
#ifndef KAVRO_NETCDF_DICTIONARY_FORMAT_H
#define KAVRO_NETCDF_DICTIONARY_FORMAT_H

#include <netcdf.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "filetype/file_type_model.h"
#include "kavro/params.h"

namespace kavro::layout::dictionary {

// The dimensions, in definition order. FINDX3 is the record dimension: one record per entry.
enum DimIndex : std::size_t { kFindx, kVindx, kZindx, kNamePos, kDescPos, kDlineNum };

struct Dimension {
  std::string_view name;
  std::size_t length;  // 0: the unlimited record dimension
  std::string_view create_failure;
};

inline constexpr std::array<Dimension, 6> kDimensions = {{
    {kDictIndexDim, NC_UNLIMITED, "Error creating netCDF file dimension FINDX3."},
    {"VINDX", MXVARS3, "Error creating netCDF dimension VINDX"},
    {"ZINDX", MXLEVS3, "Error creating netCDF dimension ZINDX"},
    {"NAME-POS", NAMLEN3, "Error creating netCDF dimension NAME-POS."},
    {"DESC-POS", MXDLEN3, "Error creating netCDF dimension DESC-POS."},
    {"DLINE-NUM", MXDESC3, "Error creating netCDF dimension DLINE-NUM."},
}};

// The record flag, defined first: an entry is valid when its FLAG is OKFLAG3.
inline constexpr std::string_view kFlagUnits = "5461 or not";
inline constexpr std::string_view kFlagDesc = "Record-valid flags:  OKFLAG3=5461, or not";

// A schema variable: its name, netCDF type, the dimensions after FINDX3 (declaration order,
// slowest first), its units and var_desc, and the name a failed read of it reports.
struct SchemaVar {
  std::string_view name;
  nc_type type;
  std::span<const DimIndex> dims;
  std::string_view units;
  std::string_view desc;
  std::string_view read_name;
};

inline constexpr std::array<DimIndex, 0> kScalar = {};
inline constexpr std::array<DimIndex, 1> kName = {kNamePos};
inline constexpr std::array<DimIndex, 1> kLevels = {kZindx};
inline constexpr std::array<DimIndex, 2> kLines = {kDlineNum, kDescPos};
inline constexpr std::array<DimIndex, 2> kVarNames = {kVindx, kNamePos};
inline constexpr std::array<DimIndex, 2> kVarDescs = {kVindx, kDescPos};
inline constexpr std::array<DimIndex, 1> kPerVar = {kVindx};

// The 26 schema variables, in definition order, which is also the order RDDICT3 reads them
// in (after the names, FNAME).
inline constexpr std::array<SchemaVar, 26> kSchema = {{
    {"FNAME", NC_CHAR, kName, "name text", "File-schema name variable", "FNAME"},
    {"FTYPE", NC_INT, kScalar, "-1...5", "file type variable", "FTYPE"},
    {"TSTEP", NC_INT, kScalar, "hhmmss", "time step variable", "TSTEP"},
    {"NVARS", NC_INT, kScalar, "count", "variables-count variable", "NVARS"},
    {"NLAYS", NC_INT, kScalar, "count", "layers-count variable", "NLAYS"},
    {"NROWS", NC_INT, kScalar, "count", "rows-count variable", "NROWS"},
    {"NCOLS", NC_INT, kScalar, "count", "columns-count variable", "NCOLS"},
    {"NTHIK", NC_INT, kScalar, "count", "bdy perimeter thickness variable", "NTHIK"},
    {"GDTYP", NC_INT, kScalar, "token", "horizontal grid type (see FDESC3.EXT)", "GDTYP"},
    {"VGTYP", NC_INT, kScalar, "token", "vertical grid type (see FDESC3.EXT)", "VGTYP"},
    {"VGLVS", NC_FLOAT, kLevels, "vert.proj", "level surfaces", "VGLVS"},
    {"P_ALP", NC_DOUBLE, kScalar, "deg", "First map projection parameter angle", "P_ALP"},
    {"P_BET", NC_DOUBLE, kScalar, "deg", "Second map projection parameter angle", "P_BET"},
    {"P_GAM", NC_DOUBLE, kScalar, "deg", "Third map projection parameter angle", "P_GAM"},
    {"XCENT", NC_DOUBLE, kScalar, "deg.lon", "X-coordinate map coord origin variable", "XCENT"},
    {"YCENT", NC_DOUBLE, kScalar, "deg.lat", "Y-coordinate map coord origin variable", "YCENT"},
    {"XORIG", NC_DOUBLE, kScalar, "position", "X-coordinate grid origin variable", "XORIG"},
    {"YORIG", NC_DOUBLE, kScalar, "position", "Y-coordinate grid origin variable", "YORIG"},
    {"XCELL", NC_DOUBLE, kScalar, "size", "X-coordinate cell size variable", "XCELL"},
    {"YCELL", NC_DOUBLE, kScalar, "size", "Y-coordinate cell size  variable", "YCELL"},
    {"GDNAM", NC_CHAR, kName, "name text", "grid domain name variable", "GDNAM"},
    {"FDESC", NC_CHAR, kLines, "desc text", "file description variable", "FILEDESC"},
    {"VNAME", NC_CHAR, kVarNames, "name text", "variable-names-list variable", "VNAME"},
    {"VUNIT", NC_CHAR, kVarNames, "name text", "variable-units-list  variable", "UNITS"},
    {"VDESC", NC_CHAR, kVarDescs, "desc text", "variable-descriptions-list  variable", "VDESC"},
    {"VTYPE", NC_INT, kPerVar, "basic datatype",
     "XQINT, XQREAL, or XQDBLE for INTEGER, REAL, or DOUBLE PRECISION types", "VTYPE"},
}};

// Positions in kSchema of the variables the reader handles by name.
enum SchemaIndex : std::size_t {
  kFnameVar = 0,
  kFtypeVar,
  kTstepVar,
  kNvarsVar,
  kNlaysVar,
  kNrowsVar,
  kNcolsVar,
  kNthikVar,
  kGdtypVar,
  kVgtypVar,
  kVglvsVar,
  kPalpVar,
  kPbetVar,
  kPgamVar,
  kXcentVar,
  kYcentVar,
  kXorigVar,
  kYorigVar,
  kXcellVar,
  kYcellVar,
  kGdnamVar,
  kFdescVar,
  kVnameVar,
  kVunitVar,
  kVdescVar,
  kVtypeVar,
};
static_assert(kVtypeVar + 1 == kSchema.size());

// Entries whose names the reader keeps: one table of MXVARS3 names.
inline constexpr int kMaxEntries = MXVARS3;

}  // namespace kavro::layout::dictionary

#endif  // KAVRO_NETCDF_DICTIONARY_FORMAT_H
