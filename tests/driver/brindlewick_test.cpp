// The built tool, run in a child process on files from the fixture writer: its standard
// output, its log and its exit status.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/state.h"
#include "driver/tool_run.h"
#include "kavro/kavro.h"
#include "kavro/version.h"
#include "options/command_line.h"
#include "support/test_env.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

// Two identical data files: nothing reported, normal completion, status 0.
TEST_F(BrindlewickTest, IdenticalFilesReportNothing) {
  write("stack.nc", stack());
  write("run1.nc", data());
  write("run2.nc", data());
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(reports(r), "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

// A file this library created (from the description of a fixture file, its records then
// filled with the raw netCDF API) compares as equal to that fixture from either side.
TEST_F(BrindlewickTest, FileCreatedByTheLibraryAsEitherInput) {
  write("stack.nc", stack());
  const FixtureSpec fx = data();
  write("run1.nc", fx);
  {
    kavro_test::ScopedEnv log("LOGFILE", path("create.log"));
    kavro_test::ScopedEnv source("SOURCE", path("run1.nc"));
    kavro_test::ScopedEnv made("MADE", path("made.nc"));
    kavro::test_hooks::reset_state();
    ASSERT_TRUE(kavro::OPEN3("SOURCE", kavro::FSREAD3, "TEST"));
    ASSERT_TRUE(kavro::DESC3("SOURCE"));
    ASSERT_TRUE(kavro::OPEN3("MADE", kavro::FSNEW3, "TEST"))
        << kavro_test::read_file(path("create.log"));
    ASSERT_TRUE(kavro::SHUT3());
    kavro::test_hooks::reset_state();
  }
  int ncid = 0, tflag = 0;
  ASSERT_EQ(nc_open(path("made.nc").c_str(), NC_WRITE, &ncid), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(ncid, "TFLAG", &tflag), NC_NOERR);
  for (int rec = 0; rec < 2; ++rec) {
    const auto [date, time] = kavro_test::step_date_time(fx, rec);
    for (int v = 1; v <= 2; ++v) {
      int varid = 0;
      ASSERT_EQ(nc_inq_varid(ncid, ("V" + std::to_string(v)).c_str(), &varid), NC_NOERR);
      const int pair[2] = {date, time};
      const std::size_t fstart[3] = {std::size_t(rec), std::size_t(v - 1), 0};
      const std::size_t fcount[3] = {1, 1, 2};
      ASSERT_EQ(nc_put_vara_int(ncid, tflag, fstart, fcount, pair), NC_NOERR);
      std::vector<float> values;
      for (int row = 1; row <= 3; ++row) {
        for (int col = 1; col <= 4; ++col) {
          values.push_back(float(kavro_test::expected_value(fx, v, rec + 1, 1, row, col)));
        }
      }
      const std::size_t start[4] = {std::size_t(rec), 0, 0, 0};
      const std::size_t count[4] = {1, 1, 3, 4};
      ASSERT_EQ(nc_put_vara_float(ncid, varid, start, count, values.data()), NC_NOERR);
    }
  }
  ASSERT_EQ(nc_close(ncid), NC_NOERR);
  for (const auto& [one, two] :
       {std::pair{"made.nc", "run1.nc"}, std::pair{"run1.nc", "made.nc"}}) {
    const RunResult r = run({{"INFILE1", path(one)},
                             {"INFILE2", path(two)},
                             {"LOGFILE", path(std::string(one) + ".log")}});
    EXPECT_EQ(r.status, 0) << kavro_test::read_file(path(std::string(one) + ".log"));
    EXPECT_EQ(reports(r), "");
  }
}

// A file list as either input: two members of two steps each against one file of four
// steps. Identical data reports nothing; a cell changed in the second member is reported at
// its own step, the third.
TEST_F(BrindlewickTest, FileListAsEitherInput) {
  write("stack.nc", stack());
  FixtureSpec whole = data();
  whole.records = 4;
  write("whole.nc", whole);
  auto part = [](int first_step, bool changed) {
    FixtureSpec p = data();
    p.records = 2;
    const auto [date, time] = kavro_test::step_date_time(data(), first_step);
    p.sdate = date;
    p.stime = time;
    p.value = [first_step, changed](int var, int rec, int lay, int row, int col) {
      const double v = kavro_test::default_value(var, rec + first_step, lay, row, col);
      return changed && var == 1 && rec == 1 && row == 2 && col == 3 ? v + 1 : v;
    };
    return p;
  };
  write("p1.nc", part(0, false));
  write("p2.nc", part(2, false));
  write("p2x.nc", part(2, true));
  const Env members = {{"P1", path("p1.nc")}, {"P2", path("p2.nc")}, {"P2X", path("p2x.nc")}};
  Env same = members;
  same["INFILE1"] = "LIST:P1,P2";
  same["INFILE2"] = path("whole.nc");
  RunResult r = run(same);
  EXPECT_EQ(r.status, 0) << kavro_test::read_file(path("run.log"));
  EXPECT_EQ(reports(r), "");
  Env changed = members;
  changed["INFILE1"] = path("whole.nc");
  changed["INFILE2"] = "LIST:P1,P2X";
  changed["LOGFILE"] = path("run2.log");
  r = run(changed);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{3, 2}}));
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

