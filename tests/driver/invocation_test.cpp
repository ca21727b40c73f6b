// How a person invokes the tool and learns why a run failed: the file arguments and their
// refusals, and the lines on standard error when the log is a file of its own.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "driver/tool_run.h"
#include "options/file_names.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

constexpr const char* kUsage =
    "; usage: brindlewick [--stack FILE] [OPTION...] [FILE1 FILE2] | --help | --version\n";

class InvocationTest : public BrindlewickTest {
 protected:
  void SetUp() override {
    write("stack.nc", stack());
    write("run1.nc", data());
    FixtureSpec two = data();
    two.value = [](int var, int rec, int lay, int row, int col) {
      return kavro_test::default_value(var, rec, lay, row, col) +
             (var == 1 && row == 2 && col == 3 ? 1 : 0);
    };
    write("run2.nc", two);
  }
  bool log_exists(const std::string& name) { return std::ifstream(path(name)).good(); }
};

// The argument forms: each names the files for this run and compares exactly as the
// environment form does; the same value in the environment is no conflict.
TEST_F(InvocationTest, FileArgumentsNameTheFiles) {
  const RunResult by_env = run({{"LOGFILE", path("env.log")}});
  ASSERT_EQ(by_env.status, 0);
  ASSERT_EQ(cells(reports(by_env)), (std::vector<std::pair<int, int>>{{3, 2}, {3, 2}}));
  struct Case {
    Env env;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {{{"STACK1", std::nullopt}, {"INFILE1", std::nullopt}, {"INFILE2", std::nullopt}},
       {"--stack", path("stack.nc"), path("run1.nc"), path("run2.nc")}},
      {{{"INFILE1", std::nullopt}, {"INFILE2", std::nullopt}}, {path("run1.nc"), path("run2.nc")}},
      {{{"STACK1", std::nullopt}}, {"--stack", path("stack.nc")}},
      {{}, {"--stack", path("stack.nc"), path("run1.nc"), path("run2.nc")}},
      {{{"STACK1", std::nullopt}}, {"--stack=" + path("stack.nc")}},
  };
  int n = 0;
  for (Case c : cases) {
    c.env["LOGFILE"] = path("args" + std::to_string(++n) + ".log");
    const RunResult r = run(c.env, "", c.args);
    EXPECT_EQ(r.status, 0) << n << r.err;
    EXPECT_EQ(r.out, by_env.out) << n;
    EXPECT_EQ(r.err, "") << n;
  }
}

// Arguments that cannot name a run are refused with one line on standard error and status 2,
// before the library starts: nothing on standard output, no log.
TEST_F(InvocationTest, ArgumentRefusals) {
  struct Case {
    Env env;
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{{"INFILE1", "other.nc"}},
       {"--stack", path("stack.nc"), "a.nc", path("run2.nc")},
       "brindlewick: INFILE1 is set to \"other.nc\" in the environment but the argument names "
       "\"a.nc\"; give one or the other\n"},
      {{}, {"--stack"}, std::string("brindlewick: --stack needs a FILE") + kUsage},
      {{}, {"--stack="}, std::string("brindlewick: --stack needs a FILE") + kUsage},
      {{},
       {"a.nc"},
       std::string("brindlewick: two data files are compared, only \"a.nc\" was "
                   "given") +
           kUsage},
      {{},
       {"a.nc", "b.nc", "c.nc"},
       std::string("brindlewick: unexpected argument \"c.nc\"") + kUsage},
      {{},
       {"--stack", "s.nc", "--stack", "t.nc"},
       std::string("brindlewick: unexpected argument \"--stack\"") + kUsage},
      {{}, {"-x", "b.nc"}, std::string("brindlewick: unexpected argument \"-x\"") + kUsage},
  };
  for (const Case& c : cases) {
    const RunResult r = run(c.env, "", c.args);
    EXPECT_EQ(r.status, 2) << c.err;
    EXPECT_EQ(r.out, "") << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(log_exists("run.log")) << c.err;
  }
}

