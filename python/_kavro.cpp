// kavro._kavro: the compiled core under the Python package. It converts types between Python
// and kavro::File (descriptions to dicts, values to numpy arrays) and turns a kavro::Error into
// the package's kavro.Error; everything else lives in the plain-Python package.
//
// The library keeps one state per process and no two calls may run at once: every call here
// keeps the GIL, so Python threads (xarray's, Dask's threaded scheduler) take turns.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "kavro/core.h"
#include "kavro/file.h"
#include "kavro/file_names.h"
#include "kavro/fixed_string.h"
#include "kavro/open.h"
#include "kavro/params.h"
#include "kavro/projection.h"
#include "kavro/version.h"
#include "options/setting_table.h"

namespace py = pybind11;

namespace {

py::dict grid_dict(const kavro::Grid& g) {
  py::dict d;
  d["name"] = g.name;
  d["ncols"] = g.ncols;
  d["nrows"] = g.nrows;
  d["nthik"] = g.nthik;
  d["xorig"] = g.xorig;
  d["yorig"] = g.yorig;
  d["xcell"] = g.xcell;
  d["ycell"] = g.ycell;
  return d;
}

py::dict projection_dict(const kavro::Projection& p) {
  py::dict d;
  d["type"] = p.type;
  d["alpha"] = p.alpha;
  d["beta"] = p.beta;
  d["gamma"] = p.gamma;
  d["xcent"] = p.xcent;
  d["ycent"] = p.ycent;
  return d;
}

py::dict description_dict(const kavro::Description& desc) {
  py::dict time;
  time["start"] = py::make_tuple(desc.time.start.date, desc.time.start.time);
  time["step"] = desc.time.step;
  time["records"] = desc.time.records;
  py::dict vertical;
  vertical["layers"] = desc.vertical.layers;
  vertical["type"] = desc.vertical.type;
  vertical["top"] = desc.vertical.top;
  vertical["levels"] = desc.vertical.levels;
  py::list variables;
  for (const kavro::Variable& v : desc.variables) {
    py::dict var;
    var["name"] = v.name;
    var["units"] = v.units;
    var["description"] = v.description;
    var["type"] = static_cast<int>(v.type);
    variables.append(var);
  }
  py::dict d;
  d["file_type"] = desc.file_type;
  d["grid"] = grid_dict(desc.grid);
  d["projection"] = projection_dict(desc.projection);
  d["time"] = time;
  d["vertical"] = vertical;
  d["variables"] = variables;
  d["lines"] = desc.lines;
  return d;
}

// Reads into a new one-dimensional array of the variable's own type; the package shapes it.
template <kavro::FileValue T>
py::array read_as(const kavro::File& f, const std::string& var, int layer, kavro::Step step) {
  py::array_t<T> out(static_cast<py::ssize_t>(f.value_count(var, layer)));
  f.read<T>(var, layer, step,
            std::span<T>(out.mutable_data(), static_cast<std::size_t>(out.size())));
  return out;
}

py::array read_values(const kavro::File& f, const std::string& var, int layer, int date, int time,
                      int type) {
  const kavro::Step step{date, time};
  switch (static_cast<kavro::ValueType>(type)) {
    case kavro::ValueType::integer:
      return read_as<std::int32_t>(f, var, layer, step);
    case kavro::ValueType::double_precision:
      return read_as<double>(f, var, layer, step);
    default:
      return read_as<float>(f, var, layer, step);
  }
}

// ---- A description dict (as description_dict makes it) back into a Description ------------

template <typename T>
T item(const py::dict& d, const char* key) {
  if (!d.contains(key)) throw py::key_error(std::string("description has no \"") + key + "\"");
  return d[key].cast<T>();
}

kavro::Description description_of(const py::dict& d) {
  kavro::Description desc;
  desc.file_type = item<int>(d, "file_type");
  const auto g = item<py::dict>(d, "grid");
  desc.grid = {item<std::string>(g, "name"), item<int>(g, "ncols"),    item<int>(g, "nrows"),
               item<int>(g, "nthik"),        item<double>(g, "xorig"), item<double>(g, "yorig"),
               item<double>(g, "xcell"),     item<double>(g, "ycell")};
  const auto p = item<py::dict>(d, "projection");
  desc.projection = {item<int>(p, "type"),     item<double>(p, "alpha"), item<double>(p, "beta"),
                     item<double>(p, "gamma"), item<double>(p, "xcent"), item<double>(p, "ycent")};
  const auto t = item<py::dict>(d, "time");
  const auto start = item<std::pair<int, int>>(t, "start");
  desc.time = {{start.first, start.second}, item<int>(t, "step"), 0};
  const auto v = item<py::dict>(d, "vertical");
  desc.vertical = {item<int>(v, "layers"), item<int>(v, "type"), item<float>(v, "top"),
                   item<std::vector<float>>(v, "levels")};
  for (const py::handle h : item<py::list>(d, "variables")) {
    const auto var = h.cast<py::dict>();
    desc.variables.push_back({item<std::string>(var, "name"), item<std::string>(var, "units"),
                              item<std::string>(var, "description"),
                              static_cast<kavro::ValueType>(item<int>(var, "type"))});
  }
  desc.lines = item<std::vector<std::string>>(d, "lines");
  return desc;
}

template <kavro::FileValue T>
void write_as(kavro::File& f, const std::string& var, kavro::Step step, const py::array& values) {
  // The package hands over a contiguous array of the variable's own type.
  const auto a = values.cast<py::array_t<T, py::array::c_style>>();
  f.write<T>(var, step, std::span<const T>(a.data(), static_cast<std::size_t>(a.size())));
}

void write_values(kavro::File& f, const std::string& var, int date, int time,
                  const py::array& values, int type) {
  const kavro::Step step{date, time};
  switch (static_cast<kavro::ValueType>(type)) {
    case kavro::ValueType::integer:
      return write_as<std::int32_t>(f, var, step, values);
    case kavro::ValueType::double_precision:
      return write_as<double>(f, var, step, values);
    default:
      return write_as<float>(f, var, step, values);
  }
}

// Reads into OUT, a writable contiguous array of the variable's type holding exactly the values
// of one step (of LAYER, or of every layer): the engine's arrays fill their result in place.
template <kavro::FileValue T>
void read_into_as(const kavro::File& f, const std::string& var, int layer, kavro::Step step,
                  py::array& out) {
  auto a = out.cast<py::array_t<T, py::array::c_style>>();
  if (!a.writeable() || a.ptr() != out.ptr()) {
    throw py::value_error("read_into: OUT must be a writable C-contiguous array of the type");
  }
  f.read<T>(var, layer, step, std::span<T>(a.mutable_data(), static_cast<std::size_t>(a.size())));
}

void read_into(const kavro::File& f, const std::string& var, int layer, int date, int time,
               int type, py::array& out) {
  const kavro::Step step{date, time};
  switch (static_cast<kavro::ValueType>(type)) {
    case kavro::ValueType::integer:
      return read_into_as<std::int32_t>(f, var, layer, step, out);
    case kavro::ValueType::double_precision:
      return read_into_as<double>(f, var, layer, step, out);
    default:
      return read_into_as<float>(f, var, layer, step, out);
  }
}

// ---- The library's log handed to a Python callable -----------------------------------------

// The callable (line: str, warning: bool) that receives the log; None drops the lines. Never
// freed: the library may log while the interpreter shuts down, after module objects are gone.
py::object* log_handler = nullptr;

void python_log_line(void* /*context*/, std::string_view line, bool warning) noexcept {
  // Every library call keeps the GIL, so the line arrives in the thread that holds it.
  if (log_handler == nullptr || log_handler->is_none() || !Py_IsInitialized()) return;
  try {
    py::object text = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(line.data(), static_cast<py::ssize_t>(line.size()), "replace"));
    if (!text) throw py::error_already_set();
    (*log_handler)(text, warning);
  } catch (py::error_already_set& e) {
    e.discard_as_unraisable("kavro log handler");
  } catch (...) {
    PyErr_WriteUnraisable(nullptr);
  }
}

