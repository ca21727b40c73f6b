#include "filetype/file_type_model.h"

#include <array>

#include "kavro/params.h"
#include "util/layer_size.h"

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
    {"ID-COUNT", XQINT, kPerStep, &Bstate3::CNTVID3, "Error reading ID for variable ID-COUNT",
     "Error reading count for file "},
    {"ID", XQINT, kPerSite, &Bstate3::IDVID3, "Error reading netcdf ID for variable ID",
     "Error reading ID list for file "},
}};

constexpr std::array<StructuralVar, 6> kProfilVars = {{
    {"ID-COUNT", XQINT, kPerStep, &Bstate3::CNTVID3,
     "Error reading netcdf ID for variable ID-COUNT", "Error reading site count for file "},
    {"ID", XQINT, kPerSite, &Bstate3::IDVID3, "Error reading netcdf ID for variable ID",
     "Error reading ID list for file "},
    {"LEVEL-COUNT", XQINT, kPerSite, &Bstate3::LEVVID3, "Error reading ID for variable LEVEL-COUNT",
     "Error reading profile-count for file "},
    {"X", XQREAL, kPerSite, &Bstate3::XVID3, "Error reading ID for variable X",
     "Error reading X-coordinate for file "},
    {"Y", XQREAL, kPerSite, &Bstate3::YVID3, "Error reading ID for variable Y",
     "Error reading Y-coordinate for file "},
    {"Z", XQREAL, kPerSite, &Bstate3::ZVID3, "Error reading ID for variable Z",
     "Error reading Z-coordinate for file "},
}};

constexpr std::array<StructuralVar, 9> kGrnestVars = {{
    {"ID-COUNT", XQINT, kPerStep, &Bstate3::CNTVID3, "Error reading ID for variable ID-COUNT",
     "Error reading count for file "},
    {"ID", XQINT, kPerSite, &Bstate3::IDVID3, "Error reading netcdf ID for variable \"ID\"",
     "Error reading ID list for file "},
    // The window's columns and rows are not part of a transfer.
    {"WIN-COLS", XQINT, kPerSite, &Bstate3::WCOLVID3, "Error reading ID for variable WIN-COLS"},
    {"WIN-ROWS", XQINT, kPerSite, &Bstate3::WROWVID3, "Error reading ID for variable WIN-ROWST"},
    {"WIN-LEVS", XQINT, kPerSite, &Bstate3::LEVVID3, "Error reading ID for variable WIN-LEVS",
     "Error reading profile count for file "},
    {"X", XQDBLE, kPerSite, &Bstate3::XVID3, "Error reading ID for variable X",
     "Error reading X coord for file "},
    {"Y", XQDBLE, kPerSite, &Bstate3::YVID3, "Error reading ID for variable Y",
     "Error reading Y coord for file "},
    {"DX", XQDBLE, kPerSite, &Bstate3::DXVID3, "Error reading ID for variable DX",
     "Error reading cell DX for file "},
    {"DY", XQDBLE, kPerSite, &Bstate3::DYVID3, "Error reading ID for variable DY",
     "Error reading cell DY for file "},
}};

constexpr std::array<StructuralVar, 2> kSmatrxVars = {{
    {"COL-COUNT", XQINT, kPerMatrixRow, &Bstate3::IDVID3, "Error reading ID for variable COL-COUNT",
     "Error reading MAXROW for file "},
    {"COEFF-INDEX", XQINT, kPerCoef, &Bstate3::LEVVID3, "Error reading ID for variable COEFF-INDEX",
     "Error reading ROW INDEX for file "},
}};

