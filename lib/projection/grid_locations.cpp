// Cell locations from a grid's projection, through PROJ. Each grid type is one row: its name
// and how its parameters make a PROJ definition and the projection's own centre. The cell
// walk, the origin offset and the inverse are written once for every row.
#include <proj.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/msgbuf.h"
#include "kavro/core.h"
#include "kavro/projection.h"
#include "settings/settings_table.h"

namespace kavro {
namespace {

// The longitude and latitude (degrees) of the point a projection maps to (0, 0).
struct Centre {
  double lon = 0, lat = 0;
};

// One parameter of a grid type's projection: its PROJ key and CF's attribute name (an empty
// one: the parameter is the other's only) and its value from the grid.
struct Parameter {
  std::string_view proj;
  std::string_view cf;
  double (*value)(const GridMapping&);
};

// A grid type: its name, CF's name for its mapping (empty when CF names none), the PROJ
// projection (empty for latitude-longitude and the types that cannot be mapped) with its
// parameters, in CF's order, and the projection's own centre, or none (latitude-longitude,
// UTM, the types that cannot be mapped).
struct GridType {
  int gdtyp;
  std::string_view name;
  std::string_view cf_name;
  std::string_view projection;
  std::span<const Parameter> parameters;
  Centre (*centre)(const GridMapping&);
};

std::string number(double v) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.17g", v);
  return text.data();
}

constexpr double p_alp(const GridMapping& g) { return g.P_ALP; }
constexpr double p_bet(const GridMapping& g) { return g.P_BET; }
constexpr double p_gam(const GridMapping& g) { return g.P_GAM; }
constexpr double ycent(const GridMapping& g) { return g.YCENT; }
constexpr double zero(const GridMapping&) { return 0.0; }
constexpr double one(const GridMapping&) { return 1.0; }
constexpr double pole_latitude(const GridMapping& g) { return g.P_ALP < 0 ? -90.0 : 90.0; }
// UTM: the zone's central meridian, its scale and its false easting; PROJ's utm wants an
// ellipsoid, so the zone is the same transverse Mercator on the sphere.
double utm_meridian(const GridMapping& g) { return 6.0 * std::round(g.P_ALP) - 183.0; }
constexpr double utm_scale(const GridMapping&) { return 0.9996; }
constexpr double utm_false_easting(const GridMapping&) { return 500000.0; }

constexpr std::array<Parameter, 4> kConic = {{
    {"lat_1", "standard_parallel", p_alp},
    {"lat_2", "standard_parallel", p_bet},
    {"lon_0", "longitude_of_central_meridian", p_gam},
    {"lat_0", "latitude_of_projection_origin", ycent},
}};
constexpr std::array<Parameter, 3> kTangentStereographic = {{
    {"lat_0", "latitude_of_projection_origin", p_alp},
    {"lon_0", "longitude_of_projection_origin", p_bet},
    {"", "scale_factor_at_projection_origin", one},
}};
constexpr std::array<Parameter, 4> kUtm = {{
    {"", "latitude_of_projection_origin", zero},
    {"lon_0", "longitude_of_central_meridian", utm_meridian},
    {"k_0", "scale_factor_at_central_meridian", utm_scale},
    {"x_0", "false_easting", utm_false_easting},
}};
constexpr std::array<Parameter, 3> kPolarStereographic = {{
    {"lat_0", "latitude_of_projection_origin", pole_latitude},
    {"lon_0", "straight_vertical_longitude_from_pole", p_gam},
    {"lat_ts", "standard_parallel", p_bet},
}};
constexpr std::array<Parameter, 2> kMercator = {{
    {"lon_0", "longitude_of_projection_origin", p_gam},
    {"lat_ts", "standard_parallel", p_alp},
}};
constexpr std::array<Parameter, 3> kTransverseMercator = {{
    {"lat_0", "latitude_of_projection_origin", p_alp},
    {"k_0", "scale_factor_at_central_meridian", p_bet},
    {"lon_0", "longitude_of_central_meridian", p_gam},
}};
constexpr std::array<Parameter, 2> kAzimuthalEqualArea = {{
    {"lat_0", "latitude_of_projection_origin", p_alp},
    {"lon_0", "longitude_of_projection_origin", p_gam},
}};

Centre meridian_at_ycent(const GridMapping& g) { return {g.P_GAM, g.YCENT}; }
Centre tangent_point(const GridMapping& g) { return {g.P_BET, g.P_ALP}; }
Centre pole(const GridMapping& g) { return {g.P_GAM, pole_latitude(g)}; }
Centre equator(const GridMapping& g) { return {g.P_GAM, 0.0}; }
Centre meridian_at_alpha(const GridMapping& g) { return {g.P_GAM, g.P_ALP}; }

constexpr std::array<GridType, 10> kGridTypes = {{
    {1, "latitude-longitude", "latitude_longitude", "", {}, nullptr},
    {2, "Lambert conformal conic", "lambert_conformal_conic", "lcc", kConic, meridian_at_ycent},
    {3, "general Mercator", "", "", {}, nullptr},
    {4, "tangent stereographic", "stereographic", "stere", kTangentStereographic, tangent_point},
    {5, "UTM", "transverse_mercator", "tmerc", kUtm, nullptr},
    {6, "polar stereographic", "polar_stereographic", "stere", kPolarStereographic, pole},
    {7, "equatorial Mercator", "mercator", "merc", kMercator, equator},
    {8, "transverse Mercator", "transverse_mercator", "tmerc", kTransverseMercator,
     meridian_at_alpha},
    {9, "Albers equal-area conic", "albers_conical_equal_area", "aea", kConic, meridian_at_ycent},
    {10, "Lambert azimuthal equal-area", "lambert_azimuthal_equal_area", "laea",
     kAzimuthalEqualArea, meridian_at_alpha},
}};

// The PROJ definition of the type's projection for the grid, without the sphere.
std::string definition(const GridType& type, const GridMapping& g) {
  std::string text = "+proj=" + std::string(type.projection);
  for (const Parameter& p : type.parameters) {
    if (!p.proj.empty()) text += " +" + std::string(p.proj) + "=" + number(p.value(g));
  }
  return text;
}

const GridType* find_type(int gdtyp) noexcept {
  for (const GridType& t : kGridTypes) {
    if (t.gdtyp == gdtyp) return &t;
  }
  return nullptr;
}

void say_unmapped(int gdtyp, std::string_view why) {
  detail::MsgBuf<256> m;
  m.format("Grid type %d (", gdtyp);
  m.append(grid_type_name(gdtyp));
  m.append(") cannot be mapped to latitude and longitude");
  m.append(why);
  XQMSG2(m.view());
}

// One PROJ context and projection, released together.
class Proj {
 public:
  Proj() noexcept : ctx_(proj_context_create()) {}
  ~Proj() {
    if (pj_ != nullptr) proj_destroy(pj_);
    if (ctx_ != nullptr) proj_context_destroy(ctx_);
  }
  Proj(const Proj&) = delete;
  Proj& operator=(const Proj&) = delete;