// A variable differing in every cell: columns outer, rows inner, at every step.
TEST_F(BrindlewickTest, EveryCellInColumnOrder) {
  write("stack.nc", stack());
  write("run1.nc", data());
  FixtureSpec two = data();
  two.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) + (var == 2 ? 0.5 : 0.0);
  };
  write("run2.nc", two);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  std::vector<std::pair<int, int>> one_step;
  for (int c = 1; c <= 4; ++c) {
    for (int row = 1; row <= 3; ++row) one_step.emplace_back(c, row);
  }
  std::vector<std::pair<int, int>> expected = one_step;
  expected.insert(expected.end(), one_step.begin(), one_step.end());
  EXPECT_EQ(cells(reports(r)), expected);
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

// The cell's own rule: NaN against NaN reported at every step; +0 against -0, a subnormal
// against zero and against another subnormal are not.
TEST_F(BrindlewickTest, NanSignedZeroAndSubnormals) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double sub = std::numeric_limits<float>::denorm_min();
  auto with = [&](bool second) {
    FixtureSpec s = data();
    s.value = [=](int var, int rec, int lay, int row, int col) {
      if (var == 1 && row == 2 && col == 3) return nan;
      if (var == 1 && row == 1 && col == 1) return second ? -0.0 : 0.0;
      if (var == 2 && row == 3 && col == 4) return second ? sub : 0.0;
      if (var == 2 && row == 1 && col == 2) return second ? 5 * sub : 2 * sub;
      return kavro_test::default_value(var, rec, lay, row, col);
    };
    return s;
  };
  write("stack.nc", stack());
  write("run1.nc", with(false));
  write("run2.nc", with(true));
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{3, 2}, {3, 2}}));
  // The same with INFILE1 read through the netCDF library (a volatile file) and INFILE2
  // directly: values in two byte orders compare alike.
  const RunResult mixed =
      run({{"INFILE1", path("run1.nc") + " -v"}, {"LOGFILE", path("mixed.log")}});
  EXPECT_EQ(mixed.status, 0);
  EXPECT_EQ(reports(mixed), reports(r));
}

// INTEGER and DOUBLE variables compare in their own types.
TEST_F(BrindlewickTest, IntegerAndDoubleVariables) {
  auto with = [](double delta) {
    FixtureSpec s = data();
    s.vars = {variable("COUNT", kavro_test::kInt), variable("MASS", kavro_test::kDouble)};
    s.value = [=](int var, int rec, int, int row, int col) {
      if (var == 1) return double(rec * 100 + row * 10 + col) + (row == 3 && col == 1 ? delta : 0);
      return 1.0 + (row == 1 && col == 4 ? delta * 1e-12 : 0.0);
    };
    return s;
  };
  write("stack.nc", stack());
  write("run1.nc", with(0));
  write("run2.nc", with(1));
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{1, 3}, {1, 3}, {4, 1}, {4, 1}}));
}

