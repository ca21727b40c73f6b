// kavro::header_attributes: a netCDF file's attributes, from the file the library holds open.
// Each attribute's type and length are asked before its value is read, into storage of that
// length.
#include <netcdf.h>

#include <array>
#include <charconv>
#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "core/kinds.h"
#include "core/netcdf_status.h"
#include "core/state.h"
#include "filetype/file_type_model.h"
#include "kavro/attributes.h"
#include "kavro/core.h"
#include "netcdf/netcdf_kind.h"

namespace kavro {
namespace {

using detail::nc_ok;

// Values read of one attribute at most; a longer one is told by its length only.
constexpr std::size_t kMostValues = std::size_t{1} << 20;

// The layout's global attributes: the description record carries their values.
constexpr std::array kDescribedGlobals = {
    layout::kVersionAtt, layout::kExecIdAtt, layout::kFtypeAtt,   layout::kCdateAtt,
    layout::kCtimeAtt,   layout::kWdateAtt,  layout::kWtimeAtt,   layout::kSdateAtt,
    layout::kStimeAtt,   layout::kTstepAtt,  layout::kNthikAtt,   layout::kNcolsAtt,
    layout::kNrowsAtt,   layout::kNlaysAtt,  layout::kNvarsAtt,   layout::kGdtypAtt,
    layout::kPalpAtt,    layout::kPbetAtt,   layout::kPgamAtt,    layout::kXcentAtt,
    layout::kYcentAtt,   layout::kXorigAtt,  layout::kYorigAtt,   layout::kXcellAtt,
    layout::kYcellAtt,   layout::kVgtypAtt,  layout::kVgtopAtt,   layout::kVglvlsAtt,
    layout::kGdnamAtt,   layout::kUpnamAtt,  layout::kVarListAtt, layout::kFiledescAtt,
    layout::kHistoryAtt};
constexpr std::array kDescribedOfVariable = {layout::kLongNameAtt, layout::kUnitsAtt,
                                             layout::kVarDescAtt};

template <typename List>
bool listed(const List& list, std::string_view name) noexcept {
  for (const std::string_view n : list) {
    if (n == name) return true;
  }
  return false;
}

template <typename T>
void append_numbers(std::string& out, const std::vector<T>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::array<char, 64> text{};
    const auto r = std::to_chars(text.data(), text.data() + text.size(), values[i]);
    if (i > 0) out += ' ';
    out.append(text.data(), r.ptr);
  }
}

template <typename T>
bool read_numbers(int ncid, int varid, const char* name, std::size_t len, std::string& out,
                  int fid) {
  std::vector<T> values(len);
  int status = NC_NOERR;
  if constexpr (std::is_same_v<T, double>) {
    status = nc_get_att_double(ncid, varid, name, values.data());
  } else if constexpr (std::is_same_v<T, float>) {
    status = nc_get_att_float(ncid, varid, name, values.data());
  } else {
    status = nc_get_att_longlong(ncid, varid, name, values.data());
  }
  if (!nc_ok(status, fid, "Error reading a header attribute")) return false;
  append_numbers(out, values);
  return true;
}

// The value of attribute NUMBER of VARID (NC_GLOBAL for the file's own) as text.
bool read_attribute(int ncid, int varid, int number, int fid, HeaderAttribute& att) {
  std::array<char, NC_MAX_NAME + 1> name{};
  if (!nc_ok(nc_inq_attname(ncid, varid, number, name.data()), fid,
             "Error asking a header attribute's name")) {
    return false;
  }
  nc_type type = NC_NAT;
  std::size_t len = 0;
  if (!nc_ok(nc_inq_att(ncid, varid, name.data(), &type, &len), fid,
             "Error asking a header attribute's type")) {
    return false;
  }
  att.name = name.data();
  if (len > kMostValues) {
    // Appended in steps: GCC 12 at -O3 warns falsely on "(" + std::string&&.
    att.value.assign(1, '(');
    att.value.append(std::to_string(len)).append(" values)");
    return true;
  }
  switch (type) {
    case NC_CHAR: {
      std::string text(len, '\0');
      if (!nc_ok(nc_get_att_text(ncid, varid, name.data(), text.data()), fid,
                 "Error reading a header attribute")) {
        return false;
      }
      // C writers end the text with a NUL; the layout pads with blanks.
      const std::size_t end = text.find('\0');
      if (end != std::string::npos) text.resize(end);
      while (!text.empty() && text.back() == ' ') text.pop_back();
      att.value = std::move(text);
      return true;
    }
    case NC_FLOAT:
      return read_numbers<float>(ncid, varid, name.data(), len, att.value, fid);
    case NC_DOUBLE:
      return read_numbers<double>(ncid, varid, name.data(), len, att.value, fid);
    case NC_BYTE:
    case NC_UBYTE:
    case NC_SHORT:
    case NC_USHORT:
    case NC_INT:
    case NC_UINT:
    case NC_INT64:
      return read_numbers<long long>(ncid, varid, name.data(), len, att.value, fid);
    default:
      // Unsigned 64-bit integers, strings and user-defined types: told by their type.
      att.value = "(netCDF type " + std::to_string(type) + ")";
      return true;
  }
}

bool read_attributes(int ncid, int varid, int count, int fid, std::vector<HeaderAttribute>& out) {
  out.resize(static_cast<std::size_t>(count < 0 ? 0 : count));
  for (int a = 0; a < count; ++a) {
    if (!read_attribute(ncid, varid, a, fid, out[static_cast<std::size_t>(a)])) return false;
  }
  return true;
}

}  // namespace

bool header_attributes(std::string_view lname, HeaderAttributes& out) {
  out = {};
  const int fid = NAME2FID(lname);
  if (fid <= 0 || &detail::kind_of(fid) != &detail::kNetcdfKind) return false;
  const int ncid = state().b.NCID3(fid);
  HeaderAttributes found;
  int nvars = 0, natts = 0;
  if (!nc_ok(nc_inq_nvars(ncid, &nvars), fid, "Error asking the variables") ||
      !nc_ok(nc_inq_natts(ncid, &natts), fid, "Error asking the attributes") ||
      !read_attributes(ncid, NC_GLOBAL, natts, fid, found.global)) {
    return false;
  }
  for (HeaderAttribute& a : found.global) a.described = listed(kDescribedGlobals, a.name);
  for (int v = 0; v < nvars; ++v) {
    std::array<char, NC_MAX_NAME + 1> name{};
    int count = 0;
    if (!nc_ok(nc_inq_varname(ncid, v, name.data()), fid, "Error asking a variable's name") ||
        !nc_ok(nc_inq_varnatts(ncid, v, &count), fid, "Error asking a variable's attributes")) {
      return false;
    }
    VariableAttributes& var = found.variables.emplace_back();
    var.variable = name.data();
    if (!read_attributes(ncid, v, count, fid, var.attributes)) return false;
    for (HeaderAttribute& a : var.attributes) a.described = listed(kDescribedOfVariable, a.name);
  }
  out = std::move(found);
  return true;
}

}  // namespace kavro
