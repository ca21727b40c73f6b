// OPNFIL3: the header of every file type read into the slot, and every malformed header
// refused with its message, the slot free and the file closed again.
#include <netcdf.h>

#include <string>
#include <vector>

#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

using kavro::FSREAD3;
using kavro::OPEN3;
using kavro::state;

class Opnfil3Test : public OpenFixture {
 protected:
  // Opens a file written from FX as INFILE1 read-only; the result of OPEN3.
  bool open_file(const FixtureSpec& fx) {
    file_named("INFILE1", fx);
    return OPEN3("INFILE1", FSREAD3, "prog");
  }
  // A refused open leaves no slot taken and nothing raised.
  void expect_refused() {
    EXPECT_EQ(slot_of("INFILE1"), 0);
    EXPECT_EQ(state().b.LASTFID3, 0);
  }
};

// Every file type opens with its layer size, record count and structural variables.
struct TypeCase {
  int ftype;
  int laysize;  // NCOLS 4, NROWS 3, NTHIK 1
  int structural;
};
class Opnfil3TypeTest : public Opnfil3Test, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(Opnfil3TypeTest, ReadsHeaderIntoSlot) {
  FixtureSpec s = grid(3);
  s.ftype = GetParam().ftype;
  if (s.ftype == kPtrfly) {
    for (int i = 0; i < 3; ++i)
      s.vars[static_cast<std::size_t>(i)].name = "AIR_" + std::string(i == 0   ? "LAT"
                                                                      : i == 1 ? "LON"
                                                                               : "ELV");
  }
  ASSERT_TRUE(open_file(s)) << log_text();
  const auto& b = state().b;
  EXPECT_EQ(b.FTYPE3(1), s.ftype);
  EXPECT_EQ(b.LAYSIZE3(1), GetParam().laysize);
  EXPECT_EQ(b.MXREC3(1), s.ftype == kDctnry ? 0 : 2);
  EXPECT_GE(b.TFLAGID3(1), 0);
  if (s.ftype == kDctnry) return;
  EXPECT_EQ(b.NVARS3(1), 3);
  EXPECT_EQ(b.NCOLS3(1), 4);
  EXPECT_EQ(b.VGLVS3(1)[2], 0.0F);  // levels from 1 down to 0
  EXPECT_EQ(state().c.GDNAM3(1).trimmed(), "FIXTURE_GRID");
  EXPECT_EQ(state().c.UNITS3(2, 1).padded(), "ppmV            ");
  EXPECT_EQ(b.VTYPE3(3, 1), kavro::XQREAL);
  EXPECT_GE(b.VARID3(3, 1), 0);
  const std::vector<int> ids = {b.CNTVID3(1),  b.IDVID3(1), b.LEVVID3(1), b.WCOLVID3(1),
                                b.WROWVID3(1), b.XVID3(1),  b.YVID3(1),   b.ZVID3(1),
                                b.DXVID3(1),   b.DYVID3(1)};
  EXPECT_EQ(std::count_if(ids.begin(), ids.end(), [](int id) { return id > 0; }),
            GetParam().structural);
}

INSTANTIATE_TEST_SUITE_P(Types, Opnfil3TypeTest,
                         ::testing::Values(TypeCase{kKfevnt, 3, 5}, TypeCase{kCustom, 4, 0},
                                           TypeCase{kDctnry, kavro::IMISSING3, 0},
                                           TypeCase{kGrdded, 12, 0}, TypeCase{kBndary, 18, 0},
                                           TypeCase{kIddata, 3, 2}, TypeCase{kProfil, 12, 6},
                                           TypeCase{kGrnest, 12, 9}, TypeCase{kSmatrx, 4, 2},
                                           TypeCase{kType7, 12, 0}, TypeCase{kPtrfly, 12, 0}));

