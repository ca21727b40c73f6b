// OPNLOG3: the open report, byte for byte.
#include <cstdio>
#include <string>
#include <vector>

#include "open_fixture.h"

namespace kavro_test {
namespace {

using kavro::state;

class Opnlog3Test : public OpenFixture {
 protected:
  // The last N lines of the log.
  std::vector<std::string> tail(std::size_t n) const {
    const auto lines = log_lines();
    return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
  }
  // A slot of kind KIND filled by hand, as the other openers would leave it.
  static void fake_slot(int kind, int ftype, int tstep) {
    kavro::INIT3();
    auto& b = state().b;
    state().c.FLNAME3(1) = "OTHER";
    state().c.GDNAM3(1) = "G";
    state().c.EXECID3 = "run_42";
    b.NCID3(1) = kind;
    b.FTYPE3(1) = ftype;
    b.NROWS3(1) = 20;
    b.NCOLS3(1) = 10;
    b.NLAYS3(1) = 1;
    b.NVARS3(1) = 2;
    b.NTHIK3(1) = 1;
    b.MXREC3(1) = 7;
    b.SDATE3(1) = 2024033;
    b.STIME3(1) = 10000;
    b.TSTEP3(1) = tstep;
    b.READONLY3(1) = false;
    b.VOLATILE3(1) = false;
  }
};

// The report on a volatile gridded file opened read-only.
TEST_F(Opnlog3Test, ReportsGriddedVolatileFile) {
  FixtureSpec s = grid(5);
  s.records = 24;
  s.write_data = false;
  const std::string path = write(s);
  set_name("INFILE1", path + " -v");
  ASSERT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog"));
  char id[16];
  std::snprintf(id, sizeof id, "%9d", state().b.NCID3(1));
  const std::vector<std::string> expected = {
      "      ",
      "     \"INFILE1\" opened as OLD:READ-ONLY   ",
      "     File name \"" + path + "\"",
      "     File type GRDDED3 ",
      "     Execution ID \"fixture_run\"",
      "     Grid name \"FIXTURE_GRID\"",
      "     Dimensions: 3 rows, 4 cols, 2 lays, 5 vbles",
      "     NetCDF ID: " + std::string(id) + "  opened as VOLATILE READONLY   ",
      "     Starting date and time  2024033:000000 (0:00:00   Feb. 2, 2024)",
      "     Timestep                          010000 (1:00:00 hh:mm:ss)",
      "     Maximum current record number        24"};
  EXPECT_EQ(tail(expected.size()), expected);
}

// A file without EXEC_ID gets the warning block and no execution-id line.
TEST_F(Opnlog3Test, WarnsOfMissingExecutionId) {
  FixtureSpec s = grid();
  s.drop("EXEC_ID");
  file_named("INFILE1", s);
  ASSERT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "prog"));
  const std::vector<std::string> expected = {"     ",
                                             "     ",
                                             "     >>> WARNING in subroutine OPNLOG3 <<<",
                                             "     Warning netCDF file header attribute EXEC_ID.",
                                             "     Not available for file:  INFILE1         ",
                                             "     netCDF error number  -43",
                                             "     ",
                                             "     ",
                                             "      ",
                                             "     \"INFILE1\" opened as OLD:READ-ONLY   "};
  const auto lines = tail(18);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10), expected);
  EXPECT_FALSE(log_mentions("Execution ID"));
}

// Other kinds show the run's execution id; unknown modes and types 7, 8 have their names.
TEST_F(Opnlog3Test, ReportsOtherKinds) {
  fake_slot(kavro::BINFIL3, kavro::PTRFLY3, 0);
  ASSERT_TRUE(kavro::OPNLOG3(1, "/data/file.bin", 9));
  const std::vector<std::string> expected = {
      "      ",
      "     \"OTHER\" opened as ????????????????",
      "     File name \"/data/file.bin\"",
      "     File type UNKNOWN ",
      "     Execution ID \"run_42\"",
      "     Grid name \"G\"",
      "     Dimensions: 20 rows, 10 cols, 1 lays, 2 vbles",
      "     Native-binary file opened as READWRITE           ",
      "     Time-independent data."};
  EXPECT_EQ(tail(expected.size()), expected);
}

// Boundary files report their thickness, event files their record counts.
TEST_F(Opnlog3Test, TypeSpecificLines) {
  fake_slot(kavro::MEMFIL3, kavro::BNDARY3, -10000);
  ASSERT_TRUE(kavro::OPNLOG3(1, "BUFFERED", 0));
  EXPECT_EQ(tail(5), (std::vector<std::string>{
                         "     Dimensions: 20 rows, 10 cols, 1 lays, 2 vbles, 1 cells thick",
                         "     BUFFERED \"file\" opened as READWRITE           ",
                         "     Starting date and time  2024033:010000 (1:00:00   Feb. 2, 2024)",
                         "     Timestep                         -010000 (1:00:00 hh:mm:ss)",
                         "     Maximum current record number         7"}));
  fake_slot(kavro::LISTFIL3, kavro::KFEVNT3, 0);
  state().b.READONLY3(1) = true;
  ASSERT_TRUE(kavro::OPNLOG3(1, "LIST:A,B", 1));
  EXPECT_EQ(tail(4), (std::vector<std::string>{
                         "     Dimensions: 20 rows, 10 cols, 1 lays, 2 vbles, 1 max recs/cell, 7 "
                         "total recs",
                         "     LIST-FILE SEQUENCE opened as READONLY            ",
                         "     Starting date and time  2024033:010000 (1:00:00   Feb. 2, 2024)",
                         "     Maximum current record number     000007"}));
}

}  // namespace
}  // namespace kavro_test
