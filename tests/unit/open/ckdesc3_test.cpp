// CKDESC3 and CHKFIL3: every description check and every mismatch block, with its exact text.
#include <functional>
#include <string>
#include <vector>

#include "kavro/desc.h"
#include "open_fixture.h"
#include "support/desc_builder.h"

namespace kavro_test {
namespace {

using kavro::BDESC3;
using kavro::CDESC3;
using Lines = std::vector<std::string>;

// The log lines of a warning paragraph (XQWARN, no date).
Lines paragraph(const std::string& caller, const std::string& text) {
  return {"     ", "     >>--->> WARNING in subroutine " + caller, "     " + text, "     "};
}

Lines indented(const Lines& texts) {
  Lines out;
  for (const std::string& t : texts) out.push_back("     " + t);
  return out;
}

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A gridded description that passes every check: two layers, Lambert grid, two variables.
void good_description() {
  DescBuilder()
      .cell_size(0, 0)
      .vertical({7, 0.0F, {1.0F, 0.5F, 0.0F}})
      .grid_name("")
      .variables({{"O3", kReal, "ppmV"}, {"NO2", kReal, "ppmV"}})
      .fill();
}

void levels(std::vector<float> v) {
  BDESC3.NLAYS3D = int(v.size()) - 1;
  for (std::size_t k = 0; k < v.size(); ++k) BDESC3.VGLVS3D[k] = v[k];
}

struct DescCase {
  const char* name;
  std::function<void()> change;
  bool ok;
  Lines log;  // every log line CKDESC3 writes after its first empty line
};

class Ckdesc3Test : public OpenFixture {
 protected:
  // The log lines from line FIRST on.
  Lines log_from(std::size_t first) const {
    const Lines all = log_lines();
    return first < all.size() ? Lines(all.begin() + long(first), all.end()) : Lines{};
  }
};

class Ckdesc3CheckTest : public Ckdesc3Test, public ::testing::WithParamInterface<DescCase> {};

const std::string kFor = "for file \"NEWFILE\"";
const std::string kIn = "in file \"NEWFILE\"";
const Lines kBad = paragraph("CKDESC", "Bad file description found");

// With KAVRO_CHECK_HEADERS set, each check logs its line and a failed description ends with
// "Bad file description found".
TEST_P(Ckdesc3CheckTest, ChecksDescription) {
  ScopedEnv on("KAVRO_CHECK_HEADERS", "Y");
  kavro::INIT3();
  good_description();
  GetParam().change();
  const std::size_t before = log_lines().size();
  EXPECT_EQ(kavro::CKDESC3("NEWFILE   "), GetParam().ok);
  // The first call's empty line, then the setting is read.
  EXPECT_EQ(log_from(before),
            indented({"", "Value for KAVRO_CHECK_HEADERS:  Y returning TRUE"}) + GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, Ckdesc3CheckTest,
    ::testing::Values(
        DescCase{"GoodGrid", [] {}, true, {}},
        DescCase{"GridWithoutCells", [] { BDESC3.NCOLS3D = BDESC3.NROWS3D = 0; }, false,
                 indented({"Bad NCOLS         0  " + kFor, "Bad NROWS         0  " + kFor}) + kBad},
        DescCase{"TypeSevenLikeGrid",
                 [] {
                   BDESC3.FTYPE3D = kType7;
                   BDESC3.NROWS3D = -1;
                 },
                 false, indented({"Bad NROWS        -1  " + kFor}) + kBad},
        DescCase{"BoundarySix",
                 [] {
                   BDESC3.FTYPE3D = kBndary;
                   BDESC3.NCOLS3D = 10;
                   BDESC3.NROWS3D = 5;
                   BDESC3.NTHIK3D = -6;
                 },
                 true,
                 {}},
        DescCase{"BoundarySeven",
                 [] {
                   BDESC3.FTYPE3D = kBndary;
                   BDESC3.NCOLS3D = 10;
                   BDESC3.NROWS3D = 5;
                   BDESC3.NTHIK3D = 7;
                 },
                 false, indented({"Bad boundary width NTHIK         7  " + kFor}) + kBad},
        DescCase{"MatrixSizes",
                 [] {
                   BDESC3.FTYPE3D = kSmatrx;
                   BDESC3.NROWS3D = 0;
                   BDESC3.NTHIK3D = 0;
                 },
                 false,
                 indented({"Bad matrux NROWS         0  " + kFor,
                           "Bad full-matrix col-count NTHIK         0  " + kFor}) +
                     kBad},
        DescCase{"FlightTrackWithoutPositions", [] { BDESC3.FTYPE3D = kPtrfly; }, false,
                 indented({"Variable AIR_LAT not found in PTRFLY3-type file NEWFILE\"",
                           "Variable AIR_LON not found in PTRFLY3-type file NEWFILE\"",
                           "Variable AIR_ELV not found in PTRFLY3-type file NEWFILE\""}) +
                     kBad},
        DescCase{"IllegalFileType", [] { BDESC3.FTYPE3D = 9; }, false,
                 paragraph("CKDESC3", "Illegal file type:         9  " + kFor)},
        DescCase{"DictionaryUnchecked",
                 [] {
                   BDESC3.FTYPE3D = kDctnry;
                   BDESC3.NCOLS3D = -5;
                   BDESC3.GDTYP3D = 99;
                 },
                 true,
                 {}},
        DescCase{"VariableProblems",
                 [] {
                   CDESC3.VNAME3D[0] = "O 3";
                   BDESC3.VTYPE3D[1] = 3;
                   CDESC3.UNITS3D[1] = "";
                 },
                 false,
                 indented({"Illegal variable name \"O 3\" in file NEWFILE\"",
                           "Illegal data type          3  for variable \"NO2\" " + kIn,
                           "No UNITS specifier for variable \"NO2\" " + kIn}) +
                     kBad},
        DescCase{"NoVariables", [] { BDESC3.NVARS3D = 0; }, true,
                 indented({"WARNING:  number of variables:         0  " + kFor})},
        DescCase{"BetaBelowAlpha", [] { BDESC3.P_BET3D = 20.0; }, false,
                 indented({"Bad PROJ-BETA 2.0000000E+01  " + kIn}) + kBad},
        DescCase{"CentreOutOfRange",
                 [] {
                   BDESC3.GDTYP3D = 7;
                   BDESC3.XCENT3D = 180.5;
                   BDESC3.P_GAM3D = -180.0;  // on the bound: passes
                 },
                 false, indented({"Bad X-Y origin 1.8050000E+02  " + kIn}) + kBad},
        DescCase{"ZoneSeventeen", [] { BDESC3.GDTYP3D = 5, BDESC3.P_ALP3D = 17.0; }, true, {}},
        DescCase{
            "ZoneNearSeventeen", [] { BDESC3.GDTYP3D = 5, BDESC3.P_ALP3D = 17.005; }, true, {}},
        DescCase{"ZoneBetweenWholeNumbers", [] { BDESC3.GDTYP3D = 5, BDESC3.P_ALP3D = 17.2; },
                 false, indented({"Bad PROJ-ALPHA 1.7200000E+01  " + kIn}) + kBad},
        DescCase{"ZoneBeyondThirtySix", [] { BDESC3.GDTYP3D = 5, BDESC3.P_ALP3D = 37.0; }, false,
                 indented({"Bad PROJ-ALPHA 3.7000000E+01  " + kIn}) + kBad},
        DescCase{"PolarUnitAlpha",
                 [] {
                   BDESC3.GDTYP3D = 6;
                   BDESC3.P_ALP3D = -1.000001;
                   BDESC3.P_BET3D = 45.0;
                 },
                 true,
                 {}},
        DescCase{"PolarHalfAlpha",
                 [] {
                   BDESC3.GDTYP3D = 6;
                   BDESC3.P_ALP3D = 0.5;
                   BDESC3.P_BET3D = 45.0;
                 },
                 false, indented({"Bad PROJ-ALPHA 5.0000000E-01  " + kIn}) + kBad},
        DescCase{"MissingHorizontalType", [] { BDESC3.GDTYP3D = kavro::IMISSING3; }, true,
                 indented({"WARNING:  Horizontal grid/coordinate type:     -9999  \"MISSING\"  " +
                           kIn})},
        DescCase{"IllegalHorizontalType", [] { BDESC3.GDTYP3D = 11; }, false,
                 indented({"Illegal horizontal grid/coordinate type:        11  " + kIn}) + kBad},
        DescCase{"LevelsDownWithRepeat",
                 [] {
                   levels({1.0F, 0.9F, 0.9F, 0.5F});
                 },
                 true,
                 {}},
        DescCase{"LevelsUpWithRepeat",
                 [] {
                   levels({0.5F, 0.9F, 0.9F, 1.0F});
                 },
                 false, indented({"Bad layer monotonicity at layer         2  " + kIn}) + kBad},
        DescCase{"NoLayers", [] { BDESC3.NLAYS3D = 0; }, false,
                 indented({"Illegal vertical layer dimension:         0  " + kIn}) + kBad},
        DescCase{"EventFileWithoutLayers",
                 [] {
                   BDESC3.FTYPE3D = kKfevnt;
                   BDESC3.NLAYS3D = 0;
                 },
                 true,
                 {}},
        DescCase{"UnknownVerticalType", [] { BDESC3.VGTYP3D = 12; }, false,
                 indented({"Unknown vertical grid/coordinate type:        12  " + kIn}) + kBad},
        DescCase{
            "MissingVerticalType", [] { BDESC3.VGTYP3D = kavro::IMISSING3; }, true,
            indented({"WARNING:  Vertical grid/coordinate type:     -9999  \"MISSING\" " + kIn})},
        // The count is checked before any name is looked at: 2049 names would run past the
        // 2048-entry table, and a negative count makes a file no opener accepts.
        DescCase{
            "TooManyVariables", [] { BDESC3.NVARS3D = 2049; }, false,
            indented({"Number of variables exceeds MXVARS3 = 2048:      2049  " + kFor}) + kBad},
        DescCase{"NegativeVariableCount", [] { BDESC3.NVARS3D = -1; }, false,
                 indented({"Illegal negative number of variables:        -1  " + kFor}) + kBad}),
    [](const auto& p) { return std::string(p.param.name); });

// Without the setting only the variable count and duplicated names are looked at: the
// duplicates are logged, and the description passes whatever else it holds.
TEST_F(Ckdesc3Test, WithoutSettingLogsDuplicatesOnly) {
  kavro::INIT3();
  good_description();
  BDESC3.NCOLS3D = 0;
  CDESC3.VNAME3D[1] = "O3";
  const std::size_t before = log_lines().size();
  EXPECT_TRUE(kavro::CKDESC3("NEWFILE"));
  EXPECT_EQ(log_from(before),
            indented({"", "Value for KAVRO_CHECK_HEADERS not defined;returning default:   FALSE",
                      "Variable name VNAME3D(    2  ) = \"O3\" duplicates VNAME3D(    1  ) = "
                      "\"O3\" in file \"NEWFILE\""}));
  BDESC3.NVARS3D = 2049;
  EXPECT_FALSE(kavro::CKDESC3("NEWFILE"));
}

// A description refused by CKDESC3 refuses a creating open before any slot is taken.
TEST_F(Ckdesc3Test, BadDescriptionRefusesCreatingOpen) {
  good_description();
  BDESC3.NVARS3D = -3;
  set_name("NEWFILE", dir().file("new.nc"));
  EXPECT_FALSE(kavro::OPEN3("NEWFILE", kavro::FSUNKN3, "prog"));
  EXPECT_TRUE(logged("Error:   bad file description in FDESC")) << log_text();
  EXPECT_EQ(slot_of("NEWFILE"), 0);
}

// ---- CHKFIL3 ----------------------------------------------------------------------------------

struct MatchCase {
  const char* name;
  std::function<void()> change;
  Lines log;  // the blocks' lines after their headlines; empty: the description matches
};

class Chkfil3Test : public Ckdesc3Test {
 protected:
  // Opens a three-variable fixture grid and takes its description as the caller's.
  int open_and_describe(FixtureSpec fx) {
    file_named("INFILE1", fx);
    EXPECT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog")) << log_text();
    EXPECT_TRUE(kavro::DESC3("INFILE1"));
    return slot_of("INFILE1");
  }
};

// A block: two empty lines, the headline, its lines.
Lines block(const Lines& texts) {
  return Lines{"     ", "     ", "     >>> WARNING in subroutine CHKFIL3 <<<"} + indented(texts);
}

const std::string kFile = "for file INFILE1";

class Chkfil3MatchTest : public Chkfil3Test, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(Chkfil3MatchTest, MatchesFileHeader) {
  const int fid = open_and_describe(grid(3));
  GetParam().change();
  const std::size_t before = log_lines().size();
  EXPECT_EQ(kavro::CHKFIL3(fid), GetParam().log.empty());
  EXPECT_EQ(log_from(before), GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, Chkfil3MatchTest,
    ::testing::Values(
        MatchCase{"Same", [] {}, {}},
        MatchCase{"CellSizeWithinTolerance", [] { BDESC3.XCELL3D = 12000.005; }, {}},
        MatchCase{"CellSizeBeyondTolerance", [] { BDESC3.XCELL3D = 12000.125; },
                  block({"Inconsistent file attribute XCELL " + kFile,
                         "Value from file:   1.20000000000000000E+04",
                         "Value from caller: 1.20001250000000000E+04"})},
        MatchCase{"MissingValueNotCompared", [] { BDESC3.P_ALP3D = -9.5e36; }, {}},
        MatchCase{"TypeAndCount",
                  [] {
                    BDESC3.FTYPE3D = kBndary;
                    BDESC3.NVARS3D = 2;
                  },
                  block({"Inconsistent file attribute FTYPE " + kFile,
                         "Value from file:          1", "Value from caller:        2"}) +
                      block({"Inconsistent file attribute NVARS " + kFile,
                             "Value from file:          3", "Value from caller:        2"})},
        MatchCase{"StartOffTheTimeAxis", [] { BDESC3.STIME3D = 3000; },
                  block({"Inconsistent SDATE:STIME " + kFile, "Value from file:    2024033:000000",
                         "Value from caller:  2024033:003000"})},
        MatchCase{"LaterStepOnTheAxis", [] { BDESC3.SDATE3D = 2024034; }, {}},
        MatchCase{"ModelTop", [] { BDESC3.VGTOP3D = 5100.0F; },
                  block({"Inconsistent file attribute VGTOP " + kFile,
                         "Value from file:   5.00000E+03", "Value from caller: 5.10000E+03"})},
        MatchCase{"Level", [] { BDESC3.VGLVS3D[1] = 0.25F; },
                  block({"Inconsistent attribute VGLVLS " + kFile, "Value from file:   5.00000E-01",
                         "Value from caller: 2.50000E-01", "Error at level            2"})},
        MatchCase{"GridName", [] { CDESC3.GDNAM3D = "OTHER_GRID"; },
                  block({"Inconsistent grid name " + kFile, "Value from file:  FIXTURE_GRID",
                         "Value from caller:OTHER_GRID"})},
        MatchCase{"VariableList",
                  [] {
                    CDESC3.VNAME3D[1] = "V 2";
                    BDESC3.VTYPE3D[2] = kDouble;
                  },
                  block({"Illegal variable name \"V 2             \" in file INFILE1"}) +
                      block({"Inconsistent variable list " + kFile, "Value from file:   V2",
                             "Value from caller: V 2"}) +
                      block({"Inconsistent type for variable V3               from file INFILE1",
                             "Value from file:          5", "Value from caller:        6"})}),
    [](const auto& p) { return std::string(p.param.name); });

// A dictionary matches whatever the caller's type and count say; the mismatches are logged.
TEST_F(Chkfil3Test, DictionaryAlwaysMatches) {
  FixtureSpec fx;
  fx.ftype = kDctnry;
  const int fid = open_and_describe(fx);
  BDESC3.FTYPE3D = kGrdded;
  BDESC3.NVARS3D = 3;
  EXPECT_TRUE(kavro::CHKFIL3(fid));
  EXPECT_TRUE(logged("Inconsistent file attribute FTYPE for file INFILE1")) << log_text();
  EXPECT_TRUE(logged("Inconsistent file attribute NVARS for file INFILE1")) << log_text();
}

// The vertical grid compared is the one stored in the slot: a netCDF file this run created is
// checked against its creator's levels; a native binary file's vertical grid is not compared.
TEST_F(Chkfil3Test, VerticalGridFromTheSlot) {
  open_and_describe(grid(3));
  ASSERT_TRUE(kavro::CLOSE3("INFILE1"));
  const struct {
    std::string lname, value;
    Lines log;
  } cases[] = {
      {"NEWNC", dir().file("new.nc"),
       block({"Inconsistent attribute VGLVLS for file NEWNC", "Value from file:   5.00000E-01",
              "Value from caller: 2.50000E-01", "Error at level            2"})},
      {"NEWBIN", "BIN:" + dir().file("new.bin"), {}},
  };
  for (const auto& c : cases) {
    set_name(c.lname, c.value);
    ASSERT_TRUE(kavro::OPEN3(c.lname, kavro::FSNEW3, "prog")) << log_text();
    const float level = BDESC3.VGLVS3D[1];
    BDESC3.VGLVS3D[1] = 0.25F;
    const std::size_t before = log_lines().size();
    EXPECT_EQ(kavro::CHKFIL3(slot_of(c.lname)), c.log.empty()) << c.lname;
    EXPECT_EQ(log_from(before), c.log) << c.lname;
    BDESC3.VGLVS3D[1] = level;
  }
}

// Opening an existing file "UNKNOWN" with a description that does not match it fails and
// leaves no slot; with the file's own description it opens.
TEST_F(Chkfil3Test, UnknownOpenChecksExistingFile) {
  open_and_describe(grid(3));
  ASSERT_TRUE(kavro::CLOSE3("INFILE1"));
  BDESC3.NCOLS3D = 5;
  EXPECT_FALSE(kavro::OPEN3("INFILE1", kavro::FSUNKN3, "prog"));
  EXPECT_TRUE(logged("Inconsistent file attribute NCOLS for file INFILE1")) << log_text();
  EXPECT_EQ(slot_of("INFILE1"), 0);
  BDESC3.NCOLS3D = 4;
  EXPECT_TRUE(kavro::OPEN3("INFILE1", kavro::FSUNKN3, "prog")) << log_text();
}

}  // namespace
}  // namespace kavro_test
