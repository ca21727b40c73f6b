// The bad-input catalogue, end to end: the tool run on files that are cut, corrupt or not files,
// on values cut by their field and on output that cannot be written. Every case ends with its
// message and status 2 (or a complete run with status 0 where nothing is lost), promptly, with
// no crash and no sanitizer report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gridwriter/fixture_writer.h"
#include "netcdf/classic/classic_header.h"
#include "support/classic_end.h"
#include "support/test_env.h"

namespace {

using kavro_test::FixtureSpec;
using kavro_test::read_file;
using kavro_test::TempDir;

struct Outcome {
  int status = -1;
  std::string out, err, log;
};

// The members are public: the catalogue's damage functions use them.
class BadInputTest : public ::testing::Test {
 public:
  void SetUp() override {
    FixtureSpec loc = kavro_test::location_fixture(4, 3);
    FixtureSpec data = kavro_test::sample_grid(4, 3);
    data.vars = kavro_test::numbered_vars(2);
    ASSERT_TRUE(kavro_test::write_fixture(path("stack.nc"), loc));
    ASSERT_TRUE(kavro_test::write_fixture(path("run1.nc"), data));
    ASSERT_TRUE(kavro_test::write_fixture(path("run2.nc"), data));
    env_ = {{"STACK1", path("stack.nc")},
            {"INFILE1", path("run1.nc")},
            {"INFILE2", path("run2.nc")},
            {"LOGFILE", path("run.log")}};
  }
  std::string path(const std::string& name) const { return dir_.file(name); }

  // Runs the tool with the environment as set (std::nullopt: unset); STDOUT names the file
  // standard output goes to, "-" leaves it closed. A run that takes more than 60 s is killed.
  Outcome run(const std::string& stdout_to = "") {
    const std::string out = stdout_to.empty() ? path("stdout.txt") : stdout_to;
    std::vector<std::string> vars;
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "PATH"}) {
      if (const char* v = std::getenv(keep)) vars.push_back(std::string(keep) + "=" + v);
    }
    for (const auto& [k, v] : env_) {
      if (v) vars.push_back(k + "=" + *v);
    }
    std::vector<char*> envp;
    for (std::string& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    const std::string err = path("stderr.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      alarm(60);  // a hang ends as a failure, not as a stuck suite
      const int in = ::open("/dev/null", O_RDONLY);
      dup2(in, 0);
      // Standard error first: with descriptor 1 closed, its file would otherwise take that
      // number and standard output would not be closed at all.
      dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      if (out == "-") {
        ::close(1);
      } else {
        dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      }
      char tool[] = KAVRO_BRINDLEWICK;
      char* argv[] = {tool, nullptr};
      execve(tool, argv, envp.data());
      _exit(127);
    }
    Outcome r;
    int ws = 0;
    waitpid(pid, &ws, 0);
    r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    if (out != "-" && out.rfind("/dev/", 0) != 0) r.out = read_file(out);
    r.err = read_file(err);
    if (env_["LOGFILE"] && *env_["LOGFILE"] != "/dev/null") r.log = read_file(*env_["LOGFILE"]);
    return r;
  }
  // Overwrites the bytes at POS of NAME.
  void patch(const std::string& name, std::size_t pos, const std::string& bytes) {
    std::string b = read_file(path(name));
    b.replace(pos, bytes.size(), bytes);
    kavro_test::write_file(path(name), b);
  }
  static bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  TempDir dir_;
  std::map<std::string, std::optional<std::string>> env_;
};

// Files that the netCDF library would read as zeros, or crash or allocate gigabytes on: each
// is refused by the header check, the run ends with status 2 and the log names the file.
struct FileCase {
  const char* name;
  const char* file;
  std::function<void(BadInputTest&)> damage;
  const char* message;
};

