// The file-type model: the file layout of each file type (namespace layout), written down once: the
// names of the global attributes, dimensions and variables, the dimensions and structural variables
// of each file type (with the state table that holds each structural variable's id), the shape of
// the data variables. Every kind's transfers are planned from it (filetype/transfer_plan.h); the
// netCDF kind's opener, describer, reader and creator name the file's parts by it.
#ifndef KAVRO_FILETYPE_FILE_TYPE_MODEL_H
#define KAVRO_FILETYPE_FILE_TYPE_MODEL_H

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/state.h"

namespace kavro::layout {

// ---- Global attributes, in the order the writer defines them ----
inline constexpr std::string_view kVersionAtt = "KAVRO_VERSION";
inline constexpr std::string_view kExecIdAtt = "EXEC_ID";
inline constexpr std::string_view kFtypeAtt = "FTYPE";
inline constexpr std::string_view kCdateAtt = "CDATE";
inline constexpr std::string_view kCtimeAtt = "CTIME";
inline constexpr std::string_view kWdateAtt = "WDATE";
inline constexpr std::string_view kWtimeAtt = "WTIME";
inline constexpr std::string_view kSdateAtt = "SDATE";
inline constexpr std::string_view kStimeAtt = "STIME";
inline constexpr std::string_view kTstepAtt = "TSTEP";
inline constexpr std::string_view kNthikAtt = "NTHIK";
inline constexpr std::string_view kNcolsAtt = "NCOLS";
inline constexpr std::string_view kNrowsAtt = "NROWS";
inline constexpr std::string_view kNlaysAtt = "NLAYS";
inline constexpr std::string_view kNvarsAtt = "NVARS";
inline constexpr std::string_view kGdtypAtt = "GDTYP";
inline constexpr std::string_view kPalpAtt = "P_ALP";
inline constexpr std::string_view kPbetAtt = "P_BET";
inline constexpr std::string_view kPgamAtt = "P_GAM";
inline constexpr std::string_view kXcentAtt = "XCENT";
inline constexpr std::string_view kYcentAtt = "YCENT";
inline constexpr std::string_view kXorigAtt = "XORIG";
inline constexpr std::string_view kYorigAtt = "YORIG";
inline constexpr std::string_view kXcellAtt = "XCELL";
inline constexpr std::string_view kYcellAtt = "YCELL";
inline constexpr std::string_view kVgtypAtt = "VGTYP";
inline constexpr std::string_view kVgtopAtt = "VGTOP";
inline constexpr std::string_view kVglvlsAtt = "VGLVLS";
inline constexpr std::string_view kGdnamAtt = "GDNAM";
inline constexpr std::string_view kUpnamAtt = "UPNAM";
inline constexpr std::string_view kVarListAtt = "VAR-LIST";
inline constexpr std::string_view kFiledescAtt = "FILEDESC";
inline constexpr std::string_view kHistoryAtt = "HISTORY";

// Widths of the fixed-width text attributes.
inline constexpr int kExecIdLen = MXDLEN3;              // 80
inline constexpr int kNameLen = NAMLEN3;                // GDNAM, UPNAM, units: 16
inline constexpr int kDescTextLen = MXDESC3 * MXDLEN3;  // FILEDESC, HISTORY: 4800
// Level values a file stores: min(NLAYS + 1, 100).
inline constexpr int kStoredLevels = 100;

// ---- Variable attributes ----
inline constexpr std::string_view kLongNameAtt = "long_name";
inline constexpr std::string_view kUnitsAtt = "units";
inline constexpr std::string_view kVarDescAtt = "var_desc";
inline constexpr std::string_view kNattsAtt = "natts";
// Attributes that precede the extra attributes of a type-7 variable (long_name, units,
// var_desc, natts): the k-th extra attribute is attribute k + 4, counting from 1.
inline constexpr int kAttsBeforeExtras = 4;

// ---- Dimensions ----
inline constexpr std::string_view kTstepDim = "TSTEP";
inline constexpr std::string_view kDateTimeDim = "DATE-TIME";
inline constexpr std::string_view kLayDim = "LAY";
inline constexpr std::string_view kVarDim = "VAR";
inline constexpr std::string_view kRowDim = "ROW";
inline constexpr std::string_view kColDim = "COL";
inline constexpr std::string_view kPerimDim = "PERIM";
inline constexpr std::string_view kSiteDim = "SITE-NO";
inline constexpr std::string_view kLevelDim = "LEVEL";
inline constexpr std::string_view kRowNoDim = "ROW-NO";
inline constexpr std::string_view kCoefDim = "SP-COEF-NO";
inline constexpr std::string_view kCellEventDim = "CELL-EVENT";
// The record dimension of a dictionary file (one record per entry).
inline constexpr std::string_view kDictIndexDim = "FINDX3";

// ---- Time-step flags ----
inline constexpr std::string_view kTflagVar = "TFLAG";
inline constexpr std::string_view kDictFlagVar = "FLAG";  // a dictionary's record flags
inline constexpr int kDateTimeLen = 2;
inline constexpr int kEventDateTimeLen = 5;  // KFEVNT3: date, time, column, row, duration
inline constexpr std::string_view kTflagUnits = "<YYYYDDD,HHMMSS>";
inline constexpr std::string_view kEventTflagUnits = "<YYYYDDD,HHMMSS,C,R,H*MMSS>";
inline constexpr std::string_view kTflagDesc = "Timestep-valid flags:  (1) YYYYDDD or (2) HHMMSS";
inline constexpr std::string_view kEventTflagDesc =
    "Event-valid flags:  start YYYYDDD,HHMMSS; COL,ROW; duration H*MMSS>";

// The header values the layout depends on.
struct Header {
  int ftype = 0;
  int tstep = 0;
  int ncols = 0, nrows = 0, nlays = 0, nthik = 0;
  int nvars = 0;
};

// Which header values size a file type's own dimension.
enum class DimLength { kNcols, kNrows, kNthik, kPerim };

struct TypeDimension {
  std::string_view name;
  DimLength length;
};

// A structural variable of a special file type: its name, value type (XQINT, XQREAL, XQDBLE:
// netCDF's codes for the same types, which the netCDF kind checks), shape (declaration
// order, slowest first), the state table holding its id, the opener's failure text, and when
// a transfer reads it into the front of the caller's buffer, the transfer's failure text
// (empty: not read by the transfer).
struct StructuralVar {
  std::string_view name;
  int nc_type;
  std::span<const std::string_view> dims;
  PerSlot<int> Bstate3::*id_table;
  std::string_view open_failure;
  std::string_view transfer_failure = {};
};

// Everything the layout says of one file type, in one row.
struct TypeLayout {
  int ftype;
  // The type whose transfer routine reads it (GRDDED3 for types 1, 7 and 8); 0 for none.
  int transfer;
  std::span<const TypeDimension> dims;            // own dimensions, definition order
  std::span<const StructuralVar> structural;      // definition order
  std::span<const std::string_view> shape;        // a data variable, slowest first
  std::span<const std::string_view> tflag_shape;  // TFLAG, slowest first
};

// The row of a file type the netCDF layout knows; null for any other code.
const TypeLayout* type_layout(int ftype) noexcept;

// True for the file types the netCDF layout knows (-3, -1 and 1..8; the dictionary, type 0,
// has its own layout).
bool known_type(int ftype) noexcept;

// The file type's own dimensions, after TSTEP, DATE-TIME, LAY and VAR, in definition order.
std::span<const TypeDimension> type_dimensions(int ftype) noexcept;

// The file type's structural variables, in definition order.
std::span<const StructuralVar> structural_variables(int ftype) noexcept;

// Shape of a data variable of the file type (declaration order, slowest first, starting
// with TSTEP). GRNEST3 variables are (TSTEP, LAY, SITE-NO, LEVEL), like PROFIL3.
std::span<const std::string_view> data_dimensions(int ftype) noexcept;

// Length of one of the type's own dimensions, in 64-bit arithmetic (may be negative or
// huge for a bad header; the caller checks).
std::int64_t dimension_length(DimLength which, const Header& h) noexcept;

// Length of the TSTEP dimension a writer defines: 0 (unlimited) for TSTEP > 0 and for
// KFEVNT3, 1 for TSTEP = 0, 2 for TSTEP < 0.
std::int64_t tstep_dimension_length(const Header& h) noexcept;

// Length a named dimension must have in a file with this header; nullopt for TSTEP (its
// current length is the record count) and for names the layout does not give the type.
std::optional<std::int64_t> expected_dimension_length(std::string_view name,
                                                      const Header& h) noexcept;

// The dimensions of the time-step flag variable TFLAG for the type.
std::span<const std::string_view> tflag_dimensions(int ftype) noexcept;

}  // namespace kavro::layout

#endif  // KAVRO_FILETYPE_FILE_TYPE_MODEL_H
