// RDDICT3 and the dictionary branch of READ3: entries written with the raw netCDF C API, read
// back by name into the description record.
#include <string>
#include <vector>

#include "kavro/desc.h"
#include "netcdf/netcdf_routines.h"
#include "read/read.h"
#include "unit/read/read_support.h"

namespace kavro_test {
namespace {

using kavro::BDESC3;
using kavro::CDESC3;
using Lines = std::vector<std::string>;

DictEntry grid_entry() {
  DictEntry e;
  e.name = "GRID_A";
  e.vglvls = {1.0F, 0.75F, 0.25F};
  e.vars = {described_var("O3", kReal, "ppmV", "ozone"), described_var("COUNT", kInt, "1", "")};
  return e;
}

DictEntry boundary_entry() {
  DictEntry e;
  e.name = "BNDY_B";
  e.ftype = kBndary;
  e.tstep = 30000;
  e.nlays = 1;
  e.nthik = 2;
  e.gdtyp = 1;
  e.xcell = 0.5;
  e.gdnam = "LATLON";
  e.fdesc = {"Boundary schema", "second line"};
  e.vars = {described_var("NOX", kDouble, "ppb", "nitrogen oxides")};
  return e;
}

class Rddict3Test : public ReadTest {
 protected:
  void TearDown() override { kavro::SHUT3(); }
  // Writes a dictionary with ENTRIES and opens it as DICT; its slot.
  int open_dictionary(std::vector<DictEntry> entries, const std::string& name = "DICT") {
    FixtureSpec fx;
    fx.ftype = kDctnry;
    fx.entries = std::move(entries);
    const std::string path = dir().file(name + ".nc");
    EXPECT_TRUE(write_fixture(path, fx));
    env_.push_back(std::make_unique<ScopedEnv>(name, path));
    EXPECT_TRUE(kavro::OPEN3(name, kavro::FSREAD3, "prog")) << log_text();
    return kavro::NAME2FID(name);
  }
  bool read(const std::string& entry, const std::string& name = "DICT") {
    WordBuffer buf(1);
    return kavro::READ3(name, entry, 7, 0, 0, buf.data());
  }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// An entry found by name fills exactly its fields of the description record.
TEST_F(Rddict3Test, ReadsEntryByName) {
  open_dictionary({grid_entry(), boundary_entry()});
  BDESC3.SDATE3D = 1999001;
  BDESC3.MXREC3D = 77;
  BDESC3.VGTOP3D = 123.0F;
  const std::size_t before = log_lines().size();
  ASSERT_TRUE(read("BNDY_B"));
  EXPECT_EQ(BDESC3.FTYPE3D, kavro::BNDARY3);
  EXPECT_EQ(BDESC3.TSTEP3D, 30000);
  EXPECT_EQ(BDESC3.NVARS3D, 1);
  EXPECT_EQ(BDESC3.NLAYS3D, 1);
  EXPECT_EQ(BDESC3.NROWS3D, 3);
  EXPECT_EQ(BDESC3.NCOLS3D, 4);
  EXPECT_EQ(BDESC3.NTHIK3D, 2);
  EXPECT_EQ(BDESC3.GDTYP3D, 1);
  EXPECT_EQ(BDESC3.VGTYP3D, 7);
  EXPECT_EQ(BDESC3.VGLVS3D[0], 1.0F);
  EXPECT_EQ(BDESC3.VGLVS3D[1], 0.0F);
  EXPECT_EQ(BDESC3.P_GAM3D, -90.0);
  EXPECT_EQ(BDESC3.XCELL3D, 0.5);
  EXPECT_EQ(CDESC3.GDNAM3D.trimmed(), "LATLON");
  EXPECT_EQ(CDESC3.FDESC3D[1].trimmed(), "second line");
  EXPECT_EQ(CDESC3.FDESC3D[59].trimmed(), "");
  EXPECT_EQ(CDESC3.VNAME3D[0].trimmed(), "NOX");
  EXPECT_EQ(CDESC3.UNITS3D[0].trimmed(), "ppb");
  EXPECT_EQ(CDESC3.VDESC3D[0].trimmed(), "nitrogen oxides");
  EXPECT_EQ(BDESC3.VTYPE3D[0], kDouble);
  // What an entry does not hold keeps its value.
  EXPECT_EQ(BDESC3.SDATE3D, 1999001);
  EXPECT_EQ(BDESC3.MXREC3D, 77);
  EXPECT_EQ(BDESC3.VGTOP3D, 123.0F);
  EXPECT_EQ(log_lines().size(), before);

  ASSERT_TRUE(read("GRID_A"));
  EXPECT_EQ(BDESC3.NVARS3D, 2);
  EXPECT_EQ(BDESC3.VGLVS3D[1], 0.75F);
  EXPECT_EQ(CDESC3.VNAME3D[1].trimmed(), "COUNT");
  EXPECT_EQ(BDESC3.VTYPE3D[1], kInt);
}

// A name the dictionary does not hold is no entry, and nothing is logged.
TEST_F(Rddict3Test, AbsentNameIsQuiet) {
  open_dictionary({grid_entry()});
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(read("NOSUCH"));
  EXPECT_FALSE(read("GRID_A_LONGER"));
  EXPECT_EQ(log_lines().size(), before);
}

// An entry flagged with its own record number is valid like one flagged 5461; any other flag
// makes it unavailable.
TEST_F(Rddict3Test, FlagDecidesValidity) {
  DictEntry own = boundary_entry();
  own.flag = 2;
  DictEntry bad = grid_entry();
  bad.name = "BAD";
  bad.flag = 7;
  open_dictionary({grid_entry(), own, bad});
  EXPECT_TRUE(read("BNDY_B"));
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(read("BAD"));
  EXPECT_EQ(log_from(before), (Lines{"     ", "     ", "     >>> WARNING in subroutine RDDICT3 <<<",
                                     "     Dictionary entry requested:    3",
                                     "     Record not available in dictionary file DICT"}));
}

// The names are read once per dictionary: a second read uses the table read before. Closing
// the dictionary forgets them, so a file opened later in the slot has its own names read.
TEST_F(Rddict3Test, NamesReadOncePerDictionary) {
  const int fid = open_dictionary({grid_entry(), boundary_entry()});
  ASSERT_TRUE(read("GRID_A"));
  EXPECT_EQ(kavro::test_hooks::dictionary_names_slot(), fid);
  kavro::test_hooks::dictionary_names()[1] = "RENAMED";
  EXPECT_TRUE(read("RENAMED"));
  EXPECT_EQ(CDESC3.VNAME3D[0].trimmed(), "NOX");
  ASSERT_TRUE(kavro::CLOSE3("DICT"));
  EXPECT_EQ(open_dictionary({boundary_entry()}, "OTHER"), fid);
  EXPECT_FALSE(read("RENAMED", "OTHER"));
  EXPECT_TRUE(read("BNDY_B", "OTHER"));
}

// A slot that does not hold a dictionary is refused without a message.
TEST_F(Rddict3Test, OnlyDictionaries) {
  FixtureSpec fx;
  fx.vars = {var("O3")};
  ASSERT_EQ(install(fx, "GRID"), 1);
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(kavro::RDDICT3(1, "O3"));
  EXPECT_EQ(log_lines().size(), before);
}

// An entry whose counts do not fit the description record is refused before anything is read
// by them.
TEST_F(Rddict3Test, RefusesCountsBeyondTheRecord) {
  DictEntry many = grid_entry();
  many.nvars = 2049;
  DictEntry deep = boundary_entry();
  deep.nlays = 101;
  open_dictionary({many, deep});
  std::size_t before = log_lines().size();
  EXPECT_FALSE(read("GRID_A"));
  EXPECT_EQ(log_from(before)[3], "     Dictionary file:  DICT            ; entry requested:    1");
  EXPECT_EQ(log_from(before)[4], "     Variable count outside 0 .. 2048:      2049");
  before = log_lines().size();
  EXPECT_FALSE(read("BNDY_B"));
  EXPECT_EQ(log_from(before)[4], "     Layer count outside 0 .. 100:       101");
}

// A dictionary whose schema variable has another shape than the layout's is reported, not
// read past.
TEST_F(Rddict3Test, ReportsMisshapenVariable) {
  const int fid = open_dictionary({grid_entry()});
  kavro::state().b.TFLAGID3(fid) = 1;  // FNAME: text of two dimensions, not FLAG
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(read("GRID_A"));
  EXPECT_EQ(log_from(before),
            (Lines{"     ", "     ", "     >>> WARNING in subroutine RDDICT3 <<<",
                   "     netCDF error number  -45", "     Dictionary entry requested:    1",
                   "     Error reading netCDF file record flag in dictionary file DICT"}));
}

// A name written by a C writer ends at its NUL.
TEST_F(Rddict3Test, NameEndsAtNul) {
  DictEntry e = grid_entry();
  e.name = std::string("C_WRITER\0\0\0", 11);
  open_dictionary({e});
  EXPECT_TRUE(read("C_WRITER"));
}

}  // namespace
}  // namespace kavro_test
