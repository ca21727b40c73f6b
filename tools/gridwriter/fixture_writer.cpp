#include "gridwriter/fixture_writer.h"

#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace kavro_test {
namespace {

constexpr int kEventDuration = 10000;
constexpr double kSampleCell = 12000.0;
constexpr double kMetresPerDegree = 111195.0;
constexpr double kPi = 3.14159265358979323846;

std::string padded(std::string s, std::size_t n) {
  s.resize(n, ' ');
  return s;
}

std::string lines80(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < 60; ++i) out += padded(i < lines.size() ? lines[i] : "", 80);
  return out;
}

// Proleptic Gregorian day count of 1 January of year y (y >= 1), day 0 = 1 January of year 1.
long long year_start(long long y) {
  --y;
  return 365 * y + y / 4 - y / 100 + y / 400;
}

long long hms_seconds(long long hms) {
  long long sign = hms < 0 ? -1 : 1;
  hms = std::llabs(hms);
  return sign * ((hms / 10000) * 3600 + (hms / 100 % 100) * 60 + hms % 100);
}

struct GlobalAttr {
  std::string name;
  RawAttr attr;
};

// The global attributes in the order the library's writer defines them.
std::vector<GlobalAttr> global_attrs(const FixtureSpec& s, int nvars_written,
                                     const std::string& var_list) {
  auto i = [](int v) { return RawAttr::ints({double(v)}); };
  auto d = [](double v) { return RawAttr::doubles({v}); };
  std::vector<GlobalAttr> a = {{"KAVRO_VERSION", RawAttr::chars(s.version)},
                               {"EXEC_ID", RawAttr::chars(padded(s.exec_id, 80))},
                               {"FTYPE", i(s.ftype)},
                               {"CDATE", i(s.cdate)},
                               {"CTIME", i(s.ctime)},
                               {"WDATE", i(s.cdate)},
                               {"WTIME", i(s.ctime)}};
  if (s.ftype == kDctnry) {
    a.push_back({"NVARS", i(nvars_written)});
    a.push_back({"VAR-LIST", RawAttr::chars(var_list)});
  } else {
    std::vector<double> levels;
    int nlev = std::max(1, std::min(s.nlays + 1, 100));
    for (int k = 0; k < nlev; ++k) {
      if (std::size_t(k) < s.vglvls.size()) {
        levels.push_back(s.vglvls[std::size_t(k)]);
      } else {
        levels.push_back(1.0 - double(k) / double(std::max(1, nlev - 1)));
      }
    }
    std::vector<GlobalAttr> rest = {{"SDATE", i(s.sdate)},
                                    {"STIME", i(s.stime)},
                                    {"TSTEP", i(s.tstep)},
                                    {"NTHIK", i(s.nthik)},
                                    {"NCOLS", i(s.ncols)},
                                    {"NROWS", i(s.nrows)},
                                    {"NLAYS", i(s.nlays)},
                                    {"NVARS", i(nvars_written)},
                                    {"GDTYP", i(s.gdtyp)},
                                    {"P_ALP", d(s.p_alp)},
                                    {"P_BET", d(s.p_bet)},
                                    {"P_GAM", d(s.p_gam)},
                                    {"XCENT", d(s.xcent)},
                                    {"YCENT", d(s.ycent)},
                                    {"XORIG", d(s.xorig)},
                                    {"YORIG", d(s.yorig)},
                                    {"XCELL", d(s.xcell)},
                                    {"YCELL", d(s.ycell)},
                                    {"VGTYP", i(s.vgtyp)},
                                    {"VGTOP", RawAttr::floats({double(s.vgtop)})},
                                    {"VGLVLS", RawAttr::floats(levels)},
                                    {"GDNAM", RawAttr::chars(padded(s.gdnam, 16))},
                                    {"UPNAM", RawAttr::chars(padded(s.upnam, 16))}};
    a.insert(a.end(), rest.begin(), rest.end());
    if (nvars_written > 0) a.push_back({"VAR-LIST", RawAttr::chars(var_list)});
    a.push_back({"FILEDESC", RawAttr::chars(lines80(s.filedesc))});
    a.push_back({"HISTORY", RawAttr::chars(lines80(s.history))});
  }
  for (auto& g : a) {
    auto o = s.global_overrides.find(g.name);
    if (o != s.global_overrides.end()) g.attr = o->second;
  }
  for (const auto& entry : s.global_overrides) {
    const std::string& name = entry.first;
    bool known =
        std::any_of(a.begin(), a.end(), [&](const GlobalAttr& g) { return g.name == name; });
    if (!known) a.push_back({name, entry.second});
  }
  std::erase_if(a, [&](const GlobalAttr& g) { return s.dropped_globals.count(g.name) > 0; });
  return a;
}