// Layer outermost, then columns, then rows; every layer reports layer-1 locations, also
// from a location file with two layers.
TEST_F(BrindlewickTest, MultiLayerPair) {
  FixtureSpec locations = stack();
  locations.nlays = 2;
  const kavro_test::ValueFn layer1 = locations.value;
  locations.value = [layer1](int v, int rec, int lay, int row, int col) {
    return layer1(v, rec, lay, row, col) + (lay == 2 ? 100.0 : 0.0);
  };
  write("stack.nc", locations);
  write("run1.nc", data(4, 3, 2));
  FixtureSpec two = data(4, 3, 2);
  two.records = 1;
  two.vars = kavro_test::numbered_vars(1);
  two.value = [](int var, int rec, int lay, int row, int col) {
    const bool changed = (lay == 2 && col == 1 && row == 1) || (lay == 1 && col == 4 && row == 3);
    return kavro_test::default_value(var, rec, lay, row, col) + (changed ? 1.0 : 0.0);
  };
  write("run2.nc", two);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  const std::string out = reports(r);
  EXPECT_EQ(cells(out), (std::vector<std::pair<int, int>>{{4, 3}, {1, 1}}));
  EXPECT_EQ(out.substr(24, 15), "   41.50000    ");  // latitude of (4, 3) in layer 1
  EXPECT_EQ(out.find("141.5"), std::string::npos);
}

// MXREC3D 0: nothing read, nothing reported, status 0.
TEST_F(BrindlewickTest, NoRecords) {
  write("stack.nc", stack());
  FixtureSpec empty = data();
  empty.records = 0;
  write("run1.nc", empty);
  write("run2.nc", empty);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(reports(r), "");
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

// A time-independent INFILE2: its one record compared once per step.
TEST_F(BrindlewickTest, TimeIndependentFiles) {
  write("stack.nc", stack());
  FixtureSpec one = data();
  one.tstep = 0;
  one.sdate = 0;
  write("run1.nc", one);
  one.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) + (row == 2 && col == 2 ? 1 : 0);
  };
  write("run2.nc", one);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{2, 2}, {2, 2}}));
}

// An INFILE2 with a negative time step keeps two records; its steps advance by the step's
// magnitude, so both records are compared.
TEST_F(BrindlewickTest, NegativeTimeStepAdvancesInTime) {
  write("stack.nc", stack());
  FixtureSpec two = data();
  two.tstep = -10000;
  write("run1.nc", two);
  two.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) +
           (rec == 2 && var == 1 && row == 3 && col == 1 ? 1 : 0);
  };
  write("run2.nc", two);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{1, 3}}));
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

// INFILE1 lacking INFILE2's second step: the first step's reports, then the read message.
TEST_F(BrindlewickTest, MissingStepEndsAfterEarlierReports) {
  write("stack.nc", stack());
  FixtureSpec one = data();
  one.records = 1;
  write("run1.nc", one);
  FixtureSpec two = data();
  two.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) + (row == 1 && col == 2 ? 1 : 0);
  };
  write("run2.nc", two);
  const RunResult r = run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{2, 1}}));
  EXPECT_EQ(tail(r.log, 4), abort_end("Could not read from \"INFILE1\""));
}

// With the log on standard output, the reports come before the abort paragraph.
TEST_F(BrindlewickTest, ReportsPrecedeTheLogOnSharedOutput) {
  write("stack.nc", stack());
  FixtureSpec one = data();
  one.vars = kavro_test::numbered_vars(1);
  write("run1.nc", one);
  FixtureSpec two = data();
  two.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) + (row == 3 && col == 3 ? 1 : 0);
  };
  write("run2.nc", two);
  const RunResult r = run({{"LOGFILE", std::nullopt}});
  EXPECT_EQ(r.status, 2);
  const std::string end =
      "     *** ERROR ABORT in subroutine Brindlewick\n"
      "     Could not read from \"INFILE1\"\n     \n";
  ASSERT_GE(r.out.size(), end.size());
  EXPECT_EQ(r.out.substr(r.out.size() - end.size()), end);
  // Both steps of V1 reported, both before the read warning about V2.
  const std::size_t first = r.out.find("           3           3");
  const std::size_t second = r.out.find("           3           3", first + 1);
  const std::size_t warning = r.out.find("Requested variable \"V2\" not available");
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(warning, std::string::npos);
  EXPECT_LT(second, warning);
}

