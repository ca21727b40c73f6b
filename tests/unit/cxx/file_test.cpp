// The C++ interface on files written by the independent fixture writer: ownership (the file
// closed when the object goes, moves), the description as a value, the steps, reads checked
// against the variable's type, and failures raised as Error with the routine and the log's
// reason.
#include "kavro/file.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/syscalls.h"
#include "gridwriter/fixture_writer.h"
#include "kavro/core.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

using kavro::Error;
using kavro::File;
using kavro::Step;

static_assert(!std::is_copy_constructible_v<File> && !std::is_copy_assignable_v<File>);
static_assert(std::is_nothrow_move_constructible_v<File> &&
              std::is_nothrow_move_assignable_v<File>);

// A call that must raise an Error, and the Error's what().
struct Refusal {
  std::function<void()> call;
  std::string what;
};

void expect_refusals(std::span<const Refusal> cases) {
  for (const Refusal& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error for " << c.what;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), c.what);
    }
  }
}

class FileTest : public LibraryTest {
 protected:
  // A 3 x 2 grid of 4 layers, three hourly records, one variable of each type.
  static FixtureSpec grid() {
    FixtureSpec s;
    s.ncols = 3;
    s.nrows = 2;
    s.nlays = 4;
    s.records = 3;
    s.vars = {described_var("O3", kReal, "ppmV", "ozone"),
              described_var("COUNT", kInt, "1", "a count"),
              described_var("TEMP", kDouble, "K", "temperature")};
    return s;
  }

  std::string write(const FixtureSpec& fx, const std::string& name = "grid.nc") {
    const std::string path = dir().file(name);
    EXPECT_TRUE(write_fixture(path, fx));
    return path;
  }

  // Expected values of variable VAR (1-based) for layer LAY (or every layer, 0) of record REC.
  static std::vector<double> expected(const FixtureSpec& fx, int var, int rec, int lay) {
    std::vector<double> out;
    for (int l = lay == 0 ? 1 : lay; l <= (lay == 0 ? fx.nlays : lay); ++l) {
      for (int r = 1; r <= fx.nrows; ++r) {
        for (int c = 1; c <= fx.ncols; ++c) out.push_back(expected_value(fx, var, rec, l, r, c));
      }
    }
    return out;
  }

  template <typename T>
  static std::vector<double> as_doubles(const std::vector<T>& v) {
    return std::vector<double>(v.begin(), v.end());
  }
};

// Steps compare by date, then time, and step with the model calendar.
TEST_F(FileTest, StepsCompareAndAdvance) {
  EXPECT_LT((Step{2024033, 230000}), (Step{2024034, 0}));
  EXPECT_LT((Step{2024033, 10000}), (Step{2024033, 20000}));
  EXPECT_EQ((Step{2024366, 230000}.next(10000)), (Step{2025001, 0}));
  EXPECT_EQ((Step{2024001, 0}.next(-10000)), (Step{2023365, 230000}));
  Step s{2024033, 0};
  s.advance(30000).advance(30000);
  EXPECT_EQ(s, (Step{2024033, 60000}));
}

// The description comes back as a value: type, grid, projection, time axis, levels and the
// variables with their units, descriptions and types; the steps are the file's records.
TEST_F(FileTest, DescribesFileAndListsSteps) {
  const FixtureSpec fx = grid();
  File f = File::open_path(write(fx));
  const kavro::Description d = f.description();
  EXPECT_EQ(d.file_type, kavro::GRDDED3);
  EXPECT_EQ(d.grid, (kavro::Grid{"FIXTURE_GRID", 3, 2, 1, -120000, -60000, 12000, 12000}));
  EXPECT_EQ(d.projection, (kavro::Projection{2, 30, 60, -90, -90, 40}));
  EXPECT_EQ(d.time, (kavro::TimeAxis{{2024033, 0}, 10000, 3}));
  EXPECT_EQ(d.vertical.layers, 4);
  EXPECT_EQ(d.vertical.levels, (std::vector<float>{1.0F, 0.75F, 0.5F, 0.25F, 0.0F}));
  ASSERT_EQ(d.variables.size(), 3U);
  EXPECT_EQ(d.variables[0], (kavro::Variable{"O3", "ppmV", "ozone", kavro::ValueType::real}));
  EXPECT_EQ(d.variables[1].type, kavro::ValueType::integer);
  EXPECT_EQ(d.variables[2].type, kavro::ValueType::double_precision);
  EXPECT_EQ(d.lines, (std::vector<std::string>{"Fixture file written with the raw netCDF C API"}));
  EXPECT_EQ(f.steps(), (std::vector<Step>{{2024033, 0}, {2024033, 10000}, {2024033, 20000}}));
}