// Each attribute the opener requires, missing in turn, refuses the file with its text.
struct MissingCase {
  const char* attribute;
  const char* failure;
};
class Opnfil3MissingTest : public Opnfil3Test, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(Opnfil3MissingTest, RefusesFile) {
  FixtureSpec s = grid();
  s.drop(GetParam().attribute);
  EXPECT_FALSE(open_file(s));
  EXPECT_TRUE(logged(GetParam().failure)) << log_text();
  EXPECT_TRUE(log_mentions("processing file \"INFILE1\""));
  expect_refused();
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, Opnfil3MissingTest,
    ::testing::Values(MissingCase{"FTYPE", "Error reading netCDF file attribute FTYPE."},
                      MissingCase{"NVARS", "Error reading netCDF file attribute NVARS"},
                      MissingCase{"TSTEP", "Error reading file attribute TSTEP"},
                      MissingCase{"SDATE", "Error reading file attribute SDATE"},
                      MissingCase{"STIME", "Error reading file attribute STIME"},
                      MissingCase{"NTHIK", "Error reading file attribute NTHIK"},
                      MissingCase{"NCOLS", "Error reading file attribute NCOLS"},
                      MissingCase{"NROWS", "Error reading file attribute NROWS"},
                      MissingCase{"NLAYS", "Error reading file attribute NLAYS"},
                      MissingCase{"GDTYP", "Error reading file attribute GDTYP"},
                      MissingCase{"P_ALP", "Error reading file attribute P_ALP"},
                      MissingCase{"P_BET", "Error reading file attribute P_BET"},
                      MissingCase{"P_GAM", "Error reading file attribute P_GAM"},
                      MissingCase{"XCENT", "Error reading file attribute XCENT"},
                      MissingCase{"YCENT", "Error reading file attribute YCENT"},
                      MissingCase{"XORIG", "Error reading file attribute XORIG"},
                      MissingCase{"YORIG", "Error reading file attribute YORIG"},
                      MissingCase{"XCELL", "Error reading file attribute XCELL"},
                      MissingCase{"YCELL", "Error reading file attribute YCELL"},
                      MissingCase{"VGTYP", "Error reading file attribute VGTYP."},
                      MissingCase{"VGTOP", "Error reading file attribute VGTOP."},
                      MissingCase{"VGLVLS", "Error reading file attribute VGLVS."},
                      MissingCase{"GDNAM", "Error reading file attribute GDNAM"},
                      MissingCase{"VAR-LIST", "Error reading attribute VAR-LIST"}));

// Headers that would size something wrongly: a wrong type or length, too many values, or
// sizes out of range. Each is refused with a clear message, never read past a buffer.
struct BadCase {
  const char* name;
  const char* attribute;
  RawAttr value;
  std::vector<std::string> lines;
};
class Opnfil3BadHeaderTest : public Opnfil3Test, public ::testing::WithParamInterface<BadCase> {};

TEST_P(Opnfil3BadHeaderTest, RefusesFile) {
  FixtureSpec s = grid();
  s.write_data = false;
  s.override_attr(GetParam().attribute, GetParam().value);
  EXPECT_FALSE(open_file(s));
  for (const std::string& line : GetParam().lines)
    EXPECT_TRUE(logged(line)) << line << "\n" << log_text();
  expect_refused();
}

const std::string kBadFile = "for file \"INFILE1\"";