// The reason of every abort reaches standard error as one line, whether the log is a file or
// shares standard output; the log keeps its paragraph.
TEST_F(InvocationTest, AbortReasonOnStandardError) {
  FixtureSpec one_step = data();
  one_step.records = 1;
  write("short.nc", one_step);
  write("wide.nc", data(5, 3));
  struct Case {
    Env env;
    std::string mesg;
  };
  const std::vector<Case> cases = {
      {{{"INFILE2", path("wide.nc")}},
       "Grids differ (columns x rows): \"STACK1\" 4 x 3, \"INFILE1\" 4 x 3, \"INFILE2\" 5 x 3"},
      {{{"BRINDLEWICK_SUMMARY", "maybe"}},
       "Bad value for BRINDLEWICK_SUMMARY: \"maybe\" is not Y or N"},
      // A selection of no step: a wrong year, or 01 taken as 00:00:01.
      {{{"BRINDLEWICK_STEPS", "2023033:000000:2023034:000000"}},
       "BRINDLEWICK_STEPS selects none of the 2 steps of \"INFILE2\", 2024033:000000 to "
       "2024033:010000"},
      {{{"BRINDLEWICK_STEPS", "2024033:000001:2024033:000001"}},
       "BRINDLEWICK_STEPS selects none of the 2 steps of \"INFILE2\", 2024033:000000 to "
       "2024033:010000"},
  };
  int n = 0;
  for (Case c : cases) {
    const std::string log = "abort" + std::to_string(++n) + ".log";
    c.env["LOGFILE"] = path(log);
    const RunResult r = run(c.env);
    EXPECT_EQ(r.status, 2) << c.mesg;
    EXPECT_EQ(r.err, "brindlewick: " + c.mesg + "\n");
    EXPECT_EQ(tail(r.log, 4), abort_end(c.mesg));
    EXPECT_EQ(reports(r), "") << c.mesg;
    c.env["LOGFILE"] = std::nullopt;
    const RunResult shared = run(c.env);
    EXPECT_EQ(shared.status, 2) << c.mesg;
    EXPECT_EQ(shared.err, "brindlewick: " + c.mesg + "\n");
  }
}

// A file that stops the run is named on standard error with its path and the cause the log
// gives; the log keeps its abort text and standard output holds the banner only.
TEST_F(InvocationTest, FileStopLines) {
  FixtureSpec one_step = data();
  one_step.records = 1;
  write("short.nc", one_step);
  FixtureSpec only_v1 = data();
  only_v1.vars = kavro_test::numbered_vars(1);
  write("only_v1.nc", only_v1);
  kavro_test::write_file(path("empty.nc"), "");
  kavro_test::write_file(path("text.nc"), "a text file, not a netCDF file\n");
  // Cut inside its header, as a copy stopped early leaves it.
  kavro_test::write_file(path("cut.nc"), kavro_test::read_file(path("stack.nc")).substr(0, 12));
  ASSERT_EQ(::mkdir(path("adir").c_str(), 0755), 0);
  const std::string kOpen1 = "Could not open file \"INFILE1\" for input";
  // What INFILE1 lacks of INFILE2 still ends the run; the line says how to compare the rest.
  const std::string kHint = " (BRINDLEWICK_ONLY_COMMON=Y compares the rest)";
  const std::string kOpen2 = "Could not open file \"INFILE2\" for input";
  const std::string kRead1 = "Could not read from \"INFILE1\"";
  struct Case {
    Env env;
    std::string err;
    std::string mesg;
  };
  const std::vector<Case> cases = {
      {{{"INFILE2", path("nothere.nc")}},
       "INFILE2 (" + path("nothere.nc") + "): no such file",
       kOpen2},
      {{{"INFILE1", path("adir")}}, "INFILE1 (" + path("adir") + "): not a regular file", kOpen1},
      {{{"INFILE2", path("empty.nc")}},
       "INFILE2 (" + path("empty.nc") + "): not a netCDF file",
       kOpen2},
      {{{"INFILE2", path("text.nc")}},
       "INFILE2 (" + path("text.nc") + "): not a netCDF file",
       kOpen2},
      {{{"STACK1", path("cut.nc")}},
       "STACK1 (" + path("cut.nc") + "): header runs past the end of the file (12 bytes)",
       "Could not open file \"STACK1\" for input"},
      {{{"INFILE1", path("only_v1.nc")}},
       "INFILE1 (" + path("only_v1.nc") + "): variable \"V2\" is not in this file" + kHint,
       kRead1},
      {{{"INFILE1", path("short.nc")}},
       "INFILE1 (" + path("short.nc") + "): step 2024033:010000 is not in this file" + kHint,
       kRead1},
  };
  int n = 0;
  for (Case c : cases) {
    for (const bool log_apart : {true, false}) {
      const std::string log = "stop" + std::to_string(++n) + ".log";
      c.env["LOGFILE"] = log_apart ? std::optional<std::string>(path(log)) : std::nullopt;
      const RunResult r = run(c.env);
      EXPECT_EQ(r.status, 2) << c.err;
      EXPECT_EQ(r.err, "brindlewick: " + c.err + "\n");
      if (log_apart) {
        EXPECT_EQ(tail(r.log, 4), abort_end(c.mesg)) << c.err;
        // Reports written before a read failed stay written; an open failure comes first.
        if (c.mesg != kRead1) EXPECT_EQ(reports(r), "") << c.err;
      } else {
        const std::string end =
            "     *** ERROR ABORT in subroutine Brindlewick\n     " + c.mesg + "\n     \n";
        EXPECT_TRUE(r.out.ends_with(end)) << r.out;
      }
    }
  }
}

