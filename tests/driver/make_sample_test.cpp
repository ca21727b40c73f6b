// The bundled sample: make_sample writes the three files silently, and the data files differ in
// exactly the planted cells, read back with the netCDF C API.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace kavro_test {
namespace {

constexpr int kCols = 12;
constexpr int kRows = 8;
constexpr int kSteps = 4;

std::string make_sample() {
  return (std::filesystem::path(KAVRO_BRINDLEWICK).parent_path() / "make_sample").string();
}

// The values of one single-layer variable in its first `steps` records, as floats.
std::vector<float> read_all(const std::string& path, const char* name, std::size_t steps = kSteps) {
  int ncid = -1, varid = -1;
  std::vector<float> v(steps * kCols * kRows, 0.0F);
  EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR) << path;
  EXPECT_EQ(nc_inq_varid(ncid, name, &varid), NC_NOERR) << name;
  std::size_t start[4] = {0, 0, 0, 0}, count[4] = {steps, 1, kRows, kCols};
  EXPECT_EQ(nc_get_vara_float(ncid, varid, start, count, v.data()), NC_NOERR) << name;
  nc_close(ncid);
  return v;
}

// The tool's rule: unordered or unequal, subnormals counting as zero.
bool differs(float a, float b) {
  auto flush = [](float x) { return std::fpclassify(x) == FP_SUBNORMAL ? 0.0F : x; };
  return !(flush(a) == flush(b));
}

struct Planted {
  const char* var;
  int step, row, col;
  bool reported;
};

class MakeSampleTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

// The sample is written without output; the differences are the planted ones and no others.
TEST_F(MakeSampleTest, WritesThePlantedDifferences) {
  const std::string out = dir_.file("out.txt");
  ASSERT_EQ(std::system((make_sample() + " " + dir_.path() + " >" + out + " 2>&1").c_str()), 0);
  EXPECT_EQ(read_file(out), "");
  const std::vector<Planted> planted = {{"O3", 2, 2, 3, true},    {"O3", 4, 1, 1, false},
                                        {"NO2", 1, 4, 5, false},  {"NO2", 3, 5, 7, true},
                                        {"TEMP", 1, 8, 12, true}, {"TEMP", 4, 3, 10, true}};
  for (const char* name : {"O3", "NO2", "TEMP", "CLOUD"}) {
    const auto a = read_all(dir_.file("run1.nc"), name);
    const auto b = read_all(dir_.file("run2.nc"), name);
    for (int s = 1; s <= kSteps; ++s) {
      for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kCols; ++c) {
          const auto k = std::size_t(((s - 1) * kRows + r - 1) * kCols + c - 1);
          bool expect = false, bits_differ = false;
          for (const auto& p : planted) {
            if (std::string(p.var) == name && p.step == s && p.row == r && p.col == c) {
              expect = p.reported;
              bits_differ = true;
            }
          }
          EXPECT_EQ(differs(a[k], b[k]), expect) << name << " " << s << " " << r << " " << c;
          if (!expect) {
            // The unreported pairs really are +0/-0 and zero/subnormal, not equal bits.
            EXPECT_EQ(std::memcmp(&a[k], &b[k], sizeof(float)) != 0, bits_differ) << name;
          }
        }
      }
    }
  }
}

// Every location satisfies (XLOCA - XORIG) / XCELL = COL - 0.5, likewise for rows.
TEST_F(MakeSampleTest, LocationsSitAtCellCentres) {
  ASSERT_EQ(std::system((make_sample() + " " + dir_.path()).c_str()), 0);
  int ncid = -1;
  double xorig = 0, yorig = 0, xcell = 0, ycell = 0;
  const std::string stack = dir_.file("stack.nc");
  ASSERT_EQ(nc_open(stack.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  nc_get_att_double(ncid, NC_GLOBAL, "XORIG", &xorig);
  nc_get_att_double(ncid, NC_GLOBAL, "YORIG", &yorig);
  nc_get_att_double(ncid, NC_GLOBAL, "XCELL", &xcell);
  nc_get_att_double(ncid, NC_GLOBAL, "YCELL", &ycell);
  nc_close(ncid);
  const auto x = read_all(stack, "XLOCA", 1), y = read_all(stack, "YLOCA", 1);
  for (int r = 1; r <= kRows; ++r) {
    for (int c = 1; c <= kCols; ++c) {
      const auto k = std::size_t((r - 1) * kCols + c - 1);
      EXPECT_DOUBLE_EQ((x[k] - xorig) / xcell, c - 0.5);
      EXPECT_DOUBLE_EQ((y[k] - yorig) / ycell, r - 0.5);
    }
  }
}

// Without a directory argument, with an option, or with a directory that cannot be created,
// it fails with status 1.
TEST_F(MakeSampleTest, FailsWithStatusOne) {
  write_file(dir_.file("plain"), "a file, not a directory\n");
  for (const std::string& args : {std::string(), std::string("--bad"), dir_.file("plain/sub")}) {
    EXPECT_EQ(WEXITSTATUS(std::system((make_sample() + " " + args + " 2>/dev/null").c_str())), 1)
        << args;
  }
}

// A directory that does not exist yet is created, parents included; --help answers.
TEST_F(MakeSampleTest, CreatesItsDirectoryAndAnswersHelp) {
  const std::string nested = dir_.file("new/sample");
  ASSERT_EQ(std::system((make_sample() + " " + nested).c_str()), 0);
  for (const char* name : {"stack.nc", "run1.nc", "run2.nc"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(nested + "/" + name)) << name;
  }
  const std::string out = dir_.file("help.txt");
  ASSERT_EQ(std::system((make_sample() + " --help >" + out).c_str()), 0);
  EXPECT_EQ(read_file(out).rfind("Usage: make_sample DIR\n", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists("--help"));
}

}  // namespace
}  // namespace kavro_test
