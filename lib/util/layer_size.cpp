#include "util/layer_size.h"

#include "kavro/params.h"
#include "util/overflow.h"

namespace kavro::detail {

std::int64_t perimeter(std::int64_t ncols, std::int64_t nrows, std::int64_t nthik) noexcept {
  const std::int64_t inner = sat_add(sat_add(ncols, nrows), sat_mul(2, nthik));
  return sat_mul(sat_mul(2, nthik < 0 ? -nthik : nthik), inner);
}

std::optional<std::int64_t> layer_size(int ftype, std::int64_t ncols, std::int64_t nrows,
                                       std::int64_t nthik) noexcept {
  switch (ftype) {
    case GRDDED3:
    case kTypeSeven:
    case PTRFLY3:
    case PROFIL3:
    case GRNEST3:
      return sat_mul(ncols, nrows);
    case BNDARY3:
      return perimeter(ncols, nrows, nthik);
    case IDDATA3:
    case KFEVNT3:
      return nrows;
    case CUSTOM3:
    case SMATRX3:
      return ncols;
    default:
      return std::nullopt;
  }
}

}  // namespace kavro::detail
