// Messages, warnings and the orderly exit, byte for byte in the log.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/units.h"
#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro {
namespace {

using kavro_test::read_lines;
using kavro_test::write_file;
using Lines = std::vector<std::string>;

std::string dt(int jdate, int jtime) { return std::string(DT2STR(jdate, jtime).padded()); }

class XqmsgTest : public kavro_test::LibraryTest {};

// Every message routine writes five blanks and the text without its trailing blanks; the
// first message opens the log by itself, without the banner.
TEST_F(XqmsgTest, WritesFiveBlanksAndTrimmedText) {
  XQMSG2("first line   ");
  XQMESG("");
  xqmesgc("from C");
  const std::string_view para[] = {"one", "  two  ", "three"};
  XQPARAG(2, para);
  XQPARAG(0, para);
  EXPECT_EQ(log_lines(),
            (Lines{"     first line", "     ", "     from C", "     one", "       two"}));
  EXPECT_GE(state().b.LOGUNIT3, 10);
}

class XqwarnTest : public kavro_test::LibraryTest {};

// A warning is always four lines; the fourth is the date line or blank.
TEST_F(XqwarnTest, FourLinesWithAndWithoutDate) {
  XQWARN("OPEN3", 0, 0, "File not available.");
  XQWARN("READ3", 2024033, 123000, "Time step not available");
  xqwarnc("envync", 0, -1, "bad value");
  EXPECT_EQ(
      log_lines(),
      (Lines{"     ", "     >>--->> WARNING in subroutine OPEN3", "     File not available.",
             "     ", "     ", "     >>--->> WARNING in subroutine READ3",
             "     Time step not available", "     XQWARN:  DTBUF 12:30:00  Feb. 2, 2024", "     ",
             "     >>--->> WARNING in subroutine envync", "     bad value", "     "}));
}

// A message line longer than 256 characters is cut to its first 256.
TEST_F(XqwarnTest, CutsTextAt256) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += static_cast<char>('A' + i % 26);
  XQWARN("X", 0, 0, text);
  EXPECT_EQ(log_lines().at(2), "     " + text.substr(0, 256));
}

class XqerrTest : public kavro_test::LibraryTest {};

TEST_F(XqerrTest, NonFatalIsAWarning) {
  XQERR("CALLER", 0, 0, "just a warning", false);
  xqerrc("CCALLER", 0, 0, "also a warning", 2);  // lowest bit clear: not fatal
  EXPECT_EQ(log_lines(),
            (Lines{"     ", "     >>--->> WARNING in subroutine CALLER", "     just a warning",
                   "     ", "     ", "     >>--->> WARNING in subroutine CCALLER",
                   "     also a warning", "     "}));
}

TEST_F(XqerrTest, FatalEndsTheRunWithStatus2) {
  EXPECT_EXIT(XQERR("OPEN3", 0, 0, "cannot go on", true), ::testing::ExitedWithCode(2), "");
  EXPECT_EQ(log_lines(), (Lines{"     ", "     *** ERROR ABORT in subroutine OPEN3",
                                "     cannot go on", "     "}));
}

TEST_F(XqerrTest, CBridgeFatalOnLowestBit) {
  EXPECT_EXIT(xqerrc("cmod", 0, 0, "stop", 3), ::testing::ExitedWithCode(2), "");
  EXPECT_EQ(log_lines().at(1), "     *** ERROR ABORT in subroutine cmod");
}

class XqexitTest : public kavro_test::LibraryTest {};