// Report lines byte for byte: magnitudes and signs of the REALs, the INTEGERs, and the grid
// indices (a location half a cell left of the origin is grid column 0; without a cell size
// there is no grid index and -9999 is printed).
TEST_F(BrindlewickTest, ReportLinesByteForByte) {
  FixtureSpec locations = stack(2, 1);
  locations.value = [](int v, int, int, int, int col) {
    const double first[] = {0.1, 1e7, -7, 123456789, -2500.0, -1500.0};
    const double second[] = {-45.25, 9999999.0, 2, 1, 0.0625, -0.001};
    return (col == 1 ? first : second)[v - 1];
  };
  write("stack.nc", locations);
  // Four steps of two differing cells: from the third on, the run has reported more than the
  // grid's cells and keeps the texts (formatted in the third, copied in the fourth).
  FixtureSpec one = data(2, 1);
  one.records = 4;
  one.vars = kavro_test::numbered_vars(1);
  write("run1.nc", one);
  one.value = [](int, int, int, int, int) { return -1.0; };
  write("run2.nc", one);
  const std::string lines =
      "           1           1  0.1000000      1.0000000E+07  -2500.000    \n"
      "  -1500.000              -7   123456789           0           0\n"
      "           2           1  -45.25000       9999999.      6.2500000E-02\n"
      " -1.0000000E-03           2           1           2           1\n";
  RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(reports(r), lines + lines + lines + lines);

  std::remove(path("run.log").c_str());
  one.ycell = 0.0;
  write("run2.nc", one);
  r = run();
  EXPECT_EQ(r.status, 0);
  const std::string no_index =
      "           1           1  0.1000000      1.0000000E+07  -2500.000    \n"
      "  -1500.000              -7   123456789           0       -9999\n"
      "           2           1  -45.25000       9999999.      6.2500000E-02\n"
      " -1.0000000E-03           2           1           2       -9999\n";
  EXPECT_EQ(reports(r), no_index + no_index + no_index + no_index);
}

// Arrays that cannot be allocated stop the run with one line on standard error and status 2.
// The location file is 8192 x 8192 without records (nothing on disk); the child may not map
// its six 256 MB arrays: address space is limited, or the sanitizer's allocator refuses.
TEST_F(BrindlewickTest, AllocationFailureStopsWithStatusTwo) {
  FixtureSpec big = stack(8192, 8192);
  big.tstep = 10000;
  big.sdate = 2024033;
  big.records = 0;
  write("stack.nc", big);
  write("run1.nc", data());
  write("run2.nc", data());
#if defined(__SANITIZE_ADDRESS__)
  RunResult r = run({{"ASAN_OPTIONS", "allocator_may_return_null=1:max_allocation_size_mb=100"}});
  // The sanitizer announces the refusal on standard error first.
  r.err = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
#else
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = rlim_t{1} << 30;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &low), 0);
  const RunResult r = run();
  ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
#endif
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error allocating arrays\n");
  EXPECT_EQ(reports(r), "");
  for (const std::string& line : r.log) EXPECT_EQ(line.find("ERROR ABORT"), std::string::npos);
}

// Reports that cannot be written are a failure, not a silent loss.
TEST_F(BrindlewickTest, UnwritableOutputEndsWithStatusTwo) {
  write("stack.nc", stack());
  write("run1.nc", data());
  FixtureSpec two = data();
  two.value = [](int var, int rec, int lay, int row, int col) {
    return kavro_test::default_value(var, rec, lay, row, col) + 1.0;
  };
  write("run2.nc", two);
  const RunResult r = run({}, "/dev/full");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(tail(r.log, 4), abort_end("Could not write the difference reports to standard output"));
}

// Open failures name the trimmed logical name, an unset one (with no file of its name) too.
TEST_F(BrindlewickTest, MissingFilesAndUnsetNames) {
  write("stack.nc", stack());
  write("run1.nc", data());
  const std::pair<Env, std::string> cases[] = {
      {{{"STACK1", path("absent.nc")}}, "Could not open file \"STACK1\" for input"},
      {{{"STACK1", std::nullopt}}, "Could not open file \"STACK1\" for input"},
      {{{"INFILE1", path("absent.nc")}}, "Could not open file \"INFILE1\" for input"},
      {{{"INFILE2", std::nullopt}}, "Could not open file \"INFILE2\" for input"},
  };
  for (const auto& [env, mesg] : cases) {
    std::remove(path("run.log").c_str());
    const RunResult r = run(env);
    EXPECT_EQ(r.status, 2) << mesg;
    EXPECT_EQ(tail(r.log, 4), abort_end(mesg));
  }
}

