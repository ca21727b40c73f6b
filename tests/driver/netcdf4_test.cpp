// netCDF-4 inputs: copies of classic files made by netCDF's own nccopy (netCDF-4, and
// netCDF-4 classic model with compression) open, describe and read through the netCDF
// library, and compare exactly as the classic originals do, in every mix; a file that is not
// netCDF at all gets the netCDF library's open-failure report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/tool_run.h"

namespace {

using namespace brindlewick_test;
using kavro_test::FixtureSpec;

// The formats a file is given in: its classic original, or an nccopy of it.
struct Format {
  const char* suffix;
  const char* nccopy_options;  // null: the original
};
constexpr Format kFormats[] = {{"", nullptr}, {".nc4", "-k nc4"}, {".nc4c", "-k nc7 -d1"}};
// A location file's COL and ROW variables share their names with dimensions of another shape,
// which netCDF-4 keeps only uncompressed (nccopy -d1 fails on them with an HDF error).
constexpr Format kStackFormats[] = {{"", nullptr}, {".nc4", "-k nc4"}};

class Netcdf4Test : public BrindlewickTest {
 protected:
  // Writes the copies of NAME in every format of FORMATS.
  template <typename Formats>
  void copy_in_every_format(const std::string& name, const Formats& formats) {
    for (const Format& f : formats) {
      if (f.nccopy_options == nullptr) continue;
      const std::string command = std::string(KAVRO_NCCOPY) + " " + f.nccopy_options + " " +
                                  path(name) + " " + path(name + f.suffix);
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
  }
  // Every mix of the formats of STACK1, INFILE1 and INFILE2 reports exactly what the classic
  // files report, with the same status.
  void expect_same_reports_in_every_mix() {
    copy_in_every_format("stack.nc", kStackFormats);
    copy_in_every_format("run1.nc", kFormats);
    copy_in_every_format("run2.nc", kFormats);
    const RunResult classic = run({{"LOGFILE", path("classic.log")}});
    ASSERT_EQ(classic.status, 0) << kavro_test::read_file(path("classic.log"));
    ASSERT_NE(reports(classic), "");
    int n = 0;
    for (const Format& s : kStackFormats) {
      for (const Format& one : kFormats) {
        for (const Format& two : kFormats) {
          const std::string log = path("mix" + std::to_string(++n) + ".log");
          const RunResult r = run({{"STACK1", path(std::string("stack.nc") + s.suffix)},
                                   {"INFILE1", path(std::string("run1.nc") + one.suffix)},
                                   {"INFILE2", path(std::string("run2.nc") + two.suffix)},
                                   {"LOGFILE", log}});
          const std::string mix =
              std::string("stack") + s.suffix + " run1" + one.suffix + " run2" + two.suffix;
          EXPECT_EQ(r.status, 0) << mix << "\n" << kavro_test::read_file(log);
          EXPECT_EQ(r.out, classic.out) << mix;
          EXPECT_EQ(tail(r.log, 4), kNormalEnd) << mix;
        }
      }
    }
  }
};

// The bundled sample (REAL and INTEGER, NaNs, signed zeros, subnormals).
TEST_F(Netcdf4Test, SamplePairInEveryMix) {
  const std::string make_sample =
      (std::filesystem::path(KAVRO_BRINDLEWICK).parent_path() / "make_sample").string();
  ASSERT_EQ(std::system((make_sample + " " + dir_.path()).c_str()), 0);
  expect_same_reports_in_every_mix();
}

// INTEGER, REAL and DOUBLE variables over two layers, a few cells changed in each.
TEST_F(Netcdf4Test, IntegerRealDoublePairInEveryMix) {
  auto with = [](bool changed) {
    FixtureSpec s = data(4, 3, 2);
    s.vars = {variable("COUNT", kavro_test::kInt), variable("O3", kavro_test::kReal),
              variable("MASS", kavro_test::kDouble)};
    s.value = [changed](int var, int rec, int lay, int row, int col) {
      const double v = kavro_test::default_value(var, rec, lay, row, col);
      const bool here = changed && (row + col + lay + rec + var) % 5 == 0;
      return here ? v + (var == 3 ? 1e-9 : 1.0) : v;
    };
    return s;
  };
  write("stack.nc", stack());
  write("run1.nc", with(false));
  write("run2.nc", with(true));
  expect_same_reports_in_every_mix();
}

// A regular file that is not netCDF (text, empty, shorter than the magic) goes to the netCDF
// library, whose report names its error and the path; the run ends with the open failure.
TEST_F(Netcdf4Test, NonNetcdfFileGetsTheNetcdfReport) {
  write("stack.nc", stack());
  write("run2.nc", data());
  int n = 0;
  for (const std::string& bytes :
       {std::string("station,value\n1,2.5\n"), std::string(), std::string("CD")}) {
    kavro_test::write_file(path("run1.nc"), bytes);
    const std::string log_name = "not" + std::to_string(++n) + ".log";
    const RunResult r = run({{"LOGFILE", path(log_name)}});
    EXPECT_EQ(r.status, 2) << n;
    const std::string log = kavro_test::read_file(path(log_name));
    EXPECT_NE(log.find("     Error opening file at path-name:\n"), std::string::npos) << log;
    EXPECT_NE(log.find("netCDF error number  -51"), std::string::npos) << log;
    EXPECT_NE(log.find("     " + path("run1.nc") + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("not a netCDF classic file"), std::string::npos) << log;
    EXPECT_EQ(tail(r.log, 4), abort_end("Could not open file \"INFILE1\" for input"));
  }
}

}  // namespace