// One netCDF file being written; every call checked, the first failure reported once.
class Writer {
 public:
  explicit Writer(std::string path) : path_(std::move(path)) {}
  ~Writer() {
    if (open_) nc_close(ncid_);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  bool ok(int status, const char* what) {
    if (status == NC_NOERR) return true;
    if (good_) {
      std::fprintf(stderr, "fixture_writer: %s: %s (%s)\n", path_.c_str(), what,
                   nc_strerror(status));
    }
    good_ = false;
    return false;
  }
  bool good() const { return good_; }

  bool create(bool offset64, bool cdf5) {
    int mode = NC_CLOBBER | (offset64 ? NC_64BIT_OFFSET : 0) | (cdf5 ? NC_64BIT_DATA : 0);
    open_ = ok(nc_create(path_.c_str(), mode, &ncid_), "nc_create");
    return open_;
  }
  bool close() {
    open_ = false;
    return ok(nc_close(ncid_), "nc_close") && good_;
  }
  int id() const { return ncid_; }

  void put_attr(int varid, const std::string& name, const RawAttr& a) {
    const char* n = name.c_str();
    const auto count = a.numbers.size();
    switch (a.nc_type) {
      case NC_CHAR:
        ok(nc_put_att_text(ncid_, varid, n, a.text.size(), a.text.data()), n);
        return;
      case NC_INT: {
        std::vector<int> v;
        for (double x : a.numbers) v.push_back(int(x));
        ok(nc_put_att_int(ncid_, varid, n, NC_INT, count, v.data()), n);
        return;
      }
      case NC_FLOAT: {
        std::vector<float> v;
        for (double x : a.numbers) v.push_back(float(x));
        ok(nc_put_att_float(ncid_, varid, n, NC_FLOAT, count, v.data()), n);
        return;
      }
      case NC_DOUBLE:
        ok(nc_put_att_double(ncid_, varid, n, NC_DOUBLE, count, a.numbers.data()), n);
        return;
      default: {  // the other integer types, converted by netCDF
        std::vector<long long> v;
        for (double x : a.numbers) v.push_back(static_cast<long long>(x));
        ok(nc_put_att_longlong(ncid_, varid, n, a.nc_type, count, v.data()), n);
      }
    }
  }
  void put_text(int varid, const std::string& name, const std::string& text) {
    put_attr(varid, name, RawAttr::chars(text));
  }
  int dim(const std::string& name, std::size_t len) {
    int d = -1;
    ok(nc_def_dim(ncid_, name.c_str(), len, &d), name.c_str());
    return d;
  }
  int var(const std::string& name, int type, std::vector<int> dims) {
    int v = -1;
    ok(nc_def_var(ncid_, name.c_str(), nc_type(type), int(dims.size()), dims.data(), &v),
       name.c_str());
    return v;
  }

 private:
  std::string path_;
  int ncid_ = -1;
  bool open_ = false;
  bool good_ = true;
};

int records_of(const FixtureSpec& s) {
  if (s.records >= 0) return s.records;
  if (s.ftype != kKfevnt && s.tstep == 0) return 1;
  return 2;
}

// Dimension ids of the layout, by name; -1 when the file type has none.
struct Dims {
  int tstep = -1, date_time = -1, lay = -1, var = -1, row = -1, col = -1, perim = -1, site = -1,
      level = -1, row_no = -1, coef = -1, cell_event = -1;
};

void define_structure(Writer& w, const FixtureSpec& s, Dims& d, std::vector<int>& ids,
                      std::vector<std::string>& names) {
  // A fixed netCDF dimension of length 0 would be a second unlimited one: keep at least 1.
  auto sz = [](long long v) { return std::size_t(std::max(1LL, v)); };
  auto add = [&](const std::string& name, int type, std::vector<int> dims) {
    ids.push_back(w.var(name, type, std::move(dims)));
    names.push_back(name);
  };
  switch (s.ftype) {
    case kGrdded:
    case kType7:
    case kPtrfly:
    case kKfevnt:
      d.row = w.dim("ROW", sz(s.nrows));
      d.col = w.dim("COL", sz(s.ncols));
      break;
    case kCustom:
      d.col = w.dim("COL", sz(s.ncols));
      break;
    case kBndary:
      // Signed NTHIK in every factor, as the layout has it, but never negative: a file with
      // NTHIK -1 still holds the 2 x 1 x (NCOLS + NROWS - 2) values a reader asks for.
      d.perim = w.dim("PERIM", sz(std::llabs(2LL * s.nthik * (s.ncols + s.nrows + 2LL * s.nthik))));
      break;
    case kIddata:
      d.site = w.dim("SITE-NO", sz(s.nrows));
      break;
    case kProfil:
    case kGrnest:
      d.site = w.dim("SITE-NO", sz(s.nrows));
      d.level = w.dim("LEVEL", sz(s.ncols));
      break;
    case kSmatrx:
      d.row_no = w.dim("ROW-NO", sz(s.nrows));
      d.coef = w.dim("SP-COEF-NO", sz(s.ncols));
      break;
    default:
      break;
  }
  if (s.ftype == kKfevnt) d.cell_event = w.dim("CELL-EVENT", sz(s.nthik));
  switch (s.ftype) {
    case kIddata:
      add("ID-COUNT", NC_INT, {d.tstep});
      add("ID", NC_INT, {d.tstep, d.site});
      break;
    case kProfil:
      add("ID-COUNT", NC_INT, {d.tstep});
      add("ID", NC_INT, {d.tstep, d.site});
      add("LEVEL-COUNT", NC_INT, {d.tstep, d.site});
      for (const char* n : {"X", "Y", "Z"}) add(n, NC_FLOAT, {d.tstep, d.site});
      break;
    case kGrnest:
      add("ID-COUNT", NC_INT, {d.tstep});
      add("ID", NC_INT, {d.tstep, d.site});
      for (const char* n : {"WIN-COLS", "WIN-ROWS", "WIN-LEVS"}) add(n, NC_INT, {d.tstep, d.site});
      for (const char* n : {"X", "Y", "DX", "DY"}) add(n, NC_DOUBLE, {d.tstep, d.site});
      break;
    case kSmatrx:
      add("COL-COUNT", NC_INT, {d.tstep, d.row_no});
      add("COEFF-INDEX", NC_INT, {d.tstep, d.coef});
      break;
    case kKfevnt:
      add("KFCOUNT", NC_INT, {d.row, d.col});
      for (const char* n : {"KFEVENT", "KFSDATE", "KFSTIME", "KFLNGTH"}) {
        add(n, NC_INT, {d.row, d.col, d.cell_event});
      }
      break;
    default:
      break;
  }
}

std::vector<int> data_dims(const FixtureSpec& s, const Dims& d) {
  switch (s.ftype) {
    case kBndary:
      return {d.tstep, d.lay, d.perim};
    case kIddata:
      return {d.tstep, d.lay, d.site};
    case kProfil:
    case kGrnest:
      return {d.tstep, d.lay, d.site, d.level};
    case kSmatrx:
      return {d.tstep, d.coef};
    case kCustom:
      return {d.tstep, d.lay, d.col};
    case kKfevnt:
      return {d.tstep, d.lay};
    default:
      return {d.tstep, d.lay, d.row, d.col};
  }
}

void define_data_var(Writer& w, const FixtureSpec& s, const FixtureVar& v, int varid) {
  w.put_text(varid, "long_name", padded(v.name, 16));
  if (v.has_units) w.put_text(varid, "units", padded(v.units, 16));
  w.put_text(varid, "var_desc", padded(v.desc.empty() ? v.name + " fixture variable" : v.desc, 80));
  if (s.ftype != kType7) return;
  int natts = v.natts >= 0 ? v.natts : int(v.extras.size());
  w.put_attr(varid, "natts", RawAttr::ints({double(natts)}));
  for (const auto& [name, value] : v.extras) {
    w.put_attr(varid, name, RawAttr::floats({double(value)}));
  }
}

// The dictionary layout: six dimensions, FLAG, and the 26 schema variables, no entries.
struct SchemaVar {
  const char* name;
  int type;
  std::vector<int> dim_slots;  // indices into the dimension table, slowest first, FINDX3 added
  const char* units;
  const char* desc;
};

std::vector<int> define_dictionary(Writer& w) {
  int findx = w.dim("FINDX3", NC_UNLIMITED);
  int dims[5] = {w.dim("VINDX", 2048), w.dim("ZINDX", 101), w.dim("NAME-POS", 16),
                 w.dim("DESC-POS", 80), w.dim("DLINE-NUM", 60)};
  enum { kV, kZ, kName, kDesc, kLine };
  int flag = w.var("FLAG", NC_INT, {findx});
  w.put_text(flag, "units", padded("5461 or not", 16));
  w.put_text(flag, "var_desc", padded("Record-valid flags:  OKFLAG3=5461, or not", 80));
  const std::vector<SchemaVar> schema = {
      {"FNAME", NC_CHAR, {kName}, "name text", "File-schema name variable"},
      {"FTYPE", NC_INT, {}, "-1...5", "file type variable"},
      {"TSTEP", NC_INT, {}, "hhmmss", "time step variable"},
      {"NVARS", NC_INT, {}, "count", "variables-count variable"},
      {"NLAYS", NC_INT, {}, "count", "layers-count variable"},
      {"NROWS", NC_INT, {}, "count", "rows-count variable"},
      {"NCOLS", NC_INT, {}, "count", "columns-count variable"},
      {"NTHIK", NC_INT, {}, "count", "bdy perimeter thickness variable"},
      {"GDTYP", NC_INT, {}, "token", "horizontal grid type (see FDESC3.EXT)"},
      {"VGTYP", NC_INT, {}, "token", "vertical grid type (see FDESC3.EXT)"},
      {"VGLVS", NC_FLOAT, {kZ}, "vert.proj", "level surfaces"},
      {"P_ALP", NC_DOUBLE, {}, "deg", "First map projection parameter angle"},
      {"P_BET", NC_DOUBLE, {}, "deg", "Second map projection parameter angle"},
      {"P_GAM", NC_DOUBLE, {}, "deg", "Third map projection parameter angle"},
      {"XCENT", NC_DOUBLE, {}, "deg.lon", "X-coordinate map coord origin variable"},
      {"YCENT", NC_DOUBLE, {}, "deg.lat", "Y-coordinate map coord origin variable"},
      {"XORIG", NC_DOUBLE, {}, "position", "X-coordinate grid origin variable"},
      {"YORIG", NC_DOUBLE, {}, "position", "Y-coordinate grid origin variable"},
      {"XCELL", NC_DOUBLE, {}, "size", "X-coordinate cell size variable"},
      {"YCELL", NC_DOUBLE, {}, "size", "Y-coordinate cell size  variable"},
      {"GDNAM", NC_CHAR, {kName}, "name text", "grid domain name variable"},
      {"FDESC", NC_CHAR, {kLine, kDesc}, "desc text", "file description variable"},
      {"VNAME", NC_CHAR, {kV, kName}, "name text", "variable-names-list variable"},
      {"VUNIT", NC_CHAR, {kV, kName}, "name text", "variable-units-list  variable"},
      {"VDESC", NC_CHAR, {kV, kDesc}, "desc text", "variable-descriptions-list  variable"},
      {"VTYPE",
       NC_INT,
       {kV},
       "basic datatype",
       "XQINT, XQREAL, or XQDBLE for INTEGER, REAL, or DOUBLE PRECISION types"}};
  std::vector<int> ids;
  for (const auto& v : schema) {
    std::vector<int> shape = {findx};
    for (int slot : v.dim_slots) shape.push_back(dims[slot]);
    ids.push_back(w.var(v.name, v.type, shape));
  }
  for (std::size_t k = 0; k < schema.size(); ++k) {
    w.put_text(ids[k], "units", padded(schema[k].units, 16));
    w.put_text(ids[k], "var_desc", padded(schema[k].desc, 80));
  }
  ids.insert(ids.begin(), flag);
  return ids;
}

// Writes COUNT values at record REC of the dictionary variable ID (FLAG first, then the
// schema in order), the record's inner dimensions given by INNER.
template <typename T>
void put_record(Writer& w, int id, std::size_t rec, std::vector<std::size_t> inner,
                const std::vector<T>& values) {
  std::vector<std::size_t> start(inner.size() + 1, 0), count = {1};
  start[0] = rec;
  count.insert(count.end(), inner.begin(), inner.end());
  int status = NC_NOERR;
  if constexpr (std::is_same_v<T, char>) {
    status = nc_put_vara_text(w.id(), id, start.data(), count.data(), values.data());
  } else if constexpr (std::is_same_v<T, int>) {
    status = nc_put_vara_int(w.id(), id, start.data(), count.data(), values.data());
  } else if constexpr (std::is_same_v<T, float>) {
    status = nc_put_vara_float(w.id(), id, start.data(), count.data(), values.data());
  } else {
    status = nc_put_vara_double(w.id(), id, start.data(), count.data(), values.data());
  }
  w.ok(status, "dictionary entry");
}

std::vector<char> text_of(const std::string& s) { return std::vector<char>(s.begin(), s.end()); }

// The entries of a dictionary, one record each: FLAG, then the schema variables in order.
void write_entries(Writer& w, const std::vector<int>& ids, const std::vector<DictEntry>& entries) {
  for (std::size_t rec = 0; rec < entries.size() && w.good(); ++rec) {
    const DictEntry& e = entries[rec];
    const std::size_t nv = e.vars.size();
    std::size_t k = 0;
    put_record(w, ids[k++], rec, {}, std::vector<int>{e.flag});
    put_record(w, ids[k++], rec, {16}, text_of(padded(e.name, 16)));
    for (int v : {e.ftype, e.tstep, e.nvars >= 0 ? e.nvars : int(nv), e.nlays, e.nrows, e.ncols,
                  e.nthik, e.gdtyp, e.vgtyp}) {
      put_record(w, ids[k++], rec, {}, std::vector<int>{v});
    }
    std::vector<float> levels = e.vglvls;
    if (levels.empty()) {
      const int n = std::clamp(e.nlays + 1, 1, 101);
      for (int i = 0; i < n; ++i) levels.push_back(1.0F - float(i) / float(std::max(1, n - 1)));
    }
    put_record(w, ids[k++], rec, {levels.size()}, levels);
    for (double v :
         {e.p_alp, e.p_bet, e.p_gam, e.xcent, e.ycent, e.xorig, e.yorig, e.xcell, e.ycell}) {
      put_record(w, ids[k++], rec, {}, std::vector<double>{v});
    }
    put_record(w, ids[k++], rec, {16}, text_of(padded(e.gdnam, 16)));
    put_record(w, ids[k++], rec, {60, 80}, text_of(lines80(e.fdesc)));
    if (nv == 0) continue;
    std::string names, units, descs;
    std::vector<int> types;
    for (const FixtureVar& v : e.vars) {
      names += padded(v.name, 16);
      units += padded(v.units, 16);
      descs += padded(v.desc.empty() ? v.name + " entry variable" : v.desc, 80);
      types.push_back(v.type);
    }
    put_record(w, ids[k++], rec, {nv, 16}, text_of(names));
    put_record(w, ids[k++], rec, {nv, 16}, text_of(units));
    put_record(w, ids[k++], rec, {nv, 80}, text_of(descs));
    put_record(w, ids[k++], rec, {nv}, types);
  }
}

const std::vector<std::string>& dictionary_names() {
  static const std::vector<std::string> names = {
      "FNAME", "FTYPE", "TSTEP", "NVARS", "NLAYS", "NROWS", "NCOLS", "NTHIK", "GDTYP",
      "VGTYP", "VGLVS", "P_ALP", "P_BET", "P_GAM", "XCENT", "YCENT", "XORIG", "YORIG",
      "XCELL", "YCELL", "GDNAM", "FDESC", "VNAME", "VUNIT", "VDESC", "VTYPE"};
  return names;
}

// The size of each dimension of a variable, read back from the open file.
std::vector<std::size_t> shape_of(int ncid, int varid) {
  int ndims = 0;
  int dimids[NC_MAX_VAR_DIMS];
  nc_inq_varndims(ncid, varid, &ndims);
  nc_inq_vardimid(ncid, varid, dimids);
  std::vector<std::size_t> shape(std::size_t(ndims), 0);
  for (int k = 0; k < ndims; ++k) nc_inq_dimlen(ncid, dimids[k], &shape[std::size_t(k)]);
  return shape;
}

// The flags of record REC, which holds time step STEP (1-based).
void write_flags(Writer& w, const FixtureSpec& s, int tflag, int rec, int step) {
  const auto r = std::size_t(rec - 1);
  if (s.ftype == kKfevnt) {
    std::vector<int> f = event_flags(s, rec);
    std::size_t start[2] = {r, 0}, count[2] = {1, 5};
    w.ok(nc_put_vara_int(w.id(), tflag, start, count, f.data()), "TFLAG");
    return;
  }
  auto [date, time] = step_date_time(s, step - 1);
  const auto nflags = std::max<std::size_t>(1, s.vars.size());
  for (std::size_t v = 0; v < nflags; ++v) {
    const auto key = std::make_pair(rec, int(v) + 1);
    if (s.unwritten_flags.count(key)) continue;
    int pair[2] = {date + (s.wrong_flags.count(key) ? 1000 : 0), time};
    std::size_t start[3] = {r, v, 0}, count[3] = {1, 1, 2};
    w.ok(nc_put_vara_int(w.id(), tflag, start, count, pair), "TFLAG");
  }
}

void write_structure(Writer& w, const std::vector<int>& ids, const std::vector<std::string>& names,
                     int rec) {
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (names[k].rfind("KF", 0) == 0) continue;  // only KFCOUNT is set (to 0) by the writer
    std::vector<std::size_t> shape = shape_of(w.id(), ids[k]);
    std::size_t n = shape.size() > 1 ? shape[1] : 1;
    std::vector<double> v;
    for (std::size_t i = 0; i < n; ++i) {
      v.push_back(structural_value(names[k], rec, shape.size() > 1 ? int(i) + 1 : 0));
    }
    std::size_t start[2] = {std::size_t(rec - 1), 0}, count[2] = {1, n};
    w.ok(nc_put_vara_double(w.id(), ids[k], start, count, v.data()), names[k].c_str());
  }
}