INSTANTIATE_TEST_SUITE_P(
    Headers, Opnfil3BadHeaderTest,
    ::testing::Values(
        BadCase{"NcolsDouble",
                "NCOLS",
                RawAttr::doubles({4}),
                {"Error reading file attribute NCOLS",
                 "Header attribute \"NCOLS\" must hold one integer value that fits 32 bits"}},
        BadCase{"NcolsTwoValues",
                "NCOLS",
                RawAttr::ints({4, 4}),
                {"Error reading file attribute NCOLS"}},
        BadCase{"PalpFloat",
                "P_ALP",
                RawAttr::floats({30}),
                {"Header attribute \"P_ALP\" must hold one double value"}},
        BadCase{
            "GdnamInt",
            "GDNAM",
            RawAttr::ints({1}),
            {"Error reading file attribute GDNAM", "Header attribute \"GDNAM\" must hold text"}},
        BadCase{"Nvars2049",
                "NVARS",
                RawAttr::ints({2049}),
                {"Max value of attribute NVARS exceeded for this build"}},
        BadCase{"NvarsNegative",
                "NVARS",
                RawAttr::ints({-1}),
                {"File opening error:  negative NVARS " + kBadFile}},
        BadCase{"FtypeDgraph",
                "FTYPE",
                RawAttr::ints({-2}),
                {"File opening error:  ILLEGAL FILE TYPE for file INFILE1",
                 "Unknown file type         -2"}},
        BadCase{"FtypeNine",
                "FTYPE",
                RawAttr::ints({9}),
                {"File opening error:  ILLEGAL FILE TYPE for file INFILE1",
                 "Unknown file type          9"}},
        BadCase{"VglvlsTooMany",
                "VGLVLS",
                RawAttr::floats(std::vector<double>(102, 1.0)),
                {"Error reading file attribute VGLVS.",
                 "Header attribute \"VGLVLS\" must hold at most 101 float values"}},
        BadCase{"NcolsNegative",
                "NCOLS",
                RawAttr::ints({-4}),
                {"File opening error:  negative NCOLS, NROWS or NLAYS " + kBadFile}},
        BadCase{"GridOverflowsInt32",
                "NCOLS",
                RawAttr::ints({1 << 30}),
                {"File opening error:  NCOLS x NROWS x NLAYS exceeds 2147483647 " + kBadFile}},
        BadCase{"NcolsDisagreesWithFile",
                "NCOLS",
                RawAttr::ints({5}),
                {"File opening error:  dimension COL shorter than header " + kBadFile}},
        BadCase{"VarListShort",
                "VAR-LIST",
                RawAttr::chars("V1              V2"),
                {"Error reading attribute VAR-LIST",
                 "File opening error:  NVARS 3 does not match the 2 names of VAR-LIST (V1, V2): "
                 "write NVARS 2 " +
                     kBadFile}},
        BadCase{"VarListUnpadded",
                "VAR-LIST",
                RawAttr::chars("V1 V2 V3"),
                {"Error reading attribute VAR-LIST",
                 "File opening error:  NVARS 3 does not match the 1 name of VAR-LIST (V1 V2 V3): "
                 "pad each name to 16 characters " +
                     kBadFile}},
        BadCase{"SdateYearMonthDay",
                "SDATE",
                RawAttr::ints({20240701}),
                {"File opening error:  SDATE 20240701 is not a YYYYDDD date (2024-07-01 is "
                 "2024183) " +
                 kBadFile}},
        BadCase{"TstepInSeconds",
                "TSTEP",
                RawAttr::ints({3600}),
                {"File opening error:  TSTEP 3600 is in seconds, TFLAG steps by 010000: write "
                 "TSTEP 10000 " +
                 kBadFile}},
        BadCase{"FloatForDouble",
                "XCELL",
                RawAttr::floats({12000}),
                {"Error reading file attribute XCELL",
                 "Header attribute \"XCELL\" must hold one double value"}}),
    [](const ::testing::TestParamInfo<BadCase>& c) { return std::string(c.param.name); });

// A file of 2048 variables, the most a file may hold, opens.
TEST_F(Opnfil3Test, AcceptsMaximumVariableCount) {
  FixtureSpec s = grid(kavro::MXVARS3);
  s.write_data = false;
  s.nlays = 1;
  ASSERT_TRUE(open_file(s)) << log_text();
  EXPECT_EQ(state().b.NVARS3(1), kavro::MXVARS3);
  EXPECT_EQ(state().c.VLIST3D(2048, 1).trimmed(), "V2048");
}

// A file without variables opens without a VAR-LIST; an event file without TSTEP opens.
TEST_F(Opnfil3Test, OptionalAttributes) {
  FixtureSpec none = grid(0);
  ASSERT_TRUE(open_file(none)) << log_text();
  EXPECT_EQ(state().b.NVARS3(1), 0);
  FixtureSpec events = grid();
  events.ftype = kKfevnt;
  events.drop("TSTEP");
  file_named("EVENTS", events, "events.nc");
  EXPECT_TRUE(OPEN3("EVENTS", FSREAD3, "prog")) << log_text();
}

// A file with 120 layers keeps its 100 level values; the level table is not overrun.
TEST_F(Opnfil3Test, ManyLayersKeepStoredLevels) {
  FixtureSpec s = grid(1);
  s.nlays = 120;
  s.write_data = false;
  ASSERT_TRUE(open_file(s)) << log_text();
  EXPECT_EQ(state().b.NLAYS3(1), 120);
  ASSERT_TRUE(kavro::DESC3("INFILE1"));
  EXPECT_EQ(kavro::BDESC3.VGLVS3D[99], state().b.VGLVS3(1)[99]);
}

