// OPEN3 on files the netCDF library must never see: cut, corrupt or not files at all are
// refused by the header check before nc_open, with a message naming the file, the slot free and
// nothing left open; values cut by their field are refused; header values at the ends of the
// 32-bit range are sized without overflow.
#include <sys/stat.h>

#include <climits>
#include <string>
#include <utility>

#include "core/syscalls.h"
#include "netcdf/classic/classic_header.h"
#include "support/fault_walk.h"
#include "support/holdings.h"
#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

using kavro::FSREAD3;
using kavro::OPEN3;
using kavro::state;
namespace sys = kavro::detail::sys;

class PrecheckTest : public OpenFixture {
 protected:
  void TearDown() override {
    kavro::test_hooks::clear_failures();
    OpenFixture::TearDown();
  }
  // The end of the data the header of PATH describes.
  static std::uint64_t data_end(const std::string& path) {
    kavro::detail::classic::Header h;
    kavro::detail::classic::Problem why;
    EXPECT_TRUE(kavro::detail::classic::parse_classic_header(path.c_str(), h, why)) << why.view();
    const auto& v = h.var(h.nvars() - 1);
    return v.begin + (h.numrecs - 1) * h.recsize + v.bytes;
  }
  void expect_refused() {
    EXPECT_EQ(slot_of("INFILE1"), 0);
    EXPECT_EQ(state().b.LASTFID3, 0);
  }
};

// A data file cut inside its last record is refused by name, as is a location file cut after
// its header; the netCDF library would have returned zeros for the missing values.
TEST_F(PrecheckTest, RefusesCutFileBeforeNetcdf) {
  const std::string path = file_named("INFILE1", grid(2));
  const std::uint64_t end = data_end(path);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(end - 5)), 0);
  kavro::INIT3();
  const Holdings before = holdings();
  EXPECT_FALSE(OPEN3("INFILE1", FSREAD3, "prog"));
  EXPECT_TRUE(logged("File opening error:  variable V2: data end " + std::to_string(end) +
                     " beyond file size " + std::to_string(end - 5) +
                     " (only 1 of its 2 records are whole) for file \"INFILE1\""))
      << log_text();
  EXPECT_TRUE(logged("Path-name: " + path));
  EXPECT_FALSE(log_mentions("netCDF error number"));  // nc_open was never called
  EXPECT_EQ(holdings(), before);
  expect_refused();
}

// A FIFO or a device as a data file is refused at once instead of blocking in nc_open.
TEST_F(PrecheckTest, RefusesFifoAndDevice) {
  const std::string fifo = dir().file("fifo.nc");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    set_name("INFILE1", path);
    EXPECT_FALSE(OPEN3("INFILE1", FSREAD3, "prog"));
    EXPECT_TRUE(logged("File opening error:  not a regular file for file \"INFILE1\"")) << path;
    expect_refused();
  }
}

// A value longer than the 512-character path field is refused, never cut to another path;
// blanks past the field are not part of the path and cut nothing.
TEST_F(PrecheckTest, RefusesValueLongerThanItsField) {
  const std::string path = write(grid(1));
  const std::string padded = path + std::string(512 - path.size(), ' ');
  set_name("INFILE1", padded + std::string(88, 'x'));
  EXPECT_FALSE(OPEN3("INFILE1", FSREAD3, "prog"));
  EXPECT_TRUE(logged("Value of logical name INFILE1 longer than 512 characters: not opened"))
      << log_text();
  expect_refused();
  set_name("INFILE1", padded + std::string(88, ' '));
  EXPECT_TRUE(OPEN3("INFILE1", FSREAD3, "prog")) << log_text();
}

// Header values at the ends of the 32-bit range: sized in saturating 64-bit arithmetic and
// refused with their message (the sanitizer build proves there is no overflow).
struct ExtremeCase {
  const char* name;
  int ftype;
  std::vector<std::pair<const char*, int>> values;
  const char* refusal;  // empty: the file opens
};
class PrecheckExtremeTest : public PrecheckTest,
                            public ::testing::WithParamInterface<ExtremeCase> {};

