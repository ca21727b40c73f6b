// DESC3 and SYNCFID: the description record from the slot and the file's descriptive
// attributes, with every missing attribute reported.
#include <string>
#include <vector>

#include "open_fixture.h"

namespace kavro_test {
namespace {

using kavro::BDESC3;
using kavro::CDESC3;
using kavro::DESC3;
using kavro::state;

class Desc3Test : public OpenFixture {
 protected:
  void open(const FixtureSpec& fx) {
    file_named("INFILE1", fx);
    ASSERT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog")) << log_text();
  }
};

// A complete file is described from the slot and its header.
TEST_F(Desc3Test, DescribesGriddedFile) {
  open(grid(2));
  ASSERT_TRUE(DESC3("INFILE1"));
  EXPECT_EQ(BDESC3.FTYPE3D, kavro::GRDDED3);
  EXPECT_EQ(BDESC3.NVARS3D, 2);
  EXPECT_EQ(BDESC3.NCOLS3D, 4);
  EXPECT_EQ(BDESC3.TSTEP3D, 10000);
  EXPECT_EQ(BDESC3.MXREC3D, 2);
  EXPECT_EQ(BDESC3.P_BET3D, 60.0);
  EXPECT_EQ(BDESC3.CDATE3D, 2024100);
  EXPECT_EQ(BDESC3.WTIME3D, 123456);
  EXPECT_EQ(CDESC3.VNAME3D[1].trimmed(), "V2");
  EXPECT_EQ(CDESC3.UPNAM3D.padded(), "fixture         ");
  EXPECT_EQ(CDESC3.EXECN3D.trimmed(), "fixture_run");
  EXPECT_EQ(CDESC3.FDESC3D[0].trimmed(), "Fixture file written with the raw netCDF C API");
  EXPECT_EQ(CDESC3.UPDSC3D[0].trimmed(), "Fixture scenario");
  EXPECT_EQ(CDESC3.VDESC3D[0].trimmed(), "V1 fixture variable");
  EXPECT_EQ(BDESC3.VGLVS3D[0], 1.0F);
}

// Missing HISTORY and WDATE are both reported, then one "Error(s)" warning; everything else
// is filled.
TEST_F(Desc3Test, ReportsEveryMissingAttribute) {
  FixtureSpec s = grid(2);
  s.drop("HISTORY").drop("WDATE");
  open(s);
  EXPECT_FALSE(DESC3("INFILE1"));
  const auto lines = log_lines();
  const std::vector<std::string> expected = {
      "     netCDF error number  -43",
      "     netCDF file header attribute WDATE not available for file \"INFILE1\"",
      "     netCDF error number  -43",
      "     netCDF file header attribute UPDSC not available for file \"INFILE1\"",
      "     ",
      "     >>--->> WARNING in subroutine DESC3",
      "     Error(s) in DESC3(INFILE1)",
      "     "};
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - 8, lines.end()), expected);
  EXPECT_EQ(BDESC3.CDATE3D, 2024100);
  EXPECT_EQ(BDESC3.WDATE3D, kavro::IMISSING3);
  EXPECT_EQ(CDESC3.FDESC3D[0].trimmed(), "Fixture file written with the raw netCDF C API");
  EXPECT_EQ(CDESC3.VDESC3D[1].trimmed(), "V2 fixture variable");
}

// A file missing only EXEC_ID is described, with the id unset.
TEST_F(Desc3Test, MissingExecIdIsNoError) {
  FixtureSpec s = grid();
  s.drop("EXEC_ID");
  open(s);
  EXPECT_TRUE(DESC3("INFILE1"));
  EXPECT_EQ(CDESC3.EXECN3D.trimmed(), "????????????????");
}

// A name that is not open is an invalid argument.
TEST_F(Desc3Test, RefusesNameNotOpen) {
  kavro::INIT3();
  EXPECT_FALSE(DESC3("NOPE"));
  EXPECT_TRUE(logged("Invalid file name argument \"NOPE\""));
}