void write_kfcount(Writer& w, const std::vector<int>& ids, const std::vector<std::string>& names) {
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (names[k] != "KFCOUNT") continue;
    std::vector<std::size_t> shape = shape_of(w.id(), ids[k]);
    std::vector<int> zeros(shape[0] * shape[1], 0);
    w.ok(nc_put_var_int(w.id(), ids[k], zeros.data()), "KFCOUNT");
  }
}

void write_data(Writer& w, const FixtureSpec& s, int varid, int var, int rec) {
  std::vector<std::size_t> shape = shape_of(w.id(), varid);
  const bool has_lay = s.ftype != kSmatrx;
  // Sizes of layer, row and column as the value function indexes them.
  std::size_t nlay = has_lay ? shape[1] : 1;
  std::size_t inner = shape.size() - (has_lay ? 2 : 1);
  std::size_t nrow = inner == 2 ? shape[shape.size() - 2] : 1;
  std::size_t ncol = inner >= 1 ? shape.back() : 1;
  std::vector<double> buf;
  buf.reserve(nlay * nrow * ncol);
  for (std::size_t l = 1; l <= nlay; ++l) {
    for (std::size_t r = 1; r <= nrow; ++r) {
      for (std::size_t c = 1; c <= ncol; ++c) {
        buf.push_back(expected_value(s, var, rec, int(l), int(r), int(c)));
      }
    }
  }
  std::vector<std::size_t> start(shape.size(), 0), count(shape);
  start[0] = std::size_t(rec - 1);
  count[0] = 1;
  w.ok(nc_put_vara_double(w.id(), varid, start.data(), count.data(), buf.data()), "data");
}

}  // namespace

