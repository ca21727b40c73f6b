// CKFILE3: every header check with its message, when KAVRO_CHECK_HEADERS is set.
#include <functional>
#include <string>

#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

class Ckfile3Test : public OpenFixture {
 protected:
  bool open_file(const FixtureSpec& fx) {
    file_named("INFILE1", fx);
    return kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog");
  }
};

struct CheckCase {
  const char* name;
  std::function<void(FixtureSpec&)> change;
  bool opens;
  std::string warning;  // the warning's text line; empty: no CKFILE3 warning at all
  std::string caller = "CKFILE3";
};

class Ckfile3CheckTest : public Ckfile3Test, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Ckfile3CheckTest, ChecksHeader) {
  ScopedEnv on("KAVRO_CHECK_HEADERS", "Y");
  FixtureSpec s = grid(3);
  s.write_data = false;
  GetParam().change(s);
  EXPECT_EQ(open_file(s), GetParam().opens) << log_text();
  if (GetParam().warning.empty()) {
    EXPECT_FALSE(log_mentions("WARNING in subroutine CKFILE")) << log_text();
    return;
  }
  EXPECT_TRUE(logged(">>--->> WARNING in subroutine " + GetParam().caller)) << log_text();
  EXPECT_TRUE(logged(GetParam().warning)) << log_text();
}

const std::string kIn = "in file \"INFILE1\"";
const std::string kFor = "for file \"INFILE1\"";

void set_type(FixtureSpec& s, int ftype) { s.ftype = ftype; }