// Opening read-write records the caller as updater and the run's scenario as history.
TEST_F(Opnfil3Test, ReadWriteRewritesUpnamAndHistory) {
  const std::string scen = dir().file("scenario.txt");
  write_file(scen, "Scenario line one\nScenario line two\n");
  ScopedEnv scenfile("SCENFILE", scen);
  const std::string path = file_named("INFILE1", grid());
  ASSERT_TRUE(OPEN3("INFILE1", kavro::FSRDWR3, "UPDATER"));
  EXPECT_FALSE(state().b.READONLY3(1));
  ASSERT_TRUE(kavro::CLOSE3("INFILE1"));
  int ncid = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  std::string upnam(16, '\0');
  std::string history(4800, '\0');
  EXPECT_EQ(nc_get_att_text(ncid, NC_GLOBAL, "UPNAM", upnam.data()), NC_NOERR);
  EXPECT_EQ(nc_get_att_text(ncid, NC_GLOBAL, "HISTORY", history.data()), NC_NOERR);
  nc_close(ncid);
  EXPECT_EQ(upnam, "UPDATER         ");
  EXPECT_EQ(history.substr(0, 80), std::string("Scenario line one") + std::string(63, ' '));
  EXPECT_EQ(history.substr(80, 17), "Scenario line two");
}

// A file refused by the header checks is not updated when opened read-write.
TEST_F(Opnfil3Test, RefusedFileIsNotUpdated) {
  ScopedEnv on("KAVRO_CHECK_HEADERS", "Y");
  FixtureSpec s = grid();
  s.gdtyp = 9;
  const std::string path = file_named("INFILE1", s);
  EXPECT_FALSE(OPEN3("INFILE1", kavro::FSRDWR3, "UPDATER"));
  int ncid = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  std::string upnam(16, '\0');
  EXPECT_EQ(nc_get_att_text(ncid, NC_GLOBAL, "UPNAM", upnam.data()), NC_NOERR);
  nc_close(ncid);
  EXPECT_EQ(upnam, "fixture         ");
}

// A failed open closes the netCDF file it opened: the next open gets the same netCDF id.
TEST_F(Opnfil3Test, FailedOpenLeavesNoFileOpen) {
  file_named("GOOD", grid(), "good.nc");
  ASSERT_TRUE(OPEN3("GOOD", FSREAD3, "prog"));
  const int first = state().b.NCID3(1);
  ASSERT_TRUE(kavro::CLOSE3("GOOD"));
  FixtureSpec bad = grid();
  bad.override_int("FTYPE", 9);
  EXPECT_FALSE(open_file(bad));
  ASSERT_TRUE(OPEN3("GOOD", FSREAD3, "prog"));
  EXPECT_EQ(state().b.NCID3(1), first);
}

}  // namespace
// An integer attribute of any netCDF integer type opens where its value fits an int (xarray
// writes a Python int as 64 bits); one beyond 32 bits is refused, saying what fits. The header
// check reads its integers the same way.
TEST_F(Opnfil3Test, IntegerAttributesOfAnyType) {
  struct Case {
    int type;
    double ncols;
    bool opens;
  };
  const std::vector<Case> cases = {
      {NC_BYTE, 4, true},   {NC_SHORT, 4, true},    {NC_UBYTE, 4, true},
      {NC_USHORT, 4, true}, {NC_UINT, 4, true},     {NC_INT64, 4, true},
      {NC_UINT64, 4, true}, {NC_INT64, 5e9, false}, {NC_INT64, -5e9, false}};
  ScopedEnv check("KAVRO_CHECK_HEADERS", "Y");
  for (const Case& c : cases) {
    FixtureSpec s = grid();
    s.write_data = false;
    s.cdf5 = true;
    s.override_attr("NCOLS", RawAttr::integers(c.type, {c.ncols}));
    s.override_attr("VGTYP", RawAttr::integers(c.type, {7}));
    EXPECT_EQ(open_file(s), c.opens) << c.type << " " << log_text();
    if (c.opens) {
      EXPECT_EQ(state().b.NCOLS3(1), 4);
      EXPECT_EQ(state().b.VGTYP3(1), 7);
      ASSERT_TRUE(kavro::CLOSE3("INFILE1"));
    } else {
      EXPECT_TRUE(
          logged("Header attribute \"NCOLS\" must hold one integer value that fits 32 "
                 "bits"))
          << log_text();
      EXPECT_EQ(slot_of("INFILE1"), 0);
    }
  }
}

}  // namespace kavro_test