// An unset STACK1, INFILE1 or INFILE2 stands for the file of that name in the working
// directory; with none there, the friendlier line, and the usage when nothing names any file.
TEST_F(InvocationTest, UnsetNamesStandForThemselves) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"STACK1", "stack.nc"}, {"INFILE1", "run1.nc"}, {"INFILE2", "run2.nc"}};
  for (const auto& [name, file] : names) {
    for (const bool present : {true, false}) {
      SCOPED_TRACE(name + (present ? " present" : " absent"));
      TempDir here;
      Env env = {{"STACK1", path("stack.nc")},
                 {"INFILE1", path("run1.nc")},
                 {"INFILE2", path("run2.nc")},
                 {"LOGFILE", here.file("run.log")}};
      env[name] = std::nullopt;
      if (present) kavro_test::write_file(here.file(name), kavro_test::read_file(path(file)));
      const RunResult r = run_tool(here, env);
      if (present) {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(tail(r.log, 4), kNormalEnd);
        continue;
      }
      EXPECT_EQ(r.status, 2);
      const std::string give = name == "STACK1" ? "--stack FILE" : "FILE1 FILE2";
      EXPECT_EQ(r.err, "brindlewick: " + name + " is not set and there is no file named " + name +
                           " here (give " + give + ", or set " + name + ")" +
                           (name == "STACK1" ? std::string(brindlewick::kNoStackHint) : "") + "\n");
      EXPECT_EQ(tail(r.log, 4), abort_end("Could not open file \"" + name + "\" for input"));
    }
  }
  // Nothing names any file: the usage follows.
  TempDir empty;
  const RunResult r = run_tool(empty, {{"LOGFILE", empty.file("run.log")}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "brindlewick: STACK1 is not set and there is no file named STACK1 here (give --stack "
            "FILE, or set STACK1); \"brindlewick FILE1 FILE2\" compares two data files without a "
            "location file\nusage: brindlewick [--stack FILE] [OPTION...] [FILE1 FILE2] | --help | "
            "--version\n");
}

// A log file that cannot be opened keeps the library's block on standard output and gets one
// line on standard error with the path and the cause.
TEST_F(InvocationTest, LogFileThatCannotBeOpenedIsSaid) {
  kavro_test::write_file(path("old.log"), "an earlier run\n");
  ASSERT_EQ(::mkdir(path("locked").c_str(), 0555), 0);
  struct Case {
    std::string log;
    std::string cause;
    int status;
  };
  const std::vector<Case> cases = {
      {path("old.log"),
       "exists already; LOGFILE must name a file that does not exist yet (or /dev/null)", 17},
      {path("nofolder/run.log"), "no such folder", 2},
      {path("locked/run.log"), "permission denied", 13},
  };
  for (const Case& c : cases) {
    // The superuser may write anywhere.
    if (c.status == 13 && ::geteuid() == 0) continue;
    const RunResult r = run({{"LOGFILE", c.log}});
    EXPECT_EQ(r.status, 2) << c.log;
    EXPECT_EQ(r.err, "kavro: INITLOG3: log file \"" + c.log + "\": " + c.cause + "\n");
    EXPECT_NE(r.out.find("I/O STATUS =" + std::string(10 - std::to_string(c.status).size(), ' ') +
                         std::to_string(c.status)),
              std::string::npos)
        << r.out;
  }
  EXPECT_EQ(kavro_test::read_file(path("old.log")), "an earlier run\n");
}

