#include "filetype/transfer_plan.h"

#include <climits>
#include <cstddef>

#include "core/sizes.h"
#include "core/state.h"
#include "kavro/params.h"

namespace kavro::detail {

int as_count(std::int64_t v) noexcept { return v < 0 || v > INT_MAX ? -1 : static_cast<int>(v); }

layout::Header header_for(int ftype, int fid) noexcept {
  const Bstate3& b = state().b;
  return {ftype,         b.TSTEP3(fid), b.NCOLS3(fid), b.NROWS3(fid),
          b.NLAYS3(fid), b.NTHIK3(fid), b.NVARS3(fid)};
}

bool plan_for(int ftype, int fid, int layer, int step, Plan& p) noexcept {
  const layout::TypeLayout* t = layout::type_layout(ftype);
  if (t == nullptr || t->transfer == 0) return false;
  const layout::Header h = header_for(ftype, fid);
  const bool all = layer == ALLAYS3;
  p.layer = layer;
  p.record = step;
  p.size = 1;
  std::size_t i = 0;  // fastest varying first: the shape read from its end
  for (auto d = t->shape.rbegin(); d != t->shape.rend(); ++d, ++i) {
    if (*d == layout::kTstepDim) {
      p.start[i] = step;
      p.count[i] = 1;
      continue;
    }
    std::int64_t n = 0;
    if (*d == layout::kLayDim) {
      p.start[i] = all ? 1 : layer;
      n = all ? h.nlays : 1;
    } else {
      p.start[i] = 1;
      n = layout::expected_dimension_length(*d, h).value_or(0);
    }
    p.count[i] = as_count(n);
    p.size = sat_mul(p.size, non_negative(n));
  }
  return true;
}

std::int64_t array_values(const layout::StructuralVar& a, const layout::Header& h) noexcept {
  if (a.dims.size() < 2) return 1;
  return layout::expected_dimension_length(a.dims[1], h).value_or(0);
}

ArraySlab array_slab(const layout::StructuralVar& a, const layout::Header& h, int step) noexcept {
  const std::int64_t n = array_values(a, h);
  ArraySlab s;
  s.words = sat_mul(non_negative(n), words_per_value(a.nc_type));
  if (a.dims.size() < 2) {
    s.start = {step, 0};
    s.count = {1, 0};
  } else {
    s.rank = 2;
    s.start = {1, step};
    s.count = {as_count(n), 1};
  }
  return s;
}

std::int64_t header_words(int ftype, int fid) noexcept {
  const layout::Header h = header_for(ftype, fid);
  std::int64_t words = 0;
  for (const layout::StructuralVar& a : layout::structural_variables(ftype)) {
    if (a.transfer_failure.empty()) continue;
    words = sat_add(words, array_slab(a, h, 1).words);
  }
  return words;
}

void layer_and_record(int nlays, VarRead& r) noexcept {
  const int rank = rank_of(r.count);
  r.record = rank >= 1 ? r.start[static_cast<std::size_t>(rank - 1)] : 0;
  if (rank < 2) {
    r.layer = 0;
    return;
  }
  const auto i = static_cast<std::size_t>(rank - 2);
  r.layer = r.start[i] == 1 && r.count[i] == nlays ? ALLAYS3 : r.start[i];
}

int rank_of(const SlabVector& count) noexcept {
  int rank = static_cast<int>(count.size());
  while (rank > 0 && count[static_cast<std::size_t>(rank - 1)] == 0) --rank;
  return rank;
}

int transfer_type(int fid) noexcept {
  const layout::TypeLayout* t = layout::type_layout(state().b.FTYPE3(fid));
  return t != nullptr ? t->transfer : 0;
}

}  // namespace kavro::detail