// The normal end of a run: blank, headline, (empty) message, blank.
TEST_F(XqexitTest, NormalCompletionWithoutDate) {
  EXPECT_EXIT(XQEXIT("BRINDLEWICK", 0, 0, " ", 0), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(log_lines(), (Lines{"     ", "     --->> Normal Completion of program BRINDLEWICK",
                                "     ", "     "}));
}

// With an exit handler set, the run ends in the handler with XQEXIT's status, after the same
// paragraph and with every file shut; reset_library then leaves the library as before INIT3,
// and a second run in the same process starts it again (its files and log anew).
std::jmp_buf handler_jump;
int handler_status = -1;
[[noreturn]] void jump_back(int status) {
  handler_status = status;
  std::longjmp(handler_jump, 1);
}

TEST_F(XqexitTest, EndsInTheExitHandlerAndRunsAgain) {
  for (const int status : {0, 2}) {
    handler_status = -1;
    set_exit_handler(jump_back);
    if (setjmp(handler_jump) == 0) {
      ASSERT_GE(INIT3(), 0);
      XQEXIT("RUN", 0, 0, "end", status);
    }
    set_exit_handler(nullptr);
    EXPECT_EQ(handler_status, status);
    const Lines lines = log_lines();
    ASSERT_GE(lines.size(), 4U);
    EXPECT_EQ(lines[lines.size() - 3], status == 0 ? "     --->> Normal Completion of program RUN"
                                                   : "     *** ERROR ABORT in subroutine RUN");
    reset_library();
    EXPECT_FALSE(state().b.INITDONE3);
    EXPECT_EQ(state().b.LOGUNIT3, IMISSING3);
    std::remove(log_path().c_str());
  }
}

// Any non-zero status is an abort, and is the process exit status.
TEST_F(XqexitTest, AbortWithDateLine) {
  EXPECT_EXIT(XQEXIT("READ3", 2024033, 123000, "Variable not found", 7),
              ::testing::ExitedWithCode(7), "");
  EXPECT_EQ(log_lines(),
            (Lines{"     ", "     *** ERROR ABORT in subroutine READ3", "     Variable not found",
                   "     Date and time  12:30:00  Feb. 2, 2024    (2024033:123000)", "     "}));
}

struct DateCase {
  int jdate, jtime;
  const char* tail;
};
class XqexitDateTest : public kavro_test::LibraryTest,
                       public ::testing::WithParamInterface<DateCase> {};

// The date line appears when either value is positive; the time always has six digits and
// the date is right-justified in seven.
TEST_P(XqexitDateTest, DateLineFields) {
  const DateCase& c = GetParam();
  EXPECT_EXIT(XQEXIT("X", c.jdate, c.jtime, "m", 2), ::testing::ExitedWithCode(2), "");
  const Lines lines = log_lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "     Date and time  " + dt(c.jdate, c.jtime) + "  " + c.tail);
}

INSTANTIATE_TEST_SUITE_P(Dates, XqexitDateTest,
                         ::testing::Values(DateCase{2024033, 90000, "(2024033:090000)"},
                                           DateCase{2024033, 0, "(2024033:000000)"},
                                           DateCase{99001, 10, "(  99001:000010)"},
                                           DateCase{0, 1, "(      0:000001)"}));

TEST_F(XqexitTest, NoDateLineForZeroAndNegative) {
  EXPECT_EXIT(XQEXIT("X", 0, -5, "m", 2), ::testing::ExitedWithCode(2), "");
  EXPECT_EQ(log_lines().size(), 4u);
}