INSTANTIATE_TEST_SUITE_P(
    Checks, Ckfile3CheckTest,
    ::testing::Values(
        CheckCase{"GoodGrid", [](FixtureSpec&) {}, true, ""},
        CheckCase{"GridNcolsZero", [](FixtureSpec& s) { s.override_int("NCOLS", 0); }, false,
                  "Bad NCOLS         0  " + kFor},
        CheckCase{"GridNrowsNegative", [](FixtureSpec& s) { s.override_int("NROWS", -2); }, false,
                  "Bad NROWS        -2  " + kFor},
        CheckCase{"CustomNcolsZero",
                  [](FixtureSpec& s) {
                    set_type(s, kCustom);
                    s.override_int("NCOLS", 0);
                  },
                  false, "Bad blob-size NCOLS         0  " + kFor},
        CheckCase{"BoundaryThickThree",
                  [](FixtureSpec& s) {
                    set_type(s, kBndary);
                    s.ncols = 10;
                    s.nrows = 7;
                    s.nthik = 3;
                  },
                  true, ""},
        CheckCase{"BoundaryThickFour",
                  [](FixtureSpec& s) {
                    set_type(s, kBndary);
                    s.ncols = 10;
                    s.nrows = 7;
                    s.nthik = 4;
                  },
                  false, "Bad boundary width NTHIK         4  " + kFor},
        CheckCase{"SitesNrowsZero",
                  [](FixtureSpec& s) {
                    set_type(s, kIddata);
                    s.override_int("NROWS", 0);
                  },
                  false, "Bad max site count NROWS         0  " + kFor},
        CheckCase{"ProfileNcolsZero",
                  [](FixtureSpec& s) {
                    set_type(s, kProfil);
                    s.override_int("NCOLS", 0);
                  },
                  false, "Bad max level count NCOLS         0  " + kFor},
        CheckCase{"NestNrowsZero",
                  [](FixtureSpec& s) {
                    set_type(s, kGrnest);
                    s.override_int("NROWS", 0);
                  },
                  false, "Bad max nest count NROWS         0  " + kFor},
        CheckCase{"MatrixNthikZero",
                  [](FixtureSpec& s) {
                    set_type(s, kSmatrx);
                    s.override_int("NTHIK", 0);
                  },
                  false, "Bad full-matrix col-count NTHIK         0  " + kFor},
        CheckCase{"EventNthikZero",
                  [](FixtureSpec& s) {
                    set_type(s, kKfevnt);
                    s.override_int("NTHIK", 0);
                  },
                  false, "Bad NTHIK         0  " + kFor},
        CheckCase{"DictionaryUnchecked", [](FixtureSpec& s) { set_type(s, kDctnry); }, true, ""},
        CheckCase{"FlightWithoutElevation",
                  [](FixtureSpec& s) {
                    set_type(s, kPtrfly);
                    s.vars[0].name = "AIR_LAT";
                    s.vars[1].name = "AIR_LON";
                  },
                  false, "Variable AIR_ELV not found in PTRFLY3-type file \"INFILE1\"", "CKFILE"},
        CheckCase{"NoVariables", [](FixtureSpec& s) { s.vars.clear(); }, true,
                  "WARNING:  number of variables:         0  " + kFor},
        CheckCase{"IllegalName", [](FixtureSpec& s) { s.vars[1].name = "A.B"; }, false,
                  "Illegal variable name \"A.B             \" in file INFILE1"},
        CheckCase{"IllegalDataType", [](FixtureSpec& s) { s.vars[2].type = 3; }, false,
                  "Illegal data type          3  for variable \"V3\" in file \"INFILE1\""},
        CheckCase{"DuplicateName",
                  [](FixtureSpec& s) {
                    s.override_attr("VAR-LIST", RawAttr::chars("V1              V2              "
                                                               "V1              "));
                  },
                  false,
                  "Variable name VLIST3D(    3  ) = \"V1\" duplicates VLIST3D(    1  ) = \"V1\" "
                  "in file \"INFILE1\""},
        CheckCase{"BetaBelowAlpha",
                  [](FixtureSpec& s) {
                    s.p_alp = 60;
                    s.p_bet = 30;
                  },
                  false, "Bad PROJ-BETA  30.00000      " + kIn},
        CheckCase{"CentreOutOfRange", [](FixtureSpec& s) { s.ycent = 95; }, false,
                  "Bad X-Y origin  95.00000      " + kIn},
        CheckCase{"UtmZoneNearWhole",
                  [](FixtureSpec& s) {
                    s.gdtyp = 5;
                    s.p_alp = 17.005;
                  },
                  true, ""},
        CheckCase{"UtmZoneNotWhole",
                  [](FixtureSpec& s) {
                    s.gdtyp = 5;
                    s.p_alp = 17.02;
                  },
                  false, "Bad PROJ-ALPHA  17.02000      " + kIn},
        CheckCase{"UtmZoneTooHigh",
                  [](FixtureSpec& s) {
                    s.gdtyp = 5;
                    s.p_alp = 37;
                  },
                  false, "Bad PROJ-ALPHA  37.00000      " + kIn},
        CheckCase{"PolarHalf",
                  [](FixtureSpec& s) {
                    s.gdtyp = 6;
                    s.p_alp = 0.5;
                    s.p_bet = 45;
                  },
                  false, "Bad PROJ-ALPHA 0.5000000      " + kIn},
        CheckCase{"PolarSouth",
                  [](FixtureSpec& s) {
                    s.gdtyp = 6;
                    s.p_alp = -1;
                    s.p_bet = 45;
                  },
                  true, ""},
        CheckCase{"LatLonOrigin", [](FixtureSpec& s) { s.gdtyp = 1; }, false,
                  "Bad grid origin -120000.0      " + kIn},
        // Seven digits before the point keep the point; a value that rounds to 10 000 000
        // takes the exponent form.
        CheckCase{"LatLonOriginSevenDigits",
                  [](FixtureSpec& s) {
                    s.gdtyp = 1;
                    s.xorig = -2556000;
                  },
                  false, "Bad grid origin -2556000.      " + kIn},
        CheckCase{"LatLonOriginRoundsUp",
                  [](FixtureSpec& s) {
                    s.gdtyp = 1;
                    s.xorig = 0;
                    s.yorig = 9999999.7;
                  },
                  false, "Bad grid origin 9.9999997E+06  " + kIn},
        CheckCase{"LatLonOriginHuge",
                  [](FixtureSpec& s) {
                    s.gdtyp = 1;
                    s.xorig = 0;
                    s.yorig = 1.0e8;
                  },
                  false, "Bad grid origin 1.0000000E+08  " + kIn},
        CheckCase{"GridTypeMissing", [](FixtureSpec& s) { s.gdtyp = -9999; }, true,
                  "WARNING:  Horizontal grid/coordinate type:     -9999  \"MISSING\"  " + kIn},
        CheckCase{"GridTypeIllegal", [](FixtureSpec& s) { s.gdtyp = 9; }, false,
                  "Illegal horizontal grid/coordinate type:         9  " + kIn},
        CheckCase{"LevelsDecreasingWithTies",
                  [](FixtureSpec& s) {
                    s.nlays = 3;
                    s.vglvls = {1.0F, 0.9F, 0.9F, 0.5F};
                  },
                  true, ""},
        CheckCase{"LevelsIncreasingWithTie",
                  [](FixtureSpec& s) {
                    s.vglvls = {0.0F, 0.1F, 0.1F};
                  },
                  false, "Bad layer monotonicity at layer         2  " + kIn},
        CheckCase{"NoLayers", [](FixtureSpec& s) { s.override_int("NLAYS", 0); }, false,
                  "Illegal vertical layer dimension:         0  " + kIn},
        CheckCase{"VerticalTypeMissing", [](FixtureSpec& s) { s.vgtyp = -9999; }, true,
                  "WARNING:  Vertical grid/coordinate type:     -9999  \"MISSING\" " + kIn},
        CheckCase{"VerticalTypeUnknown", [](FixtureSpec& s) { s.vgtyp = 12; }, false,
                  "Unknown vertical grid/coordinate type:        12  " + kIn}),
    [](const ::testing::TestParamInfo<CheckCase>& c) { return std::string(c.param.name); });

// With the setting unset no check runs: a gridded file saying NCOLS 0 opens silently.
TEST_F(Ckfile3Test, ChecksAreOffByDefault) {
  FixtureSpec s = grid();
  s.override_int("NCOLS", 0);
  EXPECT_TRUE(open_file(s)) << log_text();
  EXPECT_FALSE(log_mentions("WARNING in subroutine CKFILE3"));
}

// An unreadable setting is reported and its default used; it is read once per run.
TEST_F(Ckfile3Test, UnreadableSettingWarnsAndHoldsForTheRun) {
  ScopedEnv odd("KAVRO_CHECK_HEADERS", "maybe");
  file_named("INFILE1", grid());
  ASSERT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog"));
  EXPECT_TRUE(logged("Invalid value for environment vble \"KAVRO_CHECK_HEADERS\""));
  ScopedEnv on("KAVRO_CHECK_HEADERS", "Y");
  FixtureSpec s = grid();
  s.gdtyp = 9;
  file_named("INFILE2", s, "second.nc");
  EXPECT_TRUE(kavro::OPEN3("INFILE2", kavro::FSREAD3, "prog"));
  EXPECT_FALSE(log_mentions("Illegal horizontal grid"));
}

}  // namespace
}  // namespace kavro_test