constexpr std::array<StructuralVar, 5> kKfevntVars = {{
    {"KFCOUNT", XQINT, kPerCell, &Bstate3::CNTVID3, "Error reading netCDF ID for variable KFCOUNT"},
    {"KFEVENT", XQINT, kPerCellEvent, &Bstate3::IDVID3, "Error reading netCDF variable ID"},
    {"KFSDATE", XQINT, kPerCellEvent, &Bstate3::LEVVID3,
     "Error reading netCDF ID for variable KFSDATE"},
    {"KFSTIME", XQINT, kPerCellEvent, &Bstate3::XVID3,
     "Error reading netCDF ID for variable KFSTIME"},
    {"KFLNGTH", XQINT, kPerCellEvent, &Bstate3::YVID3,
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
constexpr std::array<TypeDimension, 3> kEventDims = {{{kCellEventDim, DimLength::kNthik},
                                                      {kRowDim, DimLength::kNrows},
                                                      {kColDim, DimLength::kNcols}}};

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

constexpr std::array<TypeLayout, 10> kTypes = {{
    {GRDDED3, GRDDED3, kGridDims, {}, kGridShape, kTflagShape},
    {kTypeSeven, GRDDED3, kGridDims, {}, kGridShape, kTflagShape},
    {PTRFLY3, GRDDED3, kGridDims, {}, kGridShape, kTflagShape},
    {BNDARY3, BNDARY3, kBoundaryDims, {}, kBoundaryShape, kTflagShape},
    {IDDATA3, IDDATA3, kSiteDims, kIddataVars, kSiteShape, kTflagShape},
    {PROFIL3, PROFIL3, kProfileDims, kProfilVars, kProfileShape, kTflagShape},
    {GRNEST3, GRNEST3, kProfileDims, kGrnestVars, kProfileShape, kTflagShape},
    {SMATRX3, SMATRX3, kMatrixDims, kSmatrxVars, kMatrixShape, kTflagShape},
    {CUSTOM3, CUSTOM3, kCustomDims, {}, kCustomShape, kTflagShape},
    {KFEVNT3, 0, kEventDims, kKfevntVars, kEventShape, kEventTflagShape},
}};

}  // namespace

const TypeLayout* type_layout(int ftype) noexcept {
  for (const TypeLayout& t : kTypes) {
    if (t.ftype == ftype) return &t;
  }
  return nullptr;
}

bool known_type(int ftype) noexcept { return type_layout(ftype) != nullptr; }

std::span<const TypeDimension> type_dimensions(int ftype) noexcept {
  const TypeLayout* t = type_layout(ftype);
  return t != nullptr ? t->dims : std::span<const TypeDimension>();
}

std::span<const StructuralVar> structural_variables(int ftype) noexcept {
  const TypeLayout* t = type_layout(ftype);
  return t != nullptr ? t->structural : std::span<const StructuralVar>();
}

std::span<const std::string_view> data_dimensions(int ftype) noexcept {
  const TypeLayout* t = type_layout(ftype);
  return t != nullptr ? t->shape : Dims();
}

std::span<const std::string_view> tflag_dimensions(int ftype) noexcept {
  const TypeLayout* t = type_layout(ftype);
  return t != nullptr ? t->tflag_shape : Dims(kTflagShape);
}

namespace {
std::int64_t length_of(DimLength which, std::int64_t ncols, std::int64_t nrows,
                       std::int64_t nthik) noexcept {
  switch (which) {
    case DimLength::kNcols:
      return ncols;
    case DimLength::kNrows:
      return nrows;
    case DimLength::kNthik:
      return nthik;
    case DimLength::kPerim:
      return detail::perimeter(ncols, nrows, nthik);
  }
  return 0;
}
}  // namespace

std::int64_t dimension_length(DimLength which, const Header& h) noexcept {
  return length_of(which, h.ncols, h.nrows, h.nthik);
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
  // A boundary's perimeter holds one layer of values: the reader addresses it by the layer
  // size, which equals the written length for a positive thickness.
  for (const TypeDimension& d : type_dimensions(h.ftype)) {
    if (d.name == name) return dimension_length(d.length, h);
  }
  return std::nullopt;
}

}  // namespace kavro::layout