// The steps a file holds now: every record of a positive step, the start of a time-independent
// file, and for a negative step those whose flags its two records hold (written step by step,
// step n into record 1 or 2 in turn). A record whose variables' flags disagree holds no step.
TEST_F(FileTest, StepsAreThoseTheFileHoldsNow) {
  struct Case {
    int tstep;
    int written;
    std::set<std::pair<int, int>> unwritten_flags;  // (record, variable)
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {10000, 3, {}, {{2024033, 0}, {2024033, 10000}, {2024033, 20000}}},
      {0, 1, {}, {{2024033, 0}}},
      {-10000, 1, {}, {{2024033, 0}}},
      {-10000, 2, {}, {{2024033, 0}, {2024033, 10000}}},
      {-10000, 3, {}, {{2024033, 10000}, {2024033, 20000}}},
      {-10000, 4, {}, {{2024033, 20000}, {2024033, 30000}}},
      {-10000, 5, {{2, 2}}, {{2024033, 40000}}},
  };
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    FixtureSpec fx = grid();
    fx.tstep = cases[k].tstep;
    fx.records = cases[k].written;
    fx.unwritten_flags = cases[k].unwritten_flags;
    const File f = File::open_path(write(fx, "steps" + std::to_string(k) + ".nc"));
    EXPECT_EQ(f.steps(), cases[k].steps) << "case " << k;
  }
}

// A volatile file (its value ends in " -v") is synced before its flags are read, as READ3 does:
// a native binary file's stream is synced only when it is volatile, and the steps of a volatile
// netCDF file are those another writer has added since it was opened.
TEST_F(FileTest, StepsSyncAVolatileFileFirst) {
  kavro::Description d;
  d.grid = {"G", 2, 2, 0, 0, 0, 1, 1};
  d.time = {{2024033, 0}, -10000, 0};
  d.vertical = {1, 7, 0, {1.0F, 0.0F}};
  d.variables = {{"A", "1", "a", kavro::ValueType::real}};
  const std::string bin = "BIN:" + dir().file("turns.bin");
  File(File::create(bin, d)).write("A", Step{2024033, 0}, std::vector<float>(4, 1.0F));
  struct Case {
    std::string value;
    long syncs;
  };
  const Case cases[] = {{bin, 0}, {bin + " -v", 1}};
  for (const Case& c : cases) {
    const File f = File::open_path(c.value);
    kavro::test_hooks::clear_failures();
    EXPECT_EQ(f.steps(), (std::vector<Step>{{2024033, 0}})) << c.value;
    EXPECT_EQ(kavro::test_hooks::calls_made(kavro::detail::sys::Op::kSync), c.syncs) << c.value;
  }

  FixtureSpec fx = grid();
  fx.tstep = -10000;
  fx.records = 1;
  const std::string path = write(fx, "turns.nc");
  const File f = File::open_path(path + " -v");
  EXPECT_EQ(f.steps(), (std::vector<Step>{{2024033, 0}}));
  // Another writer fills record 2 with the next step.
  int ncid = 0, tflag = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_WRITE | NC_SHARE, &ncid), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(ncid, "TFLAG", &tflag), NC_NOERR);
  const std::vector<int> flags = {2024033, 10000, 2024033, 10000, 2024033, 10000};
  const std::size_t start[] = {1, 0, 0}, count[] = {1, 3, 2};
  ASSERT_EQ(nc_put_vara_int(ncid, tflag, start, count, flags.data()), NC_NOERR);
  ASSERT_EQ(nc_close(ncid), NC_NOERR);
  EXPECT_EQ(f.steps(), (std::vector<Step>{{2024033, 0}, {2024033, 10000}}));
}

// Every type reads into a vector of its own type, one layer or all, and into a caller's span.
TEST_F(FileTest, ReadsEachTypeByLayerAndWhole) {
  const FixtureSpec fx = grid();
  File f = File::open_path(write(fx));
  const Step second{2024033, 10000};
  EXPECT_EQ(as_doubles(f.read<float>("O3", 2, second)), expected(fx, 1, 2, 2));
  EXPECT_EQ(as_doubles(f.read<std::int32_t>("COUNT", kavro::ALLAYS3, second)),
            expected(fx, 2, 2, 0));
  EXPECT_EQ(as_doubles(f.read<double>("TEMP", 4, Step{2024033, 20000})), expected(fx, 3, 3, 4));
  std::vector<float> buf(f.value_count("O3", 1));
  f.read("O3", 1, Step{2024033, 0}, std::span<float>(buf));
  EXPECT_EQ(as_doubles(buf), expected(fx, 1, 1, 1));
  EXPECT_EQ(f.value_count("O3", kavro::ALLAYS3), 24U);
  EXPECT_EQ(f.value_count("NONE", 1), 0U);
}

