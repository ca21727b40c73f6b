#include "netcdf/header_atts.h"

#include <netcdf.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "kavro/fixed_string.h"

namespace kavro::detail {

namespace {

// The attribute's type and length, or a status.
int inquire(int ncid, int varid, const NcName& name, nc_type& type, std::size_t& len) {
  return nc_inq_att(ncid, varid, name.c_str(), &type, &len);
}

// Status for an attribute that must hold COUNT values of WANT.
int check_shape(nc_type type, std::size_t len, nc_type want, std::size_t count) {
  if (type != want) return NC_EBADTYPE;
  if (len != count) return NC_EINVAL;
  return NC_NOERR;
}

}  // namespace

NcName::NcName(std::string_view name) noexcept {
  const std::string_view t = trimmed(name);
  const std::size_t n = std::min(t.size(), sizeof buf_ - 1);
  std::memcpy(buf_, t.data(), n);
  buf_[n] = '\0';
}

namespace {
// One value of the expected netCDF type, read only after its type and length are checked.
template <typename T>
int get_scalar_att(int ncid, int varid, std::string_view name, nc_type want,
                   int (*get)(int, int, const char*, T*), T& value) {
  const NcName n(name);
  nc_type type{};
  std::size_t len = 0;
  int status = inquire(ncid, varid, n, type, len);
  if (status == NC_NOERR) status = check_shape(type, len, want, 1);
  if (status == NC_NOERR) status = get(ncid, varid, n.c_str(), &value);
  return status;
}
}  // namespace

namespace {
bool integer_type(nc_type type) noexcept {
  switch (type) {
    case NC_BYTE:
    case NC_SHORT:
    case NC_INT:
    case NC_INT64:
    case NC_UBYTE:
    case NC_USHORT:
    case NC_UINT:
    case NC_UINT64:
      return true;
    default:
      return false;
  }
}
}  // namespace

// Any integer type, for writers that store a Python int as 64 bits or a flag as a byte; the
// value must fit an int (NC_ERANGE otherwise).
int get_int_att(int ncid, int varid, std::string_view name, int& value) {
  const NcName n(name);
  nc_type type{};
  std::size_t len = 0;
  int status = inquire(ncid, varid, n, type, len);
  if (status != NC_NOERR) return status;
  if (!integer_type(type)) return NC_EBADTYPE;
  if (len != 1) return NC_EINVAL;
  if (type == NC_UINT64) {
    unsigned long long u = 0;
    status = nc_get_att_ulonglong(ncid, varid, n.c_str(), &u);
    if (status == NC_NOERR && u > static_cast<unsigned long long>(INT_MAX)) return NC_ERANGE;
    if (status == NC_NOERR) value = static_cast<int>(u);
    return status;
  }
  long long v = 0;
  status = nc_get_att_longlong(ncid, varid, n.c_str(), &v);
  if (status == NC_NOERR && (v < INT_MIN || v > INT_MAX)) return NC_ERANGE;
  if (status == NC_NOERR) value = static_cast<int>(v);
  return status;
}

int get_float_att(int ncid, int varid, std::string_view name, float& value) {
  return get_scalar_att(ncid, varid, name, NC_FLOAT, nc_get_att_float, value);
}

int get_double_att(int ncid, int varid, std::string_view name, double& value) {
  return get_scalar_att(ncid, varid, name, NC_DOUBLE, nc_get_att_double, value);
}

int get_float_atts(int ncid, int varid, std::string_view name, std::span<float> values,
                   int& count) {
  const NcName n(name);
  nc_type type{};
  std::size_t len = 0;
  int status = inquire(ncid, varid, n, type, len);
  if (status != NC_NOERR) return status;
  if (type != NC_FLOAT) return NC_EBADTYPE;
  if (len > values.size()) return NC_EINVAL;
  status = nc_get_att_float(ncid, varid, n.c_str(), values.data());
  if (status == NC_NOERR) count = static_cast<int>(len);
  return status;
}

int get_text_att(int ncid, int varid, std::string_view name, std::span<char> field,
                 std::size_t* length, bool* first_nul) {
  const NcName n(name);
  nc_type type{};
  std::size_t len = 0;
  int status = inquire(ncid, varid, n, type, len);
  if (status != NC_NOERR) return status;
  if (type != NC_CHAR) return NC_EBADTYPE;
  // netCDF reads an attribute only whole: a longer one goes through a buffer of its own
  // length (netCDF already holds that much of it in memory).
  std::vector<char> text(std::max<std::size_t>(len, 1));
  status = nc_get_att_text(ncid, varid, n.c_str(), text.data());
  if (status != NC_NOERR) return status;
  const std::string_view got(text.data(), len);
  if (length != nullptr) *length = len;
  if (first_nul != nullptr) *first_nul = len > 0 && got[0] == '\0';
  assign_padded(field, got.substr(0, std::min(got.find('\0'), got.size())));
  return NC_NOERR;
}

}  // namespace kavro::detail
