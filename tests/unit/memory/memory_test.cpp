// Memory-resident files: creation by OPEN3 from the description record, steps stored with
// their date and time and read back by READ3, the buffer routines (halves, windows,
// derivatives), interpolation between the two held steps, and every refusal.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "core/state.h"
#include "kavro/kavro.h"
#include "memory/buffers.h"
#include "support/desc_builder.h"
#include "support/fault_walk.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

using namespace kavro;

class MemoryTest : public LibraryTest {
 protected:
  void SetUp() override {
    INIT3();
    test_hooks::clear_failures();
  }
  void TearDown() override { test_hooks::clear_failures(); }

  // A gridded file of 3 x 2 cells and 4 layers, time step TSTEP, with the given types; no
  // projection, cell size or vertical grid, which a memory-resident file does not need.
  static void describe(std::vector<int> types = {XQREAL, XQREAL}, int tstep = 10000,
                       int ftype = GRDDED3) {
    DescBuilder()
        .file_type(ftype)
        .cells(3, 2, 4)
        .thickness(0)
        .time_step(tstep)
        .projection({})
        .cell_size(0, 0)
        .vertical({})
        .grid_name("")
        .variables(DescBuilder::numbered("M", types))
        .fill();
  }
  bool open_buffered(const std::string& lname = "MEM") {
    env_.push_back(std::make_unique<ScopedEnv>(lname, "buffered"));
    return OPEN3(lname, FSREAD3, "prog");
  }
  bool logged(const std::string& text) const {
    for (std::string l : log_lines()) {
      l.erase(l.find_last_not_of(' ') + 1);
      if (l == "     " + text) return true;
    }
    return false;
  }
  // A whole step: value k is BASE + k.
  static std::vector<float> step(float base, std::size_t n = 24) {
    std::vector<float> v(n);
    std::iota(v.begin(), v.end(), base);
    return v;
  }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// Before any step is stored nothing can be read; two stored steps are read back by their
// dates and times; a third replaces the older, which is then gone.
TEST_F(MemoryTest, StepsStoredAndReadBack) {
  describe();
  ASSERT_TRUE(open_buffered());
  EXPECT_TRUE(logged("BUFFERED \"file\" opened as READONLY"));
  std::vector<float> out(24);
  EXPECT_FALSE(READ3("MEM", "M1", ALLAYS3, 2024033, 0, out.data()));
  EXPECT_TRUE(logged("Date and time not available in MEM"));

  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 0, step(100).data()));
  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 10000, step(200).data()));
  ASSERT_TRUE(READ3("MEM", "M1", ALLAYS3, 2024033, 0, out.data()));
  EXPECT_EQ(out, step(100));
  ASSERT_TRUE(READ3("MEM", "M1", 2, 2024033, 10000, out.data()));
  EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 6), step(206, 6));

  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 20000, step(300).data()));
  EXPECT_FALSE(READ3("MEM", "M1", ALLAYS3, 2024033, 0, out.data()));
  ASSERT_TRUE(READ3("MEM", "M1", ALLAYS3, 2024033, 10000, out.data()));
  EXPECT_EQ(out, step(200));
  ASSERT_TRUE(READ3("MEM", "M1", ALLAYS3, 2024033, 20000, out.data()));
  EXPECT_EQ(out, step(300));

  // The same date and time again replaces that step in place.
  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 10000, step(900).data()));
  ASSERT_TRUE(READ3("MEM", "M1", ALLAYS3, 2024033, 10000, out.data()));
  EXPECT_EQ(out, step(900));
  ASSERT_TRUE(READ3("MEM", "M1", ALLAYS3, 2024033, 20000, out.data()));
  EXPECT_EQ(out, step(300));

  EXPECT_FALSE(write_buffered_step("MEM", "NONE", 2024033, 0, out.data()));
  EXPECT_TRUE(logged("Variable \"NONE\" not in file MEM"));
  EXPECT_FALSE(write_buffered_step("OTHER", "M1", 2024033, 0, out.data()));
  EXPECT_TRUE(logged("Not an open BUFFERED file: \"OTHER\""));
}