// Files that do not fit together end the run before anything is compared.
TEST_F(BrindlewickTest, MismatchedFilesEndWithStatusTwo) {
  FixtureSpec real_col = stack();
  real_col.vars[2].type = kavro_test::kReal;
  FixtureSpec boundary = data();
  boundary.ftype = kavro_test::kBndary;
  FixtureSpec doubles = data();
  doubles.vars[1].type = kavro_test::kDouble;
  struct Case {
    FixtureSpec stack, one, two;
    std::string mesg;
  };
  const Case cases[] = {
      {stack(), data(), data(5, 3),
       "Grids differ (columns x rows): \"STACK1\" 4 x 3, \"INFILE1\" 4 x 3, \"INFILE2\" 5 x 3"},
      {stack(5, 3), data(), data(),
       "Grids differ (columns x rows): \"STACK1\" 5 x 3, \"INFILE1\" 4 x 3, \"INFILE2\" 4 x 3"},
      {stack(), data(4, 3, 2), data(), "Layers differ: \"INFILE1\" has 2, \"INFILE2\" has 1"},
      {stack(), boundary, data(), "File \"INFILE1\" is not a gridded file: file type 2"},
      {real_col, data(), data(), "Variable \"COL\" of \"STACK1\" must be INTEGER but is REAL"},
      {stack(), data(), doubles,
       "Variable \"V2\" is REAL in \"INFILE1\" but DOUBLE in \"INFILE2\""},
  };
  for (const Case& c : cases) {
    for (const char* f : {"stack.nc", "run1.nc", "run2.nc", "run.log"})
      std::remove(path(f).c_str());
    write("stack.nc", c.stack);
    write("run1.nc", c.one);
    write("run2.nc", c.two);
    const RunResult r = run();
    EXPECT_EQ(r.status, 2) << c.mesg;
    EXPECT_EQ(tail(r.log, 4), abort_end(c.mesg));
  }
}

}  // namespace