void set_log_handler(py::object handler) {
  if (log_handler == nullptr) log_handler = new py::object();
  *log_handler = std::move(handler);
  kavro::set_log_sink(python_log_line, nullptr);
}

// The library's codes, by the names its routines use.
py::dict constants() {
  py::dict d;
  for (const auto& [name, value] :
       std::initializer_list<std::pair<const char*, int>>{{"FSREAD3", kavro::FSREAD3},
                                                          {"FSRDWR3", kavro::FSRDWR3},
                                                          {"FSNEW3", kavro::FSNEW3},
                                                          {"FSUNKN3", kavro::FSUNKN3},
                                                          {"FSCREA3", kavro::FSCREA3},
                                                          {"XQINT", kavro::XQINT},
                                                          {"XQREAL", kavro::XQREAL},
                                                          {"XQDBLE", kavro::XQDBLE},
                                                          {"ALLAYS3", kavro::ALLAYS3},
                                                          {"ALLVAR3", kavro::ALLVAR3},
                                                          {"IMISSING3", kavro::IMISSING3},
                                                          {"GRDDED3", kavro::GRDDED3},
                                                          {"MEMFIL3", kavro::MEMFIL3},
                                                          {"VIRTFIL3", kavro::VIRTFIL3},
                                                          {"LISTFIL3", kavro::LISTFIL3},
                                                          {"BINFIL3", kavro::BINFIL3},
                                                          {"NAMLEN3", kavro::NAMLEN3},
                                                          {"MXVARS3", kavro::MXVARS3}}) {
    d[name] = value;
  }
  return d;
}