TEST_P(PrecheckExtremeTest, SizesWithoutOverflow) {
  FixtureSpec s = grid(1);
  s.ftype = GetParam().ftype;
  s.write_data = false;
  for (const auto& [att, v] : GetParam().values) s.override_int(att, v);
  file_named("INFILE1", s);
  const std::string refusal = GetParam().refusal;
  EXPECT_EQ(OPEN3("INFILE1", FSREAD3, "prog"), refusal.empty()) << log_text();
  if (!refusal.empty()) {
    EXPECT_TRUE(logged("File opening error:  " + refusal + " for file \"INFILE1\"")) << log_text();
    return;
  }
  // The open report and a read at any date work with the step's magnitude.
  std::vector<float> buf(64);
  EXPECT_FALSE(kavro::READ3("INFILE1", "V1", 1, 2024033, 10000, buf.data()));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PrecheckExtremeTest,
    ::testing::Values(ExtremeCase{"TstepMin", kGrdded, {{"TSTEP", INT_MIN}}, ""},
                      ExtremeCase{"NthikMin",
                                  kBndary,
                                  {{"NTHIK", INT_MIN}},
                                  "bad layer size from NCOLS, NROWS, NLAYS and NTHIK"},
                      ExtremeCase{"NthikMax",
                                  kBndary,
                                  {{"NTHIK", INT_MAX}},
                                  "bad layer size from NCOLS, NROWS, NLAYS and NTHIK"},
                      ExtremeCase{"GridMax",
                                  kGrdded,
                                  {{"NCOLS", INT_MAX}, {"NROWS", INT_MAX}, {"NLAYS", INT_MAX}},
                                  "NCOLS x NROWS x NLAYS exceeds 2147483647"}),
    [](const ::testing::TestParamInfo<ExtremeCase>& c) { return std::string(c.param.name); });

// Each system call of the header check failing in turn: the open fails with its message and
// leaves nothing open, until the call is no longer reached and the open succeeds. A failed
// close of the read-only descriptor loses nothing, and without the memory to keep the header
// the file is read through the netCDF library: neither is a failure.
TEST_F(PrecheckTest, FailuresAtEachCallLeaveNothingOpen) {
  file_named("INFILE1", grid(2));
  kavro::INIT3();
  const Holdings before = holdings();
  // Each operation and the failure points it has in the open: the look at the file's first
  // bytes (an open and a read), then the header check's open and reads; allocations 1 and 2 are the
  // dimension and variable tables, 3 the kept header.
  const std::pair<sys::Op, std::size_t> kOps[] = {
      {sys::Op::kOpen, 2}, {sys::Op::kRead, 3}, {sys::Op::kAlloc, 2}, {sys::Op::kClose, 0}};
  for (const auto& [op, failures] : kOps) {
    const auto points =
        walk_failures({.op = op,
                       .run =
                           [&] {
                             const bool ok = OPEN3("INFILE1", FSREAD3, "prog");
                             if (!ok) {
                               EXPECT_EQ(slot_of("INFILE1"), 0);
                               EXPECT_EQ(holdings(), before) << int(op);
                             }
                             return ok;
                           },
                       .text = [this] { return log_text(); },
                       .tolerated =
                           [op = op](long n) {
                             return op == sys::Op::kClose || (op == sys::Op::kAlloc && n > 2);
                           },
                       .undo =
                           [&] {
                             EXPECT_TRUE(kavro::CLOSE3("INFILE1"));
                             EXPECT_EQ(holdings(), before) << int(op);
                           }});
    for (const FailurePoint& p : points) {
      EXPECT_NE(p.written.find("File opening error:  "), std::string::npos)
          << int(op) << " at " << p.n;
    }
    EXPECT_EQ(points.size(), failures) << int(op);
  }
  EXPECT_TRUE(
      logged("File opening error:  cannot be opened: Input/output error for file \"INFILE1\""));
  EXPECT_TRUE(
      logged("File opening error:  cannot be read: Input/output error for file \"INFILE1\""));
  EXPECT_TRUE(
      logged("File opening error:  no memory for the dimension table for file \"INFILE1\""));
  EXPECT_TRUE(logged("File opening error:  no memory for the variable table for file \"INFILE1\""));
}

}  // namespace
}  // namespace kavro_test
