// The comparison rule, the grid checks, the failure messages and the cell loop, without files.
#include "run/compare.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/fault_walk.h"

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

// One-row grids of any width: a difference anywhere is found, across the scan's blocks, and
// the same cells are found in buffers holding each value's bytes reversed (as a big-endian
// file stores them), with the values handed on in the machine's order.
class ScanTest : public ::testing::Test {
 protected:
  // Records the values the scan hands on.
  struct Seen : DifferenceSink {
    std::vector<std::uint64_t> values;
    bool differing_cell(std::size_t, int, std::uint64_t a, std::uint64_t b) noexcept override {
      values.push_back(a);
      values.push_back(b);
      return true;
    }
  };
  template <typename T>
  std::size_t scan(int vtype, const std::vector<T>& a, const std::vector<T>& b,
                   kavro::ValueOrder order, DifferenceSink* sink) {
    const std::size_t n = a.size();
    real_.assign(n, 1.0f);
    int_.assign(n, 1);
    found_.assign(n, 0);
    sorted_.assign(n, 0);
    starts_.assign(n, 0);
    const Locations loc{real_.data(), real_.data(), int_.data(),
                        int_.data(),  real_.data(), real_.data()};
    const GridFrame grid{static_cast<int>(n), 1, 1, 0.0, 0.0, 1.0, 1.0};
    std::FILE* out = std::fopen("/dev/null", "w");
    auto writer = std::make_unique<ReportWriter>(out);
    const std::size_t reports =
        compare_step(vtype, a.data(), b.data(), grid, loc,
                     {found_.data(), sorted_.data(), starts_.data()}, *writer, sink, order);
    writer->flush();
    std::fclose(out);
    return reports;
  }
  // The cells found, the same in both byte orders and by the AVX2 and the generic scan.
  template <typename T>
  std::size_t differing(int vtype, const std::vector<T>& a, const std::vector<T>& b) {
    std::vector<T> ra = a, rb = b;
    reverse_value_bytes(ra.data(), ra.size() * sizeof(T), vtype);
    reverse_value_bytes(rb.data(), rb.size() * sizeof(T), vtype);
    Seen first;
    const std::size_t n = scan(vtype, a, b, kavro::ValueOrder::native, &first);
    for (bool generic : {false, true}) {
      test_hooks::use_generic_scan(generic);
      Seen native, reversed;
      EXPECT_EQ(scan(vtype, a, b, kavro::ValueOrder::native, &native), n) << generic;
      EXPECT_EQ(scan(vtype, ra, rb, kavro::ValueOrder::reversed, &reversed), n) << generic;
      EXPECT_EQ(native.values, first.values) << generic;
      EXPECT_EQ(reversed.values, first.values) << generic;
    }
    test_hooks::use_generic_scan(false);
    return n;
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

// Every case of the rule, alone among equal cells, in both byte orders.
TEST_F(ScanTest, RuleCasesInsideTheScan) {
  for (const auto& c : kRealCases) {
    for (std::size_t at : {0u, 37u, 99u}) {
      std::vector<float> a(100, 7.0f), b(100, 7.0f);
      a[at] = c.a;
      b[at] = c.b;
      EXPECT_EQ(differing(kavro::XQREAL, a, b), c.differs ? 1u : 0u) << c.a << " vs " << c.b;
      EXPECT_EQ(differing(kavro::XQREAL, b, a), c.differs ? 1u : 0u) << c.b << " vs " << c.a;
    }
  }
  for (const auto& c : kDoubleCases) {
    std::vector<double> a(70, -3.0), b(70, -3.0);
    a[65] = c.a;
    b[65] = c.b;
    EXPECT_EQ(differing(kavro::XQDBLE, a, b), c.differs ? 1u : 0u) << c.a << " vs " << c.b;
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

  std::size_t run(int vtype, const void* a, const void* b, int nlays,
                  DifferenceSink* sink = nullptr, KeptTexts* kept = nullptr) {
    const GridFrame grid{kCols, kRows, nlays, 0.0, 0.0, 1000.0, 1000.0};
    const std::size_t n =
        compare_step(vtype, a, b, grid, loc_, {found_, sorted_, starts_, kept}, *writer_, sink);
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

// Kept report texts: formatted on a cell's first report, written again on the next, byte for
// byte what formatting every time writes; a layer where every cell differs goes out whole.
// They serve layers where most cells differ, or every layer once the run says so.
TEST_F(CompareStepTest, KeptTextsAreTheFormattedOnes) {
  float a[2 * kCells];
  float b[2 * kCells];
  for (std::size_t i = 0; i < 2 * kCells; ++i) {
    a[i] = static_cast<float>(i);
    b[i] = (i == 4) ? a[i] : a[i] + 1.0f;  // layer 1 without cell 4: formatted in layer 2
  }
  EXPECT_EQ(run(kavro::XQREAL, a, b, 2), 2 * kCells - 1);
  const std::string formatted = output();
  std::vector<char> texts(kCells * kReportSize, '\0');
  KeptTexts kept{texts.data()};
  EXPECT_EQ(run(kavro::XQREAL, a, b, 2, nullptr, &kept), 2 * kCells - 1);
  EXPECT_EQ(output(), formatted + formatted);
  EXPECT_EQ(run(kavro::XQREAL, a, b, 2, nullptr, &kept), 2 * kCells - 1);
  EXPECT_EQ(output(), formatted + formatted + formatted);
  EXPECT_EQ(kept.formatted, kCells);

  // One cell of six differs: formatted anew, until the texts serve every layer.
  std::vector<char> fresh(kCells * kReportSize, '\0');
  KeptTexts sparse{fresh.data()};
  b[1] = a[1];
  b[2] = a[2];
  b[3] = a[3];
  b[5] = a[5];
  EXPECT_EQ(run(kavro::XQREAL, a, b, 1, nullptr, &sparse), 1u);
  EXPECT_EQ(sparse.formatted, 0u);
  sparse.every_layer = true;
  EXPECT_EQ(run(kavro::XQREAL, a, b, 1, nullptr, &sparse), 1u);
  EXPECT_EQ(sparse.formatted, 1u);
  const std::string out = output();
  EXPECT_EQ(out.substr(out.size() - 2 * kReportSize, kReportSize),
            out.substr(out.size() - kReportSize));
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

// A sink sees every differing cell in report order, with its layer and both values' bits,
// and only the cells it accepts are reported.
TEST_F(CompareStepTest, SinkSeesEveryDifferingCellAndChoosesTheReports) {
  struct Seen : DifferenceSink {
    std::vector<std::tuple<std::size_t, int, float, float>> cells;
    bool differing_cell(std::size_t cell, int layer, std::uint64_t a,
                        std::uint64_t b) noexcept override {
      cells.emplace_back(cell, layer, std::bit_cast<float>(static_cast<std::uint32_t>(a)),
                         std::bit_cast<float>(static_cast<std::uint32_t>(b)));
      return layer == 2;
    }
  } sink;
  // Two layers of 3 x 2; cells 1 and 3 differ in layer 1, cell 0 in layer 2.
  float a[2 * kCells] = {};
  float b[2 * kCells] = {};
  b[1] = 1.5f;
  b[3] = kNanF;
  b[kCells] = -2.0f;
  EXPECT_EQ(run(kavro::XQREAL, a, b, 2, &sink), 1u);
  ASSERT_EQ(sink.cells.size(), 3u);
  // Columns outer: cell 3 (column 1, row 2) before cell 1 (column 2, row 1).
  EXPECT_EQ(std::get<0>(sink.cells[0]), 3u);
  EXPECT_TRUE(std::isnan(std::get<3>(sink.cells[0])));
  EXPECT_EQ(sink.cells[1], std::make_tuple(std::size_t{1}, 1, 0.0f, 1.5f));
  EXPECT_EQ(sink.cells[2], std::make_tuple(std::size_t{0}, 2, 0.0f, -2.0f));
  EXPECT_EQ(reported(), (std::vector<std::pair<int, int>>{{1, 1}}));
}

// Tolerances: reported only beyond both; NaN against a number always, NaN against NaN never;
// an infinity against another value always.
TEST(BeyondToleranceTest, Boundaries) {
  const Tolerance abs_half{true, 0.5, 0.0};
  const Tolerance rel_tenth{true, 0.0, 0.1};
  const Tolerance both{true, 0.5, 0.1};
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double a, b;
    Tolerance tol;
    bool reported;
  };
  const Case cases[] = {
      {1.0, 1.5, abs_half, false},  // exactly the tolerance: inside
      {1.0, std::nextafter(1.5, 2.0), abs_half, true},
      {2.0, 1.5, abs_half, false},
      {2.0, std::nextafter(1.5, 1.0), abs_half, true},
      {10.0, 11.0, rel_tenth, false},  // 1 against 0.1 x 11 of the larger magnitude
      {10.0, 11.2, rel_tenth, true},
      {-10.0, -11.2, rel_tenth, true},
      {100.0, 100.6, both, false},  // beyond the absolute tolerance, inside the relative one
      {1.0, 1.6, both, true},
      {kNanD, 1.0, both, true},
      {1.0, kNanD, abs_half, true},
      {kNanD, kNanD, both, false},
      {kNanD, -kNanD, Tolerance{true, 0.0, 0.0}, false},
      {inf, 1.0, rel_tenth, true},
      {inf, inf, both, false},
      {inf, -inf, both, true},
      {0.0, -0.0, Tolerance{true, 0.0, 0.0}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(beyond_tolerance(c.a, c.b, c.tol), c.reported)
        << c.a << " vs " << c.b << " abs " << c.tol.absolute << " rel " << c.tol.relative;
  }
}

// Zero tolerances report what the rule reports, NaN against NaN aside, for every case of the
// rule's own tables (values seen as the comparison sees them).
TEST(BeyondToleranceTest, ZeroToleranceIsTheRule) {
  const Tolerance zero{true, 0.0, 0.0};
  auto number = [](float v) { return cell_number(kavro::XQREAL, std::bit_cast<std::uint32_t>(v)); };
  for (const auto& c : kRealCases) {
    const bool both_nan = std::isnan(c.a) && std::isnan(c.b);
    EXPECT_EQ(beyond_tolerance(number(c.a), number(c.b), zero), c.differs && !both_nan)
        << c.a << " vs " << c.b;
  }
  for (const auto& c : kDoubleCases) {
    const bool both_nan = std::isnan(c.a) && std::isnan(c.b);
    const double a = cell_number(kavro::XQDBLE, std::bit_cast<std::uint64_t>(c.a));
    const double b = cell_number(kavro::XQDBLE, std::bit_cast<std::uint64_t>(c.b));
    EXPECT_EQ(beyond_tolerance(a, b, zero), c.differs && !both_nan) << c.a << " vs " << c.b;
  }
}

// Values as the comparison sees them: INTEGERs exact and signed, subnormals a zero of their
// sign, in any floating-point mode.
TEST(CellNumberTest, TypesAndSubnormals) {
  EXPECT_EQ(cell_number(kavro::XQINT, std::uint32_t{0xFFFFFFFFu}), -1.0);
  EXPECT_EQ(cell_number(kavro::XQINT, std::uint32_t{0x7FFFFFFFu}), 2147483647.0);
  EXPECT_EQ(cell_number(kavro::XQREAL, std::bit_cast<std::uint32_t>(0.1f)), double(0.1f));
  EXPECT_EQ(cell_number(kavro::XQREAL, std::bit_cast<std::uint32_t>(kSubF)), 0.0);
  EXPECT_TRUE(std::signbit(cell_number(kavro::XQREAL, std::bit_cast<std::uint32_t>(-kSubF))));
  EXPECT_EQ(cell_number(kavro::XQDBLE, std::bit_cast<std::uint64_t>(kSubD)), 0.0);
  EXPECT_EQ(cell_number(kavro::XQDBLE, std::bit_cast<std::uint64_t>(kMinD)), kMinD);
  EXPECT_TRUE(std::isnan(cell_number(kavro::XQREAL, std::bit_cast<std::uint32_t>(kNanF))));
}

// More reports than the writer's buffer holds all arrive, in order; a block larger than the
// buffer goes out after what was collected and before what follows.
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
  char* p = writer->reserve();
  writer->commit(p + std::snprintf(p, kReportSize, "before\n"));
  const std::string block((std::size_t{1} << 21) + 1, 'x');
  writer->write(block);
  writer->write("after\n");
  ASSERT_TRUE(writer->flush());
  ASSERT_EQ(size, std::size_t{kReports} * 128 + 7 + block.size() + 6);
  EXPECT_EQ(std::string(data + kReports * 128, 8), "before\nx");
  EXPECT_EQ(std::string(data + size - 7, 7), "xafter\n");
  std::fclose(stream);
  std::free(data);
}

// Every write and flush of the reports failing in turn: the writer says so (the run then ends
// with status 2), and a stream that took every call holds every report.
TEST(ReportWriterTest, EveryFailedCallIsReported) {
  for (const kavro_test::Op op : {kavro_test::Op::kWrite, kavro_test::Op::kFlush}) {
    std::size_t size = 0;
    const auto points = kavro_test::walk_failures(
        {.op = op, .run = [&] {
           char* data = nullptr;
           std::FILE* stream = open_memstream(&data, &size);
           auto writer = std::make_unique<ReportWriter>(stream);
           for (int k = 0; k < 10000; ++k) {  // more than one buffer's worth
             char* p = writer->reserve();
             p += std::snprintf(p, kReportSize, "%0127d\n", k);
             writer->commit(p);
           }
           const bool ok = writer->flush();
           std::fclose(stream);
           std::free(data);
           return ok;
         }});
    EXPECT_EQ(points.size(), op == kavro_test::Op::kWrite ? 2u : 1u);
    EXPECT_EQ(size, std::size_t{10000} * 128);
  }
}

}  // namespace
}  // namespace brindlewick