// The held halves: 6 x 4 x 2 = 48 values; layer 2 of half 1 is values 31 .. 36; the latest
// step lies in half BUFLAST3. Interpolation between the two held steps, read through the
// public buffer routines.
TEST_F(MemoryTest, HalvesAndInterpolationOfHeldSteps) {
  describe();
  ASSERT_TRUE(open_buffered());
  const int fid = NAME2FID("MEM");
  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 0, step(0).data()));
  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 10000, step(24).data()));
  EXPECT_EQ(state().b.BUFLAST3(1, fid), 1);
  std::array<float, 48> all{};
  ASSERT_EQ(BUFGET3(fid, 1, ALLAYS3, 4, 6, 0, all.data()), 1);
  ASSERT_EQ(BUFGET3(fid, 1, ALLAYS3, 4, 6, 1, all.data() + 24), 1);
  EXPECT_EQ(std::vector<float>(all.begin(), all.end()), step(0, 48));
  std::array<float, 6> layer{};
  ASSERT_EQ(BUFGET3(fid, 1, 2, 4, 6, 1, layer.data()), 1);
  EXPECT_EQ(std::vector<float>(layer.begin(), layer.end()), step(30, 6));

  // Three quarters of the way from step 0 (P) to step 1 (Q).
  std::array<float, 24> mid{};
  ASSERT_EQ(BUFINT3(fid, 1, 24, 0, 10000, 0.25F, 0.75F, mid.data()), 1);
  EXPECT_EQ(mid[0], 18.0F);
  EXPECT_EQ(mid[23], 23.0F + 18.0F);
  ASSERT_EQ(BUFDDT3(fid, 1, 24, 0, 0, 0.5F, mid.data()), 1);
  EXPECT_EQ(mid[5], 12.0F);
}

// Interpolation examples: 10 and 20 blend to 17.5; a zero weight copies the other half bit for
// bit; a time-independent buffer gives its values whatever the weights; a window takes its
// positions.
TEST_F(MemoryTest, InterpolationArithmetic) {
  const std::array<float, 2> halves = {10.0F, 20.0F};
  ASSERT_EQ(BUFPUT3(5, 1, 1, 0, 1, &halves[0]), 1);
  ASSERT_EQ(BUFPUT3(5, 1, 1, 1, 1, &halves[1]), 1);
  float r = 0;
  ASSERT_EQ(BUFINT3(5, 1, 1, 0, 1, 0.25F, 0.75F, &r), 1);
  EXPECT_EQ(r, 17.5F);
  ASSERT_EQ(BUFINT3(5, 1, 1, 1, 1, 123.0F, 0.0F, &r), 1);
  EXPECT_EQ(r, 20.0F);
  ASSERT_EQ(BUFINT3(5, 1, 1, 1, 1, 0.0F, 9.0F, &r), 1);
  EXPECT_EQ(r, 10.0F);

  const double nan_bits = std::numeric_limits<double>::quiet_NaN();
  const std::array<double, 2> d = {nan_bits, 1.5};
  ASSERT_EQ(BUFPUT3D(5, 2, 1, 0, 1, &d[0]), 1);
  ASSERT_EQ(BUFPUT3D(5, 2, 1, 1, 1, &d[1]), 1);
  double rd = 0;
  ASSERT_EQ(BUFINT3D(5, 2, 1, 0, 1, 2.0, 0.0, &rd), 1);
  EXPECT_EQ(0, std::memcmp(&rd, &d[0], sizeof rd));

  const std::array<float, 1> once = {7.0F};
  ASSERT_EQ(BUFPUT3(5, 3, 1, 0, 0, once.data()), 1);
  ASSERT_EQ(BUFINT3(5, 3, 1, 1, 0, 0.5F, 0.5F, &r), 1);
  EXPECT_EQ(r, 7.0F);

  // A 4 x 3 grid, one layer: columns 2..3, rows 1..2 are positions 2, 3, 6, 7.
  std::vector<float> grid(24);
  std::iota(grid.begin(), grid.end(), 1.0F);
  ASSERT_EQ(BUFPUT3(5, 4, 12, 0, 1, grid.data()), 1);
  ASSERT_EQ(BUFPUT3(5, 4, 12, 1, 1, grid.data() + 12), 1);
  const int dims[2] = {4, 3};
  const int lo[3] = {2, 1, 1};
  const int hi[3] = {3, 2, 1};
  std::array<float, 4> win{};
  ASSERT_EQ(BUFINTX(5, 4, 12, 0, 1, dims, lo, hi, 1.0F, 0.0F, win.data()), 1);
  EXPECT_EQ(win, (std::array<float, 4>{2, 3, 6, 7}));
  ASSERT_EQ(BUFINTX(5, 4, 12, 0, 1, dims, lo, hi, 0.0F, 1.0F, win.data()), 1);
  EXPECT_EQ(win, (std::array<float, 4>{14, 15, 18, 19}));
  std::array<float, 4> xtr{};
  ASSERT_EQ(BUFXTR3(5, 4, 1, 1, 1, 2, 2, 3, 1, 3, 4, 1, xtr.data()), 1);
  EXPECT_EQ(xtr, (std::array<float, 4>{14, 15, 18, 19}));
  const int far[3] = {3, 3, 2};
  EXPECT_EQ(BUFINTX(5, 4, 12, 0, 1, dims, lo, far, 1.0F, 0.0F, win.data()), 0);
  EXPECT_TRUE(logged("BUFINTX:  window outside the grid"));
  // Dimensions whose window end passes 64 bits: refused, not overflowed.
  const int huge[2] = {2147483647, 2147483647};
  const int first[3] = {1, 1, 1};
  const int deep[3] = {1, 1, 2147483647};
  EXPECT_EQ(BUFINTX(5, 4, 12, 0, 1, huge, first, deep, 1.0F, 0.0F, win.data()), 0);
  ASSERT_EQ(BUFDEL3(5), 1);
  EXPECT_EQ(test_hooks::buffers_held(), 0);
}

