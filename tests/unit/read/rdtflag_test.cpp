// RDTFLAG: record numbers, the flag comparison and its reports, file-list members, and the
// netCDF "not yet written" status in both of the forms the library gives it.
#include <netcdf.h>

#include "core/netcdf_status.h"
#include "read/read.h"
#include "read_support.h"

namespace kavro_test {
namespace {

using kavro::ALLVAR3;
using kavro::RDTFLAG;
using RdtflagTest = ReadTest;

FixtureSpec hourly(int nvars = 1) {
  FixtureSpec s;  // 2024033 at 000000, steps of one hour, two records
  s.ncols = 2;
  s.nrows = 2;
  s.nlays = 1;
  s.vars = numbered_vars(nvars);
  return s;
}

// A time between two steps is reported in three lines and a warning when verbose, and
// silently otherwise; the step comes back negative.
TEST_F(RdtflagTest, TimeBetweenStepsReportsThreeLines) {
  ASSERT_EQ(install(hourly(), "GRID"), 1);
  int fid = 1, step = 0;
  std::size_t before = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, 1, 2024033, 3000, step, false));
  EXPECT_LT(step, 0);
  EXPECT_EQ(log_lines().size(), before);
  EXPECT_FALSE(RDTFLAG(fid, 1, 2024033, 3000, step, true));
  EXPECT_EQ(log_from(before),
            (std::vector<std::string>{"     Requested date & time:      2024033:003000",
                                      "     File starting date & time:  2024033:000000",
                                      "     File time step:           010000", "     ",
                                      "     >>--->> WARNING in subroutine RDTFLAG",
                                      "     Time step error for file:  GRID",
                                      "     XQWARN:  DTBUF 0:30:00   Feb. 2, 2024"}));
}

// A file with a negative step keeps two records: steps 1, 3, 5 ... in record 1 and 2, 4, 6 ...
// in record 2; a record holding another step is "not available".
TEST_F(RdtflagTest, NegativeStepFoldsOntoTwoRecords) {
  FixtureSpec s = hourly();
  s.tstep = -10000;
  const std::string path = dir().file("CYC.nc");
  ASSERT_TRUE(write_fixture(path, s));
  ASSERT_TRUE(set_flags(path, 1, 1, 2024033, 20000));  // record 1 now holds step 3
  ASSERT_EQ(install_path(path, s, "CYC", 1, false), 1);
  int fid = 1, step = 0;
  EXPECT_TRUE(RDTFLAG(fid, 1, 2024033, 20000, step, true));
  EXPECT_EQ(step, 1);
  EXPECT_TRUE(RDTFLAG(fid, 1, 2024033, 10000, step, true));
  EXPECT_EQ(step, 2);
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, 1, 2024033, 30000, step, true));  // step 4: record 2 holds step 2
  EXPECT_EQ(step, 2);
  EXPECT_EQ(log_from(before)[2],
            "     Time step not available in file CYC              for variable V1");
}

// A time-independent file accepts any date and time whose stored pair is (0, 0).
TEST_F(RdtflagTest, TimeIndependentFileExpectsZeroPair) {
  FixtureSpec s = hourly();
  s.tstep = 0;
  s.sdate = 0;
  s.stime = 0;
  ASSERT_EQ(install(s, "CONST"), 1);
  int fid = 1, step = 0;
  EXPECT_TRUE(RDTFLAG(fid, 1, 2031200, 123456, step, true));
  EXPECT_EQ(step, 1);
}

// One variable lacking the step fails alone; "ALL" reports every variable lacking it.
TEST_F(RdtflagTest, AllReportsEveryVariableLackingTheStep) {
  FixtureSpec s = hourly(3);
  s.wrong_flags = {{2, 1}, {2, 3}};
  ASSERT_EQ(install(s, "GRID"), 1);
  int fid = 1, step = 0;
  EXPECT_TRUE(RDTFLAG(fid, 2, 2024033, 10000, step, true));
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, 3, 2024033, 10000, step, true));
  EXPECT_EQ(log_from(before)[2],
            "     Time step not available in file GRID             for variable V3");
  const std::size_t all = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, ALLVAR3, 2024033, 10000, step, true));
  const auto lines = log_from(all);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[2], "     Time step not available in file GRID             for variable V1");
  EXPECT_EQ(lines[6], "     Time step not available in file GRID             for variable V3");
}

