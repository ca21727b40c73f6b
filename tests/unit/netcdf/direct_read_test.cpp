// The direct data path against the netCDF library: every READ3 of generated files (every file
// type with a transfer, CDF-1, CDF-2 and CDF-5, one and several records, odd sizes, INTEGER,
// REAL and DOUBLE variables, each layer, all layers, one variable and ALL) and of the suite's
// CDL files gives byte-identical buffers and the same result through both. A file cut after it
// was opened, and a read that fails, are reported, never read as zeros.
#include "netcdf/classic/direct_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/syscalls.h"
#include "gridwriter/fixture_writer.h"
#include "kavro/kavro.h"
#include "netcdf/classic/kept_files.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

namespace classic = kavro::detail::classic;

class DirectReadTest : public LibraryTest {
 protected:
  void TearDown() override {
    kavro::test_hooks::clear_failures();
    if (kavro::state().b.INITDONE3) kavro::SHUT3();
  }
  // Opens PATH twice: DIRECT through the direct path, NETCDF with KAVRO_DIRECT_READ=N.
  void open_both(const std::string& path) {
    ScopedEnv d("DIRECT", path), n("NETCDF", path);
    ASSERT_TRUE(kavro::OPEN3("DIRECT", kavro::FSREAD3, "test")) << log_text();
    {
      ScopedEnv off("KAVRO_DIRECT_READ", "N");
      ASSERT_TRUE(kavro::OPEN3("NETCDF", kavro::FSREAD3, "test")) << log_text();
    }
    ASSERT_NE(classic::kept_file(kavro::NAME2FID("DIRECT")), nullptr);
    ASSERT_EQ(classic::kept_file(kavro::NAME2FID("NETCDF")), nullptr);
    // The setting is logged only when it is set.
    EXPECT_NE(log_text().find("Value for KAVRO_DIRECT_READ:  N returning FALSE"),
              std::string::npos);
  }
  // A grid of NVARS REAL variables opened as INFILE1 through the direct path; its description.
  FixtureSpec open_direct(int nvars) {
    FixtureSpec s;
    s.vars = numbered_vars(nvars);
    path_ = dir().file("f.nc");
    EXPECT_TRUE(write_fixture(path_, s));
    env_ = std::make_unique<ScopedEnv>("INFILE1", path_);
    EXPECT_TRUE(kavro::OPEN3("INFILE1", kavro::FSREAD3, "test"));
    return s;
  }
  std::string path_;
  std::unique_ptr<ScopedEnv> env_;

  // The read of DIRECT that may keep the file's byte order: the same result, and bytes equal to
  // EXPECTED once each value is reversed, if the read says it left them reversed. "ALL" and the
  // netCDF library's reads are always in the machine's order.
  void check_stored_order(const std::string& name, int layer, int jdate, int jtime, bool ok,
                          const std::vector<unsigned char>& expected) {
    const std::size_t bytes = expected.size();
    std::vector<unsigned char> stored(bytes, 0xAB), netcdf(bytes, 0xAB);
    kavro::ValueOrder order{}, netcdf_order{};
    EXPECT_EQ(kavro::READ3("DIRECT", name, layer, jdate, jtime, stored.data(), bytes, order), ok);
    EXPECT_EQ(kavro::READ3("NETCDF", name, layer, jdate, jtime, netcdf.data(), bytes, netcdf_order),
              ok);
    EXPECT_EQ(netcdf_order, kavro::ValueOrder::native);
    EXPECT_TRUE(netcdf == expected) << name << " layer " << layer;
    if (order == kavro::ValueOrder::reversed) {
      EXPECT_NE(name, "ALL");
      ++reversed_reads_;
      const int v = kavro::INDEX1(name, kavro::BDESC3.NVARS3D,
                                  std::span<const kavro::Name16>(kavro::CDESC3.VNAME3D)) -
                    1;
      const std::size_t size = kavro::BDESC3.VTYPE3D[std::size_t(v)] == kavro::XQDBLE ? 8 : 4;
      for (std::size_t i = 0; i + size <= bytes; i += size) {
        std::reverse(stored.begin() + std::ptrdiff_t(i), stored.begin() + std::ptrdiff_t(i + size));
      }
    }
    EXPECT_TRUE(stored == expected) << name << " layer " << layer << " order " << int(order);
  }
  int reversed_reads_ = 0;