// The verdict on standard error, with an optional output set or on exit status 1; none
// without them, and none when the log shares standard output. BRINDLEWICK_SUMMARY puts the
// table of the variables before it.
TEST_F(InvocationTest, VerdictOnStandardError) {
  write("same.nc", data());
  struct Case {
    Env env;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{}, 0, ""},
      {{{"BRINDLEWICK_EXIT_ON_DIFF", "Y"}}, 1, "brindlewick: 2 cells differ in 1 variable\n"},
      {{{"BRINDLEWICK_SUMMARY", "Y"}, {"INFILE2", path("same.nc")}},
       0,
       "brindlewick: variable  compared  differing  largest |diff|  at  layer  col,row  lat,lon  "
       "RMS  first differing\n"
       "brindlewick: V1              24          0            none   -      -        -        -  "
       "  0                -\n"
       "brindlewick: V2              24          0            none   -      -        -        -  "
       "  0                -\n"
       "brindlewick: no differences\n"},

      {{{"BRINDLEWICK_MAX_REPORTS", "0"}}, 0, "brindlewick: 2 cells differ in 1 variable\n"},
      {{{"BRINDLEWICK_EXIT_ON_DIFF", "Y"}, {"LOGFILE", std::nullopt}}, 1, ""},
  };
  int n = 0;
  for (Case c : cases) {
    if (c.env.count("LOGFILE") == 0)
      c.env["LOGFILE"] = path("verdict" + std::to_string(++n) + ".log");
    const RunResult r = run(c.env);
    EXPECT_EQ(r.status, c.status) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
}

