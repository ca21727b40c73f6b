// Cell locations from a grid's own map projection: every cell's column and row, its centre in
// the projection's coordinates and its latitude and longitude, computed with PROJ on a sphere.
// A program that has no location file for a grid makes the same values a location file holds.
#ifndef KAVRO_PROJECTION_H
#define KAVRO_PROJECTION_H

#include <span>
#include <string_view>
#include <vector>

#include "kavro/desc.h"
#include "kavro/file.h"

namespace kavro {

// The horizontal grid as the description record gives it (GDTYP3D, P_ALP3D .. YCELL3D,
// NCOLS3D, NROWS3D).
struct GridMapping {
  int GDTYP = 0;
  double P_ALP = 0, P_BET = 0, P_GAM = 0;
  double XCENT = 0, YCENT = 0;
  double XORIG = 0, YORIG = 0, XCELL = 0, YCELL = 0;
  int NCOLS = 0, NROWS = 0;
};

// The grid of the description record's current file.
GridMapping grid_mapping_of(const Bdesc3& desc) noexcept;
// The grid of a file's description.
GridMapping grid_mapping_of(const Description& desc) noexcept;

// Where the values go: NCOLS x NROWS each, columns varying fastest, then rows.
struct CellLocations {
  std::span<double> COL, ROW, XLOCA, YLOCA, LATITUDE, LONGITUDE;
};

// What a grid type is called ("Lambert conformal conic"); "unknown" for a code that is none.
std::string_view grid_type_name(int gdtyp) noexcept;

// What CF calls the mapping of a grid's type and its parameters, from the same row the
// locations are computed by.
struct CfGridMapping {
  // CF's grid_mapping_name ("lambert_conformal_conic"); empty when CF names no such mapping.
  std::string_view name;
  // True when x and y are the projection's coordinates (every type but latitude-longitude):
  // they count from the origin (XCENT, YCENT), so the offsets apply.
  bool projected = false;
  // The parameters in CF's order; a name given twice (standard_parallel) has two values. A
  // projection's own false easting (UTM's) is among them; the origin offset is not.
  struct Parameter {
    std::string_view name;
    double value = 0;
  };
  std::vector<Parameter> parameters;
};
CfGridMapping cf_grid_mapping(const GridMapping& grid);

// The radius of the sphere the locations are computed on, in metres: KAVRO_EARTH_RADIUS, or
// 6 370 000 when it is unset or not a number above 0.
double earth_radius();

// The x/y origin (XCENT, YCENT) in the coordinates of the grid's own projection, whose centre
// is (0, 0): the offset added to a cell's x and y before the inverse projection. (0, 0) when
// the origin is that centre. For UTM (type 5) XCENT and YCENT are the offset in metres. False,
// with one log line naming the grid type, when the type cannot be mapped.
bool grid_origin_offset(const GridMapping& grid, double& x0, double& y0);

// Fills every cell's location: COL and ROW are 1-based indices, XLOCA and YLOCA the centre
// (XORIG + (c - 0.5) * XCELL, YORIG + (r - 0.5) * YCELL), LATITUDE and LONGITUDE (degrees)
// the centre through the inverse projection; a point the projection cannot invert is NaN.
// Grid types: 1 latitude-longitude, 2 Lambert conformal conic, 4 tangent stereographic, 5 UTM,
// 6 polar stereographic, 7 equatorial Mercator, 8 transverse Mercator, 9 Albers equal-area
// conic, 10 Lambert azimuthal equal-area. False, with one log line naming the grid type, for
// any other type or parameters the projection refuses; false with a log line for spans that
// are too small.
bool grid_locations(const GridMapping& grid, const CellLocations& out);

}  // namespace kavro

#endif  // KAVRO_PROJECTION_H