  // The grid's projection on the sphere; false, said in the log, when PROJ refuses it.
  bool make(const GridMapping& g, const GridType& type) {
    if (ctx_ == nullptr) {
      say_unmapped(g.GDTYP, ": PROJ could not start");
      return false;
    }
    proj_log_level(ctx_, PJ_LOG_NONE);
    const std::string text = definition(type, g) + " +R=" + number(earth_radius());
    pj_ = proj_create(ctx_, text.c_str());
    if (pj_ != nullptr) return true;
    const std::string why =
        std::string(": ") + proj_context_errno_string(ctx_, proj_context_errno(ctx_));
    say_unmapped(g.GDTYP, why);
    return false;
  }
  // Projected x and y of a longitude and latitude in degrees.
  bool forward(double lon, double lat, double& x, double& y) const noexcept {
    const PJ_COORD c = proj_trans(pj_, PJ_FWD, proj_coord(proj_torad(lon), proj_torad(lat), 0, 0));
    x = c.xy.x;
    y = c.xy.y;
    return std::isfinite(x) && std::isfinite(y) && x != HUGE_VAL;
  }
  // In place: x and y (metres) become longitude and latitude (degrees); NaN where none.
  void inverse(std::span<double> x, std::span<double> y) const noexcept {
    proj_trans_generic(pj_, PJ_INV, x.data(), sizeof(double), x.size(), y.data(), sizeof(double),
                       y.size(), nullptr, 0, 0, nullptr, 0, 0);
    for (std::size_t i = 0; i < x.size(); ++i) {
      const bool ok = x[i] != HUGE_VAL && y[i] != HUGE_VAL && std::isfinite(x[i]);
      x[i] = ok ? proj_todeg(x[i]) : std::numeric_limits<double>::quiet_NaN();
      y[i] = ok ? proj_todeg(y[i]) : std::numeric_limits<double>::quiet_NaN();
    }
  }