// Two data files and no location file: the locations come from INFILE2's grid projection, the
// log says so, and the reports equal, byte for byte, those made with the location file that
// make_stack writes for the grid. A grid type without a mapping is refused with one line; a
// location file still serves it.
TEST_F(InvocationTest, LocationsFromTheGrid) {
  struct Case {
    std::string grid_type;  // as the log names it
    int gdtyp;
    double p_alp, p_bet, p_gam, xcent, ycent, xorig, yorig, xcell, ycell;
  };
  const std::vector<Case> cases = {
      {"2 (Lambert conformal conic)", 2, 30, 60, -90, -90, 40, -2000, -1500, 1000, 1000},
      {"2 (Lambert conformal conic)", 2, 33, 45, -97, -90, 40, -2000, -1500, 1000, 1000},
      {"6 (polar stereographic)", 6, 1, 60, -98, -98, 90, -2e6, -3e6, 12000, 12000},
      {"6 (polar stereographic)", 6, -1, -71, 0, 10, -60, -2000, -1500, 1000, 1000},
      {"1 (latitude-longitude)", 1, 0, 0, 0, 0, 0, -100, 30, 0.5, 0.25},
      {"7 (equatorial Mercator)", 7, 20, 0, -90, -85, 10, -2000, -1500, 1000, 1000},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string k = std::to_string(++n);
    FixtureSpec one = data();
    one.gdtyp = c.gdtyp;
    std::tie(one.p_alp, one.p_bet, one.p_gam, one.xcent, one.ycent) =
        std::tuple(c.p_alp, c.p_bet, c.p_gam, c.xcent, c.ycent);
    std::tie(one.xorig, one.yorig, one.xcell, one.ycell) =
        std::tuple(c.xorig, c.yorig, c.xcell, c.ycell);
    FixtureSpec two = one;
    two.value = [](int var, int rec, int lay, int row, int col) {
      return kavro_test::default_value(var, rec, lay, row, col) + (row == 2 && col == 3 ? 1 : 0);
    };
    write("a" + k + ".nc", one);
    write("b" + k + ".nc", two);
    const Env no_stack = {{"STACK1", std::nullopt},
                          {"INFILE1", std::nullopt},
                          {"INFILE2", std::nullopt},
                          {"LOGFILE", path("grid" + k + ".log")}};
    const RunResult computed = run(no_stack, "", {path("a" + k + ".nc"), path("b" + k + ".nc")});
    ASSERT_EQ(computed.status, 0) << k << computed.err;
    EXPECT_EQ(cells(reports(computed)).size(), 4U) << k;
    EXPECT_NE(std::find(computed.log.begin(), computed.log.end(),
                        "     Locations computed from the grid type " + c.grid_type +
                            " of \"INFILE2\": no location file given"),
              computed.log.end())
        << k;
    const std::string made = path("made" + k + ".nc");
    ASSERT_EQ(std::system((std::string(KAVRO_MAKE_STACK) + " " + path("b" + k + ".nc") + " " +
                           made + " >/dev/null")
                              .c_str()),
              0);
    Env with_stack = no_stack;
    with_stack["LOGFILE"] = path("made" + k + ".log");
    const RunResult from_file =
        run(with_stack, "", {"--stack", made, path("a" + k + ".nc"), path("b" + k + ".nc")});
    EXPECT_EQ(from_file.status, 0) << k << from_file.err;
    EXPECT_EQ(from_file.out, computed.out) << k;
  }
  FixtureSpec general = data();
  general.gdtyp = 3;
  write("general.nc", general);
  const RunResult refused = run({{"STACK1", std::nullopt},
                                 {"INFILE1", std::nullopt},
                                 {"INFILE2", std::nullopt},
                                 {"LOGFILE", path("general.log")}},
                                "", {path("general.nc"), path("general.nc")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err,
            "brindlewick: No locations for the grid type 3 (general Mercator) of \"INFILE2\": "
            "give a location file (--stack FILE)\n");
  const RunResult served =
      run({{"STACK1", std::nullopt},
           {"INFILE1", std::nullopt},
           {"INFILE2", std::nullopt},
           {"LOGFILE", path("served.log")}},
          "", {"--stack", path("stack.nc"), path("general.nc"), path("general.nc")});
  EXPECT_EQ(served.status, 0) << served.err;
}

// A data file that does not open gets one line on standard error with everything it lacks of
// the layout, under the names the file should carry; the log keeps the opener's first message.
TEST_F(InvocationTest, MissingItemsInOneLine) {
  struct Case {
    std::function<void(FixtureSpec&)> change;
    bool drop_tflag;
    std::string gaps;
    std::string first;  // the opener's message (the log ends the first two with a period)
  };
  const std::vector<Case> cases = {
      {[](FixtureSpec& s) { s.drop("VGLVLS"); }, false, "the float attribute VGLVLS",
       "Error reading file attribute VGLVS"},
      {[](FixtureSpec& s) {
         s.drop("FTYPE");
         s.override_attr("VGLVLS", kavro_test::RawAttr::doubles({1, 0}));
       },
       false, "the int attribute FTYPE and the float attribute VGLVLS",
       "Error reading netCDF file attribute FTYPE"},
      {[](FixtureSpec& s) {
         s.drop("GDNAM");
         s.vars[0].has_units = false;
       },
       true, "the variable TFLAG, the text attribute GDNAM, and units on V1",
       "Error reading file attribute GDNAM"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string file = path("gap" + std::to_string(++n) + ".nc");
    FixtureSpec s = data();
    c.change(s);
    ASSERT_TRUE(kavro_test::write_fixture(file, s));
    if (c.drop_tflag) {
      int ncid = 0, varid = 0;
      ASSERT_EQ(nc_open(file.c_str(), NC_WRITE, &ncid), NC_NOERR);
      ASSERT_EQ(nc_redef(ncid), NC_NOERR);
      ASSERT_EQ(nc_inq_varid(ncid, "TFLAG", &varid), NC_NOERR);
      ASSERT_EQ(nc_rename_var(ncid, varid, "FLAGS"), NC_NOERR);
      ASSERT_EQ(nc_close(ncid), NC_NOERR);
    }
    const RunResult r =
        run({{"INFILE1", file}, {"LOGFILE", path("gap" + std::to_string(n) + ".log")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "brindlewick: " + file + " lacks " + c.gaps + "\nbrindlewick: INFILE1 (" +
                         file + "): " + c.first + ": Attribute not found\n");
    // The log's own text, a period after the first two.
    const std::string logged = "     " + c.first + (n < 3 ? "." : "");
    EXPECT_TRUE(std::find(r.log.begin(), r.log.end(), logged) != r.log.end()) << logged;
  }
}

}  // namespace
