#include "run/described.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "outputs/number_text.h"

namespace brindlewick {

using kavro::BDESC3;
using kavro::CDESC3;

namespace {

std::string integer_text(int v) {
  std::string s;
  append_integer(s, v);
  return s;
}

std::string real_text(float v) {
  std::string s;
  append_shortest(s, v);
  return s;
}

// Lines of text as one value: the lines without trailing blanks, empty ones at the end left out.
template <typename Lines>
std::string lines_text(const Lines& lines) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].trimmed().empty()) used = i + 1;
  }
  std::string s;
  for (std::size_t i = 0; i < used; ++i) {
    if (i > 0) s += '\n';
    s += lines[i].trimmed();
  }
  return s;
}

// A netCDF file's attributes beyond those its description carries (none for other kinds).
void add_undescribed(Described& d) {
  kavro::HeaderAttributes found;
  if (!kavro::header_attributes(d.lname, found)) return;
  for (const kavro::HeaderAttribute& a : found.global) {
    if (!a.described) d.attributes.push_back({a.name, a.value});
  }
  for (const kavro::VariableAttributes& v : found.variables) {
    const int k = d.find(v.variable);
    if (k < 0) continue;
    for (const kavro::HeaderAttribute& a : v.attributes) {
      if (!a.described)
        d.variables[static_cast<std::size_t>(k)].attributes.push_back({a.name, a.value});
    }
  }
}

}  // namespace

int step_length(int tstep) noexcept {
  return tstep == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max()
                                                  : std::abs(tstep);
}

std::string named_path(std::string_view lname) {
  const std::string name(kavro::trimmed(lname));
  const char* value = std::getenv(name.c_str());
  return value == nullptr ? name : std::string(kavro::trimmed(value));
}

int Described::find(std::string_view vname) const noexcept {
  const std::string_view name = kavro::trimmed(vname);
  for (std::size_t v = 0; v < variables.size(); ++v) {
    if (variables[v].name.trimmed() == name) return static_cast<int>(v);
  }
  return -1;
}

Described describe_record(std::string_view lname) {
  Described d;
  d.lname = std::string(kavro::trimmed(lname));
  d.path = named_path(d.lname);
  d.shape = {BDESC3.FTYPE3D, BDESC3.NCOLS3D, BDESC3.NROWS3D, BDESC3.NLAYS3D};
  GridPlace& g = d.place;
  g.GDTYP3D = BDESC3.GDTYP3D;
  g.P_ALP3D = BDESC3.P_ALP3D;
  g.P_BET3D = BDESC3.P_BET3D;
  g.P_GAM3D = BDESC3.P_GAM3D;
  g.XCENT3D = BDESC3.XCENT3D;
  g.YCENT3D = BDESC3.YCENT3D;
  g.XORIG3D = BDESC3.XORIG3D;
  g.YORIG3D = BDESC3.YORIG3D;
  g.XCELL3D = BDESC3.XCELL3D;
  g.YCELL3D = BDESC3.YCELL3D;
  g.GDNAM3D = CDESC3.GDNAM3D;
  d.mapping = kavro::grid_mapping_of(BDESC3);
  d.axis = {BDESC3.SDATE3D, BDESC3.STIME3D, BDESC3.TSTEP3D, BDESC3.MXREC3D};

  const int nvars = BDESC3.NVARS3D < 0 ? 0 : std::min(BDESC3.NVARS3D, kavro::MXVARS3);
  d.variables.resize(static_cast<std::size_t>(nvars));
  for (std::size_t v = 0; v < d.variables.size(); ++v) {
    DescribedVariable& var = d.variables[v];
    var.name = CDESC3.VNAME3D[v];
    var.vtype = BDESC3.VTYPE3D[v];
    var.units = CDESC3.UNITS3D[v];
    var.attributes = {{"units", std::string(CDESC3.UNITS3D[v].trimmed())},
                      {"var_desc", std::string(CDESC3.VDESC3D[v].trimmed())}};
  }

  // The vertical coordinate: NLAYS3D + 1 level values, within the table.
  const int nlevels = BDESC3.NLAYS3D < 0 ? 0 : std::min(BDESC3.NLAYS3D + 1, kavro::MXLEVS3);
  std::string levels;
  for (std::size_t k = 0; k < static_cast<std::size_t>(nlevels); ++k) {
    if (k > 0) levels += ' ';
    append_shortest(levels, BDESC3.VGLVS3D[k]);
  }
  d.attributes = {
      {"VGTYP", integer_text(BDESC3.VGTYP3D)},
      {"VGTOP", real_text(BDESC3.VGTOP3D)},
      {"VGLVLS", levels},
      {"NTHIK", integer_text(BDESC3.NTHIK3D)},
      {"FILEDESC", lines_text(CDESC3.FDESC3D)},
      {"HISTORY", lines_text(CDESC3.UPDSC3D)},
      {"UPNAM", std::string(CDESC3.UPNAM3D.trimmed())},
      {"EXEC_ID", std::string(CDESC3.EXECN3D.trimmed())},
      {"CDATE", integer_text(BDESC3.CDATE3D)},
      {"CTIME", integer_text(BDESC3.CTIME3D)},
      {"WDATE", integer_text(BDESC3.WDATE3D)},
      {"WTIME", integer_text(BDESC3.WTIME3D)},
  };
  add_undescribed(d);
  return d;
}

}  // namespace brindlewick