// Every routine on a variable without a buffer: its message, 0, and the output untouched.
TEST_F(MemoryTest, MissingBuffers) {
  std::array<float, 8> out{};
  out.fill(-1.0F);
  std::array<double, 8> dout{};
  const int dims[2] = {2, 2};
  const int lo[3] = {1, 1, 1};
  const std::vector<std::pair<std::function<int()>, std::string>> cases = {
      {[&] { return BUFGET3(7, 1, 1, 1, 4, 0, out.data()); }, "BUFFERED file not yet allocated"},
      {[&] { return BUFGET3D(7, 1, 1, 1, 4, 0, dout.data()); }, "BUFFERED file not yet allocated"},
      {[&] { return BUFXTR3(7, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, out.data()); },
       "BUFFERED file not yet allocated."},
      {[&] { return BUFDDT3(7, 1, 4, 0, 0, 1.0F, out.data()); },
       "Error referencing internal buffer for DDTVAR3()"},
      {[&] { return BUFINT3(7, 1, 4, 0, 1, 1.0F, 1.0F, out.data()); },
       "Error referencing internal buffer for INTERP3()"},
      {[&] { return BUFINT3D(7, 1, 4, 0, 1, 1.0, 1.0, dout.data()); },
       "Error referencing internal buffer for INTERP3()"},
      {[&] { return BUFINTX(7, 1, 4, 0, 1, dims, lo, lo, 1.0F, 1.0F, out.data()); },
       "Error referencing internal buffer for INTERPX()"},
      {[&] { return BUFINTXD(7, 1, 4, 0, 1, dims, lo, lo, 1.0, 1.0, dout.data()); },
       "Error referencing internal buffer for INTERP3()"}};
  for (const auto& [call, message] : cases) {
    EXPECT_EQ(call(), 0) << message;
    EXPECT_TRUE(logged(message)) << message;
  }
  EXPECT_EQ(out[0], -1.0F);
}

