// Writes netCDF files in the library's layout with the raw netCDF C API, independent of the
// library's own code: every attribute, dimension and variable name is spelled here, so a reader
// bug cannot hide behind a matching writer bug. One declarative FixtureSpec, one write_fixture.
//
// Layout choices: GRNEST3 data variables are (TSTEP, LAY, SITE-NO, LEVEL), like PROFIL3 (the
// team's choice for the shape the layout leaves open). A DCTNRY3 file gets the seven common
// attributes, NVARS 26 and VAR-LIST, the six dictionary dimensions, FLAG and the 26 schema
// variables with their units and var_desc, and the records of FixtureSpec::entries. Fixed
// dimensions that a description would make 0 (or negative) are written as 1: a 0-length netCDF
// dimension is the unlimited one. Malformed
// values go through override_int / override_attr, which touch the attribute only, never the
// dimensions, so a file can say NCOLS -4 and still hold a readable grid.
#ifndef KAVRO_TOOLS_GRIDWRITER_FIXTURE_WRITER_H
#define KAVRO_TOOLS_GRIDWRITER_FIXTURE_WRITER_H

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kavro_test {

// File type codes as the files carry them.
inline constexpr int kKfevnt = -3;
inline constexpr int kCustom = -1;
inline constexpr int kDctnry = 0;
inline constexpr int kGrdded = 1;
inline constexpr int kBndary = 2;
inline constexpr int kIddata = 3;
inline constexpr int kProfil = 4;
inline constexpr int kGrnest = 5;
inline constexpr int kSmatrx = 6;
inline constexpr int kType7 = 7;
inline constexpr int kPtrfly = 8;

// Data type codes; they equal the netCDF type numbers (NC_INT, NC_FLOAT, NC_DOUBLE).
inline constexpr int kInt = 4;
inline constexpr int kReal = 5;
inline constexpr int kDouble = 6;

// An attribute written exactly as given: any netCDF type (2 char, 4 int, 5 float, 6 double)
// and any length, which is how malformed headers are made.
struct RawAttr {
  int nc_type = 4;
  std::vector<double> numbers;  // for int, float, double
  std::string text;             // for char, written at its own length

  static RawAttr ints(std::vector<double> v) { return {4, std::move(v), {}}; }
  static RawAttr floats(std::vector<double> v) { return {5, std::move(v), {}}; }
  static RawAttr doubles(std::vector<double> v) { return {6, std::move(v), {}}; }
  static RawAttr chars(std::string s) { return {2, {}, std::move(s)}; }
  // Any other netCDF integer type (NC_SHORT, NC_INT64, ...; the 64-bit ones need CDF-5).
  static RawAttr integers(int type, std::vector<double> v) { return {type, std::move(v), {}}; }
};

struct FixtureVar {
  std::string name;  // the file holds it without trailing blanks
  int type = kReal;
  std::string units = "ppmV";  // padded to 16
  std::string desc;            // padded to 80; empty: "<name> fixture variable"
  bool has_units = true;       // false: the units attribute is omitted
  // Type 7 only: the extra attributes (name, one float) after natts; any count, even > 20.
  std::vector<std::pair<std::string, float>> extras;
  int natts = -1;  // type 7: value of natts; -1: extras.size()
};

FixtureVar described_var(std::string name, int type, std::string units, std::string desc);

// Value of data variable `var` (1-based, VAR-LIST order) in record `rec` (1-based, the record
// of the file that holds it), layer, row and column (1-based). Indices by shape: the last
// dimension is the column, the one before it the row unless it is LAY (then row = 1); a shape
// without LAY has layer 1. So SITE-NO is the row and LEVEL the column of PROFIL3/GRNEST3, a
// PERIM/SITE-NO/COL/SP-COEF-NO position of a one-dimensional layer is the column, and a
// KFEVNT3 value is (lay, 1, 1).
using ValueFn = std::function<double(int var, int rec, int lay, int row, int col)>;

// var*1000 + rec*100 + lay*10 + row + col*0.1
double default_value(int var, int rec, int lay, int row, int col);

// One entry of a dictionary file: a file description under a name, in one record.
struct DictEntry {
  std::string name;  // FNAME, padded to 16
  int flag = 5461;   // FLAG: 5461 marks a valid entry
  int ftype = kGrdded;
  int tstep = 10000;
  int nvars = -1;  // written as NVARS; -1: vars.size()
  int nlays = 2, nrows = 3, ncols = 4, nthik = 1;
  int gdtyp = 2, vgtyp = 7;
  std::vector<float> vglvls;  // empty: NLAYS + 1 levels from 1 down to 0
  double p_alp = 30.0, p_bet = 60.0, p_gam = -90.0, xcent = -90.0, ycent = 40.0;
  double xorig = -120000.0, yorig = -60000.0, xcell = 12000.0, ycell = 12000.0;
  std::string gdnam = "ENTRY_GRID";
  std::vector<std::string> fdesc = {"Dictionary entry written with the raw netCDF C API"};
  std::vector<FixtureVar> vars;  // names, units, descriptions, types (at most 2048)
};

struct FixtureSpec {
  int ftype = kGrdded;
  // Global attribute values.
  std::string version = "kavro fixture writer";
  std::string exec_id = "fixture_run";
  int cdate = 2024100, ctime = 123456;
  int sdate = 2024033, stime = 0, tstep = 10000;
  int nthik = 1, ncols = 4, nrows = 3, nlays = 2;
  int gdtyp = 2;
  double p_alp = 30.0, p_bet = 60.0, p_gam = -90.0, xcent = -90.0, ycent = 40.0;
  double xorig = -120000.0, yorig = -60000.0, xcell = 12000.0, ycell = 12000.0;
  int vgtyp = 7;
  float vgtop = 5000.0F;
  std::vector<float> vglvls;  // empty: min(NLAYS + 1, 100) levels from 1 down to 0
  std::string gdnam = "FIXTURE_GRID";
  std::string upnam = "fixture";
  std::vector<std::string> filedesc = {"Fixture file written with the raw netCDF C API"};
  std::vector<std::string> history = {"Fixture scenario"};

  std::vector<FixtureVar> vars;

  // Records written: -1 = 2 for TSTEP != 0 (and KFEVNT3 events), 1 for TSTEP = 0. Fewer than
  // a fixed TSTEP dimension holds leaves the rest at the netCDF fill value. With a negative
  // TSTEP, the steps written, each into record 1 or 2 in turn: the file keeps the last two.
  int records = -1;
  ValueFn value;  // empty: default_value
  // (record, var) pairs whose time-step flags are left unwritten (fill value) or written one
  // year off (date + 1000).
  std::set<std::pair<int, int>> unwritten_flags;
  std::set<std::pair<int, int>> wrong_flags;
  bool write_data = true;  // false: header and flags only (fast for huge headers)
  // Non-empty: data written only in these records, and without fill values, so the other
  // records' data are holes of a sparse file (large files cost no disk).
  std::set<int> data_only_in;
  // DCTNRY3 only: the entries, one record each, in record order.
  std::vector<DictEntry> entries;
  bool offset64 = false;
  bool cdf5 = false;  // the 64-bit data format (CDF-5)

  // Malformed headers: global attributes dropped, or written as given instead of the normal
  // one (in the normal position; an unknown name is appended at the end).
  std::set<std::string> dropped_globals;
  std::map<std::string, RawAttr> global_overrides;

  FixtureSpec& drop(const std::string& name) {
    dropped_globals.insert(name);
    return *this;
  }
  FixtureSpec& override_int(const std::string& name, int v) {
    global_overrides[name] = RawAttr::ints({double(v)});
    return *this;
  }
  FixtureSpec& override_attr(const std::string& name, RawAttr a) {
    global_overrides[name] = std::move(a);
    return *this;
  }
};

// n REAL variables named "V1", "V2", ...
std::vector<FixtureVar> numbered_vars(int n, int type = kReal);

// The value the file holds for a cell: the description's value function, converted to the
// variable's type (float rounding; int by rounding half away from zero).
double expected_value(const FixtureSpec& fx, int var, int rec, int lay, int row, int col);

// Date and time (YYYYDDD, HHMMSS) of the k-th time step (0-based) of the description: SDATE/STIME
// advanced by k x |TSTEP|.
std::pair<int, int> step_date_time(const FixtureSpec& fx, int k);

// Value of a structural variable (ID-COUNT, ID, LEVEL-COUNT, X, Y, Z, WIN-COLS, WIN-ROWS,
// WIN-LEVS, DX, DY, COL-COUNT, COEFF-INDEX) in record rec at position index (1-based; 0 for
// ID-COUNT): code*1000 + rec*100 + index, code being the name's place in that list.
double structural_value(const std::string& name, int rec, int index);

// KFEVNT3: the five flags of event record rec (1-based): start date, start time (step rec-1),
// column, row (cycling over the grid), duration 10000.
std::vector<int> event_flags(const FixtureSpec& fx, int rec);

// A one-layer GRDDED3 grid of 12 km cells centred on its Lambert projection's centre (GDTYP 2,
// angles 30, 60, -90, centre -90, 40) and no variables: the common base of a location file and
// the data files that go with it.
FixtureSpec sample_grid(int ncols, int nrows);

// A time-independent location file (SDATE 0, STIME 0) on sample_grid: LATITUDE, LONGITUDE
// (REAL, plausible degrees), COL, ROW (INTEGER, 1-based), XLOCA, YLOCA (REAL, metres) at the
// cell centres, so (XLOCA - XORIG) / XCELL = COL - 0.5.
FixtureSpec location_fixture(int ncols, int nrows);

// Writes the file; false (with a line on stderr) when a netCDF call fails.
bool write_fixture(const std::string& path, const FixtureSpec& fx);

}  // namespace kavro_test

#endif  // KAVRO_TOOLS_GRIDWRITER_FIXTURE_WRITER_H