 private:
  PJ_CONTEXT* ctx_;
  PJ* pj_ = nullptr;
};

// The offset of the x/y origin with the projection already made.
bool offset_with(const Proj& proj, const GridMapping& g, const GridType& type, double& x0,
                 double& y0) {
  x0 = y0 = 0;
  if (type.centre == nullptr) {  // UTM: the offset is given in metres
    x0 = g.XCENT;
    y0 = g.YCENT;
    return true;
  }
  const Centre c = type.centre(g);
  if (c.lon == g.XCENT && c.lat == g.YCENT) return true;
  if (proj.forward(g.XCENT, g.YCENT, x0, y0)) return true;
  say_unmapped(g.GDTYP, ": its x/y origin cannot be projected");
  return false;
}

// The type's row, or none with the line that says so.
const GridType* mappable(int gdtyp) {
  const GridType* type = find_type(gdtyp);
  if (type != nullptr && (type->gdtyp == 1 || !type->projection.empty())) return type;
  say_unmapped(gdtyp, "");
  return nullptr;
}

}  // namespace

GridMapping grid_mapping_of(const Bdesc3& d) noexcept {
  return {d.GDTYP3D, d.P_ALP3D, d.P_BET3D, d.P_GAM3D, d.XCENT3D, d.YCENT3D,
          d.XORIG3D, d.YORIG3D, d.XCELL3D, d.YCELL3D, d.NCOLS3D, d.NROWS3D};
}

GridMapping grid_mapping_of(const Description& d) noexcept {
  const Projection& p = d.projection;
  return {p.type,       p.alpha,      p.beta,       p.gamma,      p.xcent,      p.ycent,
          d.grid.xorig, d.grid.yorig, d.grid.xcell, d.grid.ycell, d.grid.ncols, d.grid.nrows};
}

std::string_view grid_type_name(int gdtyp) noexcept {
  const GridType* type = find_type(gdtyp);
  return type == nullptr ? "unknown" : type->name;
}

CfGridMapping cf_grid_mapping(const GridMapping& grid) {
  CfGridMapping out;
  const GridType* type = find_type(grid.GDTYP);
  if (type == nullptr || type->cf_name.empty()) return out;
  out.name = type->cf_name;
  out.projected = !type->projection.empty();
  for (const Parameter& p : type->parameters) {
    if (!p.cf.empty()) out.parameters.push_back({p.cf, p.value(grid)});
  }
  return out;
}

double earth_radius() { return detail::setting_number("KAVRO_EARTH_RADIUS", "GRIDLOC"); }

bool grid_origin_offset(const GridMapping& grid, double& x0, double& y0) {
  x0 = y0 = 0;
  const GridType* type = mappable(grid.GDTYP);
  if (type == nullptr) return false;
  if (type->gdtyp == 1) return true;
  Proj proj;
  return proj.make(grid, *type) && offset_with(proj, grid, *type, x0, y0);
}

bool grid_locations(const GridMapping& grid, const CellLocations& out) {
  const std::size_t ncols = grid.NCOLS > 0 ? static_cast<std::size_t>(grid.NCOLS) : 0;
  const std::size_t nrows = grid.NROWS > 0 ? static_cast<std::size_t>(grid.NROWS) : 0;
  const std::size_t cells = ncols * nrows;
  for (const std::span<double>* s :
       {&out.COL, &out.ROW, &out.XLOCA, &out.YLOCA, &out.LATITUDE, &out.LONGITUDE}) {
    if (s->size() < cells) {
      XQMSG2("Cell locations: the arrays given hold fewer values than the grid has cells");
      return false;
    }
  }
  const GridType* type = mappable(grid.GDTYP);
  if (type == nullptr) return false;
  Proj proj;
  double x0 = 0, y0 = 0;
  if (type->gdtyp != 1 && !(proj.make(grid, *type) && offset_with(proj, grid, *type, x0, y0))) {
    return false;
  }
  for (std::size_t r = 0; r < nrows; ++r) {
    for (std::size_t c = 0; c < ncols; ++c) {
      const std::size_t i = r * ncols + c;
      out.COL[i] = static_cast<double>(c + 1);
      out.ROW[i] = static_cast<double>(r + 1);
      out.XLOCA[i] = grid.XORIG + (static_cast<double>(c) + 0.5) * grid.XCELL;
      out.YLOCA[i] = grid.YORIG + (static_cast<double>(r) + 0.5) * grid.YCELL;
      out.LONGITUDE[i] = out.XLOCA[i] + x0;
      out.LATITUDE[i] = out.YLOCA[i] + y0;
    }
  }
  if (type->gdtyp != 1) proj.inverse(out.LONGITUDE.first(cells), out.LATITUDE.first(cells));
  return true;
}

}  // namespace kavro
