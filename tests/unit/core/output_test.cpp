// Inputs that are not files and output that cannot be written: a scenario file that is a FIFO,
// a device or a value cut by its field; a log path cut by its field; a log that loses lines
// ends the run with status 2 and says so on standard error; closed standard descriptors are
// never taken by the library's own files. Each failure of the log's writes, flushes and close
// is walked in turn.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/syscalls.h"
#include "core/units.h"
#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro {
namespace {

using kavro_test::read_file;
using kavro_test::read_lines;
using kavro_test::ScopedEnv;
using Lines = std::vector<std::string>;
namespace sys = detail::sys;

class OutputTest : public kavro_test::LibraryTest {
 protected:
  std::string out() const { return dir().file("stdout.txt"); }
  void to_file() const {
    if (std::freopen(out().c_str(), "w", stdout) == nullptr) std::exit(9);
  }
  // The scenario warning block of INIT3, from its header line on.
  Lines scenario_block() const {
    const Lines lines = log_lines();
    const auto at =
        std::find(lines.begin(), lines.end(), "     >>> WARNING in subroutine INIT3 <<<");
    return at == lines.end() ? Lines{} : Lines(at, std::min(at + 3, lines.end()));
  }
};

// A FIFO as the scenario file does not block start-up, and a device does not spin: both are
// refused with the opening warning and initialisation goes on.
TEST_F(OutputTest, ScenarioFifoAndDeviceAreRefused) {
  const std::string fifo = dir().file("scenario.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    test_hooks::reset_state();
    ScopedEnv log("LOGFILE", dir().file("log-" + std::to_string(path.size())));
    ScopedEnv s("SCENFILE", path);
    INIT3();
    const Lines lines = read_lines(dir().file("log-" + std::to_string(path.size())));
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "     Error opening scenario file.  Error number 22"),
        lines.end())
        << path;
    EXPECT_TRUE(state().b.INITDONE3);
    EXPECT_EQ(state().c.SCENDESC3[0].trimmed(), "");
  }
}

// A scenario file whose first line never ends is read up to the cap, not to the end.
TEST_F(OutputTest, ScenarioLineIsCapped) {
  kavro_test::write_file(dir().file("scen.txt"),
                         std::string(detail::kMaxLineBytes + 10, 'x') + "\nsecond\n");
  ScopedEnv s("SCENFILE", dir().file("scen.txt"));
  INIT3();
  EXPECT_EQ(scenario_block(), (Lines{"     >>> WARNING in subroutine INIT3 <<<",
                                     "     Error reading scenario file.  Error number 27",
                                     "     File: " + dir().file("scen.txt") +
                                         std::string(512 - dir().file("scen.txt").size(), ' ')}));
}

// A SCENFILE value longer than its 512-character field is refused with a note naming it.
TEST_F(OutputTest, ScenarioPathLongerThanFieldIsRefused) {
  kavro_test::write_file(dir().file("scen.txt"), "scenario\n");
  const std::string base = dir().file("scen.txt");
  ScopedEnv s("SCENFILE", base + std::string(512 - base.size(), ' ') + "/more");
  INIT3();
  EXPECT_EQ(scenario_block(), (Lines{"     >>> WARNING in subroutine INIT3 <<<",
                                     "     Error opening scenario file.  Error number 36",
                                     "     Value of SCENFILE longer than 512 characters"}));
  EXPECT_EQ(state().c.SCENDESC3[0].trimmed(), "");
}

// A LOGFILE value longer than its field stops the run as a log that cannot be opened, and no
// log is written at the cut path.
TEST_F(OutputTest, LogPathLongerThanFieldStops) {
  const std::string cut = dir().file("run.log");
  ScopedEnv log("LOGFILE", cut + std::string(512 - cut.size(), ' ') + "x");
  EXPECT_EXIT(
      {
        to_file();
        INIT3();
      },
      ::testing::ExitedWithCode(2), "");
  const Lines lines = read_lines(out());
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[3], "     I/O STATUS =        36");
  EXPECT_EQ(lines[4], "     Value of LOGFILE longer than 512 characters");
  EXPECT_NE(::access(cut.c_str(), F_OK), 0);
}

// The log on standard output on a full device: every line is lost, and the run that would
// have completed normally ends with status 2 and a line on standard error.
TEST_F(OutputTest, LostLogMakesStatusTwo) {
  ScopedEnv log("LOGFILE", std::nullopt);
  EXPECT_EXIT(
      {
        if (std::freopen("/dev/full", "w", stdout) == nullptr) std::exit(9);
        INIT3();
        XQMSG2("lost");
        XQEXIT("prog", 0, 0, "", kExitOk);
      },
      ::testing::ExitedWithCode(2),
      "kavro: XQEXIT: the log could not be written: No space left on device");
}

// With standard output closed, the log file does not take descriptor 1: what is written to
// standard output afterwards never lands in the log.
TEST_F(OutputTest, ClosedStandardOutputIsNotTaken) {
  EXPECT_EXIT(
      {
        std::fclose(stdout);
        ::close(1);
        INIT3();
        XQMSG2("in the log");
        if (::write(1, "REPORT-LINE\n", 12) != 12) std::exit(8);
        std::exit(state().b.LOGUNIT3 == 99 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  const std::string log = log_text();
  EXPECT_NE(log.find("in the log"), std::string::npos);
  EXPECT_EQ(log.find("REPORT-LINE"), std::string::npos);
}

// Every write, flush and close of the log failing in turn: the run that would end normally
// ends with status 2 and the message on standard error, until the failing call is past the
// last one the run makes and the run ends with 0. (The log on standard output for writes and
// flushes, so that every such call is one of the log's; a log file for its close.)
struct WalkCase {
  sys::Op op;
  bool log_on_stdout;
};
class LogFailureWalk : public OutputTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(LogFailureWalk, EveryFailureEndsWithStatusTwo) {
  std::optional<ScopedEnv> log;
  if (GetParam().log_on_stdout) log.emplace("LOGFILE", std::nullopt);
  int n = 1;
  for (; n < 400; ++n) {
    test_hooks::reset_state();
    std::remove(log_path().c_str());
    const std::string err = dir().file("stderr.txt");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (std::freopen(out().c_str(), "w", stdout) == nullptr ||
          std::freopen(err.c_str(), "w", stderr) == nullptr) {
        _exit(9);
      }
      test_hooks::fail_call(GetParam().op, n);
      INIT3();
      XQMSG2("a message");
      XQEXIT("prog", 0, 0, "", kExitOk);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "call " << n << " signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == 0) break;
    ASSERT_EQ(WEXITSTATUS(status), 2) << "call " << n;
    EXPECT_NE(read_file(err).find("kavro: XQEXIT: the log could not be written"), std::string::npos)
        << "call " << n;
  }
  EXPECT_GT(n, 1);
  EXPECT_LT(n, 400);
}

INSTANTIATE_TEST_SUITE_P(Calls, LogFailureWalk,
                         ::testing::Values(WalkCase{sys::Op::kWrite, true},
                                           WalkCase{sys::Op::kFlush, true},
                                           WalkCase{sys::Op::kClose, false}),
                         [](const ::testing::TestParamInfo<WalkCase>& c) {
                           return std::string(c.param.op == sys::Op::kWrite   ? "Write"
                                              : c.param.op == sys::Op::kFlush ? "Flush"
                                                                              : "Close") +
                                  (c.param.log_on_stdout ? "Stdout" : "File");
                         });

}  // namespace
}  // namespace kavro
