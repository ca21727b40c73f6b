#include "binary/record_offsets.h"

#include "kavro/params.h"
#include "util/layer_size.h"
#include "util/overflow.h"

namespace kavro::detail {

namespace {

// Bytes of one value of type VTYPE by ST's sizes into SIZE; false (SIZE 0) for an invalid type.
bool value_size(const BinState& st, int vtype, std::int64_t& size) noexcept {
  switch (vtype) {
    case XQINT:
      size = st.int_size;
      return true;
    case XQREAL:
      size = st.real_size;
      return true;
    case XQDBLE:
      size = st.dble_size;
      return true;
    default:
      size = 0;
      return false;
  }
}

}  // namespace

std::optional<LayerShape> layer_shape(const Fields& f) noexcept {
  const std::int64_t ncols = f.ncols;
  const std::int64_t nrows = f.nrows;
  const std::int64_t isize = f.isize;
  const std::int64_t dsize = f.dsize;
  std::int64_t arrays = 0;
  switch (f.ftype) {
    case CUSTOM3:
    case GRDDED3:
    case BNDARY3:
      break;
    case IDDATA3:
      arrays = (nrows + 1) * isize;
      break;
    case PROFIL3:
      arrays = (2 * nrows + 1) * isize + 3 * nrows * dsize;
      break;
    case SMATRX3:
      arrays = (ncols + nrows) * isize;
      break;
    default:
      return std::nullopt;
  }
  // NTHIK is any 32-bit value here: a perimeter too large saturates and is refused.
  return LayerShape{*layer_size(f.ftype, ncols, nrows, f.nthik), arrays};
}

int compute_record_offsets(BinState& st, const Fields& f, std::span<const int> vtype) noexcept {
  const std::optional<LayerShape> shape = layer_shape(f);
  if (!shape) return 0;
  if (shape->values < 0 || shape->values > INT32_MAX) return -1;
  std::int64_t off = 8 * static_cast<std::int64_t>(f.nvars > 0 ? f.nvars : 1) + shape->arrays;
  st.data_start = off;
  int result = 1;
  for (int v = 0; v < f.nvars; ++v) {
    const auto i = static_cast<std::size_t>(v);
    st.vtype[i] = vtype[i];
    std::int64_t size = 0;
    if (!value_size(st, vtype[i], size) && result == 1) result = -(v + 2);
    std::int64_t bytes = 0;
    if (!checked_mul(shape->values, size, st.lay_size[i]) ||
        !checked_mul(st.lay_size[i], f.nlays, bytes)) {
      return -1;
    }
    st.offset[i] = off;
    if (!checked_add(off, bytes, off)) return -1;
  }
  st.rec_len = off;
  st.hdr_len = kFixedHeader + kVarTableEntry * f.nvars;
  return result;
}

}  // namespace kavro::detail
