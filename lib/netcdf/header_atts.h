// Reading attributes of an untrusted netCDF header. Each reader first inquires the
// attribute's type and length and only then reads it, into storage known to be large
// enough. A numeric attribute of another type or length is refused; a text attribute is cut
// or blank-padded to its field. The result is a netCDF status for the funnel
// (netcdf_status.h): NC_EBADTYPE for a wrong type, NC_EINVAL for a wrong length.
#ifndef KAVRO_NETCDF_HEADER_ATTS_H
#define KAVRO_NETCDF_HEADER_ATTS_H

#include <cstddef>
#include <span>
#include <string_view>

namespace kavro::detail {

// One int (of any netCDF integer type whose value fits an int: NC_ERANGE otherwise), one
// float, one double.
[[nodiscard]] int get_int_att(int ncid, int varid, std::string_view name, int& value);
[[nodiscard]] int get_float_att(int ncid, int varid, std::string_view name, float& value);
[[nodiscard]] int get_double_att(int ncid, int varid, std::string_view name, double& value);

// Up to values.size() floats; COUNT receives how many the attribute holds. More than fit is
// refused (NC_EINVAL) without touching VALUES.
[[nodiscard]] int get_float_atts(int ncid, int varid, std::string_view name,
                                 std::span<float> values, int& count);

// Text into FIELD: cut to the field, blank-padded; a NUL ends the text (C writers store
// one). LENGTH receives the attribute's own length; FIRST_NUL whether its first character
// is a NUL. FIELD is left unchanged on failure.
[[nodiscard]] int get_text_att(int ncid, int varid, std::string_view name, std::span<char> field,
                               std::size_t* length = nullptr, bool* first_nul = nullptr);

// A name as a NUL-terminated string for the netCDF calls, without trailing blanks (names
// longer than netCDF allows are cut; the lookup then fails).
class NcName {
 public:
  explicit NcName(std::string_view name) noexcept;
  const char* c_str() const noexcept { return buf_; }

 private:
  char buf_[256 + 1];
};

}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_HEADER_ATTS_H
