#include "open/layout.h"

#include <netcdf.h>

#include <array>
#include <cstdlib>

namespace kavro::layout {

namespace {

using Dims = std::span<const std::string_view>;

// Shapes of the structural variables.
constexpr std::array<std::string_view, 1> kPerStep = {kTstepDim};
constexpr std::array<std::string_view, 2> kPerSite = {kTstepDim, kSiteDim};
constexpr std::array<std::string_view, 2> kPerMatrixRow = {kTstepDim, kRowNoDim};
constexpr std::array<std::string_view, 2> kPerCoef = {kTstepDim, kCoefDim};
constexpr std::array<std::string_view, 2> kPerCell = {kRowDim, kColDim};
constexpr std::array<std::string_view, 3> kPerCellEvent = {kRowDim, kColDim, kCellEventDim};

constexpr std::array<StructuralVar, 2> kIddataVars = {{
    {"ID-COUNT", NC_INT, kPerStep, &Bstate3::CNTVID3, "Error reading ID for variable ID-COUNT"},
    {"ID", NC_INT, kPerSite, &Bstate3::IDVID3, "Error reading netcdf ID for variable ID"},
}};

constexpr std::array<StructuralVar, 6> kProfilVars = {{
    {"ID-COUNT", NC_INT, kPerStep, &Bstate3::CNTVID3,
     "Error reading netcdf ID for variable ID-COUNT"},
    {"ID", NC_INT, kPerSite, &Bstate3::IDVID3, "Error reading netcdf ID for variable ID"},
    {"LEVEL-COUNT", NC_INT, kPerSite, &Bstate3::LEVVID3,
     "Error reading ID for variable LEVEL-COUNT"},
    {"X", NC_FLOAT, kPerSite, &Bstate3::XVID3, "Error reading ID for variable X"},
    {"Y", NC_FLOAT, kPerSite, &Bstate3::YVID3, "Error reading ID for variable Y"},
    {"Z", NC_FLOAT, kPerSite, &Bstate3::ZVID3, "Error reading ID for variable Z"},
}};

constexpr std::array<StructuralVar, 9> kGrnestVars = {{
    {"ID-COUNT", NC_INT, kPerStep, &Bstate3::CNTVID3, "Error reading ID for variable ID-COUNT"},
    {"ID", NC_INT, kPerSite, &Bstate3::IDVID3, "Error reading netcdf ID for variable \"ID\""},
    {"WIN-COLS", NC_INT, kPerSite, &Bstate3::WCOLVID3, "Error reading ID for variable WIN-COLS"},
    {"WIN-ROWS", NC_INT, kPerSite, &Bstate3::WROWVID3, "Error reading ID for variable WIN-ROWST"},
    {"WIN-LEVS", NC_INT, kPerSite, &Bstate3::LEVVID3, "Error reading ID for variable WIN-LEVS"},
    {"X", NC_DOUBLE, kPerSite, &Bstate3::XVID3, "Error reading ID for variable X"},
    {"Y", NC_DOUBLE, kPerSite, &Bstate3::YVID3, "Error reading ID for variable Y"},
    {"DX", NC_DOUBLE, kPerSite, &Bstate3::DXVID3, "Error reading ID for variable DX"},
    {"DY", NC_DOUBLE, kPerSite, &Bstate3::DYVID3, "Error reading ID for variable DY"},
}};

constexpr std::array<StructuralVar, 2> kSmatrxVars = {{
    {"COL-COUNT", NC_INT, kPerMatrixRow, &Bstate3::IDVID3,
     "Error reading ID for variable COL-COUNT"},
    {"COEFF-INDEX", NC_INT, kPerCoef, &Bstate3::LEVVID3,
     "Error reading ID for variable COEFF-INDEX"},
}};

constexpr std::array<StructuralVar, 5> kKfevntVars = {{
    {"KFCOUNT", NC_INT, kPerCell, &Bstate3::CNTVID3,
     "Error reading netCDF ID for variable KFCOUNT"},
    {"KFEVENT", NC_INT, kPerCellEvent, &Bstate3::IDVID3, "Error reading netCDF variable ID"},
    {"KFSDATE", NC_INT, kPerCellEvent, &Bstate3::LEVVID3,
     "Error reading netCDF ID for variable KFSDATE"},
    {"KFSTIME", NC_INT, kPerCellEvent, &Bstate3::XVID3,
     "Error reading netCDF ID for variable KFSTIME"},
    {"KFLNGTH", NC_INT, kPerCellEvent, &Bstate3::YVID3,
     "Error reading netCDF ID for variable KFLNGTH"},
}};

// Own dimensions of each type.
constexpr std::array<TypeDimension, 2> kGridDims = {
    {{kRowDim, DimLength::kNrows}, {kColDim, DimLength::kNcols}}};
constexpr std::array<TypeDimension, 1> kCustomDims = {{{kColDim, DimLength::kNcols}}};
constexpr std::array<TypeDimension, 1> kBoundaryDims = {{{kPerimDim, DimLength::kPerim}}};
constexpr std::array<TypeDimension, 1> kSiteDims = {{{kSiteDim, DimLength::kNrows}}};
constexpr std::array<TypeDimension, 2> kProfileDims = {
    {{kSiteDim, DimLength::kNrows}, {kLevelDim, DimLength::kNcols}}};
constexpr std::array<TypeDimension, 2> kMatrixDims = {
    {{kRowNoDim, DimLength::kNrows}, {kCoefDim, DimLength::kNcols}}};
constexpr std::array<TypeDimension, 3> kEventDims = {{{kRowDim, DimLength::kNrows},
                                                      {kColDim, DimLength::kNcols},
                                                      {kCellEventDim, DimLength::kNthik}}};

// Data-variable shapes.
constexpr std::array<std::string_view, 4> kGridShape = {kTstepDim, kLayDim, kRowDim, kColDim};
constexpr std::array<std::string_view, 3> kBoundaryShape = {kTstepDim, kLayDim, kPerimDim};
constexpr std::array<std::string_view, 3> kSiteShape = {kTstepDim, kLayDim, kSiteDim};
constexpr std::array<std::string_view, 4> kProfileShape = {kTstepDim, kLayDim, kSiteDim, kLevelDim};
constexpr std::array<std::string_view, 2> kMatrixShape = {kTstepDim, kCoefDim};
constexpr std::array<std::string_view, 3> kCustomShape = {kTstepDim, kLayDim, kColDim};
constexpr std::array<std::string_view, 2> kEventShape = {kTstepDim, kLayDim};

constexpr std::array<std::string_view, 3> kTflagShape = {kTstepDim, kVarDim, kDateTimeDim};
constexpr std::array<std::string_view, 2> kEventTflagShape = {kTstepDim, kDateTimeDim};

}  // namespace

bool known_type(int ftype) noexcept {
  return ftype == KFEVNT3 || ftype == CUSTOM3 || (ftype >= GRDDED3 && ftype <= PTRFLY3);
}

std::span<const TypeDimension> type_dimensions(int ftype) noexcept {
  switch (ftype) {
    case GRDDED3:
    case kTypeSeven:
    case PTRFLY3:
      return kGridDims;
    case CUSTOM3:
      return kCustomDims;
    case BNDARY3:
      return kBoundaryDims;
    case IDDATA3:
      return kSiteDims;
    case PROFIL3:
    case GRNEST3:
      return kProfileDims;
    case SMATRX3:
      return kMatrixDims;
    case KFEVNT3:
      return kEventDims;
    default:
      return {};
  }
}

std::span<const StructuralVar> structural_variables(int ftype) noexcept {
  switch (ftype) {
    case IDDATA3:
      return kIddataVars;
    case PROFIL3:
      return kProfilVars;
    case GRNEST3:
      return kGrnestVars;
    case SMATRX3:
      return kSmatrxVars;
    case KFEVNT3:
      return kKfevntVars;
    default:
      return {};
  }
}

std::span<const std::string_view> data_dimensions(int ftype) noexcept {
  switch (ftype) {
    case GRDDED3:
    case kTypeSeven:
    case PTRFLY3:
      return kGridShape;
    case BNDARY3:
      return kBoundaryShape;
    case IDDATA3:
      return kSiteShape;
    case PROFIL3:
    case GRNEST3:
      return kProfileShape;
    case SMATRX3:
      return kMatrixShape;
    case CUSTOM3:
      return kCustomShape;
    case KFEVNT3:
      return kEventShape;
    default:
      return {};
  }
}

std::span<const std::string_view> tflag_dimensions(int ftype) noexcept {
  if (ftype == KFEVNT3) return kEventTflagShape;
  return kTflagShape;
}

std::int64_t dimension_length(DimLength which, const Header& h) noexcept {
  const std::int64_t ncols = h.ncols, nrows = h.nrows, nthik = h.nthik;
  switch (which) {
    case DimLength::kNcols:
      return ncols;
    case DimLength::kNrows:
      return nrows;
    case DimLength::kNthik:
      return nthik;
    case DimLength::kPerim:
      return 2 * nthik * (ncols + nrows + 2 * nthik);
  }
  return 0;
}

std::optional<std::int64_t> layer_size(int ftype, std::int64_t ncols, std::int64_t nrows,
                                       std::int64_t nthik) noexcept {
  switch (ftype) {
    case KFEVNT3:
      return nrows;
    case CUSTOM3:
      return ncols;
    case GRDDED3:
    case PROFIL3:
    case GRNEST3:
    case kTypeSeven:
    case PTRFLY3:
      return ncols * nrows;
    // The leading factor takes the thickness without its sign, the inner one with it.
    case BNDARY3:
      return 2 * std::llabs(nthik) * (ncols + nrows + 2 * nthik);
    case IDDATA3:
      return nrows;
    case SMATRX3:
      return ncols;
    default:
      return std::nullopt;
  }
}

std::int64_t tstep_dimension_length(const Header& h) noexcept {
  if (h.ftype == KFEVNT3 || h.tstep > 0) return 0;
  return h.tstep == 0 ? 1 : 2;
}

std::optional<std::int64_t> expected_dimension_length(std::string_view name,
                                                      const Header& h) noexcept {
  if (name == kDateTimeDim) return h.ftype == KFEVNT3 ? kEventDateTimeLen : kDateTimeLen;
  if (name == kLayDim) return h.nlays;
  if (name == kVarDim) return h.nvars > 1 ? h.nvars : 1;
  for (const TypeDimension& d : type_dimensions(h.ftype)) {
    // A boundary's perimeter holds one layer of values: the reader addresses it by the
    // layer size, which equals the written length for a positive thickness.
    if (d.name == name && d.length == DimLength::kPerim) {
      return layer_size(h.ftype, h.ncols, h.nrows, h.nthik);
    }
    if (d.name == name) return dimension_length(d.length, h);
  }
  return std::nullopt;
}

}  // namespace kavro::layout