// A read in another type than the variable's, into a short buffer, or of "ALL" is refused by
// the interface before any routine runs.
TEST_F(FileTest, RefusesTypeMismatchAndShortBuffer) {
  File f = File::open_path(write(grid()));
  const Step s{2024033, 0};
  std::vector<float> small(5);
  const Refusal cases[] = {
      {[&] { (void)f.read<double>("O3", 1, s); },
       "File::read: Variable \"O3\" is REAL, not DOUBLE"},
      {[&] { (void)f.read<float>("COUNT", 1, s); },
       "File::read: Variable \"COUNT\" is INTEGER, not REAL"},
      {[&] { f.read("O3", 1, s, std::span<float>(small)); },
       "File::read: Buffer of 20 bytes for 24 bytes of variable \"O3\""},
      {[&] { (void)f.read<float>("ALL", 1, s); },
       "File::read: Read one variable at a time, not \"ALL\""},
  };
  expect_refusals(cases);
}

// A failed routine raises Error with the routine that warned and the warning's text, and for a
// file its path and the cause the library noted as it logged the failure (what() names the
// path, not the interface's own logical name); the log holds the routine's paragraph as it
// always does.
TEST_F(FileTest, ErrorsCarryRoutineAndReason) {
  const FixtureSpec fx = grid();
  const std::string path = write(fx);
  File f = File::open_path(path);
  struct Case {
    std::function<void()> call;
    std::string routine, reason, path, cause;
  };
  const std::string missing = dir().file("missing.nc");
  const Case cases[] = {
      {[&] {
         (void)f.read<float>("O3", 1, Step{2024033, 30000});
       },
       "RDTFLAG", "Time step not yet written in file KAVROFILE001", path,
       "step 2024033:030000 is not in this file"},
      {[&] {
         (void)f.read<float>("O3", 1, Step{2024033, 1500});
       },
       "RDTFLAG", "Time step error for file:  KAVROFILE001", path,
       "step 2024033:001500 is not in this file"},
      {[&] {
         (void)f.read<float>("NO2", 1, Step{2024033, 0});
       },
       "READ3", "Requested variable \"NO2\" not available", path,
       "variable \"NO2\" is not in this file"},
      {[&] {
         (void)f.read<float>("O3", 5, Step{2024033, 0});
       },
       "READ3", "LAYER not available in file KAVROFILE001", path, "layer 5 is not in this file"},
      {[&] { (void)File::open_path(missing); }, "OPEN3", "File not available.", missing,
       "no such file"},
      {[&] { (void)File::open("KAVROFILE001"); }, "File::open",
       "File \"KAVROFILE001\" is already open", "", ""},
  };
  for (const Case& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error for " << c.reason;
    } catch (const Error& e) {
      EXPECT_EQ(e.routine(), c.routine);
      EXPECT_EQ(e.reason(), c.reason);
      EXPECT_EQ(e.path(), c.path);
      EXPECT_EQ(e.cause(), c.cause);
      EXPECT_EQ(e.logical_name(), "");
      EXPECT_EQ(std::string(e.what()),
                c.routine + ": " + (c.path.empty() ? c.reason : c.path + ": " + c.cause));
    }
  }
  EXPECT_NE(log_text().find(">>--->> WARNING in subroutine READ3\n"
                            "     Requested variable \"NO2\" not available"),
            std::string::npos);
  // A file opened by the caller's logical name is named by it too.
  ScopedEnv name("MISSING", missing);
  try {
    (void)File::open("MISSING");
    ADD_FAILURE() << "no error for MISSING";
  } catch (const Error& e) {
    EXPECT_EQ(e.logical_name(), "MISSING");
    EXPECT_EQ(std::string(e.what()), "OPEN3: MISSING (" + missing + "): no such file");
  }
}

// The object owns its file: closed when it goes out of scope, moved with a move, closed
// once; a moved-from object holds nothing.
TEST_F(FileTest, ClosesOnScopeExitAndMoves) {
  const std::string path = write(grid());
  ScopedEnv name("GRID", path);
  {
    File a = File::open("GRID");
    EXPECT_GT(kavro::NAME2FID("GRID"), 0);
    File b = std::move(a);
    EXPECT_FALSE(a.is_open());  // NOLINT(bugprone-use-after-move): what a move leaves
    EXPECT_EQ(b.logical_name(), "GRID");
    File c = File::open_path(path);
    c = std::move(b);  // c's own file closed, GRID taken over
    EXPECT_EQ(kavro::NAME2FID("KAVROFILE001"), 0);
    EXPECT_GT(kavro::NAME2FID("GRID"), 0);
  }
  EXPECT_EQ(kavro::NAME2FID("GRID"), 0);
  File d = File::open("GRID");
  d.close();
  EXPECT_FALSE(d.is_open());
  EXPECT_EQ(kavro::NAME2FID("GRID"), 0);
  const Refusal closed[] = {{[&] { (void)d.description(); }, "File: File \"\" is not open"}};
  expect_refusals(closed);
}