  // Every read of the file through both paths; returns the number of reads that succeeded.
  int compare_reads() {
    EXPECT_TRUE(kavro::DESC3("NETCDF"));
    const kavro::Bdesc3 b = kavro::BDESC3;
    std::vector<std::string> names = {"ALL"};
    for (int v = 0; v < b.NVARS3D; ++v) {
      names.emplace_back(kavro::CDESC3.VNAME3D[std::size_t(v)].padded());
    }
    std::vector<int> layers = {kavro::ALLAYS3};
    for (int l = 1; l <= b.NLAYS3D; ++l) layers.push_back(l);
    int jdate = b.SDATE3D, jtime = b.STIME3D, ok = 0;
    const std::size_t bytes = 1 << 16;
    for (int step = 0; step < std::max(b.MXREC3D, 1); ++step) {
      for (const std::string& name : names) {
        for (int layer : layers) {
          std::vector<unsigned char> direct(bytes, 0xAB), netcdf(bytes, 0xAB);
          const bool a = kavro::READ3("DIRECT", name, layer, jdate, jtime, direct.data(), bytes);
          const bool n = kavro::READ3("NETCDF", name, layer, jdate, jtime, netcdf.data(), bytes);
          EXPECT_EQ(a, n) << name << " layer " << layer << " step " << step;
          EXPECT_TRUE(direct == netcdf) << name << " layer " << layer << " step " << step;
          check_stored_order(name, layer, jdate, jtime, a, netcdf);
          ok += a ? 1 : 0;
        }
      }
      kavro::NEXTIME(jdate, jtime, b.TSTEP3D);
    }
    return ok;
  }
};

struct Case {
  int ftype;
  int format;  // 1, 2, 5
  int records;
};

class DirectReadMatrix : public DirectReadTest, public ::testing::WithParamInterface<Case> {};

TEST_P(DirectReadMatrix, SameBytesAsNetcdf) {
  FixtureSpec s;
  s.ftype = GetParam().ftype;
  s.ncols = 5;
  s.nrows = 3;
  s.nlays = 2;
  s.nthik = 1;
  s.records = GetParam().records;
  s.offset64 = GetParam().format == 2;
  s.cdf5 = GetParam().format == 5;
  s.vars = {described_var("R", kReal, "ppm", ""), described_var("D", kDouble, "m", ""),
            described_var("I", kInt, "1", "")};
  const std::string path = dir().file("f.nc");
  ASSERT_TRUE(write_fixture(path, s));
  open_both(path);
  EXPECT_GT(compare_reads(), 0);
  // The same through the conversion every x86-64 processor runs.
  kavro::test_hooks::use_generic_byte_swap(true);
  EXPECT_GT(compare_reads(), 0);
  kavro::test_hooks::use_generic_byte_swap(false);
  // Types without header arrays (gridded, boundary, custom) keep the file's order in their
  // single-variable reads; the others never do.
  const int t = GetParam().ftype;
  EXPECT_EQ(reversed_reads_ > 0, t == 1 || t == 2 || t == 7 || t == 8 || t == -1)
      << reversed_reads_;
}