FixtureVar described_var(std::string name, int type, std::string units, std::string desc) {
  FixtureVar v;
  v.name = std::move(name);
  v.type = type;
  v.units = std::move(units);
  v.desc = std::move(desc);
  return v;
}

double default_value(int var, int rec, int lay, int row, int col) {
  return var * 1000.0 + rec * 100.0 + lay * 10.0 + row + col * 0.1;
}

std::vector<FixtureVar> numbered_vars(int n, int type) {
  std::vector<FixtureVar> v;
  for (int k = 1; k <= n; ++k) {
    // Formatted, not "V" + ... or assigned and appended: GCC 12 at -O3 warns falsely on those
    // (-Wrestrict).
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "V%d", k);
    FixtureVar& f = v.emplace_back();
    f.name.assign(name.data());
    f.type = type;
  }
  return v;
}

double expected_value(const FixtureSpec& fx, int var, int rec, int lay, int row, int col) {
  double v = fx.value ? fx.value(var, rec, lay, row, col) : default_value(var, rec, lay, row, col);
  switch (fx.vars[std::size_t(var - 1)].type) {
    case kInt:
      return double(int(std::lround(v)));
    case kReal:
      return double(float(v));
    default:
      return v;
  }
}

std::pair<int, int> step_date_time(const FixtureSpec& fx, int k) {
  // A time-independent file's flags are its SDATE and STIME as given, date 0 included.
  if (fx.tstep == 0 || k == 0) return {fx.sdate, fx.stime};
  long long y = fx.sdate / 1000;
  long long day = year_start(y) + fx.sdate % 1000 - 1;
  long long secs = day * 86400 + hms_seconds(fx.stime) + std::llabs(hms_seconds(fx.tstep)) * k;
  day = secs / 86400;
  secs %= 86400;
  y = day * 400 / 146097 + 1;
  while (year_start(y) > day) --y;
  while (year_start(y + 1) <= day) ++y;
  int date = int(y * 1000 + day - year_start(y) + 1);
  int time = int(secs / 3600 * 10000 + secs / 60 % 60 * 100 + secs % 60);
  return {date, time};
}