// --help and --version answer before the library starts: status 0, their text alone on
// standard output, no banner, no log.
TEST_F(BrindlewickTest, HelpAndVersionOpenNothing) {
  write("stack.nc", stack());
  write("run1.nc", data());
  write("run2.nc", data());

  RunResult r = run({}, "", {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, brindlewick::help_text());
  EXPECT_EQ(r.out.rfind("Usage: brindlewick [--stack FILE] [OPTION...] FILE1 FILE2\n", 0), 0u);
  EXPECT_EQ(run({}, "", {"-h"}).out, r.out);
  for (const char* name : {"STACK1", "INFILE1, INFILE2", "LOGFILE", "SCENFILE", "EXECUTION_ID",
                           "KAVRO_CHECK_HEADERS", "KAVRO_DIRECT_READ", "Exit status:", "  0  ",
                           "  2  ", "Examples:", "--stack FILE", "BRINDLEWICK_FORMAT=labelled",
                           "BRINDLEWICK_VARIABLES", "BRINDLEWICK_STEPS", "BRINDLEWICK_NAN_EQUAL",
                           "--abs-tol X, BRINDLEWICK_ABS_TOL=X", "--tolerances FILE", "netCDF-4"}) {
    EXPECT_NE(r.out.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(std::ifstream(path("run.log")).good());

  r = run({}, "", {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "brindlewick " KAVRO_VERSION_STRING "\nkavro library " KAVRO_VERSION_STRING
                   "\nnetCDF library " +
                       std::string(kavro::first_word(nc_inq_libvers())) + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(std::ifstream(path("run.log")).good());

  // A text that cannot be written is a failure.
  r = run({}, "/dev/full", {"--help"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "brindlewick: could not write to standard output\n");
}

// Any other argument: one line on standard error, status 2, nothing on standard output and no
// file touched, not even the log; the files are never looked at.
TEST_F(BrindlewickTest, OtherArgumentsAreRefusedBeforeAnyFile) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-H"}, "-H"},
      {{"--HELP"}, "--HELP"},
      {{"--help", "--version"}, "--version"},
      {{"--version", "x"}, "x"},
      {{""}, ""},
      {{"-h", "stack.nc"}, "stack.nc"},
      {{"a\nb\tc", "x", "y"}, "y"},
      {{"-a\nb\tc"}, "-a?b?c"},
  };
  for (const auto& [args, shown] : cases) {
    const RunResult r = run({}, "", args);
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err,
              "brindlewick: unexpected argument \"" + shown +
                  "\"; usage: brindlewick [--stack FILE] [OPTION...] [FILE1 FILE2] | --help | "
                  "--version\n");
    EXPECT_FALSE(std::ifstream(path("run.log")).good()) << shown;
  }
}

namespace {

// A native binary copy BIN of the netCDF file NC, written in this process with the library's
// own writer (CRTBIN3, WRBVARS, WRBFLAG); CHANGE may alter a step's values of a variable
// first. Only REAL variables are copied.
void binary_copy(const std::string& nc, const std::string& bin,
                 const std::function<void(int step, int var, std::vector<float>&)>& change = {}) {
  using namespace kavro;
  kavro_test::ScopedEnv log("LOGFILE", "/dev/null");
  kavro_test::ScopedEnv source("SOURCE", nc);
  test_hooks::reset_state();
  ASSERT_TRUE(OPEN3("SOURCE", FSREAD3, "copy"));
  ASSERT_TRUE(DESC3("SOURCE"));
  const int fid = MXOPEN3;
  state().c.FLNAME3(fid) = "COPY";
  state().b.NCID3(fid) = BINFIL3;
  ASSERT_EQ(CRTBIN3(bin.c_str(), fid, "copy"), 1);
  const std::size_t n = std::size_t(BDESC3.NCOLS3D * BDESC3.NROWS3D * BDESC3.NLAYS3D);
  int date = BDESC3.SDATE3D;
  int time = BDESC3.STIME3D;
  for (int step = 1; step <= BDESC3.MXREC3D; ++step) {
    for (int v = 1; v <= BDESC3.NVARS3D; ++v) {
      std::vector<float> values(n);
      const std::string name(CDESC3.VNAME3D[std::size_t(v - 1)].trimmed());
      ASSERT_TRUE(READ3("SOURCE", name, ALLAYS3, date, time, values.data()));
      if (change) change(step, v, values);
      const int flags[2] = {date, time};
      ASSERT_EQ(WRBVARS(fid, v, step, values.data()), 1);
      ASSERT_EQ(WRBFLAG(fid, v, step, flags), 1);
    }
    NEXTIME(date, time, BDESC3.TSTEP3D);
  }
  ASSERT_EQ(CLOSEBIN3(fid), 1);
  SHUT3();
  test_hooks::reset_state();
}

// A native binary copy compares clean against its original, either way round.
TEST_F(BrindlewickTest, NativeBinaryCopyReportsNothing) {
  write("stack.nc", stack());
  write("run1.nc", data());
  binary_copy(path("run1.nc"), path("run1.bin"));
  const RunResult r = run({{"INFILE2", "BIN:" + path("run1.bin")}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(reports(r), "");
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
  const RunResult back = run({{"INFILE1", "BIN:" + path("run1.bin")},
                              {"INFILE2", path("run1.nc")},
                              {"LOGFILE", path("back.log")}});
  EXPECT_EQ(back.status, 0);
  EXPECT_EQ(reports(back), "");
}

// One cell changed in the binary copy is the one cell reported.
TEST_F(BrindlewickTest, NativeBinaryChangedCellIsReported) {
  write("stack.nc", stack());
  write("run2.nc", data());
  binary_copy(path("run2.nc"), path("run1.bin"), [](int step, int var, std::vector<float>& v) {
    if (step == 2 && var == 2) v[(2 - 1) * 4 + (3 - 1)] += 1.0F;  // column 3, row 2
  });
  const RunResult r = run({{"INFILE1", "BIN:" + path("run1.bin")}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(cells(reports(r)), (std::vector<std::pair<int, int>>{{3, 2}}));
  EXPECT_EQ(tail(r.log, 4), kNormalEnd);
}

}  // namespace