// File-type names by code, as the open report gives them.
py::dict file_type_names() {
  py::dict d;
  for (int code = kavro::KFEVNT3; code <= kavro::SMATRX3; ++code) {
    d[py::int_(code)] = std::string(kavro::trimmed(kavro::type_name(code)));
  }
  d[py::int_(kavro::PTRFLY3)] = "PTRFLY3";
  return d;
}

// The prefix of a logical name's value that selects each kind, by the kind's code.
py::dict value_prefixes() {
  py::dict d;
  for (const kavro::ValuePrefix& p : kavro::value_prefixes()) {
    d[py::int_(p.kind)] = std::string(p.prefix);
  }
  return d;
}

// The names of a file's parts, as the library's writer gives them.
py::dict file_names() {
  const kavro::FileNames& n = kavro::file_names();
  py::dict d;
  py::tuple atts(n.global_attributes.size());
  for (std::size_t i = 0; i < n.global_attributes.size(); ++i) {
    atts[i] = std::string(n.global_attributes[i]);
  }
  d["global_attributes"] = atts;
  for (const auto& [key, value] : std::initializer_list<std::pair<const char*, std::string_view>>{
           {"tstep_dim", n.tstep_dim},
           {"lay_dim", n.lay_dim},
           {"row_dim", n.row_dim},
           {"col_dim", n.col_dim},
           {"var_dim", n.var_dim},
           {"date_time_dim", n.date_time_dim},
           {"tflag_var", n.tflag_var},
           {"tflag_units", n.tflag_units},
           {"tflag_desc", n.tflag_desc},
           {"long_name_att", n.long_name_att},
           {"units_att", n.units_att},
           {"var_desc_att", n.var_desc_att}}) {
    d[key] = std::string(value);
  }
  d["line_length"] = n.line_length;
  return d;
}

std::vector<std::pair<int, int>> steps(const kavro::File& f) {
  std::vector<std::pair<int, int>> out;
  for (const kavro::Step& s : f.steps()) out.emplace_back(s.date, s.time);
  return out;
}

// ---- Cell locations from a description's grid --------------------------------------------