double structural_value(const std::string& name, int rec, int index) {
  static const std::vector<std::string> codes = {
      "ID-COUNT", "ID",       "LEVEL-COUNT", "X",  "Y",         "Z",          "WIN-COLS",
      "WIN-ROWS", "WIN-LEVS", "DX",          "DY", "COL-COUNT", "COEFF-INDEX"};
  auto it = std::find(codes.begin(), codes.end(), name);
  double code = double(it - codes.begin() + 1);
  return code * 1000.0 + rec * 100.0 + index;
}

std::vector<int> event_flags(const FixtureSpec& fx, int rec) {
  auto [date, time] = step_date_time(fx, rec - 1);
  int cells = std::max(1, fx.ncols) * std::max(1, fx.nrows);
  int cell = (rec - 1) % cells;
  int ncols = std::max(1, fx.ncols);
  return {date, time, cell % ncols + 1, cell / ncols + 1, kEventDuration};
}

FixtureSpec sample_grid(int ncols, int nrows) {
  FixtureSpec s;
  s.ncols = ncols;
  s.nrows = nrows;
  s.nlays = 1;
  s.vglvls = {1.0F, 0.995F};
  s.xcell = s.ycell = kSampleCell;
  s.xorig = -ncols * kSampleCell / 2;
  s.yorig = -nrows * kSampleCell / 2;
  s.gdnam = "SAMPLE_12KM";
  return s;
}