// netCDF reports a record beyond the last written as -40 on a read-only file and as -57
// while this process holds it for writing; both are "not yet written".
TEST_F(RdtflagTest, UnwrittenRecordIsNotYetWrittenInBothModes) {
  const std::string path = dir().file("GRID.nc");
  ASSERT_TRUE(write_fixture(path, hourly()));
  for (const bool writable : {false, true}) {
    int ncid = -1;
    ASSERT_EQ(nc_open(path.c_str(), writable ? NC_WRITE : NC_NOWRITE, &ncid), NC_NOERR);
    int tflag = -1;
    ASSERT_EQ(nc_inq_varid(ncid, "TFLAG", &tflag), NC_NOERR);
    const std::size_t start[3] = {2, 0, 0}, count[3] = {1, 1, 2};
    int pair[2];
    const int status = nc_get_vara_int(ncid, tflag, start, count, pair);
    EXPECT_EQ(status, writable ? NC_EEDGE : NC_EINVALCOORDS);
    EXPECT_TRUE(kavro::detail::step_not_yet_written(status));
    nc_close(ncid);
  }
  EXPECT_FALSE(kavro::detail::step_not_yet_written(NC_ENOTVAR));

  for (const bool writable : {false, true}) {
    const int slot = writable ? 2 : 1;
    ASSERT_EQ(install_path(path, hourly(), "GRID", slot, writable), slot);
    int fid = slot, step = 0;
    const std::size_t before = log_lines().size();
    EXPECT_FALSE(RDTFLAG(fid, 1, 2024033, 20000, step, true));
    const auto lines = log_from(before);
    ASSERT_EQ(lines.size(), 4u) << "writable " << writable;
    EXPECT_EQ(lines[2], "     Time step not yet written in file GRID");
  }
}

// Any other netCDF failure logs its status always and warns only when verbose.
TEST_F(RdtflagTest, OtherNetcdfFailureLogsStatus) {
  ASSERT_EQ(install(hourly(), "GRID"), 1);
  kavro::state().b.TFLAGID3(1) = 999;
  int fid = 1, step = 0;
  std::size_t before = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, 1, 2024033, 0, step, false));
  EXPECT_EQ(log_from(before), (std::vector<std::string>{"     netCDF error number  -49"}));
  before = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, 1, 2024033, 0, step, true));
  EXPECT_EQ(log_from(before)[3], "     Error reading netCDF time step flag for GRID");
}

// A list of two members, the first holding records 1-24 and the second from 25: records
// 24 and 25 come from the first and the second member; a time past both is refused.
TEST_F(RdtflagTest, FileListHandsOverToTheHoldingMember) {
  FixtureSpec first = hourly();
  first.sdate = 2024001;
  first.records = 24;
  FixtureSpec second = hourly();
  second.sdate = 2024002;
  ASSERT_EQ(install(first, "DAY1", 1), 1);
  ASSERT_EQ(install(second, "DAY2", 2), 2);
  auto& st = kavro::state();
  st.c.FLNAME3(3) = "BOTH";
  st.b.NCID3(3) = kavro::LISTFIL3;
  st.b.SDATE3(3) = 2024001;
  st.b.STIME3(3) = 0;
  st.b.TSTEP3(3) = 10000;
  st.b.NVARS3(3) = 1;
  st.c.VLIST3D(1, 3) = "V1";
  st.b.LISTFIRST3(3) = 1;
  st.b.LISTCOUNT3(3) = 2;
  st.b.MEMBERFID3(1) = 1;
  st.b.MEMBERBEG3(1) = 1;
  st.b.MEMBEREND3(1) = 25;
  st.b.MEMBERFID3(2) = 2;
  st.b.MEMBERBEG3(2) = 25;
  st.b.MEMBEREND3(2) = 27;
  int fid = 3, step = 0;
  EXPECT_TRUE(RDTFLAG(fid, 1, 2024001, 230000, step, true));
  EXPECT_EQ(fid, 1);
  EXPECT_EQ(step, 24);
  fid = 3;
  EXPECT_TRUE(RDTFLAG(fid, 1, 2024002, 0, step, true));
  EXPECT_EQ(fid, 2);
  EXPECT_EQ(step, 1);
  fid = 3;
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(RDTFLAG(fid, ALLVAR3, 2024002, 20000, step, false));
  EXPECT_EQ(fid, 3);
  EXPECT_EQ(log_from(before), (std::vector<std::string>{
                                  "     Requested date & time:  2024002:020000", "     ",
                                  "     >>--->> WARNING in subroutine RDTFLAG",
                                  "     Variable ALL              not available in file-set BOTH",
                                  "     XQWARN:  DTBUF 2:00:00   Jan. 2, 2024"}));
}

}  // namespace
}  // namespace kavro_test