std::vector<Case> all_cases() {
  std::vector<Case> cases;
  for (int ftype : {1, 2, 3, 4, 5, 6, 7, 8, -1}) {
    for (int format : {1, 2, 5}) {
      for (int records : {1, 3}) cases.push_back({ftype, format, records});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, DirectReadMatrix, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<Case>& c) {
                           return "type" + std::to_string(c.param.ftype + 1) + "_cdf" +
                                  std::to_string(c.param.format) + "_records" +
                                  std::to_string(c.param.records);
                         });

// The suite's hand-written layouts, through ncgen.
TEST_F(DirectReadTest, CdlFilesSameBytesAsNetcdf) {
  for (const char* cdl : {"small_grid", "time_independent"}) {
    const std::string path = dir().file(std::string(cdl) + ".nc");
    const std::string cmd = "ncgen -o " + path + " " + KAVRO_TEST_DATA_DIR + "/" + cdl + ".cdl";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    open_both(path);
    EXPECT_GT(compare_reads(), 0) << cdl;
    EXPECT_TRUE(kavro::CLOSE3("DIRECT"));
    EXPECT_TRUE(kavro::CLOSE3("NETCDF"));
  }
}

// A record file of 4.4 GB (sparse: two records hold data, 1024 records of 4 MB apart): a
// record beyond 4 GB is read from its own offset, not from one cut to 32 bits.
TEST_F(DirectReadTest, RecordsBeyondFourGigabytes) {
  FixtureSpec s;
  s.ncols = 1024;
  s.nrows = 1024;
  s.nlays = 1;
  s.vars = numbered_vars(1);
  s.offset64 = true;
  s.records = 1100;
  s.data_only_in = {76, 1100};
  const std::string path = dir().file("big.nc");
  ASSERT_TRUE(write_fixture(path, s));
  open_both(path);
  const std::size_t bytes = std::size_t{4} << 20;
  for (int rec : {76, 1100}) {
    const auto [jdate, jtime] = step_date_time(s, rec - 1);
    std::vector<float> direct(bytes / 4), netcdf(bytes / 4);
    ASSERT_TRUE(kavro::READ3("DIRECT", "V1", 1, jdate, jtime, direct.data(), bytes)) << rec;
    ASSERT_TRUE(kavro::READ3("NETCDF", "V1", 1, jdate, jtime, netcdf.data(), bytes)) << rec;
    EXPECT_TRUE(direct == netcdf) << rec;
    EXPECT_EQ(direct[1024 * 1023 + 1023], float(expected_value(s, 1, rec, 1, 1024, 1024))) << rec;
  }
}

// Files that others may write keep to the netCDF library: read-write and volatile.
TEST_F(DirectReadTest, WritableAndVolatileFilesUseNetcdf) {
  FixtureSpec s;
  s.vars = numbered_vars(1);
  const std::string path = dir().file("f.nc");
  ASSERT_TRUE(write_fixture(path, s));
  ScopedEnv w("WRITABLE", path), v("VOLATILE", path + " -v");
  ASSERT_TRUE(kavro::OPEN3("WRITABLE", kavro::FSRDWR3, "test"));
  ASSERT_TRUE(kavro::OPEN3("VOLATILE", kavro::FSREAD3, "test"));
  EXPECT_EQ(classic::kept_file(kavro::NAME2FID("WRITABLE")), nullptr);
  EXPECT_EQ(classic::kept_file(kavro::NAME2FID("VOLATILE")), nullptr);
}

// A file cut after it was opened: the read fails naming the file and the variable instead of
// returning zeros, and nothing crashes.
TEST_F(DirectReadTest, FileCutAfterOpenIsReported) {
  const FixtureSpec s = open_direct(2);
  const std::string& path = path_;
  const classic::KeptFile* k = classic::kept_file(kavro::NAME2FID("INFILE1"));
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(k->header.var(1).begin + 8)), 0);
  std::vector<float> buf(1000);
  EXPECT_FALSE(kavro::READ3("INFILE1", "V1", 1, s.sdate, s.stime, buf.data(), 4000));
  const std::string log = log_text();
  EXPECT_NE(log.find("File INFILE1 is shorter than its header says: data of variable V1 missing"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("netCDF error number   -68  Error reading variable \"V1              \""),
            std::string::npos)
      << log;
}

// A read that fails at the system call is reported as the netCDF library's failures are, and
// the next read succeeds.
TEST_F(DirectReadTest, FailedReadIsReported) {
  const FixtureSpec s = open_direct(1);
  std::vector<float> buf(1000);
  // The first read is the step's flags, the second the values.
  kavro::test_hooks::fail_call(kavro::detail::sys::Op::kRead, 1);
  EXPECT_FALSE(kavro::READ3("INFILE1", "V1", 1, s.sdate, s.stime, buf.data(), 4000));
  kavro::test_hooks::clear_failures();
  EXPECT_NE(log_text().find("netCDF error number  -68\n"), std::string::npos) << log_text();
  EXPECT_NE(log_text().find("Error reading netCDF time step flag for INFILE1"), std::string::npos)
      << log_text();
  kavro::test_hooks::fail_call(kavro::detail::sys::Op::kRead, 2);
  EXPECT_FALSE(kavro::READ3("INFILE1", "V1", 1, s.sdate, s.stime, buf.data(), 4000));
  kavro::test_hooks::clear_failures();
  EXPECT_NE(log_text().find("netCDF error number   -68  Error reading variable"),
            std::string::npos);
  ASSERT_TRUE(kavro::READ3("INFILE1", "V1", 1, s.sdate, s.stime, buf.data(), 4000));
  EXPECT_EQ(buf[0], float(expected_value(s, 1, 1, 1, 1, 1)));
}

}  // namespace
}  // namespace kavro_test