// A message longer than 256 characters is cut to its first 256 in the paragraph.
TEST_F(XqexitTest, CutsMessageAt256) {
  const std::string text = std::string(250, 'x') + "0123456789";
  EXPECT_EXIT(XQEXIT("X", 0, 0, text, 0), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(log_lines().at(2), "     " + text.substr(0, 256));
}

// A file that cannot be closed at shutdown is reported, and so is the failed shutdown,
// without changing the exit status.
TEST_F(XqexitTest, ReportsFailedShutdown) {
  EXPECT_EXIT(
      {
        INIT3();
        auto& st = state();
        st.c.FLNAME3(1) = "BADFILE";
        st.b.NCID3(1) = 12345;  // no such netCDF id
        st.b.LASTFID3 = 1;
        XQEXIT("PROG", 0, 0, "done", 0);
      },
      ::testing::ExitedWithCode(0), "");
  Lines lines = log_lines();
  ASSERT_GE(lines.size(), 13u);
  lines.erase(lines.begin(), lines.end() - 13);
  EXPECT_EQ(lines, (Lines{"     ", "     ", "     >>> WARNING in subroutine SHUT3 <<<",
                          "     Error closing netCDF file", "     File name:  BADFILE",
                          "     netCDF error number  -33", "     ", "     ", "     ",
                          "     Could not shut down KAVRO files correctly",
                          "     --->> Normal Completion of program PROG", "     done", "     "}));
}

// Units 10..99 are closed in ascending order; a failed close is one line in the log.
TEST_F(XqexitTest, ReportsUnitThatFailsToClose) {
  EXPECT_EXIT(
      {
        XQMSG2("log first");  // the log takes unit 99
        const int u = JUNIT();
        if (detail::open_unit(u, "/dev/full", detail::UnitOpen::kExisting) != 0) std::exit(9);
        detail::write_line(u, "lost");
        XQEXIT("PROG", 0, 0, "", 0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(log_lines().back(), "     Error closing unit    98 status =        28");
}

// Once the log file itself is closed, a later close failure is reported on standard error.
TEST_F(XqexitTest, ReportsOnStderrAfterLogClosed) {
  EXPECT_EXIT(
      {
        const int u = JUNIT();  // 99, closed after the log
        if (detail::open_unit(u, "/dev/full", detail::UnitOpen::kExisting) != 0) std::exit(9);
        detail::write_line(u, "lost");
        XQMSG2("log on 98");
        XQEXIT("PROG", 0, 0, "", 0);
      },
      ::testing::ExitedWithCode(0), "     Error closing unit    99 status =        28");
  EXPECT_EQ(log_lines().back(), "     ");
}

class XqabortTest : public kavro_test::LibraryTest {};

// Three lines: the caller's text, the status with the file, the netCDF error text.
TEST_F(XqabortTest, ThreeLines) {
  XQABORT("INFILE1         ", 1, -33, "Error reading variable TA");
  EXPECT_EQ(log_lines(), (Lines{"     Error reading variable TA",
                                "     netCDF error number  -33  processing file \"INFILE1\"",
                                "     NetCDF: Not a valid ID"}));
}

class XqpromptTest : public kavro_test::LibraryTest {
 protected:
  std::string input() const { return dir().file("stdin.txt"); }
};

// A reply is read into the field; one holding "!" after some text comes back all blank.
TEST_F(XqpromptTest, ReadsReplyAndBlanksOneWithBang) {
  write_file(input(), "yes\nsome text ! more\n");
  EXPECT_EXIT(
      {
        if (std::freopen(input().c_str(), "r", stdin) == nullptr) std::exit(9);
        char r1[6];
        char r2[24];
        int s1 = -7;
        int s2 = -7;
        XQPROMPT("Continue?  ", r1, s1);
        XQPROMPT("Again?", r2, s2);
        const bool ok = s1 == 0 && std::string(r1, 6) == "yes   " && s2 == 0 &&
                        std::string(r2, 24) == std::string(24, ' ');
        std::exit(ok ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(log_text(), "     Continue?     Again?");
}

// End of input at a prompt ends the run with status 1.
TEST_F(XqpromptTest, EndOfInputExitsWithStatus1) {
  write_file(input(), "");
  EXPECT_EXIT(
      {
        if (std::freopen(input().c_str(), "r", stdin) == nullptr) std::exit(9);
        char r[4];
        int s = 0;
        XQPROMPT("Name?", r, s);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(log_lines(), (Lines{"     Name?     ", "     *** ERROR ABORT in subroutine XQPROMPT",
                                "     END-OF-FILE encountered", "     "}));
}

class XqflushTest : public kavro_test::LibraryTest {};

TEST_F(XqflushTest, FlushesOpenUnitsOnly) {
  EXPECT_TRUE(XQFLUSH(6));
  EXPECT_FALSE(XQFLUSH(42));
  XQMSG2("x");
  EXPECT_TRUE(XQFLUSH(state().b.LOGUNIT3));
}

}  // namespace
}  // namespace kavro