// Type-7 variables carry their extra attributes; more than 20 are cut to 20.
TEST_F(Desc3Test, ExtraAttributesOfTypeSeven) {
  FixtureSpec s = grid(2);
  s.ftype = kType7;
  s.vars[0].extras = {{"SCALE", 2.5F}, {"OFFSET", -1.0F}};
  for (int k = 1; k <= 22; ++k) {
    std::string name = "A";  // appended, not "A" + ...: GCC 12 misreads that as an overlap
    name += std::to_string(k);
    s.vars[1].extras.push_back({name, float(k)});
  }
  open(s);
  EXPECT_TRUE(DESC3("INFILE1"));
  EXPECT_EQ(kavro::BATTS3.NATTS3[0], 2);
  EXPECT_EQ(kavro::CATTS3.ATTNAM3[0][1].padded(), "OFFSET          ");
  EXPECT_EQ(kavro::BATTS3.ATTVAL3[0][0], 2.5F);
  EXPECT_EQ(kavro::BATTS3.NATTS3[1], 20);
  EXPECT_EQ(kavro::CATTS3.ATTNAM3[1][19].trimmed(), "A20");
  EXPECT_EQ(kavro::BATTS3.ATTVAL3[1][19], 20.0F);
  EXPECT_TRUE(
      logged("Only the first 20 extra attributes of variable \"V2\" in file \"INFILE1\" "
             "are described"));
}

// A natts above the attributes present reports each missing one; the others are described.
TEST_F(Desc3Test, MissingExtraAttributeIsReported) {
  FixtureSpec s = grid(2);
  s.ftype = kType7;
  s.vars[0].extras = {{"SCALE", 2.5F}};
  s.vars[0].natts = 2;
  s.vars[1].extras = {{"SCALE", 4.0F}};
  open(s);
  EXPECT_FALSE(DESC3("INFILE1"));
  EXPECT_TRUE(logged("Error reading attribute 2 for variable \"V1\" in file \"INFILE1\""));
  EXPECT_TRUE(logged("Error(s) in DESC3(INFILE1)"));
  EXPECT_EQ(kavro::BATTS3.ATTVAL3[0][0], 2.5F);
  EXPECT_EQ(kavro::BATTS3.ATTVAL3[1][0], 4.0F);
}

// A dictionary is described by its type and variable list plus the descriptive stamps; its
// layout has no UPNAM, FILEDESC or HISTORY, and their absence is no error.
TEST_F(Desc3Test, DescribesDictionary) {
  FixtureSpec s = grid();
  s.ftype = kDctnry;
  open(s);
  BDESC3.NCOLS3D = -77;
  CDESC3.FDESC3D[0] = "left over";
  const std::size_t before = log_lines().size();
  EXPECT_TRUE(DESC3("INFILE1"));
  EXPECT_EQ(log_lines().size(), before);
  EXPECT_EQ(CDESC3.FDESC3D[0].trimmed(), "");
  EXPECT_EQ(BDESC3.FTYPE3D, kavro::DCTNRY3);
  EXPECT_EQ(BDESC3.NVARS3D, 26);
  EXPECT_EQ(CDESC3.VNAME3D[0].trimmed(), "FNAME");
  EXPECT_EQ(BDESC3.CDATE3D, 2024100);
  EXPECT_EQ(BDESC3.NCOLS3D, -77);  // the grid fields are left as they were
}

// A memory-resident file reports the run's own stamps and no descriptions.
TEST_F(Desc3Test, DescribesMemoryResidentFile) {
  kavro::INIT3();
  auto& b = state().b;
  state().c.FLNAME3(1) = "MEMFILE";
  b.LASTFID3 = 1;
  b.NCID3(1) = kavro::MEMFIL3;
  b.FTYPE3(1) = kavro::GRDDED3;
  EXPECT_TRUE(DESC3("MEMFILE"));
  EXPECT_EQ(BDESC3.CDATE3D, b.RUNDATE3);
  EXPECT_EQ(BDESC3.WTIME3D, b.RUNTIME3);
  EXPECT_EQ(CDESC3.UPNAM3D.padded(), "????????????????");
  EXPECT_EQ(CDESC3.FDESC3D[59].padded(), std::string(80, ' '));
  kavro::detail::free_slot(1);
}

// A volatile file is synchronised first; SYNCFID of a netCDF file succeeds.
TEST_F(Desc3Test, SynchronisesVolatileFile) {
  const std::string path = write(grid());
  set_name("INFILE1", path + " -v");
  ASSERT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog"));
  EXPECT_TRUE(kavro::SYNCFID(1));
  EXPECT_TRUE(DESC3("INFILE1"));
}

}  // namespace
}  // namespace kavro_test