// A description given to create comes back from description() unchanged (the record count
// aside), for a netCDF and a native binary file; written steps are read back in each type.
TEST_F(FileTest, CreateRoundTripsDescriptionAndWrites) {
  kavro::Description d;
  d.file_type = kavro::GRDDED3;
  d.grid = {"CREATED", 3, 2, 0, -18000, -12000, 6000, 6000};
  d.projection = {2, 33, 45, -97, -97, 40};
  d.time = {{2024100, 120000}, 20000, 0};
  d.vertical = {2, 7, 10000, {1.0F, 0.9F, 0.8F}};
  d.variables = {{"NO2", "ppmV", "nitrogen dioxide", kavro::ValueType::real},
                 {"FLAG", "1", "a flag", kavro::ValueType::integer},
                 {"PRES", "Pa", "pressure", kavro::ValueType::double_precision}};
  d.lines = {"Created by File::create", "second line"};
  for (const std::string& path : {dir().file("created.nc"), "BIN:" + dir().file("created.bin")}) {
    SCOPED_TRACE(path);
    {
      File f = File::create(path, d);
      const Step s1 = d.time.start;
      const Step s2 = s1.next(d.time.step);
      f.write("NO2", s2, std::vector<float>(12, 1.5F));
      f.write("FLAG", s1, std::vector<std::int32_t>(12, 7));
      f.write("PRES", s1, std::vector<double>(12, 101325.25));
      kavro::Description back = f.description();
      EXPECT_EQ(back.time.records, 2);
      back.time.records = 0;
      EXPECT_EQ(back, d);
      EXPECT_EQ(f.steps(), (std::vector<Step>{s1, s2}));
      EXPECT_EQ(f.read<float>("NO2", 2, s2), std::vector<float>(6, 1.5F));
      EXPECT_EQ(f.read<std::int32_t>("FLAG", kavro::ALLAYS3, s1), std::vector<std::int32_t>(12, 7));
      EXPECT_EQ(f.read<double>("PRES", 1, s1), std::vector<double>(6, 101325.25));
    }
    File again = File::open_path(path);
    EXPECT_EQ(again.read<float>("NO2", 1, Step{2024100, 140000}), std::vector<float>(6, 1.5F));
  }
}

// Writes are refused like reads: in another type, and, through WRITE3, a short buffer, a file
// opened read-only or a description the record cannot hold.
TEST_F(FileTest, RefusedWritesAndCreates) {
  kavro::Description d;
  d.grid = {"G", 2, 2, 0, 0, 0, 1, 1};
  d.time = {{2024001, 0}, 10000, 0};
  d.vertical = {1, 7, 0, {1.0F, 0.0F}};
  d.variables = {{"A", "1", "a", kavro::ValueType::real}};
  const std::string path = dir().file("w.nc");
  File f = File::create(path, d);
  const Step s{2024001, 0};
  kavro::Description long_name = d;
  long_name.variables[0].name = "ABCDEFGHIJKLMNOPQ";
  const Refusal cases[] = {
      {[&] { f.write("A", s, std::vector<double>(4, 1.0)); },
       "File::write: Variable \"A\" is REAL, not DOUBLE"},
      {[&] { f.write("A", s, std::vector<float>(3, 1.0F)); },
       "WRITE3: Buffer too small for variable A of file KAVROFILE001: 16 bytes needed, 12 given"},
      {[&] { (void)File::create(dir().file("x.nc"), long_name); },
       "File::create: Variable name \"ABCDEFGHIJKLMNOPQ\" is longer than 16 characters"},
      {[&] { (void)File::create(dir().file("x.nc"), d, kavro::Mode::read); },
       "File::create: The mode must create a file (create_new, unknown, create_replace)"},
  };
  expect_refusals(cases);
  f.close();
  File ro = File::open_path(path);
  const Refusal read_only[] = {{[&] { ro.write("A", s, std::vector<float>(4, 1.0F)); },
                                "WRITE3: File opened read-only:  KAVROFILE001"}};
  expect_refusals(read_only);
}

}  // namespace
}  // namespace kavro_test
