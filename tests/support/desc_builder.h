// The description record a test creates a file from (BDESC3 and CDESC3): a small gridded file
// by default, with the fields a test cares about given by fluent setters.
//
//   DescBuilder().file_type(kavro::BNDARY3).cells(5, 4, 2).variables({{"O3"}, {"NO2"}}).fill();
#ifndef KAVRO_TESTS_SUPPORT_DESC_BUILDER_H
#define KAVRO_TESTS_SUPPORT_DESC_BUILDER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kavro/params.h"

namespace kavro_test {

struct DescVariable {
  std::string name;
  int type = kavro::XQREAL;
  std::string units = {};
  std::string description = {};
};

// GDTYP3D and its parameters; the default (all zero) is a file without a projection.
struct DescProjection {
  int gdtyp = 0;
  double alpha = 0.0;
  double beta = 0.0;
  double gamma = 0.0;
  double xcent = 0.0;
  double ycent = 0.0;
};

// VGTYP3D, VGTOP3D and the first entries of VGLVS3D; the default is no vertical grid.
struct DescVertical {
  int vgtyp = 0;
  float vgtop = 0.0F;
  std::vector<float> levels = {};
};

class DescBuilder {
 public:
  // A gridded file of 4 x 3 cells of 12 km from (0, 0) and 2 layers (NTHIK 1), hourly from
  // 2024033:000000, on a Lambert grid (30, 60, -90 about -90, 40) named TEST_GRID, sigma levels
  // 1, 0.5, 0 under a 5000 Pa top, with two REAL variables V1 and V2 in ppmV.
  DescBuilder();

  DescBuilder& file_type(int ftype) { return set(ftype_, ftype); }
  DescBuilder& start(int sdate, int stime = 0) {
    sdate_ = sdate;
    return set(stime_, stime);
  }
  DescBuilder& time_step(int tstep) { return set(tstep_, tstep); }
  DescBuilder& cells(int ncols, int nrows, int nlays) {
    ncols_ = ncols;
    nrows_ = nrows;
    return set(nlays_, nlays);
  }
  DescBuilder& thickness(int nthik) { return set(nthik_, nthik); }
  DescBuilder& projection(DescProjection p) { return set(projection_, std::move(p)); }
  DescBuilder& origin(double x, double y) {
    xorig_ = x;
    return set(yorig_, y);
  }
  DescBuilder& cell_size(double x, double y) {
    xcell_ = x;
    return set(ycell_, y);
  }
  DescBuilder& vertical(DescVertical v) { return set(vertical_, std::move(v)); }
  DescBuilder& grid_name(std::string s) { return set(gdnam_, std::move(s)); }
  DescBuilder& updater(std::string s) { return set(upnam_, std::move(s)); }
  DescBuilder& execution(std::string s) { return set(execn_, std::move(s)); }
  // Line I (0-based) of FDESC3D or UPDSC3D.
  DescBuilder& file_line(std::size_t i, std::string s) { return line(fdesc_, i, std::move(s)); }
  DescBuilder& update_line(std::size_t i, std::string s) { return line(updsc_, i, std::move(s)); }
  // NVARS3D is their number.
  DescBuilder& variables(std::vector<DescVariable> v) { return set(variables_, std::move(v)); }

  // PREFIX1, PREFIX2, ... one of each type in TYPES, with UNITS and DESCRIPTION.
  static std::vector<DescVariable> numbered(std::string_view prefix, const std::vector<int>& types,
                                            const std::string& units = {},
                                            const std::string& description = {});

  // BDESC3 and CDESC3 cleared (zeros, blanks), then given these values. The extra attributes
  // of type 7 (BATTS3, CATTS3) are left as they are.
  void fill() const;

 private:
  template <typename T>
  DescBuilder& set(T& field, T value) {
    field = std::move(value);
    return *this;
  }
  DescBuilder& line(std::vector<std::pair<std::size_t, std::string>>& lines, std::size_t i,
                    std::string s) {
    lines.emplace_back(i, std::move(s));
    return *this;
  }

  int ftype_ = kavro::GRDDED3;
  int sdate_ = 2024033;
  int stime_ = 0;
  int tstep_ = 10000;
  int ncols_ = 4;
  int nrows_ = 3;
  int nlays_ = 2;
  int nthik_ = 1;
  DescProjection projection_;
  double xorig_ = 0.0;
  double yorig_ = 0.0;
  double xcell_ = 12000.0;
  double ycell_ = 12000.0;
  DescVertical vertical_;
  std::string gdnam_ = "TEST_GRID";
  std::string upnam_;
  std::string execn_;
  std::vector<std::pair<std::size_t, std::string>> fdesc_;
  std::vector<std::pair<std::size_t, std::string>> updsc_;
  std::vector<DescVariable> variables_;
};

}  // namespace kavro_test

#endif  // KAVRO_TESTS_SUPPORT_DESC_BUILDER_H
