// What a gridded netCDF file lacks of the layout, all at once and under the names the file
// should carry: the opener stops at the first gap and reports it in its own words; a person
// writing a file needs the whole list. Absent or of the wrong type count the same.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "filetype/layout.h"
#include "kavro/fixed_string.h"
#include "kavro/layout.h"
#include "kavro/params.h"
#include "netcdf/header_atts.h"
#include "netcdf/header_mistakes.h"

namespace kavro {
namespace {

enum class AttKind { kInteger, kFloat, kDouble, kText };

struct GlobalAtt {
  std::string_view name;
  AttKind kind;
};

// The global attributes the opener and DESC3 read, in the layout's order.
constexpr std::array<GlobalAtt, 31> kGlobals = {{
    {layout::kExecIdAtt, AttKind::kText},   {layout::kCdateAtt, AttKind::kInteger},
    {layout::kCtimeAtt, AttKind::kInteger}, {layout::kWdateAtt, AttKind::kInteger},
    {layout::kWtimeAtt, AttKind::kInteger}, {layout::kFtypeAtt, AttKind::kInteger},
    {layout::kSdateAtt, AttKind::kInteger}, {layout::kStimeAtt, AttKind::kInteger},
    {layout::kTstepAtt, AttKind::kInteger}, {layout::kNthikAtt, AttKind::kInteger},
    {layout::kNcolsAtt, AttKind::kInteger}, {layout::kNrowsAtt, AttKind::kInteger},
    {layout::kNlaysAtt, AttKind::kInteger}, {layout::kNvarsAtt, AttKind::kInteger},
    {layout::kGdtypAtt, AttKind::kInteger}, {layout::kPalpAtt, AttKind::kDouble},
    {layout::kPbetAtt, AttKind::kDouble},   {layout::kPgamAtt, AttKind::kDouble},
    {layout::kXcentAtt, AttKind::kDouble},  {layout::kYcentAtt, AttKind::kDouble},
    {layout::kXorigAtt, AttKind::kDouble},  {layout::kYorigAtt, AttKind::kDouble},
    {layout::kXcellAtt, AttKind::kDouble},  {layout::kYcellAtt, AttKind::kDouble},
    {layout::kVgtypAtt, AttKind::kInteger}, {layout::kVgtopAtt, AttKind::kFloat},
    {layout::kVglvlsAtt, AttKind::kFloat},  {layout::kGdnamAtt, AttKind::kText},
    {layout::kUpnamAtt, AttKind::kText},    {layout::kFiledescAtt, AttKind::kText},
    {layout::kHistoryAtt, AttKind::kText},
}};

constexpr std::string_view kind_name(AttKind kind) noexcept {
  switch (kind) {
    case AttKind::kInteger:
      return "int";
    case AttKind::kFloat:
      return "float";
    case AttKind::kDouble:
      return "double";
    case AttKind::kText:
      break;
  }
  return "text";
}

bool has_kind(nc_type type, AttKind kind) noexcept {
  switch (kind) {
    case AttKind::kInteger:
      return type == NC_BYTE || type == NC_SHORT || type == NC_INT || type == NC_INT64 ||
             type == NC_UBYTE || type == NC_USHORT || type == NC_UINT || type == NC_UINT64;
    case AttKind::kFloat:
      return type == NC_FLOAT;
    case AttKind::kDouble:
      return type == NC_DOUBLE;
    case AttKind::kText:
      return type == NC_CHAR;
  }
  return false;
}

bool att_present(int ncid, int varid, std::string_view name, AttKind kind) {
  const detail::NcName n(name);
  nc_type type{};
  std::size_t len = 0;
  return nc_inq_att(ncid, varid, n.c_str(), &type, &len) == NC_NOERR && has_kind(type, kind) &&
         len > 0;
}

// The data variables' names from VAR-LIST, 16 characters each; none when it cannot be read,
// and none, with MISMATCH set, when it holds another number of names than NVARS (the opener
// names that mistake).
std::vector<std::string> variable_names(int ncid, int nvars, bool& mismatch) {
  std::vector<std::string> names;
  mismatch = false;
  if (nvars <= 0 || nvars > MXVARS3) return names;
  std::vector<char> text(static_cast<std::size_t>(nvars) * NAMLEN3);
  std::size_t len = 0;
  if (detail::get_text_att(ncid, NC_GLOBAL, layout::kVarListAtt, text, &len) != NC_NOERR) {
    return names;
  }
  const std::string_view list(text.data(), std::min(len, text.size()));
  mismatch = !detail::var_list_mistake(nvars, list).view().empty();
  if (mismatch) return names;
  for (std::size_t v = 0; v < static_cast<std::size_t>(nvars); ++v) {
    names.emplace_back(trimmed(std::string_view(text.data() + v * NAMLEN3, NAMLEN3)));
  }
  return names;
}

void survey_globals(int ncid, std::vector<std::string>& gaps) {
  for (const GlobalAtt& a : kGlobals) {
    if (!att_present(ncid, NC_GLOBAL, a.name, a.kind)) {
      gaps.push_back("the " + std::string(kind_name(a.kind)) + " attribute " + std::string(a.name));
    }
  }
}

void survey_structure(int ncid, std::vector<std::string>& gaps) {
  for (const std::string_view dim : {layout::kTstepDim, layout::kDateTimeDim, layout::kLayDim,
                                     layout::kVarDim, layout::kRowDim, layout::kColDim}) {
    int id = 0;
    if (nc_inq_dimid(ncid, detail::NcName(dim).c_str(), &id) != NC_NOERR) {
      gaps.push_back("the dimension " + std::string(dim));
    }
  }
  int id = 0;
  if (nc_inq_varid(ncid, detail::NcName(layout::kTflagVar).c_str(), &id) != NC_NOERR) {
    gaps.push_back("the variable " + std::string(layout::kTflagVar));
  }
}

void survey_variables(int ncid, std::vector<std::string>& gaps) {
  int nvars = 0;
  if (detail::get_int_att(ncid, NC_GLOBAL, layout::kNvarsAtt, nvars) != NC_NOERR || nvars <= 0) {
    return;
  }
  bool mismatch = false;
  const std::vector<std::string> names = variable_names(ncid, nvars, mismatch);
  if (mismatch) return;
  if (names.empty()) {
    gaps.push_back("the text attribute " + std::string(layout::kVarListAtt));
    return;
  }
  for (const std::string& name : names) {
    int varid = 0;
    if (nc_inq_varid(ncid, name.c_str(), &varid) != NC_NOERR) {
      gaps.push_back("the variable " + name);
      continue;
    }
    for (const std::string_view att :
         {layout::kLongNameAtt, layout::kUnitsAtt, layout::kVarDescAtt}) {
      if (!att_present(ncid, varid, att, AttKind::kText)) {
        gaps.push_back(std::string(att) + " on " + name);
      }
    }
  }
}

}  // namespace

std::vector<std::string> layout_gaps(const std::string& path) {
  std::vector<std::string> gaps;
  int ncid = 0;
  if (nc_open(path.c_str(), NC_NOWRITE, &ncid) != NC_NOERR) return gaps;
  // A file with nothing in it (a damaged one netCDF still opens) is no attempt at the layout.
  int ndims = 0, nvars = 0, natts = 0;
  if (nc_inq(ncid, &ndims, &nvars, &natts, nullptr) != NC_NOERR || ndims + nvars + natts == 0) {
    (void)nc_close(ncid);
    return gaps;
  }
  survey_structure(ncid, gaps);
  survey_globals(ncid, gaps);
  survey_variables(ncid, gaps);
  // Read-only: a failed close loses nothing.
  (void)nc_close(ncid);
  return gaps;
}

std::string layout_gaps_line(std::string_view path, const std::vector<std::string>& gaps) {
  std::string line(path);
  line.append(" lacks ");
  for (std::size_t i = 0; i < gaps.size(); ++i) {
    if (i > 0) line.append(gaps.size() == 2 ? " and " : i + 1 == gaps.size() ? ", and " : ", ");
    line.append(gaps[i]);
  }
  return line;
}

}  // namespace kavro