FixtureSpec location_fixture(int ncols, int nrows) {
  FixtureSpec s = sample_grid(ncols, nrows);
  s.tstep = 0;
  s.sdate = 0;
  s.stime = 0;
  s.filedesc = {"Location file: cell-centre latitude, longitude, grid indices and",
                "projected coordinates"};
  s.vars = {described_var("LATITUDE", kReal, "degrees_north", "cell-centre latitude"),
            described_var("LONGITUDE", kReal, "degrees_east", "cell-centre longitude"),
            described_var("COL", kInt, "none", "grid column"),
            described_var("ROW", kInt, "none", "grid row"),
            described_var("XLOCA", kReal, "m", "projected X of the cell centre"),
            described_var("YLOCA", kReal, "m", "projected Y of the cell centre")};
  const double xorig = s.xorig, yorig = s.yorig, xcent = s.xcent, ycent = s.ycent;
  // Latitude and longitude from a local equirectangular approximation around the centre:
  // plausible values, not an exact inverse projection.
  s.value = [=](int v, int, int, int row, int col) {
    const double x = xorig + (col - 0.5) * kSampleCell;
    const double y = yorig + (row - 0.5) * kSampleCell;
    const double lat = ycent + y / kMetresPerDegree;
    switch (v) {
      case 1:
        return lat;
      case 2:
        return xcent + x / (kMetresPerDegree * std::cos(lat * kPi / 180.0));
      case 3:
        return double(col);
      case 4:
        return double(row);
      case 5:
        return x;
      default:
        return y;
    }
  };
  return s;
}

