// Initialisation, the log unit, the wall clock and shutdown.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "binary/binary_kind.h"
#include "core/kinds.h"
#include "core/state.h"
#include "core/units.h"
#include "kavro/kavro.h"
#include "kind_list.h"
#include "memory/memory_kind.h"
#include "support/test_env.h"

namespace kavro {
namespace {

using kavro_test::read_lines;
using kavro_test::ScopedEnv;
using kavro_test::write_file;
using Lines = std::vector<std::string>;

constexpr std::string_view kTagLine =
    "     Library release tag: $JDate: 2010068 $                          ";

std::size_t count(const Lines& lines, std::string_view line) {
  std::size_t n = 0;
  for (const std::string& l : lines) n += l == line ? 1 : 0;
  return n;
}

class Initlog3Test : public kavro_test::LibraryTest {
 protected:
  std::string out() const { return dir().file("stdout.txt"); }
  void to_file() const {
    if (std::freopen(out().c_str(), "w", stdout) == nullptr) std::exit(9);
  }
};

// A log file that exists already stops the run at the first message, with the open-error
// block on standard output.
TEST_F(Initlog3Test, ExistingLogFileStopsWithStatus2) {
  write_file(log_path(), "earlier run\n");
  EXPECT_EXIT(
      {
        to_file();
        XQMESG("hello");
      },
      ::testing::ExitedWithCode(2), "");
  EXPECT_EQ(read_lines(out()),
            (Lines{"     ", "     ***  ERROR in XQMSG2/XQMESG/INITLOG3  ***",
                   "     Error opening log file on unit        99", "     I/O STATUS =        17",
                   "     File: " + log_path(), "     "}));
  EXPECT_EQ(log_text(), "earlier run\n");
}

TEST_F(Initlog3Test, MissingDirectoryStopsWithStatus2) {
  const std::string path = dir().file("no/such/dir/run.log");
  ScopedEnv log("LOGFILE", path);
  EXPECT_EXIT(
      {
        to_file();
        INIT3();
      },
      ::testing::ExitedWithCode(2), "");
  const Lines lines = read_lines(out());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "     ***  ERROR in INIT3/INITLOG3  ***");
  EXPECT_EQ(lines[3], "     I/O STATUS =         2");
  EXPECT_EQ(lines[4], "     File: " + path);
}

// LOGFILE unset: the log is standard output, and the banner appears there once.
TEST_F(Initlog3Test, UnsetLogfileUsesStdoutOnce) {
  ScopedEnv log("LOGFILE", std::nullopt);
  EXPECT_EXIT(
      {
        to_file();
        INIT3();
        XQMSG2("after init");
        std::exit(state().b.LOGUNIT3 == 6 && state().b.LOGSTDOUT3 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  const Lines lines = read_lines(out());
  EXPECT_EQ(count(lines, kTagLine), 1u);
  EXPECT_EQ(lines.back(), "     after init");
}

// LOGFILE=/dev/null: the log is discarded, the banner still goes to standard output,
// without the MXVARS3 line.
TEST_F(Initlog3Test, DevNullStillShowsBanner) {
  ScopedEnv log("LOGFILE", "/dev/null");
  EXPECT_EXIT(
      {
        to_file();
        INIT3();
        XQMSG2("discarded");
        std::exit(state().b.LOGUNIT3 == 99 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  const Lines lines = read_lines(out());
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[15], kTagLine);
  EXPECT_EQ(lines[17], "     $Id: @(#) kavro library version 3.1 $");
  EXPECT_EQ(lines[18], std::string("     netCDF version ") + nc_inq_libvers());
  EXPECT_EQ(lines[19], "     ");
}

// A program's own log sink: every log line, each marked when it belongs to a warning; the log
// is then apart from standard output, which has the banner as KAVRO_BANNER says (Y when unset),
// as it has with LOGFILE=/dev/null.
struct SinkCase {
  std::optional<std::string> logfile;
  std::optional<std::string> banner;
  std::size_t stdout_lines;
  bool sink_has_lines;
};

class LogSinkTest : public Initlog3Test, public ::testing::WithParamInterface<SinkCase> {
 protected:
  // Child side: the sink writes "W|" or "I|" and the line to this file.
  static std::FILE*& sunk() {
    static std::FILE* f = nullptr;
    return f;
  }
  static void collect(void* /*context*/, std::string_view line, bool warning) noexcept {
    std::fprintf(sunk(), "%c|%.*s\n", warning ? 'W' : 'I', static_cast<int>(line.size()),
                 line.data());
  }
};

TEST_P(LogSinkTest, LinesAndBanner) {
  ScopedEnv log("LOGFILE", GetParam().logfile);
  ScopedEnv banner("KAVRO_BANNER", GetParam().banner);
  const std::string sunk_path = dir().file("sunk.txt");
  EXPECT_EXIT(
      {
        to_file();
        sunk() = std::fopen(sunk_path.c_str(), "w");
        set_log_sink(collect, nullptr);
        INIT3();
        XQMSG2("plain");
        XQWARN("CALLER", 0, 0, "careful");
        std::fclose(sunk());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_lines(out()).size(), GetParam().stdout_lines);
  const Lines lines = read_lines(sunk_path);
  if (!GetParam().sink_has_lines) {
    EXPECT_EQ(lines, Lines{});
    return;
  }
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[15], "I|" + std::string(kTagLine));
  EXPECT_EQ(Lines(lines.end() - 5, lines.end()),
            (Lines{"I|     plain", "W|     ", "W|     >>--->> WARNING in subroutine CALLER",
                   "W|     careful", "W|     "}));
}

INSTANTIATE_TEST_SUITE_P(Cases, LogSinkTest,
                         ::testing::Values(SinkCase{std::nullopt, std::nullopt, 20, true},
                                           SinkCase{std::nullopt, "N", 0, true},
                                           SinkCase{std::nullopt, "Y", 20, true},
                                           // LOGFILE set: the file has the log, the sink nothing.
                                           SinkCase{"/dev/null", "N", 0, false},
                                           SinkCase{"/dev/null", "Y", 20, false}));

// A program that takes its sink back once the log is set up has the later lines dropped, and
// the library goes on.
TEST_F(LogSinkTest, SinkTakenBackDropsLines) {
  ScopedEnv log("LOGFILE", std::nullopt);
  const std::string sunk_path = dir().file("sunk.txt");
  EXPECT_EXIT(
      {
        to_file();
        sunk() = std::fopen(sunk_path.c_str(), "w");
        set_log_sink(collect, nullptr);
        XQMSG2("kept");
        set_log_sink(nullptr, nullptr);
        XQMSG2("dropped");
        std::fclose(sunk());
        std::exit(XQFLUSH(state().b.LOGUNIT3) ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  const Lines lines = read_lines(sunk_path);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "I|     kept");
}

class Init3Test : public kavro_test::LibraryTest {};

// The banner: 17 notice lines of exactly 64 characters, the release tag next to last,
// then the version lines.
TEST_F(Init3Test, WritesBannerToLog) {
  EXPECT_EQ(INIT3(), 99);
  const Lines lines = log_lines();
  ASSERT_GE(lines.size(), 23u);
  for (int i = 0; i < 17; ++i) {
    EXPECT_EQ(lines[static_cast<std::size_t>(i)].size(), 69u) << "notice line " << i + 1;
    EXPECT_EQ(lines[static_cast<std::size_t>(i)].substr(0, 5), "     ");
  }
  EXPECT_EQ(lines[0], std::string(69, ' '));
  EXPECT_EQ(lines[15], kTagLine);
  EXPECT_EQ(lines[16], std::string(69, ' '));
  EXPECT_EQ(lines[17], "     $Id: @(#) kavro library version 3.1 $");
  EXPECT_EQ(lines[18], "     Version with PARMS3.EXT/PARAMETER::MXVARS3= 2048");
  EXPECT_EQ(lines[19], std::string("     netCDF version ") + nc_inq_libvers());
  EXPECT_EQ(lines[20], "     ");
  EXPECT_EQ(lines[21], "     ");
  EXPECT_EQ(lines[22], "     Missing environment variable EXECUTION_ID");
  EXPECT_EQ(lines.size(), 23u);
  EXPECT_EQ(state().c.EXECID3.trimmed(), "????????????????");
  EXPECT_EQ(state().c.LIBVERS3.trimmed(), "$Id: @(#) kavro library version 3.1 $");
}

TEST_F(Init3Test, SecondCallWritesNothing) {
  const int unit = INIT3();
  const std::string before = log_text();
  EXPECT_EQ(INIT3(), unit);
  EXPECT_EQ(log_text(), before);
}

TEST_F(Init3Test, AfterShut3SaysSo) {
  INIT3();
  EXPECT_TRUE(SHUT3());
  EXPECT_EQ(state().b.LASTFID3, IMISSING3);
  EXPECT_FALSE(state().b.INITDONE3);
  EXPECT_EQ(INIT3(), 99);  // the log unit stays the same
  const Lines lines = log_lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
            (Lines{"     ", "     INIT3() called subsequent to SHUT3()", "     "}));
  EXPECT_EQ(state().b.LASTFID3, 0);
  EXPECT_TRUE(state().b.INITDONE3);
}

// An execution id set, even to an empty value, is logged trimmed.
TEST_F(Init3Test, LogsExecutionId) {
  ScopedEnv id("EXECUTION_ID", "run 42   ");
  INIT3();
  EXPECT_EQ(log_lines().back(), "     EXECUTION_ID: run 42");
  EXPECT_EQ(state().c.EXECID3.trimmed(), "run 42");
}

TEST_F(Init3Test, LogsEmptyExecutionId) {
  ScopedEnv id("EXECUTION_ID", "");
  INIT3();
  EXPECT_EQ(log_lines().back(), "     EXECUTION_ID:");
}

// The run date and time are the wall clock at initialisation.
TEST_F(Init3Test, StampsRunDateAndTime) {
  test_hooks::pin_clock(94694399);
  INIT3();
  EXPECT_EQ(state().b.RUNDATE3, 1972366);
  EXPECT_EQ(state().b.RUNTIME3, 235959);
}

class ScenfileTest : public kavro_test::LibraryTest {
 protected:
  std::string scen() const { return dir().file("scenario.txt"); }
};

// Up to 60 lines of 80 characters; the rest of the file and of longer lines is not read.
TEST_F(ScenfileTest, ReadsSixtyLinesOfEighty) {
  std::string text;
  for (int i = 1; i <= 75; ++i) text += "line " + std::to_string(i) + "\n";
  const std::string long_line(100, 'L');
  text.replace(0, 7, long_line + "\n");  // line 1 becomes 100 characters
  write_file(scen(), text);
  ScopedEnv s("SCENFILE", scen());
  INIT3();
  const auto& d = state().c.SCENDESC3;
  EXPECT_EQ(d[0].padded(), long_line.substr(0, 80));
  EXPECT_EQ(d[1].trimmed(), "line 2");
  EXPECT_EQ(d[59].trimmed(), "line 60");
  EXPECT_EQ(log_lines().back(), "     Missing environment variable EXECUTION_ID");
  EXPECT_FALSE(detail::unit_open(98));  // the scenario unit is closed again
}

TEST_F(ScenfileTest, ShortFileLeavesRestBlank) {
  write_file(scen(), "only one line");
  ScopedEnv s("SCENFILE", scen());
  INIT3();
  EXPECT_EQ(state().c.SCENDESC3[0].trimmed(), "only one line");
  EXPECT_EQ(state().c.SCENDESC3[1].trimmed(), "");
}

// A scenario file that cannot be read gives the warning block; initialisation goes on.
TEST_F(ScenfileTest, UnreadableGivesWarningBlock) {
  ScopedEnv s("SCENFILE", dir().path());  // a directory opens, but reading it fails
  INIT3();
  const Lines lines = log_lines();
  ASSERT_GE(lines.size(), 30u);
  EXPECT_EQ(Lines(lines.begin() + 22, lines.begin() + 30),
            (Lines{"     ", "     ", "     >>> WARNING in subroutine INIT3 <<<",
                   "     Error reading scenario file.  Error number 21",
                   "     File: " + dir().path() + std::string(512 - dir().path().size(), ' '),
                   "     ", "     ", "     Missing environment variable EXECUTION_ID"}));
  EXPECT_TRUE(state().b.INITDONE3);
  EXPECT_FALSE(detail::unit_open(98));
}

TEST_F(ScenfileTest, UnopenableGivesWarningBlock) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  write_file(scen(), "secret\n");
  ::chmod(scen().c_str(), 0);
  ScopedEnv s("SCENFILE", scen());
  INIT3();
  EXPECT_EQ(log_lines().at(25), "     Error opening scenario file.  Error number 13");
}

TEST_F(ScenfileTest, MissingFileIsSilent) {
  ScopedEnv s("SCENFILE", dir().file("absent.txt"));
  INIT3();
  EXPECT_EQ(log_lines().size(), 23u);
}

class JunitTest : public kavro_test::LibraryTest {};

// Units are handed out from 99 down.
TEST_F(JunitTest, HandsOutFromTopDown) {
  EXPECT_EQ(JUNIT(), 99);
  ASSERT_EQ(detail::open_unit(99, "/dev/null", detail::UnitOpen::kExisting), 0);
  EXPECT_EQ(JUNIT(), 98);
  EXPECT_EQ(detail::close_unit(99), 0);
  EXPECT_EQ(JUNIT(), 99);
}

// With all 90 units open, the run stops with the block on standard output.
TEST_F(JunitTest, NoFreeUnitStopsWithStatus2) {
  const std::string out = dir().file("stdout.txt");
  EXPECT_EXIT(
      {
        if (std::freopen(out.c_str(), "w", stdout) == nullptr) std::exit(9);
        for (int i = 0; i < 90; ++i) {
          if (detail::open_unit(JUNIT(), "/dev/null", detail::UnitOpen::kExisting) != 0) {
            std::exit(9);
          }
        }
        JUNIT();
      },
      ::testing::ExitedWithCode(2), "");
  EXPECT_EQ(read_lines(out), (Lines{"", "", "", " *** ERROR ABORT IN ROUTINE JUNIT ***",
                                    "     NO MORE UNIT NUMBERS AVAILABLE FOR I/O",
                                    "     First POSIX-approved unit:  10",
                                    "     Last  POSIX-approved unit:  99", "", ""}));
}

struct ClockCase {
  long long seconds;
  int jdate, jtime;
};
class GetdttimeTest : public kavro_test::LibraryTest,
                      public ::testing::WithParamInterface<ClockCase> {};

TEST_P(GetdttimeTest, ConvertsUtcSeconds) {
  const ClockCase& c = GetParam();
  test_hooks::pin_clock(c.seconds);
  int jdate = 0;
  int jtime = -1;
  EXPECT_EQ(GETDTTIME(jdate, jtime), c.jdate);
  EXPECT_EQ(jdate, c.jdate);
  EXPECT_EQ(jtime, c.jtime);
}

INSTANTIATE_TEST_SUITE_P(
    Clock, GetdttimeTest,
    ::testing::Values(ClockCase{94694399, 1972366, 235959}, ClockCase{1, 1970001, 1},
                      ClockCase{59 * 86400 + 3661, 1970060, 10101},
                      ClockCase{951782400, 2000060, 0}, ClockCase{978307199, 2000366, 235959},
                      ClockCase{4107542400, 2100060, 0}, ClockCase{-1, 1969365, 235959}));

// The stop says why on standard error.
TEST(GetdttimeDeathTest, ClockAtZeroStops) {
  EXPECT_EXIT(
      {
        test_hooks::pin_clock(0);
        int d = 0;
        int t = 0;
        GETDTTIME(d, t);
      },
      ::testing::ExitedWithCode(2), "^kavro: GETDTTIME: the system clock reads 0\n$");
}

// A new, empty netCDF file held in SLOT under NAME as the opener would leave it.
int hold_netcdf_file(const std::string& path, int slot, std::string_view name) {
  int ncid = -1;
  if (nc_create(path.c_str(), NC_CLOBBER, &ncid) != NC_NOERR || nc_enddef(ncid) != NC_NOERR) {
    ADD_FAILURE() << "cannot create " << path;
    return -1;
  }
  auto& st = state();
  st.c.FLNAME3(slot) = name;
  st.b.NCID3(slot) = ncid;
  st.b.LASTFID3 = std::max(st.b.LASTFID3, slot);
  return ncid;
}

class Shut3Test : public kavro_test::LibraryTest {};

// Shutdown closes every netCDF file in use and frees every slot.
TEST_F(Shut3Test, ClosesNetcdfSlots) {
  INIT3();
  const int ncid = hold_netcdf_file(dir().file("a.nc"), 2, "INFILE1");
  auto& st = state();
  EXPECT_TRUE(SHUT3());
  EXPECT_EQ(nc_close(ncid), NC_EBADID);  // already closed
  EXPECT_TRUE(detail::slot_free(2));
  EXPECT_EQ(st.b.LASTFID3, IMISSING3);
  EXPECT_TRUE(SHUT3());  // nothing left to close
}

int failing_close(int) { return 1; }
int released = 0;
void count_release(int) { ++released; }

// The kinds of this build come back whatever a test installed.
struct KindsRestored {
  ~KindsRestored() { detail::list_kinds(); }
};

// Shutdown closes every slot through its kind's row: a failed native binary close gets the
// BINFIL3 block, and every kind's release runs for every slot.
TEST_F(Shut3Test, ClosesEveryKindThroughItsRow) {
  INIT3();
  const KindsRestored restore;
  detail::FileKind binary = detail::kBinaryKind;
  binary.close = failing_close;
  detail::FileKind memory = detail::kMemoryKind;
  memory.release = count_release;
  const detail::FileKind* rows[] = {&memory, &binary};
  detail::install_kinds(rows);
  auto& st = state();
  st.c.FLNAME3(1) = "BINFILE";
  st.b.NCID3(1) = BINFIL3;
  st.c.FLNAME3(2) = "MEMFILE";
  st.b.NCID3(2) = MEMFIL3;
  st.b.LASTFID3 = 3;
  released = 0;
  EXPECT_FALSE(SHUT3());
  EXPECT_EQ(released, 3);
  const Lines lines = log_lines();
  EXPECT_EQ(Lines(lines.end() - 5, lines.end()),
            (Lines{"     ", "     ", "     >>> WARNING in subroutine SHUT3 <<<",
                   "     Error closing BINFIL3 file", "     File name:  BINFILE"}));
}

class Close3Test : public kavro_test::LibraryTest {};

// A name that is not open is quoted at its full length.
TEST_F(Close3Test, NameNotOpen) {
  INIT3();
  EXPECT_FALSE(CLOSE3("ABSENT          "));
  EXPECT_EQ(log_lines().back(), "     File \"ABSENT          \" not currently open");
}

TEST_F(Close3Test, ClosesOpenNetcdfFile) {
  INIT3();
  const int ncid = hold_netcdf_file(dir().file("b.nc"), 1, "INFILE2");
  auto& st = state();
  st.b.NVARS3(1) = 1;
  st.c.VLIST3D(1, 1) = "TA";
  st.b.VARID3(1, 1) = 0;
  EXPECT_TRUE(CLOSE3("INFILE2 "));
  EXPECT_EQ(log_lines().back(), "     Closing file INFILE2");
  EXPECT_TRUE(detail::slot_free(1));
  EXPECT_EQ(st.c.VLIST3D(1, 1).padded(), kFreeSlotName);
  EXPECT_EQ(st.b.VARID3(1, 1), IMISSING3);
  EXPECT_EQ(st.b.LASTFID3, 1);  // not lowered
  EXPECT_EQ(nc_close(ncid), NC_EBADID);
}

// A failed netCDF close is logged once as a line and again inside the warning block.
TEST_F(Close3Test, ReportsFailedNetcdfClose) {
  INIT3();
  auto& st = state();
  st.c.FLNAME3(1) = "BADID";
  st.b.NCID3(1) = 12345;  // no such netCDF id
  st.b.LASTFID3 = 1;
  EXPECT_FALSE(CLOSE3("BADID"));
  const Lines lines = log_lines();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(Lines(lines.end() - 8, lines.end()),
            (Lines{"     Error closing netCDF file \"BADID\"", "     ", "     ",
                   "     >>> WARNING in subroutine CLOSE3 <<<", "     netCDF error number  -33",
                   "     Error closing netCDF file \"BADID\"", "     ", "     "}));
  EXPECT_FALSE(detail::slot_free(1));
}

}  // namespace
}  // namespace kavro
