// The fixture writer checked against ncdump, the netCDF library's own reader: attribute names,
// types, lengths and order, dimension order, variable shapes, and the data formula.
#include "gridwriter/fixture_writer.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/test_env.h"

namespace kavro_test {
namespace {

// One attribute as ncdump shows it: type from the CDL spelling, number of values.
struct Attr {
  char type = '?';  // c char, i int, f float, d double
  std::size_t length = 0;
  std::string value;  // the CDL text after " = ", without " ;"
};

struct Header {
  std::vector<std::string> dims;        // "NAME = LEN" or "NAME = UNLIMITED"
  std::vector<std::string> vars;        // "type NAME(DIM, ...)"
  std::vector<std::string> attr_order;  // "VAR:name" or ":name" for globals
  std::map<std::string, Attr> attrs;
};

Attr classify(const std::string& value) {
  Attr a;
  a.value = value;
  if (value.front() == '"') {
    a.type = 'c';
    a.length = value.size() - 2;  // no escapes in the fixtures' texts
    return a;
  }
  a.length = std::size_t(std::count(value.begin(), value.end(), ',')) + 1;
  if (value.back() == 'f') {
    a.type = 'f';
  } else if (value.find_first_of(".e") != std::string::npos) {
    a.type = 'd';
  } else {
    a.type = 'i';
  }
  return a;
}

Header dump_header(const std::string& path) {
  Header h;
  std::istringstream in(run_command("ncdump -h " + path));
  std::string line, pending;
  enum { kNone, kDims, kVars } section = kNone;
  while (std::getline(in, line)) {
    if (line == "dimensions:") {
      section = kDims;
      continue;
    }
    if (line == "variables:") {
      section = kVars;
      continue;
    }
    std::string t = line.substr(std::min(line.find_first_not_of('\t'), line.size()));
    if (t.empty() || t.rfind("//", 0) == 0 || t == "}" || t.rfind("netcdf ", 0) == 0) continue;
    if (auto c = t.find(" ; //"); c != std::string::npos) t.resize(c + 2);  // "(2 currently)"
    pending += pending.empty() ? t : " " + t;
    if (pending.size() < 2 || pending.compare(pending.size() - 2, 2, " ;") != 0) continue;
    std::string item = pending.substr(0, pending.size() - 2);
    pending.clear();
    auto eq = item.find(" = ");
    if (section == kDims) {
      h.dims.push_back(item.substr(0, item.find(" ;")));
    } else if (eq == std::string::npos) {
      h.vars.push_back(item);
    } else {
      std::string key = item.substr(0, eq);
      h.attr_order.push_back(key);
      h.attrs[key] = classify(item.substr(eq + 3));
    }
  }
  return h;
}

std::vector<std::string> globals_of(const Header& h) {
  std::vector<std::string> g;
  for (const auto& k : h.attr_order) {
    if (k.front() == ':') g.push_back(k.substr(1));
  }
  return g;
}

class FixtureWriterTest : public ::testing::Test {
 protected:
  std::string write(const FixtureSpec& fx, const std::string& name = "f.nc") {
    std::string path = dir_.file(name);
    EXPECT_TRUE(write_fixture(path, fx));
    return path;
  }
  TempDir dir_;
};

FixtureSpec gridded() {
  FixtureSpec s;
  s.vars = numbered_vars(3);
  s.vars[1].type = kInt;
  s.vars[2].type = kDouble;
  s.vars[0].units = "ppmV";
  return s;
}

// Global attributes in the writer's order, each with its netCDF type and length.
TEST_F(FixtureWriterTest, GlobalAttributesHaveTheirTypesAndLengths) {
  Header h = dump_header(write(gridded()));
  const std::vector<std::string> order = {
      "KAVRO_VERSION", "EXEC_ID", "FTYPE",    "CDATE",    "CTIME",  "WDATE", "WTIME",
      "SDATE",         "STIME",   "TSTEP",    "NTHIK",    "NCOLS",  "NROWS", "NLAYS",
      "NVARS",         "GDTYP",   "P_ALP",    "P_BET",    "P_GAM",  "XCENT", "YCENT",
      "XORIG",         "YORIG",   "XCELL",    "YCELL",    "VGTYP",  "VGTOP", "VGLVLS",
      "GDNAM",         "UPNAM",   "VAR-LIST", "FILEDESC", "HISTORY"};
  EXPECT_EQ(globals_of(h), order);
  const std::map<std::string, std::pair<char, std::size_t>> expected = {
      {"EXEC_ID", {'c', 80}},  {"FTYPE", {'i', 1}},       {"CDATE", {'i', 1}},
      {"TSTEP", {'i', 1}},     {"NVARS", {'i', 1}},       {"P_ALP", {'d', 1}},
      {"YCELL", {'d', 1}},     {"VGTYP", {'i', 1}},       {"VGTOP", {'f', 1}},
      {"VGLVLS", {'f', 3}},    {"GDNAM", {'c', 16}},      {"UPNAM", {'c', 16}},
      {"VAR-LIST", {'c', 48}}, {"FILEDESC", {'c', 4800}}, {"HISTORY", {'c', 4800}}};
  for (const auto& [name, tl] : expected) {
    const Attr& a = h.attrs[":" + name];
    EXPECT_EQ(a.type, tl.first) << name;
    EXPECT_EQ(a.length, tl.second) << name;
  }
  EXPECT_EQ(h.attrs[":KAVRO_VERSION"].value, "\"kavro fixture writer\"");
  EXPECT_EQ(h.attrs[":VAR-LIST"].value, "\"V1              V2              V3              \"");
}

// Dimensions in order, TFLAG first with its three attributes, data variables with theirs.
TEST_F(FixtureWriterTest, GriddedLayoutMatchesTheLibraryOrder) {
  Header h = dump_header(write(gridded()));
  EXPECT_EQ(h.dims, (std::vector<std::string>{"TSTEP = UNLIMITED", "DATE-TIME = 2", "LAY = 2",
                                              "VAR = 3", "ROW = 3", "COL = 4"}));
  EXPECT_EQ(h.vars, (std::vector<std::string>{
                        "int TFLAG(TSTEP, VAR, DATE-TIME)", "float V1(TSTEP, LAY, ROW, COL)",
                        "int V2(TSTEP, LAY, ROW, COL)", "double V3(TSTEP, LAY, ROW, COL)"}));
  EXPECT_EQ(h.attrs["TFLAG:units"].value, "\"<YYYYDDD,HHMMSS>\"");
  EXPECT_EQ(h.attrs["TFLAG:long_name"].value, "\"TFLAG           \"");
  EXPECT_EQ(h.attrs["TFLAG:var_desc"].value,
            "\"" + std::string("Timestep-valid flags:  (1) YYYYDDD or (2) HHMMSS") +
                std::string(32, ' ') + "\"");
  std::vector<std::string> v1;
  for (const auto& k : h.attr_order) {
    if (k.rfind("V1:", 0) == 0) v1.push_back(k);
  }
  EXPECT_EQ(v1, (std::vector<std::string>{"V1:long_name", "V1:units", "V1:var_desc"}));
  EXPECT_EQ(h.attrs["V1:units"].value, "\"ppmV            \"");
  EXPECT_EQ(h.attrs["V1:var_desc"].length, 80U);
}

struct TypeLayout {
  int ftype;
  std::vector<std::string> dims;  // after TSTEP, DATE-TIME, LAY, VAR
  std::vector<std::string> vars;  // after TFLAG
};

class FixtureLayoutTest : public FixtureWriterTest,
                          public ::testing::WithParamInterface<TypeLayout> {};

// Each file type's own dimensions, structural variables and data shape (4 cols, 3 rows, NTHIK 1).
TEST_P(FixtureLayoutTest, TypeHasItsDimensionsAndVariables) {
  FixtureSpec s;
  s.ftype = GetParam().ftype;
  s.vars = numbered_vars(1);
  Header h = dump_header(write(s));
  ASSERT_GE(h.dims.size(), 4U);
  EXPECT_EQ(std::vector<std::string>(h.dims.begin() + 4, h.dims.end()), GetParam().dims);
  ASSERT_GE(h.vars.size(), 1U);
  EXPECT_EQ(std::vector<std::string>(h.vars.begin() + 1, h.vars.end()), GetParam().vars);
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, FixtureLayoutTest,
    ::testing::Values(
        TypeLayout{kGrdded, {"ROW = 3", "COL = 4"}, {"float V1(TSTEP, LAY, ROW, COL)"}},
        TypeLayout{kBndary, {"PERIM = 18"}, {"float V1(TSTEP, LAY, PERIM)"}},
        TypeLayout{
            kIddata,
            {"SITE-NO = 3"},
            {"int ID-COUNT(TSTEP)", "int ID(TSTEP, SITE-NO)", "float V1(TSTEP, LAY, SITE-NO)"}},
        TypeLayout{
            kProfil,
            {"SITE-NO = 3", "LEVEL = 4"},
            {"int ID-COUNT(TSTEP)", "int ID(TSTEP, SITE-NO)", "int LEVEL-COUNT(TSTEP, SITE-NO)",
             "float X(TSTEP, SITE-NO)", "float Y(TSTEP, SITE-NO)", "float Z(TSTEP, SITE-NO)",
             "float V1(TSTEP, LAY, SITE-NO, LEVEL)"}},
        TypeLayout{
            kGrnest,
            {"SITE-NO = 3", "LEVEL = 4"},
            {"int ID-COUNT(TSTEP)", "int ID(TSTEP, SITE-NO)", "int WIN-COLS(TSTEP, SITE-NO)",
             "int WIN-ROWS(TSTEP, SITE-NO)", "int WIN-LEVS(TSTEP, SITE-NO)",
             "double X(TSTEP, SITE-NO)", "double Y(TSTEP, SITE-NO)", "double DX(TSTEP, SITE-NO)",
             "double DY(TSTEP, SITE-NO)", "float V1(TSTEP, LAY, SITE-NO, LEVEL)"}},
        TypeLayout{kSmatrx,
                   {"ROW-NO = 3", "SP-COEF-NO = 4"},
                   {"int COL-COUNT(TSTEP, ROW-NO)", "int COEFF-INDEX(TSTEP, SP-COEF-NO)",
                    "float V1(TSTEP, SP-COEF-NO)"}},
        TypeLayout{kCustom, {"COL = 4"}, {"float V1(TSTEP, LAY, COL)"}},
        TypeLayout{kType7, {"ROW = 3", "COL = 4"}, {"float V1(TSTEP, LAY, ROW, COL)"}},
        TypeLayout{kPtrfly, {"ROW = 3", "COL = 4"}, {"float V1(TSTEP, LAY, ROW, COL)"}},
        TypeLayout{kKfevnt,
                   {"ROW = 3", "COL = 4", "CELL-EVENT = 1"},
                   {"int KFCOUNT(ROW, COL)", "int KFEVENT(ROW, COL, CELL-EVENT)",
                    "int KFSDATE(ROW, COL, CELL-EVENT)", "int KFSTIME(ROW, COL, CELL-EVENT)",
                    "int KFLNGTH(ROW, COL, CELL-EVENT)", "float V1(TSTEP, LAY)"}}));

// TSTEP > 0 is the record dimension, 0 a fixed length 1, < 0 a fixed length 2.
TEST_F(FixtureWriterTest, TimeDimensionFollowsTheStep) {
  const std::vector<std::pair<int, std::string>> cases = {
      {10000, "TSTEP = UNLIMITED"}, {0, "TSTEP = 1"}, {-10000, "TSTEP = 2"}};
  for (const auto& [step, dim] : cases) {
    FixtureSpec s = gridded();
    s.tstep = step;
    EXPECT_EQ(dump_header(write(s)).dims.front(), dim) << step;
  }
}

// PERIM = 2 x NTHIK x (NCOLS + NROWS + 2 x NTHIK), kept positive for a negative NTHIK.
TEST_F(FixtureWriterTest, BoundaryPerimeterFollowsTheSignedThickness) {
  for (const auto& [nthik, perim] : std::vector<std::pair<int, std::string>>{
           {1, "PERIM = 34"}, {-1, "PERIM = 26"}, {2, "PERIM = 76"}}) {
    FixtureSpec s;
    s.ftype = kBndary;
    s.ncols = 10;
    s.nrows = 5;
    s.nthik = nthik;
    s.vars = numbered_vars(1);
    EXPECT_EQ(dump_header(write(s)).dims.back(), perim) << nthik;
  }
}

// KFEVNT3: TFLAG has five flags per event and the cut units text; NVARS 0 gives VAR = 1 and
// no VAR-LIST.
TEST_F(FixtureWriterTest, EventFileAndEmptyVariableList) {
  FixtureSpec s;
  s.ftype = kKfevnt;
  Header h = dump_header(write(s));
  EXPECT_EQ(h.dims[1], "DATE-TIME = 5");
  EXPECT_EQ(h.dims[3], "VAR = 1");
  EXPECT_EQ(h.vars.front(), "int TFLAG(TSTEP, DATE-TIME)");
  EXPECT_EQ(h.attrs["TFLAG:units"].value, "\"<YYYYDDD,HHMMSS,\"");
  EXPECT_EQ(h.attrs["TFLAG:var_desc"].length, 80U);
  EXPECT_EQ(h.attrs.count(":VAR-LIST"), 0U);
  EXPECT_EQ(h.attrs[":NVARS"].value, "0");
}

// Malformed headers: dropped, retyped, lengthened and overridden attributes.
TEST_F(FixtureWriterTest, MalformedHeaderOptions) {
  FixtureSpec s = gridded();
  s.drop("GDNAM").drop("TSTEP");
  s.override_attr("NVARS", RawAttr::floats({3}));
  s.override_attr("VGLVLS", RawAttr::floats(std::vector<double>(150, 0.5)));
  s.override_attr("VAR-LIST", RawAttr::chars("V1"));
  s.override_int("NCOLS", -4);
  s.vars[2].has_units = false;
  Header h = dump_header(write(s));
  EXPECT_EQ(h.attrs.count(":GDNAM"), 0U);
  EXPECT_EQ(h.attrs.count(":TSTEP"), 0U);
  EXPECT_EQ(h.attrs[":NVARS"].type, 'f');
  EXPECT_EQ(h.attrs[":VGLVLS"].length, 150U);
  EXPECT_EQ(h.attrs[":VAR-LIST"].value, "\"V1\"");
  EXPECT_EQ(h.attrs[":NCOLS"].value, "-4");
  EXPECT_EQ(h.dims[5], "COL = 4");  // the override touches the attribute only
  EXPECT_EQ(h.attrs.count("V3:units"), 0U);
  EXPECT_EQ(h.attrs.count("V3:var_desc"), 1U);
}

// NLAYS 120 carries 100 level values.
TEST_F(FixtureWriterTest, LevelsAreCappedAtOneHundred) {
  FixtureSpec s = gridded();
  s.nlays = 120;
  s.write_data = false;
  EXPECT_EQ(dump_header(write(s)).attrs[":VGLVLS"].length, 100U);
}

// Type 7: natts then the extra float attributes, any number of them.
TEST_F(FixtureWriterTest, TypeSevenExtraAttributes) {
  FixtureSpec s = gridded();
  s.ftype = kType7;
  for (int k = 1; k <= 21; ++k) s.vars[0].extras.push_back({"EXTRA" + std::to_string(k), 0.5F});
  Header h = dump_header(write(s));
  EXPECT_EQ(h.attrs["V1:natts"].value, "21");
  EXPECT_EQ(h.attrs["V1:EXTRA21"].value, "0.5f");
  EXPECT_EQ(h.attrs["V2:natts"].value, "0");
  auto it = std::find(h.attr_order.begin(), h.attr_order.end(), "V1:natts");
  ASSERT_NE(it, h.attr_order.end());
  EXPECT_EQ(*(it + 1), "V1:EXTRA1");
}

// A 2048-variable header is written quickly on a small grid.
TEST_F(FixtureWriterTest, TwoThousandVariables) {
  FixtureSpec s;
  s.ncols = s.nrows = 1;
  s.nlays = 1;
  s.vars = numbered_vars(2048);
  Header h = dump_header(write(s));
  EXPECT_EQ(h.attrs[":NVARS"].value, "2048");
  EXPECT_EQ(h.attrs[":VAR-LIST"].length, 2048U * 16U);
  EXPECT_EQ(h.vars.size(), 2049U);
}

// Dictionary: the common attributes, NVARS, VAR-LIST, FLAG first, the schema variables.
TEST_F(FixtureWriterTest, DictionaryLayout) {
  FixtureSpec s;
  s.ftype = kDctnry;
  Header h = dump_header(write(s));
  EXPECT_EQ(globals_of(h),
            (std::vector<std::string>{"KAVRO_VERSION", "EXEC_ID", "FTYPE", "CDATE", "CTIME",
                                      "WDATE", "WTIME", "NVARS", "VAR-LIST"}));
  EXPECT_EQ(h.attrs[":NVARS"].value, "26");
  EXPECT_EQ(h.attrs[":VAR-LIST"].length, 26U * 16U);
  EXPECT_EQ(h.dims.front(), "FINDX3 = UNLIMITED");
  EXPECT_EQ(h.vars.front(), "int FLAG(FINDX3)");
  EXPECT_EQ(h.vars.back(), "int VTYPE(FINDX3, VINDX)");
  EXPECT_EQ(h.attrs["FLAG:units"].value, "\"5461 or not     \"");
}

int get_int(int ncid, const char* var, std::vector<std::size_t> start) {
  int varid = -1, v = 0;
  nc_inq_varid(ncid, var, &varid);
  std::vector<std::size_t> count(start.size(), 1);
  EXPECT_EQ(nc_get_vara_int(ncid, varid, start.data(), count.data(), &v), NC_NOERR);
  return v;
}

// Data follow the formula (or the hook), converted to the variable's type; flags follow the
// step, with one left unwritten and one a year off.
TEST_F(FixtureWriterTest, DataAndFlagsCanBeRecomputed) {
  FixtureSpec s = gridded();
  s.records = 3;
  s.tstep = 230000;  // crosses midnight and the year end from 2023365
  s.sdate = 2023365;
  s.stime = 120000;
  s.unwritten_flags = {{2, 1}};
  s.wrong_flags = {{3, 2}};
  s.value = [](int var, int rec, int lay, int row, int col) {
    return var == 2 && col == 4 ? -2.5 : default_value(var, rec, lay, row, col);
  };
  std::string path = write(s);
  int ncid = -1;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  float f = 0;
  int v1 = -1;
  nc_inq_varid(ncid, "V1", &v1);
  std::size_t start[4] = {2, 1, 2, 3}, one[4] = {1, 1, 1, 1};
  nc_get_vara_float(ncid, v1, start, one, &f);
  EXPECT_EQ(f, float(1000 + 300 + 20 + 3 + 0.4));
  EXPECT_EQ(f, float(expected_value(s, 1, 3, 2, 3, 4)));
  EXPECT_EQ(get_int(ncid, "V2", {0, 0, 0, 3}), -3);  // -2.5 rounds away from zero
  EXPECT_EQ(get_int(ncid, "V2", {0, 0, 0, 2}), 2111);
  EXPECT_EQ(get_int(ncid, "TFLAG", {0, 0, 0}), 2023365);
  EXPECT_EQ(get_int(ncid, "TFLAG", {0, 0, 1}), 120000);
  EXPECT_EQ(get_int(ncid, "TFLAG", {1, 0, 0}), NC_FILL_INT);
  EXPECT_EQ(get_int(ncid, "TFLAG", {1, 1, 0}), 2024001);
  EXPECT_EQ(get_int(ncid, "TFLAG", {1, 1, 1}), 110000);
  EXPECT_EQ(get_int(ncid, "TFLAG", {2, 1, 0}), 2025002);  // 2024002 written a year off
  EXPECT_EQ(get_int(ncid, "TFLAG", {2, 1, 1}), 100000);
  EXPECT_EQ(step_date_time(s, 2), (std::pair<int, int>{2024002, 100000}));
  nc_close(ncid);
}

// Structural arrays and event flags follow their formulas.
TEST_F(FixtureWriterTest, StructuralValuesAndEventFlags) {
  FixtureSpec p;
  p.ftype = kProfil;
  p.vars = numbered_vars(1);
  std::string path = write(p, "p.nc");
  FixtureSpec e;
  e.ftype = kKfevnt;
  e.records = 5;
  std::string events = write(e, "e.nc");
  int ncid = -1;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  EXPECT_EQ(get_int(ncid, "ID", {1, 2}), int(structural_value("ID", 2, 3)));
  EXPECT_EQ(get_int(ncid, "ID-COUNT", {1}), int(structural_value("ID-COUNT", 2, 0)));
  nc_close(ncid);
  ASSERT_EQ(nc_open(events.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  const std::vector<int> flags = event_flags(e, 5);
  EXPECT_EQ(flags, (std::vector<int>{2024033, 40000, 1, 2, 10000}));
  for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(get_int(ncid, "TFLAG", {4, k}), flags[k]);
  EXPECT_EQ(get_int(ncid, "KFCOUNT", {2, 3}), 0);
  nc_close(ncid);
}

// The hand-readable layouts in tests/data survive ncgen and ncdump unchanged.
TEST(CdlRoundTripTest, NcgenThenNcdumpGivesTheSameText) {
  TempDir dir;
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KAVRO_TEST_DATA_DIR)) {
    if (entry.path().extension() != ".cdl") continue;
    ++seen;
    const std::string nc = dir.file(entry.path().stem().string() + ".nc");
    ASSERT_EQ(std::system(("ncgen -o " + nc + " " + entry.path().string()).c_str()), 0);
    EXPECT_EQ(run_command("ncdump " + nc), read_file(entry.path().string())) << entry.path();
  }
  EXPECT_GE(seen, 3);
}

}  // namespace
}  // namespace kavro_test