// Allocation that fails, sizes that overflow, and requests beyond a buffer are refused with
// their messages; nothing is left allocated.
TEST_F(MemoryTest, RefusedAllocationsAndRequests) {
  const std::array<float, 4> v = {1, 2, 3, 4};
  test_hooks::fail_call(kavro_test::Op::kAlloc, 1);
  EXPECT_EQ(BUFPUT3(3, 1, 4, 0, 1, v.data()), 0);
  EXPECT_TRUE(logged("Error allocating internal buffer for BUFPUT3()"));
  test_hooks::fail_call(kavro_test::Op::kAlloc, 2);
  EXPECT_EQ(BUFPUT3I(3, 1, 4, 0, 1, reinterpret_cast<const int*>(v.data())), 0);
  EXPECT_TRUE(logged("Error allocating internal buffer for BUFPUT3I()"));
  test_hooks::clear_failures();
  EXPECT_EQ(test_hooks::buffers_held(), 0);

  const int types[3] = {XQREAL, XQREAL, XQREAL};
  // The row of the slot, then variables 1, 2 and 3: each failing leaves nothing behind.
  const std::string kCre = "Error allocating internal buffer for BUFCRE3()";
  kavro_test::expect_failures({.op = kavro_test::Op::kAlloc,
                               .run = [&] { return BUFCRE3(3, 3, 4, 6, types, 1) == 1; },
                               .text = [this] { return log_text(); },
                               .line_prefix = "     "},
                              {kCre, kCre, kCre, kCre});
  EXPECT_EQ(test_hooks::buffers_held(), 3);
  EXPECT_EQ(BUFDEL3(3), 1);
  EXPECT_EQ(test_hooks::buffers_held(), 0);
  EXPECT_EQ(BUFCRE3(3, 1, 2147483647, 2147483647, types, 1), 0);
  EXPECT_EQ(BUFPUT3D(3, 1, -4, 0, 1, nullptr), 0);
  EXPECT_TRUE(logged("Error allocating internal buffer for BUFPUT3D()"));
  EXPECT_EQ(BUFVGT3(3, 1, 0, nullptr, nullptr, -1, 0, 1), 0);
  EXPECT_TRUE(logged("Error allocating internal buffer for BUFVGTP3()"));
  EXPECT_EQ(BUFVGT3D(3, 1, 0, nullptr, nullptr, -1, 0, 1), 0);
  EXPECT_TRUE(logged("Error allocating internal buffer for BUFVGT3D()"));
  EXPECT_EQ(test_hooks::buffers_held(), 0);

  ASSERT_EQ(BUFPUT3(3, 1, 4, 0, 0, v.data()), 1);  // one half of 4 values
  std::array<float, 8> out{};
  EXPECT_EQ(BUFGET3(3, 1, ALLAYS3, 1, 4, 1, out.data()), 0);  // no second half
  EXPECT_TRUE(logged("BUFGET3:  request outside the buffer"));
  EXPECT_EQ(BUFGET3(3, 1, 3, 2, 4, 0, out.data()), 0);  // layer 3 of 2
  std::array<double, 4> dout{};
  EXPECT_EQ(BUFGET3D(3, 1, ALLAYS3, 1, 4, 0, dout.data()), 0);  // 4-byte values
  EXPECT_TRUE(logged("BUFGET3D:  request outside the buffer"));
  EXPECT_EQ(BUFDDT3(3, 1, 4, 0, 0, 1.0F, out.data()), 0);
  EXPECT_TRUE(logged("BUFDDT3:  request outside the buffer"));
  EXPECT_EQ(BUFXTR3(3, 1, 1, 1, 1, 2, 1, 3, 1, 2, 3, 0, out.data()), 0);
  EXPECT_TRUE(logged("BUFXTR3:  request outside the buffer"));
  // A grid whose size passes 64 bits (second half): refused, not overflowed.
  EXPECT_EQ(BUFXTR3(3, 1, 1, 1, 1, 1, 1, 1, 2147483647, 2147483647, 2147483647, 1, out.data()), 0);
  EXPECT_EQ(BUFDEL3(3), 1);
  EXPECT_EQ(test_hooks::buffers_held(), 0);
}

