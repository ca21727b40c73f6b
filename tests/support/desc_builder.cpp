#include "support/desc_builder.h"

#include "kavro/desc.h"

namespace kavro_test {

DescBuilder::DescBuilder()
    : projection_{2, 30.0, 60.0, -90.0, -90.0, 40.0},
      vertical_{7, 5000.0F, {1.0F, 0.5F, 0.0F}},
      variables_(numbered("V", {kavro::XQREAL, kavro::XQREAL}, "ppmV")) {}

std::vector<DescVariable> DescBuilder::numbered(std::string_view prefix,
                                                const std::vector<int>& types,
                                                const std::string& units,
                                                const std::string& description) {
  std::vector<DescVariable> out;
  for (std::size_t v = 0; v < types.size(); ++v) {
    // Appended: GCC 12 at -O2 sees a false overlap in `prefix + std::to_string(n)`.
    std::string name(prefix);
    name.append(std::to_string(v + 1));
    out.push_back({std::move(name), types[v], units, description});
  }
  return out;
}

// Out-of-range lines, levels or variables throw (at()) rather than write past the record.
void DescBuilder::fill() const {
  using kavro::BDESC3;
  using kavro::CDESC3;
  BDESC3 = kavro::Bdesc3{};
  CDESC3 = kavro::Cdesc3{};
  BDESC3.FTYPE3D = ftype_;
  BDESC3.SDATE3D = sdate_;
  BDESC3.STIME3D = stime_;
  BDESC3.TSTEP3D = tstep_;
  BDESC3.NCOLS3D = ncols_;
  BDESC3.NROWS3D = nrows_;
  BDESC3.NLAYS3D = nlays_;
  BDESC3.NTHIK3D = nthik_;
  BDESC3.GDTYP3D = projection_.gdtyp;
  BDESC3.P_ALP3D = projection_.alpha;
  BDESC3.P_BET3D = projection_.beta;
  BDESC3.P_GAM3D = projection_.gamma;
  BDESC3.XCENT3D = projection_.xcent;
  BDESC3.YCENT3D = projection_.ycent;
  BDESC3.XORIG3D = xorig_;
  BDESC3.YORIG3D = yorig_;
  BDESC3.XCELL3D = xcell_;
  BDESC3.YCELL3D = ycell_;
  BDESC3.VGTYP3D = vertical_.vgtyp;
  BDESC3.VGTOP3D = vertical_.vgtop;
  for (std::size_t l = 0; l < vertical_.levels.size(); ++l)
    BDESC3.VGLVS3D.at(l) = vertical_.levels[l];
  CDESC3.GDNAM3D = gdnam_;
  CDESC3.UPNAM3D = upnam_;
  CDESC3.EXECN3D = execn_;
  for (const auto& [i, text] : fdesc_) CDESC3.FDESC3D.at(i) = text;
  for (const auto& [i, text] : updsc_) CDESC3.UPDSC3D.at(i) = text;
  BDESC3.NVARS3D = static_cast<int>(variables_.size());
  for (std::size_t v = 0; v < variables_.size(); ++v) {
    CDESC3.VNAME3D.at(v) = variables_[v].name;
    CDESC3.UNITS3D.at(v) = variables_[v].units;
    CDESC3.VDESC3D.at(v) = variables_[v].description;
    BDESC3.VTYPE3D.at(v) = variables_[v].type;
  }
}

}  // namespace kavro_test
