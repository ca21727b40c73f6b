#include "c_api/description_copy.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

#include "kavro/kavro.h"

namespace kavro::detail {
namespace {

// The C records (kavro_c.h) are the C++ records (kavro/desc.h) written again for C callers,
// who hand them to the copies below. Each field must sit at the same offset with the same size
// and element type in both, and the records must have the same size: a field changed in one
// header and not the other stops the build here.
template <typename T>
struct Element {
  using type = std::remove_all_extents_t<T>;
};
template <typename T, std::size_t N>
struct Element<std::array<T, N>> {
  using type = typename Element<T>::type;
};
template <std::size_t N>
struct Element<FixedString<N>> {
  using type = char;
};
template <typename T>
using element_t = typename Element<T>::type;

static_assert(std::is_standard_layout_v<Bdesc3> && std::is_standard_layout_v<kavro_bdesc3>);
static_assert(std::is_standard_layout_v<Cdesc3> && std::is_standard_layout_v<kavro_cdesc3>);
static_assert(sizeof(kavro_bdesc3) == sizeof(Bdesc3));
static_assert(sizeof(kavro_cdesc3) == sizeof(Cdesc3));
static_assert(std::is_trivially_copyable_v<Bdesc3> && std::is_trivially_copyable_v<kavro_bdesc3>);

#define SAME_FIELD(c_record, cxx_record, field)                                             \
  static_assert(offsetof(c_record, field) == offsetof(cxx_record, field), #field " moved"); \
  static_assert(sizeof(c_record::field) == sizeof(cxx_record::field), #field " resized");   \
  static_assert(std::is_same_v<element_t<decltype(c_record::field)>,                        \
                               element_t<decltype(cxx_record::field)>>,                     \
                #field " retyped")
SAME_FIELD(kavro_bdesc3, Bdesc3, P_ALP3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, P_BET3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, P_GAM3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, XCENT3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, YCENT3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, XORIG3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, YORIG3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, XCELL3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, YCELL3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, FTYPE3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, CDATE3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, CTIME3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, WDATE3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, WTIME3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, SDATE3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, STIME3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, TSTEP3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, MXREC3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, NVARS3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, NCOLS3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, NROWS3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, NLAYS3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, NTHIK3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, GDTYP3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, VGTYP3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, VGTOP3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, VGLVS3D);
SAME_FIELD(kavro_bdesc3, Bdesc3, VTYPE3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, GDNAM3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, UPNAM3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, EXECN3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, FDESC3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, UPDSC3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, VNAME3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, UNITS3D);
SAME_FIELD(kavro_cdesc3, Cdesc3, VDESC3D);
#undef SAME_FIELD

// The checks above name every field: a record that gains a field fails to bind here until the
// new field is checked too (a field in the trailing padding would not change the size). The
// bindings are compiled when decltype deduces the result type; nothing is called.
template <typename Record>
auto bind_28_fields(const Record& r) {
  [[maybe_unused]] const auto& [f01, f02, f03, f04, f05, f06, f07, f08, f09, f10, f11, f12, f13,
                                f14, f15, f16, f17, f18, f19, f20, f21, f22, f23, f24, f25, f26,
                                f27, f28] = r;
  return true;
}
template <typename Record>
auto bind_8_fields(const Record& r) {
  [[maybe_unused]] const auto& [f1, f2, f3, f4, f5, f6, f7, f8] = r;
  return true;
}
static_assert(std::is_same_v<decltype(bind_28_fields(std::declval<const kavro_bdesc3&>())), bool>);
static_assert(std::is_same_v<decltype(bind_28_fields(std::declval<const Bdesc3&>())), bool>);
static_assert(std::is_same_v<decltype(bind_8_fields(std::declval<const kavro_cdesc3&>())), bool>);
static_assert(std::is_same_v<decltype(bind_8_fields(std::declval<const Cdesc3&>())), bool>);

// Fields of one width, end to end from `out`.
template <std::size_t N>
void copy_fields(char* out, std::span<const FixedString<N>> fields) noexcept {
  if (out == nullptr) return;
  for (const FixedString<N>& field : fields) {
    std::memcpy(out, field.padded().data(), N);
    out += N;
  }
}

template <std::size_t N>
void copy_field(char* out, const FixedString<N>& field) noexcept {
  copy_fields(out, std::span<const FixedString<N>>(&field, 1));
}

// The other way: fields end to end from `in` into the record's fields.
template <std::size_t N>
void take_fields(const char* in, std::span<FixedString<N>> fields) noexcept {
  if (in == nullptr) return;
  for (FixedString<N>& field : fields) {
    field.assign(std::string_view(in, N));
    in += N;
  }
}

template <std::size_t N>
void take_field(const char* in, FixedString<N>& field) noexcept {
  take_fields(in, std::span<FixedString<N>>(&field, 1));
}

}  // namespace

// The number records have one layout (checked above), so each is copied whole.
void fill_description(const kavro_bdesc3& b) noexcept {
  std::memcpy(&BDESC3, &b, sizeof(Bdesc3));
  // A caller of the C or Fortran record has no extra attributes to give.
  BATTS3.NATTS3.fill(0);
}

void fill_description(const ConstDescriptionText& t) noexcept {
  Cdesc3& d = CDESC3;
  take_field(t.GDNAM3D, d.GDNAM3D);
  take_field(t.UPNAM3D, d.UPNAM3D);
  take_field(t.EXECN3D, d.EXECN3D);
  take_fields<80>(t.FDESC3D, d.FDESC3D);
  take_fields<80>(t.UPDSC3D, d.UPDSC3D);
  take_fields<16>(t.VNAME3D, d.VNAME3D);
  take_fields<16>(t.UNITS3D, d.UNITS3D);
  take_fields<80>(t.VDESC3D, d.VDESC3D);
}

void copy_description(kavro_bdesc3& b) noexcept { std::memcpy(&b, &BDESC3, sizeof(Bdesc3)); }

void copy_description(const DescriptionText& t) noexcept {
  const Cdesc3& d = CDESC3;
  copy_field(t.GDNAM3D, d.GDNAM3D);
  copy_field(t.UPNAM3D, d.UPNAM3D);
  copy_field(t.EXECN3D, d.EXECN3D);
  copy_fields<80>(t.FDESC3D, d.FDESC3D);
  copy_fields<80>(t.UPDSC3D, d.UPDSC3D);
  copy_fields<16>(t.VNAME3D, d.VNAME3D);
  copy_fields<16>(t.UNITS3D, d.UNITS3D);
  copy_fields<80>(t.VDESC3D, d.VDESC3D);
}

}  // namespace kavro::detail
