// The comparison rule, the grid checks, the failure messages and the cell loop, without files.
#include "compare.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace brindlewick {
namespace {

constexpr float kNanF = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kSubF = std::numeric_limits<float>::denorm_min();
constexpr float kMinF = std::numeric_limits<float>::min();
constexpr double kNanD = std::numeric_limits<double>::quiet_NaN();
constexpr double kSubD = std::numeric_limits<double>::denorm_min();
constexpr double kMinD = std::numeric_limits<double>::min();

template <typename T>
struct RuleCase {
  T a;
  T b;
  bool differs;
};

// NaN always reported, +0 = -0, a subnormal equals zero and any other subnormal.
const RuleCase<float> kRealCases[] = {
    {1.0f, 1.0f, false},
    {0.0f, -0.0f, false},
    {kNanF, kNanF, true},
    {kNanF, 1.0f, true},
    {1.0f, -kNanF, true},
    {kSubF, 0.0f, false},
    {-kSubF, 0.0f, false},
    {kSubF, 3 * kSubF, false},
    {kSubF, kMinF, true},
    {kMinF, -kMinF, true},
    {1.0f, std::nextafter(1.0f, 2.0f), true},
    {kInfF, kInfF, false},
    {kInfF, -kInfF, true},
    {kInfF, kNanF, true},
};
const RuleCase<double> kDoubleCases[] = {
    {1.0, 1.0, false},
    {0.0, -0.0, false},
    {kNanD, kNanD, true},
    {kNanD, 0.0, true},
    {kSubD, 0.0, false},
    {kSubD, -5 * kSubD, false},
    {kSubD, kMinD, true},
    {1.0, std::nextafter(1.0, 0.0), true},
    // Two doubles that round to the same float still differ: doubles compare as doubles.
    {1.0, 1.0 + 1e-12, true},
};

TEST(CellDiffersTest, RealFollowsTheRule) {
  for (const auto& c : kRealCases) {
    EXPECT_EQ(cell_differs(c.a, c.b), c.differs) << c.a << " vs " << c.b;
    EXPECT_EQ(cell_differs(c.b, c.a), c.differs) << c.b << " vs " << c.a;
  }
}

TEST(CellDiffersTest, DoubleFollowsTheRule) {
  for (const auto& c : kDoubleCases) {
    EXPECT_EQ(cell_differs(c.a, c.b), c.differs) << c.a << " vs " << c.b;
    EXPECT_EQ(cell_differs(c.b, c.a), c.differs) << c.b << " vs " << c.a;
  }
}

// The rule on bits equals the hardware comparison with subnormal operands taken as zero.
TEST(CellDiffersTest, MatchesTheUnitUnderDenormalsAreZero) {
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(saved | 0x8040u);
  for (const auto& c : kRealCases) {
    volatile float a = c.a;
    volatile float b = c.b;
    EXPECT_EQ(!(a == b), c.differs) << c.a << " vs " << c.b;
  }
  for (const auto& c : kDoubleCases) {
    volatile double a = c.a;
    volatile double b = c.b;
    EXPECT_EQ(!(a == b), c.differs) << c.a << " vs " << c.b;
  }
  _mm_setcsr(saved);
}

// One-row grids of any width: a difference anywhere is found, across the scan's blocks.
class ScanTest : public ::testing::Test {
 protected:
  template <typename T>
  std::size_t differing(int vtype, const std::vector<T>& a, const std::vector<T>& b) {
    const std::size_t n = a.size();
    real_.assign(n, 1.0f);
    int_.assign(n, 1);
    found_.assign(n, 0);
    sorted_.assign(n, 0);
    starts_.assign(n, 0);
    const Locations loc{real_.data(), real_.data(), int_.data(),
                        int_.data(),  real_.data(), real_.data()};
    const GridFrame grid{static_cast<int>(n), 1, 1, 0.0, 0.0, 1.0, 1.0};
    std::FILE* sink = std::fopen("/dev/null", "w");
    auto writer = std::make_unique<ReportWriter>(sink);
    const std::size_t reports =
        compare_step(vtype, a.data(), b.data(), grid, loc,
                     {found_.data(), sorted_.data(), starts_.data()}, *writer);
    writer->flush();
    std::fclose(sink);
    return reports;
  }
  std::vector<float> real_;
  std::vector<std::int32_t> int_;
  std::vector<std::size_t> found_, sorted_, starts_;
};

TEST_F(ScanTest, FindsOneDifferenceAnywhere) {
  for (std::size_t n : {1u, 255u, 256u, 257u, 1000u}) {
    const std::vector<float> a(n, 2.5f);
    for (std::size_t at : {std::size_t{0}, n / 2, n - 1}) {
      std::vector<float> b = a;
      EXPECT_EQ(differing(kavro::XQREAL, a, b), 0u);
      b[at] = 3.5f;
      EXPECT_EQ(differing(kavro::XQREAL, a, b), 1u) << n << " " << at;
      b[at] = kNanF;
      const std::vector<float> c = b;  // NaN in both: bit-identical yet reported
      EXPECT_EQ(differing(kavro::XQREAL, c, b), 1u) << n << " " << at;
    }
  }
}

TEST_F(ScanTest, EachTypeUsesItsOwnWidth) {
  std::vector<double> a(600, 1.0);
  std::vector<double> b = a;
  a[599] = 0.0;
  b[599] = -0.0;
  EXPECT_EQ(differing(kavro::XQDBLE, a, b), 0u);
  b[599] = 1e-300;
  b[300] = 1.0 + 1e-15;
  EXPECT_EQ(differing(kavro::XQDBLE, a, b), 2u);
  std::vector<std::int32_t> i(300, 5);
  std::vector<std::int32_t> j = i;
  j[299] = 0;
  EXPECT_EQ(differing(kavro::XQINT, i, j), 1u);
}

struct GridIndexCase {
  float loc;
  double orig;
  double cell;
  std::int32_t expected;
};

// Truncation toward zero; no index (IMISSING3) without a cell size or outside 32 bits.
TEST(GridIndexTest, TruncatesTowardZero) {
  const GridIndexCase cases[] = {
      {-6000.0f, -4000.0, 4000.0, 0},    // half a cell left of the origin: column 0
      {-12000.0f, -4000.0, 4000.0, -2},  // two cells left
      {-9999.0f, -4000.0, 4000.0, -1},   // -1.49975 truncates to -1, not -2
      {3999.0f, 0.0, 4000.0, 0},
      {8000.0f, 0.0, 4000.0, 2},
      {10.0f, 0.0, -4.0, -2},
      {5.0f, 0.0, 0.0, kavro::IMISSING3},
      {0.0f, 0.0, 0.0, kavro::IMISSING3},
      {kNanF, 0.0, 1.0, kavro::IMISSING3},
      {kInfF, 0.0, 1.0, kavro::IMISSING3},
      {3e9f, 0.0, 1.0, kavro::IMISSING3},
      {-3e9f, 0.0, 1.0, kavro::IMISSING3},
      {2147483520.0f, 0.0, 1.0, 2147483520},
      {-2147483648.0f, 0.0, 1.0, -2147483647 - 1},
      {2147483648.0f, 0.0, 1.0, kavro::IMISSING3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(grid_index(c.loc, c.orig, c.cell), c.expected) << c.loc << " " << c.cell;
  }
}

TEST(ArrayBytesTest, EmptyExtentsAndOverflow) {
  std::size_t bytes = 1;
  ASSERT_TRUE(array_bytes(3, 2, 4, 8, bytes));
  EXPECT_EQ(bytes, 192u);
  ASSERT_TRUE(array_bytes(-3, 2, 4, 4, bytes));
  EXPECT_EQ(bytes, 0u);
  ASSERT_TRUE(array_bytes(3, 2, 0, 4, bytes));
  EXPECT_EQ(bytes, 0u);
  EXPECT_FALSE(array_bytes(2147483647, 2147483647, 2147483647, 8, bytes));
}

std::string text(const Mesg& m) { return std::string(m.trimmed()); }

TEST(MessagesTest, FailureTextsNameTheTrimmedFile) {
  const Mesg open = open_failure_message("INFILE1         ");
  EXPECT_EQ(text(open), "Could not open file \"INFILE1\" for input");
  EXPECT_EQ(open.padded().size(), 160u);
  EXPECT_EQ(text(read_failure_message("STACK1          ")), "Could not read from \"STACK1\"");
}

TEST(MessagesTest, ChecksNameTheFilesAndShapes) {
  Mesg m;
  EXPECT_TRUE(check_gridded("STACK1", {kavro::GRDDED3, 1, 1, 1}, m));
  EXPECT_TRUE(check_gridded("STACK1", {kavro::kTypeSeven, 1, 1, 1}, m));
  EXPECT_TRUE(check_gridded("STACK1", {kavro::PTRFLY3, 1, 1, 1}, m));
  EXPECT_FALSE(check_gridded("INFILE2         ", {kavro::BNDARY3, 4, 3, 1}, m));
  EXPECT_EQ(text(m), "File \"INFILE2\" is not a gridded file: file type 2");

  const FileShape a{1, 4, 3, 1};
  const FileShape b{1, 4, 5, 1};
  EXPECT_TRUE(check_same_grid(a, a, a, m));
  EXPECT_FALSE(check_same_grid(a, a, b, m));
  EXPECT_EQ(
      text(m),
      "Grids differ (columns x rows): \"STACK1\" 4 x 3, \"INFILE1\" 4 x 3, \"INFILE2\" 4 x 5");
  EXPECT_FALSE(check_same_grid(b, a, a, m));
  EXPECT_FALSE(check_same_grid(a, b, a, m));

  EXPECT_TRUE(check_same_layers({1, 4, 3, 2}, {1, 9, 9, 2}, m));
  EXPECT_FALSE(check_same_layers({1, 4, 3, 2}, {1, 4, 3, 1}, m));
  EXPECT_EQ(text(m), "Layers differ: \"INFILE1\" has 2, \"INFILE2\" has 1");
}

TEST(MessagesTest, TypeChecksNameTheVariable) {
  Mesg m;
  EXPECT_TRUE(check_location_type("COL", kavro::XQINT, kavro::XQINT, m));
  EXPECT_FALSE(check_location_type("COL", kavro::XQINT, kavro::XQREAL, m));
  EXPECT_EQ(text(m), "Variable \"COL\" of \"STACK1\" must be INTEGER but is REAL");
  EXPECT_FALSE(check_location_type("LATITUDE", kavro::XQREAL, kavro::XQDBLE, m));
  EXPECT_EQ(text(m), "Variable \"LATITUDE\" of \"STACK1\" must be REAL but is DOUBLE");

  EXPECT_TRUE(check_variable_types("O3              ", kavro::XQDBLE, kavro::XQDBLE, m));
  EXPECT_FALSE(check_variable_types("O3              ", kavro::XQREAL, kavro::XQDBLE, m));
  EXPECT_EQ(text(m), "Variable \"O3\" is REAL in \"INFILE1\" but DOUBLE in \"INFILE2\"");
  EXPECT_FALSE(check_variable_types("FLAGS", 1, 1, m));
  EXPECT_EQ(text(m),
            "Variable \"FLAGS\" of \"INFILE2\" has data type 1: only INTEGER, REAL and DOUBLE are "
            "compared");
}

// A small grid and the reports the cell loop writes for it, captured from a memory stream.
class CompareStepTest : public ::testing::Test {
 protected:
  static constexpr int kCols = 3;
  static constexpr int kRows = 2;
  static constexpr std::size_t kCells = kCols * kRows;

  CompareStepTest() {
    for (std::size_t i = 0; i < kCells; ++i) {
      lat_[i] = 30.0f + static_cast<float>(i);
      lon_[i] = -100.0f - static_cast<float>(i);
      col_[i] = static_cast<std::int32_t>(i % kCols) + 1;
      row_[i] = static_cast<std::int32_t>(i / kCols) + 1;
      x_[i] = 1000.0f * static_cast<float>(i % kCols) + 500.0f;
      y_[i] = 1000.0f * static_cast<float>(i / kCols) + 500.0f;
    }
    loc_ = {lat_, lon_, col_, row_, x_, y_};
    stream_ = open_memstream(&data_, &size_);
    writer_ = std::make_unique<ReportWriter>(stream_);
  }
  ~CompareStepTest() override {
    std::fclose(stream_);
    std::free(data_);
  }

  std::size_t run(int vtype, const void* a, const void* b, int nlays) {
    const GridFrame grid{kCols, kRows, nlays, 0.0, 0.0, 1000.0, 1000.0};
    const std::size_t n =
        compare_step(vtype, a, b, grid, loc_, {found_, sorted_, starts_}, *writer_);
    EXPECT_TRUE(writer_->flush());
    return n;
  }
  // (column, row) of every report, from the first two items of its first line.
  std::vector<std::pair<int, int>> reported() {
    std::fflush(stream_);
    std::vector<std::pair<int, int>> cells;
    const std::string out(data_, size_);
    for (std::size_t p = 0; p < out.size();) {
      const std::size_t end = out.find('\n', p);
      cells.emplace_back(std::stoi(out.substr(p, 12)), std::stoi(out.substr(p + 12, 12)));
      p = out.find('\n', end + 1) + 1;  // the second line of the report
    }
    return cells;
  }
  std::string output() {
    std::fflush(stream_);
    return std::string(data_, size_);
  }

  float lat_[kCells], lon_[kCells], x_[kCells], y_[kCells];
  std::int32_t col_[kCells], row_[kCells];
  std::size_t found_[kCells], sorted_[kCells], starts_[kCols];
  Locations loc_;
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* stream_;
  std::unique_ptr<ReportWriter> writer_;
};

// Every cell differs: columns outer, rows inner, layer outermost; layer-1 locations.
TEST_F(CompareStepTest, ReportsEveryCellInOrder) {
  float a[2 * kCells];
  float b[2 * kCells];
  for (std::size_t i = 0; i < 2 * kCells; ++i) {
    a[i] = static_cast<float>(i);
    b[i] = static_cast<float>(i) + 0.5f;
  }
  EXPECT_EQ(run(kavro::XQREAL, a, b, 2), 2 * kCells);
  const std::vector<std::pair<int, int>> one_layer = {{1, 1}, {1, 2}, {2, 1},
                                                      {2, 2}, {3, 1}, {3, 2}};
  std::vector<std::pair<int, int>> expected = one_layer;
  expected.insert(expected.end(), one_layer.begin(), one_layer.end());
  EXPECT_EQ(reported(), expected);
  const std::string out = output();
  EXPECT_EQ(out.substr(0, out.size() / 2), out.substr(out.size() / 2));
}

TEST_F(CompareStepTest, ReportsOnlyDifferingCells) {
  float a[kCells] = {1, 2, 3, 4, 5, 6};
  float b[kCells] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(run(kavro::XQREAL, a, b, 1), 0u);
  EXPECT_EQ(output(), "");
  a[0] = -0.0f;
  b[0] = 0.0f;
  a[5] = kNanF;  // row 2, column 3
  b[5] = kNanF;
  a[3] = kSubF;  // row 2, column 1: subnormal against 4
  b[1] = kSubF;  // row 1, column 2: subnormal against 2
  EXPECT_EQ(run(kavro::XQREAL, a, b, 1), 3u);
  EXPECT_EQ(reported(), (std::vector<std::pair<int, int>>{{1, 2}, {2, 1}, {3, 2}}));
}

TEST_F(CompareStepTest, EmptyGridReportsNothing) {
  EXPECT_EQ(run(kavro::XQREAL, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(output(), "");
}

// More reports than the writer's buffer holds all arrive, in order.
TEST(ReportWriterTest, WritesPastItsBuffer) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  auto writer = std::make_unique<ReportWriter>(stream);
  constexpr int kReports = 20000;
  for (int k = 0; k < kReports; ++k) {
    char* p = writer->reserve();
    p += std::snprintf(p, kReportSize, "%0127d\n", k);
    writer->commit(p);
  }
  ASSERT_TRUE(writer->flush());
  ASSERT_EQ(size, std::size_t{kReports} * 128);
  EXPECT_EQ(std::string(data + 128 * 12345, 128), std::string(121, '0') + "012345\n");
  std::fclose(stream);
  std::free(data);
}

}  // namespace
}  // namespace brindlewick