class BadFileTest : public BadInputTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(BadFileTest, RefusedWithStatusTwo) {
  GetParam().damage(*this);
  const Outcome r = run();
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(has(r.log, GetParam().message)) << r.log;
  EXPECT_TRUE(has(r.log, "*** ERROR ABORT in subroutine Brindlewick")) << r.log;
  // One line, and nothing else (no sanitizer report): the file, its path and the cause the
  // log gives.
  EXPECT_EQ(r.err.rfind("brindlewick: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  const std::size_t cause = r.err.find("): ");
  ASSERT_NE(cause, std::string::npos) << r.err;
  EXPECT_TRUE(has(r.log, r.err.substr(cause + 3, r.err.size() - cause - 4))) << r.err;
}

const std::string kRun2Refused = " for file \"INFILE2\"";

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        FileCase{"DataCutInLastRecord", "run2.nc",
                 [](BadInputTest& bt) {
                   ASSERT_EQ(truncate(bt.path("run2.nc").c_str(),
                                      static_cast<off_t>(
                                          kavro_test::classic_data_end(bt.path("run2.nc")) - 3)),
                             0);
                 },
                 "File opening error:  variable V2: data end"},
        FileCase{"LocationCutAfterHeader", "stack.nc",
                 [](BadInputTest& bt) {
                   kavro::detail::classic::Header h;
                   kavro::detail::classic::Problem why;
                   ASSERT_TRUE(kavro::detail::classic::parse_classic_header(
                       bt.path("stack.nc").c_str(), h, why));
                   ASSERT_EQ(
                       truncate(bt.path("stack.nc").c_str(), static_cast<off_t>(h.header_end)), 0);
                 },
                 "File opening error:  variable TFLAG: data end"},
        FileCase{"DimensionCount0x7f0000", "run2.nc",
                 [](BadInputTest& bt) { bt.patch("run2.nc", 12, std::string("\0\x7f\0\0", 4)); },
                 "File opening error:  8323072 dimensions cannot fit in the file for file "
                 "\"INFILE2\""},
        FileCase{"AttributeCount0x3fffffff", "run1.nc",
                 [](BadInputTest& bt) {
                   const std::string b = read_file(bt.path("run1.nc"));
                   bt.patch("run1.nc", b.find("KAVRO_VERSION") + 20,
                            std::string("\x3f\xff\xff\xff", 4));
                 },
                 "File opening error:  global attribute KAVRO_VERSION: 1073741823 bytes of "
                 "values beyond file size"},
        FileCase{"DataFileIsFifo", "run1.nc",
                 [](BadInputTest& bt) {
                   std::remove(bt.path("run1.nc").c_str());
                   ASSERT_EQ(mkfifo(bt.path("run1.nc").c_str(), 0600), 0);
                 },
                 "File opening error:  not a regular file for file \"INFILE1\""},
        FileCase{"DataFileIsDevice", "run1.nc",
                 [](BadInputTest& bt) { bt.env_["INFILE1"] = "/dev/zero"; },
                 "File opening error:  not a regular file for file \"INFILE1\""},
        FileCase{"ValueLongerThanField", "run1.nc",
                 [](BadInputTest& bt) {
                   // The first 512 characters name run2.nc; the whole value names nothing.
                   const std::string p = bt.path("run2.nc");
                   bt.env_["INFILE1"] = p + std::string(512 - p.size(), ' ') + "/other.nc";
                 },
                 "Value of logical name INFILE1 longer than 512 characters: not opened"}),
    [](const ::testing::TestParamInfo<FileCase>& c) { return std::string(c.param.name); });

// A FIFO or a device as the scenario file: start-up neither blocks nor spins, the warning is
// logged and the comparison completes.
TEST_F(BadInputTest, ScenarioFifoAndDeviceDoNotStopTheRun) {
  ASSERT_EQ(mkfifo(path("scenario").c_str(), 0600), 0);
  for (const std::string& scen : {path("scenario"), std::string("/dev/zero")}) {
    std::remove(path("run.log").c_str());
    env_["SCENFILE"] = scen;
    const Outcome r = run();
    EXPECT_EQ(r.status, 0) << scen << r.err;
    EXPECT_TRUE(has(r.log, "Error opening scenario file.  Error number 22")) << r.log;
    EXPECT_TRUE(has(r.log, "--->> Normal Completion of program Brindlewick"));
  }
}