kavro::Error no_locations(const kavro::GridMapping& g) {
  return kavro::Error("grid_locations", "no locations for grid type " + std::to_string(g.GDTYP) +
                                            " (" + std::string(kavro::grid_type_name(g.GDTYP)) +
                                            ")");
}

// COL, ROW, XLOCA, YLOCA, LATITUDE, LONGITUDE as float64 arrays (row, column).
py::dict grid_locations(const py::dict& desc) {
  const kavro::GridMapping g = kavro::grid_mapping_of(description_of(desc));
  const std::vector<py::ssize_t> shape = {g.NROWS > 0 ? g.NROWS : 0, g.NCOLS > 0 ? g.NCOLS : 0};
  std::array<py::array_t<double>, 6> a;
  std::array<std::span<double>, 6> s;
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = py::array_t<double>(shape);
    s[i] = std::span<double>(a[i].mutable_data(), static_cast<std::size_t>(a[i].size()));
  }
  if (!kavro::grid_locations(g, {s[0], s[1], s[2], s[3], s[4], s[5]})) throw no_locations(g);
  py::dict out;
  const char* names[] = {"COL", "ROW", "XLOCA", "YLOCA", "LATITUDE", "LONGITUDE"};
  for (std::size_t i = 0; i < a.size(); ++i) out[names[i]] = a[i];
  return out;
}

std::pair<double, double> grid_origin_offset(const py::dict& desc) {
  const kavro::GridMapping g = kavro::grid_mapping_of(description_of(desc));
  double x0 = 0, y0 = 0;
  if (!kavro::grid_origin_offset(g, x0, y0)) throw no_locations(g);
  return {x0, y0};
}

// The CF grid mapping of a description's grid type, without the sphere: grid_mapping_name,
// the parameters (standard_parallel a list when it has two values), and for a projected type
// false_easting and false_northing counted from the origin (XCENT, YCENT); None when CF names
// no mapping for the type. With it, whether x and y are a projection's (false: degrees).
std::pair<py::object, bool> grid_mapping(const py::dict& desc) {
  const kavro::GridMapping g = kavro::grid_mapping_of(description_of(desc));
  const kavro::CfGridMapping cf = kavro::cf_grid_mapping(g);
  if (cf.name.empty()) return {py::none(), cf.projected};
  py::dict out;
  out["grid_mapping_name"] = std::string(cf.name);
  for (const kavro::CfGridMapping::Parameter& p : cf.parameters) {
    const py::str name(std::string(p.name));
    if (!out.contains(name)) {
      out[name] = p.value;
    } else if (py::isinstance<py::list>(out[name])) {
      out[name].cast<py::list>().append(p.value);
    } else {
      py::list both;
      both.append(out[name]);
      both.append(p.value);
      out[name] = both;
    }
  }
  if (cf.projected) {
    double x0 = 0, y0 = 0;
    if (!kavro::grid_origin_offset(g, x0, y0)) throw no_locations(g);
    const py::str easting("false_easting");
    out[easting] = (out.contains(easting) ? out[easting].cast<double>() : 0.0) - x0;
    out["false_northing"] = -y0;
  }
  return {out, cf.projected};
}

// The kind of a setting of brindlewick, as the Python package converts a keyword's value.
const char* kind_name(brindlewick::SettingKind kind) {
  using K = brindlewick::SettingKind;
  switch (kind) {
    case K::kYesNo:
      return "yes_no";
    case K::kTolerance:
      return "tolerance";
    case K::kCount:
      return "count";
    case K::kNewFile:
      return "new_file";
    case K::kFolder:
      return "folder";
    case K::kFile:
      return "file";
    case K::kFormat:
      return "format";
    case K::kNames:
      return "names";
    case K::kSteps:
      return "steps";
    case K::kLayers:
      return "layers";
    case K::kAttributes:
      return "attributes";
    case K::kCategories:
      return "categories";
  }
  return "";
}