// Creation refusals: a type without a layout (the block written to the log), a DOUBLE
// PRECISION variable after the first is set up, counts that cannot size a buffer.
TEST_F(MemoryTest, CreationRefusals) {
  describe({XQREAL}, 10000, SMATRX3);
  EXPECT_FALSE(open_buffered("M_TYPE"));
  EXPECT_TRUE(logged(">>> WARNING in subroutine CRTBUF3 <<<"));
  EXPECT_TRUE(logged("BUFFERED-file creation error for file M_TYPE"));
  EXPECT_TRUE(logged("ILLEGAL FILE TYPE.    6"));

  describe({XQREAL, XQDBLE});
  EXPECT_FALSE(open_buffered("M_DBLE"));
  EXPECT_TRUE(logged(">>--->> WARNING in subroutine OPEN3/CRTBUF3"));
  EXPECT_TRUE(logged("DOUBLE PRECISION BUFFERRED not supported for M2"));

  describe();
  BDESC3.NCOLS3D = -3;
  EXPECT_FALSE(open_buffered("M_NEG"));
  EXPECT_TRUE(logged("Bad dimensions for BUFFERED file M_NEG"));
  EXPECT_EQ(NAME2FID("M_NEG"), 0);

  // A perimeter beyond 64 bits is refused, not overflowed.
  describe({XQREAL}, 10000, BNDARY3);
  BDESC3.NCOLS3D = BDESC3.NROWS3D = BDESC3.NTHIK3D = 2147483647;
  EXPECT_FALSE(open_buffered("M_HUGE"));
  EXPECT_TRUE(logged("Bad dimensions for BUFFERED file M_HUGE"));
  EXPECT_EQ(test_hooks::buffers_held(), 0);
}

// A boundary file with NTHIK 1, 10 columns and 5 rows has 34 values per layer; a
// time-independent file reads its one step whatever the date and time.
TEST_F(MemoryTest, BoundaryAndTimeIndependent) {
  describe({XQINT}, 0, BNDARY3);
  BDESC3.NCOLS3D = 10;
  BDESC3.NROWS3D = 5;
  BDESC3.NTHIK3D = 1;
  BDESC3.NLAYS3D = 1;
  ASSERT_TRUE(open_buffered());
  const int fid = NAME2FID("MEM");
  EXPECT_EQ(state().b.LAYSIZE3(fid), 34);
  std::vector<int> in(34);
  std::iota(in.begin(), in.end(), 7);
  std::vector<int> out(34);
  EXPECT_FALSE(READ3("MEM", "M1", 1, 2024033, 0, out.data()));
  ASSERT_TRUE(write_buffered_step("MEM", "M1", 0, 0, in.data()));
  ASSERT_TRUE(READ3("MEM", "M1", 1, 1999001, 120000, out.data()));
  EXPECT_EQ(out, in);
}

// ALL delivers REAL variables only: a later INTEGER variable fails after the REAL one is
// delivered. Creating twice keeps the first buffers; closing leaves nothing behind.
TEST_F(MemoryTest, AllVariablesCreateTwiceAndClose) {
  describe({XQREAL, XQINT});
  ASSERT_TRUE(open_buffered());
  const int fid = NAME2FID("MEM");
  ASSERT_TRUE(write_buffered_step("MEM", "M1", 2024033, 0, step(5).data()));
  ASSERT_TRUE(write_buffered_step("MEM", "M2", 2024033, 0, step(0).data()));
  std::vector<float> out(48, -1.0F);
  EXPECT_FALSE(READ3("MEM", "ALL", ALLAYS3, 2024033, 0, out.data()));
  EXPECT_TRUE(logged("ALLVAR3 non-REAL types not supported"));
  EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 24), step(5));
  EXPECT_EQ(out[24], -1.0F);

  EXPECT_TRUE(CRTBUF3(fid));
  std::array<float, 24> kept{};
  ASSERT_EQ(BUFGET3(fid, 1, ALLAYS3, 4, 6, state().b.BUFLAST3(1, fid) == 0 ? 1 : 0, kept.data()),
            1);
  EXPECT_EQ(kept[0], 0.0F);
  ASSERT_EQ(BUFGET3(fid, 1, ALLAYS3, 4, 6, 0, kept.data()), 1);
  EXPECT_EQ(kept[0], 5.0F);
  EXPECT_EQ(test_hooks::buffers_held(), 2);
  EXPECT_TRUE(CLOSE3("MEM"));
  EXPECT_EQ(test_hooks::buffers_held(), 0);
}

}  // namespace
}  // namespace kavro_test