// A LOGFILE value longer than its field: no log at the cut path, status 2.
TEST_F(BadInputTest, LogPathLongerThanFieldStops) {
  const std::string cut = path("cut.log");
  env_["LOGFILE"] = cut + std::string(512 - cut.size(), ' ') + "x";
  const Outcome r = run();
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.out, "Value of LOGFILE longer than 512 characters")) << r.out;
  EXPECT_NE(::access(cut.c_str(), F_OK), 0);
}

// Standard output on a full device with the log on it: nothing can be written, and the run
// says so on standard error with status 2 instead of ending "normally".
TEST_F(BadInputTest, FullStandardOutputIsStatusTwo) {
  env_["LOGFILE"] = std::nullopt;
  const Outcome r = run("/dev/full");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.err, "kavro: XQEXIT: the log could not be written: No space left on device"))
      << r.err;
}

// Standard output closed before the run: it is /dev/null from then on, so the log file never
// takes descriptor 1 and the reports never land in the log. A run with reports (or a log) to
// give to standard output fails as a failed write: status 2, a line on standard error, the
// abort paragraph in a log file. A run with nothing to write there completes.
TEST_F(BadInputTest, ClosedStandardOutputFailsARunThatWritesThere) {
  struct Case {
    const char* what;
    bool log_file;
    bool differences;
    int status;
    const char* err;
  };
  const std::string lost_reports =
      "brindlewick: Could not write the difference reports to standard output\n";
  const std::string lost_log = "kavro: XQEXIT: the log could not be written: Bad file descriptor\n";
  // The reason reaches standard error whatever the log's destination.
  const std::string lost_both = lost_reports + lost_log;
  const Case cases[] = {
      {"log file, reports", true, true, 2, lost_reports.c_str()},
      {"log file, no reports", true, false, 0, ""},
      {"log on standard output, reports", false, true, 2, lost_both.c_str()},
      {"log on standard output, no reports", false, false, 2, lost_log.c_str()},
  };
  FixtureSpec same = kavro_test::sample_grid(4, 3);
  same.vars = kavro_test::numbered_vars(2);
  FixtureSpec changed = same;
  changed.value = [](int, int, int, int, int) { return 7.0; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(kavro_test::write_fixture(path("run2.nc"), c.differences ? changed : same));
    std::remove(path("run.log").c_str());
    env_["LOGFILE"] = c.log_file ? std::optional<std::string>(path("run.log")) : std::nullopt;
    const Outcome r = run("-");
    EXPECT_EQ(r.status, c.status) << r.err;
    // With the log on standard output, the library's line says that all of it was lost.
    EXPECT_EQ(r.err, c.err);
    if (!c.log_file) continue;
    EXPECT_TRUE(has(r.log, c.status == 0 ? "--->> Normal Completion of program Brindlewick"
                                         : "*** ERROR ABORT in subroutine Brindlewick\n"
                                           "     Could not write the difference reports to "
                                           "standard output\n"))
        << r.log;
    // A report's first line is 69 characters of numbers; none is in the log.
    for (std::size_t p = 0; (p = r.log.find('\n', p)) != std::string::npos; ++p) {
      const std::string line = r.log.substr(p + 1, r.log.find('\n', p + 1) - p - 1);
      const bool report = line.size() == 69 &&
                          line.find_first_of("0123456789") != std::string::npos &&
                          line.find_first_not_of(" 0123456789.E+-") == std::string::npos;
      EXPECT_FALSE(report) << line;
    }
  }
}

}  // namespace