bool write_fixture(const std::string& path, const FixtureSpec& fx) {
  Writer w(path);
  if (!w.create(fx.offset64, fx.cdf5)) return false;

  const bool dictionary = fx.ftype == kDctnry;
  std::vector<std::string> names;
  if (dictionary) {
    names = dictionary_names();
  } else {
    for (const auto& v : fx.vars) names.push_back(v.name);
  }
  std::string var_list;
  for (const auto& n : names) var_list += padded(n, 16);
  for (const auto& g : global_attrs(fx, int(names.size()), var_list)) {
    w.put_attr(NC_GLOBAL, g.name, g.attr);
  }
  if (dictionary) {
    const std::vector<int> ids = define_dictionary(w);
    if (!w.good() || !w.ok(nc_enddef(w.id()), "nc_enddef")) return false;
    write_entries(w, ids, fx.entries);
    return w.good() && w.close();
  }

  Dims d;
  const bool unlimited = fx.tstep > 0 || fx.ftype == kKfevnt;
  d.tstep = w.dim("TSTEP", unlimited ? NC_UNLIMITED : (fx.tstep == 0 ? 1 : 2));
  d.date_time = w.dim("DATE-TIME", fx.ftype == kKfevnt ? 5 : 2);
  d.lay = w.dim("LAY", std::size_t(std::max(1, fx.nlays)));
  d.var = w.dim("VAR", std::max<std::size_t>(1, fx.vars.size()));
  int tflag;
  if (fx.ftype == kKfevnt) {
    tflag = w.var("TFLAG", NC_INT, {d.tstep, d.date_time});
    w.put_text(tflag, "units", "<YYYYDDD,HHMMSS,");
    w.put_text(tflag, "long_name", padded("TFLAG", 16));
    w.put_text(tflag, "var_desc",
               padded("Event-valid flags:  start YYYYDDD,HHMMSS; COL,ROW; duration H*MMSS>", 80));
  } else {
    tflag = w.var("TFLAG", NC_INT, {d.tstep, d.var, d.date_time});
    w.put_text(tflag, "units", padded("<YYYYDDD,HHMMSS>", 16));
    w.put_text(tflag, "long_name", padded("TFLAG", 16));
    w.put_text(tflag, "var_desc", padded("Timestep-valid flags:  (1) YYYYDDD or (2) HHMMSS", 80));
  }
  std::vector<int> struct_ids;
  std::vector<std::string> struct_names;
  define_structure(w, fx, d, struct_ids, struct_names);
  std::vector<int> var_ids;
  const std::vector<int> shape = data_dims(fx, d);
  for (const auto& v : fx.vars) {
    var_ids.push_back(w.var(v.name, v.type, shape));
    define_data_var(w, fx, v, var_ids.back());
  }
  if (!w.good() || !w.ok(nc_enddef(w.id()), "nc_enddef")) return false;
  int old_fill = 0;
  if (!fx.data_only_in.empty() && !w.ok(nc_set_fill(w.id(), NC_NOFILL, &old_fill), "nc_set_fill")) {
    return false;
  }

  write_kfcount(w, struct_ids, struct_names);
  // A file with a negative step reuses its two records in turn: step k goes to record 1 or 2.
  for (int step = 1; step <= records_of(fx) && w.good(); ++step) {
    const int rec = fx.tstep < 0 && fx.ftype != kKfevnt ? (step - 1) % 2 + 1 : step;
    write_flags(w, fx, tflag, rec, step);
    write_structure(w, struct_ids, struct_names, rec);
    if (!fx.write_data || (!fx.data_only_in.empty() && fx.data_only_in.count(rec) == 0)) continue;
    for (std::size_t v = 0; v < var_ids.size(); ++v) write_data(w, fx, var_ids[v], int(v) + 1, rec);
  }
  return w.good() && w.close();
}

}  // namespace kavro_test
