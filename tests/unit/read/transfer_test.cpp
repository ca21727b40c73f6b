// The transfers by file type: where header arrays and variable values land in the caller's
// buffer (word offsets), and how header-array and variable failures are reported.
#include <netcdf.h>

#include <utility>
#include <vector>

#include "read/read.h"
#include "read_support.h"

namespace kavro_test {
namespace {

using kavro::ALLAYS3;
using kavro::ALLVAR3;

constexpr int kRec = 2;  // every test reads the second record

using RdgrddedTest = ReadTest;
using RdbndaryTest = ReadTest;
using RdiddataTest = ReadTest;
using RdprofilTest = ReadTest;
using RdgrnestTest = ReadTest;
using RdsmatrxTest = ReadTest;
using RdvarsTest = ReadTest;

// A file of type FTYPE with NCOLS x NROWS x NLAYS and the given variables.
FixtureSpec shaped(int ftype, int ncols, int nrows, int nlays, std::vector<FixtureVar> vars) {
  FixtureSpec s;
  s.ftype = ftype;
  s.ncols = ncols;
  s.nrows = nrows;
  s.nlays = nlays;
  s.vars = std::move(vars);
  return s;
}

FixtureSpec gridded_3x2x4() { return shaped(kGrdded, 3, 2, 4, {var("O3", kReal)}); }

// Values of variable VAR, record kRec, layers FIRST..LAST, starting at word W, columns
// fastest, then rows, then layers: one word each.
void expect_floats(const WordBuffer& buf, std::size_t w, const FixtureSpec& s, int var, int first,
                   int last, int nrows, int ncols) {
  for (int l = first; l <= last; ++l)
    for (int r = 1; r <= nrows; ++r)
      for (int c = 1; c <= ncols; ++c, ++w)
        ASSERT_EQ(buf.f(w), float(expected_value(s, var, kRec, l, r, c)))
            << "word " << w << " layer " << l << " row " << r << " col " << c;
}

// A 3 x 2 x 4 gridded file read for layer 2 fills words 1-6 and nothing after.
TEST_F(RdgrddedTest, OneLayerFillsSixWords) {
  const FixtureSpec s = gridded_3x2x4();
  ASSERT_EQ(install(s, "GRID"), 1);
  WordBuffer buf(30);
  ASSERT_TRUE(kavro::RDGRDDED(1, 1, 2, kRec, buf.data()));
  expect_floats(buf, 1, s, 1, 2, 2, 2, 3);
  EXPECT_TRUE(buf.untouched(7, 30));
}

// Read for all layers it fills words 1-24, layer by layer.
TEST_F(RdgrddedTest, AllLayersFillsTwentyFourWords) {
  const FixtureSpec s = gridded_3x2x4();
  ASSERT_EQ(install(s, "GRID"), 1);
  WordBuffer buf(30);
  ASSERT_TRUE(kavro::RDGRDDED(1, 1, ALLAYS3, kRec, buf.data()));
  expect_floats(buf, 1, s, 1, 1, 4, 2, 3);
  EXPECT_TRUE(buf.untouched(25, 30));
}

// A boundary file of 10 x 5 cells and thickness 1 holds 34 perimeter values per layer.
TEST_F(RdbndaryTest, ReadsThePerimeterOfOneLayer) {
  FixtureSpec s = shaped(kBndary, 10, 5, 2, {var("NO2", kReal)});
  s.nthik = 1;
  ASSERT_EQ(install(s, "BDY"), 1);
  WordBuffer buf(80);
  ASSERT_TRUE(kavro::RDBNDARY(1, 1, 2, kRec, buf.data()));
  expect_floats(buf, 1, s, 1, 2, 2, 1, 34);
  EXPECT_TRUE(buf.untouched(35, 80));
}

// Id-referenced, N = 3: the count in word 1, the IDs in words 2-4, the variable from word 5.
TEST_F(RdiddataTest, PutsCountAndIdsBeforeTheVariable) {
  FixtureSpec s = shaped(kIddata, 4, 3, 1, {var("PM", kReal)});
  ASSERT_EQ(install(s, "IDS"), 1);
  WordBuffer buf(12);
  ASSERT_TRUE(kavro::RDIDDATA(1, 1, 1, kRec, buf.data()));
  EXPECT_EQ(buf.i(1), int(structural_value("ID-COUNT", kRec, 0)));
  for (int k = 1; k <= 3; ++k)
    EXPECT_EQ(buf.i(std::size_t(1 + k)), int(structural_value("ID", kRec, k)));
  expect_floats(buf, 5, s, 1, 1, 1, 1, 3);
  EXPECT_TRUE(buf.untouched(8, 12));
}

// In a READ3 of that file's variable the values come after the count and the IDs: the 3
// values start at byte 16 of 28, and values longer than the read are placed nowhere.
TEST_F(RdiddataTest, ValuesStartAfterTheHeaderArrays) {
  ASSERT_EQ(install(shaped(kIddata, 4, 3, 1, {var("PM", kReal)}), "IDS"), 1);
  const auto total = static_cast<std::size_t>(kavro::detail::read3_size_bytes(1, 1, 1));
  std::size_t offset = 0;
  ASSERT_TRUE(kavro::detail::read3_values_start(1, 1, 1, total, 12, offset));
  EXPECT_EQ(total, 28U);
  EXPECT_EQ(offset, 16U);
  EXPECT_FALSE(kavro::detail::read3_values_start(1, 1, 1, total, total + 4, offset));
}

// Profiles, N = 2: level counts at word 4, X at 6, Y at 8, Z at 10, the variable at 12.
TEST_F(RdprofilTest, PlacesCoordinatesAndVariable) {
  FixtureSpec s = shaped(kProfil, 3, 2, 1, {var("T", kReal)});
  ASSERT_EQ(install(s, "PRF"), 1);
  WordBuffer buf(24);
  ASSERT_TRUE(kavro::RDPROFIL(1, 1, ALLAYS3, kRec, buf.data()));
  EXPECT_EQ(buf.i(1), int(structural_value("ID-COUNT", kRec, 0)));
  EXPECT_EQ(buf.i(3), int(structural_value("ID", kRec, 2)));
  EXPECT_EQ(buf.i(4), int(structural_value("LEVEL-COUNT", kRec, 1)));
  EXPECT_EQ(buf.f(6), float(structural_value("X", kRec, 1)));
  EXPECT_EQ(buf.f(8), float(structural_value("Y", kRec, 1)));
  EXPECT_EQ(buf.f(11), float(structural_value("Z", kRec, 2)));
  expect_floats(buf, 12, s, 1, 1, 1, 2, 3);
  EXPECT_TRUE(buf.untouched(18, 24));
}

// Nested grids, N = 2: X at 6, Y at 10, DX at 14, DY at 18 (two words per value, at words
// that are not 8-byte aligned), the variable at 22.
TEST_F(RdgrnestTest, PlacesDoubleArraysAndVariable) {
  FixtureSpec s = shaped(kGrnest, 3, 2, 2, {var("T", kReal)});
  ASSERT_EQ(install(s, "NEST"), 1);
  WordBuffer buf(32);
  ASSERT_TRUE(kavro::RDGRNEST(1, 1, 2, kRec, buf.data()));
  EXPECT_EQ(buf.i(1), int(structural_value("ID-COUNT", kRec, 0)));
  EXPECT_EQ(buf.i(5), int(structural_value("WIN-LEVS", kRec, 2)));
  EXPECT_EQ(buf.d(6), structural_value("X", kRec, 1));
  EXPECT_EQ(buf.d(8), structural_value("X", kRec, 2));
  EXPECT_EQ(buf.d(10), structural_value("Y", kRec, 1));
  EXPECT_EQ(buf.d(14), structural_value("DX", kRec, 1));
  EXPECT_EQ(buf.d(20), structural_value("DY", kRec, 2));
  expect_floats(buf, 22, s, 1, 2, 2, 2, 3);
  EXPECT_TRUE(buf.untouched(28, 32));
}

// Sparse matrix, N = 2 rows, 3 coefficients: row counts, indices, then the variable.
TEST_F(RdsmatrxTest, PutsRowCountsAndIndicesFirst) {
  FixtureSpec s = shaped(kSmatrx, 3, 2, 1, {var("C", kReal)});
  ASSERT_EQ(install(s, "MAT"), 1);
  WordBuffer buf(12);
  ASSERT_TRUE(kavro::RDSMATRX(1, 1, kRec, buf.data()));
  EXPECT_EQ(buf.i(2), int(structural_value("COL-COUNT", kRec, 2)));
  EXPECT_EQ(buf.i(3), int(structural_value("COEFF-INDEX", kRec, 1)));
  EXPECT_EQ(buf.i(5), int(structural_value("COEFF-INDEX", kRec, 3)));
  expect_floats(buf, 6, s, 1, 1, 1, 1, 3);
  EXPECT_TRUE(buf.untouched(9, 12));
}

// "ALL" with a REAL, a DOUBLE PRECISION and an INTEGER variable of SIZE 10: words 1, 11, 31,
// each in its own type, unconverted.
TEST_F(RdvarsTest, AllPlacesVariablesByTheirWidths) {
  FixtureSpec s = shaped(kGrdded, 5, 2, 1, {var("R", kReal), var("D", kDouble), var("I", kInt)});
  ASSERT_EQ(install(s, "MIX"), 1);
  WordBuffer buf(44);
  ASSERT_TRUE(kavro::RDGRDDED(1, ALLVAR3, 1, kRec, buf.data()));
  EXPECT_EQ(buf.f(1), float(expected_value(s, 1, kRec, 1, 1, 1)));
  EXPECT_EQ(buf.f(10), float(expected_value(s, 1, kRec, 1, 2, 5)));
  EXPECT_EQ(buf.d(11), expected_value(s, 2, kRec, 1, 1, 1));
  EXPECT_EQ(buf.d(29), expected_value(s, 2, kRec, 1, 2, 5));
  EXPECT_EQ(buf.i(31), int(expected_value(s, 3, kRec, 1, 1, 1)));
  EXPECT_EQ(buf.i(40), int(expected_value(s, 3, kRec, 1, 2, 5)));
  EXPECT_TRUE(buf.untouched(41, 44));
}

// A DOUBLE PRECISION variable after an odd number of REAL words lands unaligned and intact.
TEST_F(RdvarsTest, DeliversDoublesAtUnalignedWords) {
  FixtureSpec s = shaped(kGrdded, 3, 1, 1, {var("R", kReal), var("D", kDouble)});
  ASSERT_EQ(install(s, "ODD"), 1);
  WordBuffer buf(10);
  ASSERT_TRUE(kavro::RDGRDDED(1, ALLVAR3, 1, kRec, buf.data()));
  for (int c = 1; c <= 3; ++c)
    EXPECT_EQ(buf.d(std::size_t(4 + 2 * (c - 1))), expected_value(s, 2, kRec, 1, 1, c));
  EXPECT_TRUE(buf.untouched(10, 10));
}

// A failed ID-list read warns with date and time 0 and leaves the variable unread.
TEST_F(RdiddataTest, IdListFailureWarnsAndStops) {
  FixtureSpec s = shaped(kIddata, 4, 3, 1, {var("PM", kReal)});
  ASSERT_EQ(install(s, "IDS"), 1);
  kavro::state().b.IDVID3(1) = 999;
  const std::size_t before = log_lines().size();
  WordBuffer buf(8);
  EXPECT_FALSE(kavro::RDIDDATA(1, 1, 1, kRec, buf.data()));
  EXPECT_EQ(log_from(before),
            (std::vector<std::string>{"     netCDF error number  -49", "     ",
                                      "     >>--->> WARNING in subroutine READ3/RDIDDATA",
                                      "     Error reading ID list for file IDS", "     "}));
  EXPECT_TRUE(buf.untouched(2, 8));
}

// A failed variable read logs one line naming variable and file, and warns nothing.
TEST_F(RdvarsTest, FailureLogsOneLine) {
  ASSERT_EQ(install(gridded_3x2x4(), "GRID"), 1);
  kavro::state().b.VARID3(1, 1) = 999;
  const std::size_t before = log_lines().size();
  WordBuffer buf(8);
  EXPECT_FALSE(kavro::RDGRDDED(1, 1, 1, kRec, buf.data()));
  EXPECT_EQ(log_from(before),
            (std::vector<std::string>{"     netCDF error number   -49  Error reading variable "
                                      "\"O3              \" from file \"GRID            \""}));
}

// A variable whose rank is not the one its file type reads (a nested-grid variable written
// without its layer dimension) is refused before netCDF reads past the vectors.
TEST_F(RdvarsTest, RefusesVariableOfAnotherRank) {
  ASSERT_EQ(install(gridded_3x2x4(), "GRID"), 1);
  kavro::state().b.FTYPE3(1) = kavro::BNDARY3;
  const std::size_t before = log_lines().size();
  WordBuffer buf(8);
  EXPECT_FALSE(kavro::RDBNDARY(1, 1, 1, kRec, buf.data()));
  EXPECT_EQ(log_from(before),
            (std::vector<std::string>{"     netCDF error number   -46  Error reading variable "
                                      "\"O3              \" from file \"GRID            \""}));
  EXPECT_TRUE(buf.untouched(1, 8));
}

// A native binary slot whose type has no layer position is refused with the bad-type line.
TEST_F(RdvarsTest, RefusesBinaryTypeWithoutLayerPosition) {
  kavro::INIT3();
  auto& st = kavro::state();
  st.c.FLNAME3(1) = "DICT";
  st.b.NCID3(1) = kavro::BINFIL3;
  st.b.FTYPE3(1) = kavro::DCTNRY3;
  const std::size_t before = log_lines().size();
  WordBuffer buf(4);
  EXPECT_FALSE(kavro::RDVARS(1, ALLVAR3, {{1, 1, 0, 0, 0}, {1, 1, 0, 0, 0}, 1}, buf.data()));
  EXPECT_EQ(log_from(before),
            (std::vector<std::string>{"     RDVARS:  bad file type for file DICT"}));
}

}  // namespace
}  // namespace kavro_test
