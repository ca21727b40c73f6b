// How a person invokes the tool and learns why a run failed: the file arguments and their
// refusals, and the lines on standard error when the log is a file of its own.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "driver/tool_run.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

constexpr const char* kUsage =
    "; usage: brindlewick [--stack FILE] [FILE1 FILE2] | --help | --version\n";

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

// With the log in a file, the reason of every abort reaches standard error as one line; the
// log keeps its paragraph. On standard output the log already says it: nothing more is added.
TEST_F(InvocationTest, AbortReasonOnStandardError) {
  FixtureSpec one_step = data();
  one_step.records = 1;
  write("short.nc", one_step);
  write("wide.nc", data(5, 3));
  struct Case {
    Env env;
    std::string mesg;
    std::string hint = "";  // on standard error only
  };
  const std::vector<Case> cases = {
      {{{"STACK1", std::nullopt}},
       "STACK1 is not set",
       "; \"brindlewick FILE1 FILE2\" compares two data files without a location file"},
      {{{"INFILE2", std::nullopt}}, "INFILE2 is not set"},
      {{{"INFILE1", path("absent.nc")}}, "Could not open file \"INFILE1\" for input"},
      {{{"INFILE1", path("short.nc")}}, "Could not read from \"INFILE1\""},
      {{{"INFILE2", path("wide.nc")}},
       "Grids differ (columns x rows): \"STACK1\" 4 x 3, \"INFILE1\" 4 x 3, \"INFILE2\" 5 x 3"},
      {{{"BRINDLEWICK_SUMMARY", "maybe"}}, "Bad value for BRINDLEWICK_SUMMARY: Y or N"},
  };
  int n = 0;
  for (Case c : cases) {
    const std::string log = "abort" + std::to_string(++n) + ".log";
    c.env["LOGFILE"] = path(log);
    const RunResult r = run(c.env);
    EXPECT_EQ(r.status, 2) << c.mesg;
    EXPECT_EQ(r.err, "brindlewick: " + c.mesg + c.hint + "\n");
    EXPECT_EQ(tail(r.log, 4), abort_end(c.mesg));
    c.env["LOGFILE"] = std::nullopt;
    const RunResult shared = run(c.env);
    EXPECT_EQ(shared.status, 2) << c.mesg;
    EXPECT_EQ(shared.err, "") << c.mesg;
  }
  // An unset name is not looked for as a file of that name.
  const RunResult r = run({{"STACK1", std::nullopt}, {"LOGFILE", path("unset.log")}});
  for (const std::string& line : r.log) {
    EXPECT_EQ(line.find("File not available"), std::string::npos) << line;
  }
}

// A log file that exists already is said on standard error; the library then refuses it.
TEST_F(InvocationTest, ExistingLogFileIsSaid) {
  kavro_test::write_file(path("old.log"), "an earlier run\n");
  const RunResult r = run({{"LOGFILE", path("old.log")}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "brindlewick: log file \"" + path("old.log") +
                       "\" exists already; LOGFILE must name a file that does not exist yet (or "
                       "/dev/null)\n");
  EXPECT_EQ(kavro_test::read_file(path("old.log")), "an earlier run\n");
}

// The verdict on standard error, with an optional output set or on exit status 1; none
// without them, and none when the log shares standard output.
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
    std::string first;  // the opener's message in the log
  };
  const std::vector<Case> cases = {
      {[](FixtureSpec& s) { s.drop("VGLVLS"); }, false, "the float attribute VGLVLS",
       "Error reading file attribute VGLVS."},
      {[](FixtureSpec& s) {
         s.drop("FTYPE");
         s.override_attr("VGLVLS", kavro_test::RawAttr::doubles({1, 0}));
       },
       false, "the int attribute FTYPE and the float attribute VGLVLS",
       "Error reading netCDF file attribute FTYPE."},
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
    EXPECT_EQ(r.err, "brindlewick: " + file + " lacks " + c.gaps +
                         "\nbrindlewick: Could not open file \"INFILE1\" for input\n");
    EXPECT_TRUE(std::find(r.log.begin(), r.log.end(), "     " + c.first) != r.log.end()) << c.first;
  }
}

}  // namespace