// brindlewick's settings table, one dict a row: env, option, kind, value, help.
py::list tool_settings() {
  py::list rows;
  for (const brindlewick::ToolSetting& s : brindlewick::tool_settings()) {
    py::dict row;
    row["env"] = std::string(s.env);
    row["option"] = std::string(s.option);
    row["kind"] = kind_name(s.kind);
    row["value"] = std::string(s.value);
    row["help"] = std::string(s.help);
    rows.append(row);
  }
  return rows;
}

// Why TEXT is no value of the setting ENV, as the tool says it; "" when it is one.
std::string setting_problem(const std::string& env, const std::string& text) {
  const brindlewick::ToolSetting* row = brindlewick::find_setting(env);
  if (row == nullptr) throw py::key_error("no setting of brindlewick is named " + env);
  return brindlewick::setting_problem(*row, text);
}

}  // namespace

PYBIND11_MODULE(_kavro, m) {
  m.doc() = "The kavro library's compiled core (use the kavro package, not this module).";

  // A library failure becomes a kavro.Error of the class its routine calls for, with the
  // routine, the log's reason and, for a failure of a file, its path, cause and logical name.
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const kavro::Error& e) {
      py::object err = py::module_::import("kavro._errors")
                           .attr("library_error")(e.routine(), e.reason(), e.path(), e.cause(),
                                                  e.logical_name());
      PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(err.ptr())), err.ptr());
    }
  });

  m.attr("constants") = constants();
  m.attr("file_type_names") = file_type_names();
  m.attr("value_prefixes") = value_prefixes();
  m.attr("file_names") = file_names();
  m.def("tool_settings", &tool_settings, "brindlewick's settings: env, option, kind, value, help.");
  m.def("setting_problem", &setting_problem, py::arg("env"), py::arg("text"),
        "Why TEXT is no value of brindlewick's setting ENV, with the value quoted; '' if it is.");
  m.def("set_log_handler", &set_log_handler,
        "Sends the library's log lines to HANDLER(line, warning) when LOGFILE is unset.");

  m.def(
      "library_version", [] { return std::string(kavro_version()); },
      "The linked library's version, MAJOR.MINOR.PATCH.");
  m.def(
      "netcdf_version", [] { return std::string(kavro_netcdf_version()); },
      "The linked netCDF library's version text.");

  m.def("grid_locations", &grid_locations,
        "Every cell's COL, ROW, XLOCA, YLOCA, LATITUDE, LONGITUDE (float64, row x column) from "
        "a description's grid and projection.");
  m.def("grid_origin_offset", &grid_origin_offset,
        "The x/y origin (XCENT, YCENT) in the coordinates of the grid's own projection.");
  m.def("grid_mapping", &grid_mapping,
        "The CF grid mapping attributes of a description's grid type (without earth_radius), "
        "or None for a type CF names no mapping for, and whether x and y are projected.");
  m.def("earth_radius", &kavro::earth_radius,
        "The radius (m) of the sphere locations are computed on (KAVRO_EARTH_RADIUS).");

  py::class_<kavro::File>(m, "File")
      .def_static("open_name",
                  [](const std::string& name, int mode) {
                    return kavro::File::open(name, static_cast<kavro::Mode>(mode));
                  })
      .def_static("open_path",
                  [](const std::string& path, int mode) {
                    return kavro::File::open_path(path, static_cast<kavro::Mode>(mode));
                  })
      .def_static("create",
                  [](const std::string& name_or_path, const py::dict& desc, int mode) {
                    return kavro::File::create(name_or_path, description_of(desc),
                                               static_cast<kavro::Mode>(mode));
                  })
      .def("close", &kavro::File::close)
      .def_property_readonly("is_open", &kavro::File::is_open)
      .def_property_readonly("logical_name", &kavro::File::logical_name)
      .def("description", [](const kavro::File& f) { return description_dict(f.description()); })
      .def("steps", &steps)
      .def("value_count", &kavro::File::value_count)
      .def("read", &read_values)
      .def("read_into", &read_into)
      .def("write", &write_values);
}
