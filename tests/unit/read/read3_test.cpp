// READ3 through OPEN3: argument checks and their messages, the variable listing, layers,
// dispatch by type, and the sized overload refusing a buffer that is too small.
#include "read/read.h"
#include "read_support.h"

namespace kavro_test {
namespace {

using kavro::ALLAYS3;
using kavro::READ3;

class Read3Test : public ReadTest {
 protected:
  // Writes FX as file NAME, points the logical name at it and opens it read-only.
  bool open(const FixtureSpec& fx, const std::string& name) {
    const std::string path = dir().file(name + ".nc");
    if (!write_fixture(path, fx)) return false;
    env_.push_back(std::make_unique<ScopedEnv>(name, path));
    return kavro::OPEN3(name, kavro::FSREAD3, "READ3TEST");
  }

  static FixtureSpec grid(int nvars = 1) {
    FixtureSpec s;
    s.ncols = 3;
    s.nrows = 2;
    s.nlays = 4;
    s.vars = numbered_vars(nvars);
    return s;
  }

  // The warning paragraph of READ3 for the default date and time (2024033, 010000).
  static std::vector<std::string> warning(const std::string& text) {
    return {"     ", "     >>--->> WARNING in subroutine READ3", "     " + text,
            "     XQWARN:  DTBUF 1:00:00   Feb. 2, 2024"};
  }

  static std::vector<std::string> cat(std::vector<std::string> a,
                                      const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  static constexpr int kDate = 2024033;
  static constexpr int kTime = 10000;

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// A name of 17 significant characters logs its length and the arguments line, both names at
// their full declared length.
TEST_F(Read3Test, OverlongVariableNameIsRefused) {
  ASSERT_TRUE(open(grid(), "GRID"));
  const std::size_t before = log_lines().size();
  WordBuffer buf(24);
  EXPECT_FALSE(READ3("GRID            ", "ABCDEFGHIJKLMNOPQ ", 1, kDate, kTime, buf.data()));
  EXPECT_EQ(log_from(before),
            cat({"     Max vble name length 16; actual:        17",
                 "     File \"GRID            \" Variable \"ABCDEFGHIJKLMNOPQ \""},
                warning("Invalid variable or file name arguments")));
  EXPECT_TRUE(buf.untouched(1, 24));
}

// A file that is not open gives only the arguments line.
TEST_F(Read3Test, FileNotOpenIsRefused) {
  kavro::INIT3();
  const std::size_t before = log_lines().size();
  WordBuffer buf(4);
  EXPECT_FALSE(READ3("NOPE", "V1", 1, kDate, kTime, buf.data()));
  EXPECT_EQ(log_from(before), cat({"     File \"NOPE\" Variable \"V1\""},
                                  warning("Invalid variable or file name arguments")));
}

// A missing variable lists the file's seven variables three to a line; "all" in lower case
// is a variable name like any other.
TEST_F(Read3Test, MissingVariableListsTheFileVariables) {
  ASSERT_TRUE(open(grid(7), "GRID"));
  for (const std::string name : {"XX", "all"}) {
    const std::size_t before = log_lines().size();
    WordBuffer buf(4);
    EXPECT_FALSE(READ3("GRID", name, 1, kDate, kTime, buf.data()));
    EXPECT_EQ(log_from(before),
              cat({"     File GRID contains vbles",
                   "     \"V1              \"    \"V2              \"    \"V3              \"",
                   "     \"V4              \"    \"V5              \"    \"V6              \"",
                   "     \"V7              \""},
                  warning("Requested variable \"" + name + "\" not available")));
  }
}

// Layers 0, NLAYS + 1 and -2 are refused (-1, all layers, is read by the sized test below).
class Read3LayerTest : public Read3Test, public ::testing::WithParamInterface<int> {};

TEST_P(Read3LayerTest, LayerOutsideTheFileIsRefused) {
  ASSERT_TRUE(open(grid(), "GRID"));
  const int layer = GetParam();
  const std::size_t before = log_lines().size();
  WordBuffer buf(24);
  EXPECT_FALSE(READ3("GRID", "V1", layer, kDate, kTime, buf.data()));
  char requested[32];
  std::snprintf(requested, sizeof requested, "%5d", layer);
  EXPECT_EQ(log_from(before), cat({"     Requested layer:" + std::string(requested),
                                   "     Layers in the file:  1 ...    4"},
                                  warning("LAYER not available in file GRID")));
  EXPECT_TRUE(buf.untouched(1, 24));
}
INSTANTIATE_TEST_SUITE_P(Layers, Read3LayerTest, ::testing::Values(0, 5, -2));

// A read whose step is not stored fails before the buffer is touched.
TEST_F(Read3Test, MissingStepLeavesBufferUntouched) {
  ASSERT_TRUE(open(grid(), "GRID"));
  WordBuffer buf(6);
  EXPECT_FALSE(READ3("GRID", "V1", 1, kDate, 20000, buf.data()));
  EXPECT_TRUE(buf.untouched(1, 6));
}

// A type without a transfer routine is reported with its code.
TEST_F(Read3Test, UnknownTypeIsReported) {
  ASSERT_TRUE(open(grid(), "GRID"));
  kavro::state().b.FTYPE3(1) = 9;
  const std::size_t before = log_lines().size();
  WordBuffer buf(6);
  EXPECT_FALSE(READ3("GRID", "V1", 1, kDate, kTime, buf.data()));
  EXPECT_EQ(log_from(before), warning("File:  GRID of unknown type:    9"));
}

// A dictionary goes to its reader by name before the layer is looked at, and a
// memory-resident file to its reader before any flag is checked.
TEST_F(Read3Test, DictionaryAndMemoryFilesGoToTheirReaders) {
  ASSERT_TRUE(open(grid(), "GRID"));
  auto& b = kavro::state().b;
  b.FTYPE3(1) = kavro::DCTNRY3;
  std::size_t before = log_lines().size();
  WordBuffer buf(6);
  EXPECT_FALSE(READ3("GRID", "ENTRY", 99, 0, 0, buf.data()));
  EXPECT_EQ(log_from(before)[2], "     >>> WARNING in subroutine RDDICT3 <<<");
  b.FTYPE3(1) = kGrdded;
  const int ncid = b.NCID3(1);
  b.NCID3(1) = kavro::MEMFIL3;
  before = log_lines().size();
  EXPECT_FALSE(READ3("GRID", "V1", 1, kDate, 12345, buf.data()));
  EXPECT_EQ(log_from(before)[1], "     >>--->> WARNING in subroutine READ3/RDBUF3");
  EXPECT_TRUE(buf.untouched(1, 6));
  b.NCID3(1) = ncid;
}

// The sized overload refuses a buffer one word short, leaving it untouched, and reads into
// one of exactly the size needed.
TEST_F(Read3Test, SizedReadRefusesTooSmallBuffer) {
  const FixtureSpec s = grid(2);
  ASSERT_TRUE(open(s, "GRID"));
  WordBuffer buf(48);
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(READ3("GRID", "ALL", ALLAYS3, kDate, kTime, buf.data(), 47 * 4));
  EXPECT_EQ(log_from(before),
            warning("Buffer too small for variable ALL of file GRID: 192 bytes needed, 188 given"));
  EXPECT_TRUE(buf.untouched(1, 48));
  EXPECT_TRUE(READ3("GRID", "ALL", ALLAYS3, kDate, kTime, buf.data(), 48 * 4));
  EXPECT_EQ(buf.f(48), float(expected_value(s, 2, 2, 4, 2, 3)));
}

// Bytes a read writes, by file kind and type, without touching a file.
struct SizeCase {
  const char* what;
  int ncid, ftype, ncols, nrows, nlays, nthik, laysize;
  std::vector<int> types;
  int vid, layer;
  std::int64_t bytes;
};

class Read3SizeTest : public ReadTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(Read3SizeTest, CountsHeaderArraysAndValues) {
  const SizeCase& c = GetParam();
  kavro::INIT3();
  auto& b = kavro::state().b;
  b.NCID3(1) = c.ncid;
  b.FTYPE3(1) = c.ftype;
  b.NCOLS3(1) = c.ncols;
  b.NROWS3(1) = c.nrows;
  b.NLAYS3(1) = c.nlays;
  b.NTHIK3(1) = c.nthik;
  b.LAYSIZE3(1) = c.laysize;
  b.NVARS3(1) = int(c.types.size());
  for (std::size_t v = 0; v < c.types.size(); ++v) b.VTYPE3(int(v) + 1, 1) = c.types[v];
  EXPECT_EQ(kavro::detail::read3_size_bytes(1, c.vid, c.layer), c.bytes) << c.what;
}

constexpr int kNc = 65536;
INSTANTIATE_TEST_SUITE_P(
    Kinds, Read3SizeTest,
    ::testing::Values(
        SizeCase{"gridded layer", kNc, kGrdded, 3, 2, 4, 0, 6, {kReal}, 1, 2, 24},
        SizeCase{"gridded all layers", kNc, kGrdded, 3, 2, 4, 0, 6, {kReal}, 1, -1, 96},
        SizeCase{"all variables", kNc, kGrdded, 5, 2, 1, 0, 10, {kReal, kDouble, kInt}, -1, 1, 160},
        SizeCase{"boundary thickness 1", kNc, kBndary, 10, 5, 1, 1, 34, {kReal}, 1, 1, 136},
        SizeCase{"boundary thickness -1", kNc, kBndary, 10, 5, 2, -1, 26, {kReal}, 1, -1, 208},
        SizeCase{"id-referenced", kNc, kIddata, 1, 3, 1, 0, 3, {kReal}, 1, 1, 28},
        SizeCase{"profiles", kNc, kProfil, 3, 2, 1, 0, 6, {kReal}, 1, 1, 68},
        SizeCase{"nested grids", kNc, kGrnest, 3, 2, 1, 0, 6, {kReal}, 1, 1, 108},
        SizeCase{"sparse matrix", kNc, kSmatrx, 3, 2, 1, 0, 3, {kDouble}, 1, 1, 44},
        SizeCase{"binary id-referenced: whole record",
                 kavro::BINFIL3,
                 kIddata,
                 1,
                 3,
                 2,
                 0,
                 3,
                 {kReal, kDouble},
                 1,
                 1,
                 72},
        SizeCase{
            "binary gridded: no header", kavro::BINFIL3, kGrdded, 3, 2, 1, 0, 6, {kInt}, 1, 1, 24},
        SizeCase{"memory all: REAL prefix",
                 kavro::MEMFIL3,
                 kGrdded,
                 3,
                 2,
                 2,
                 0,
                 6,
                 {kReal, kReal, kInt},
                 -1,
                 -1,
                 96},
        SizeCase{"dictionary", kNc, kDctnry, 0, 0, 0, 0, 0, {kReal}, 1, 1, 0},
        SizeCase{"beyond 64 bits",
                 kNc,
                 kGrdded,
                 2000000000,
                 2000000000,
                 2000000000,
                 0,
                 0,
                 {kDouble},
                 1,
                 -1,
                 INT64_MAX}));

}  // namespace
}  // namespace kavro_test

namespace kavro_test {
namespace {

// An event file's flags are (record, date-time): a read takes the flag-pair path and ends with
// the pair's warning, never with a netCDF error from a three-entry read of a 2-D variable.
TEST_F(Read3Test, EventFileTakesTheFlagPath) {
  FixtureSpec events = grid();
  events.ftype = kKfevnt;
  events.drop("TSTEP");
  ASSERT_TRUE(open(events, "EVENTS"));
  const std::size_t before = log_lines().size();
  WordBuffer buf(1024);
  EXPECT_FALSE(READ3("EVENTS", "V1", 1, kDate, kTime, buf.data()));
  const std::vector<std::string> lines = log_from(before);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "     Time step not available in file EVENTS           for variable V1");
  for (const std::string& l : lines) EXPECT_EQ(l.find("netCDF error"), std::string::npos) << l;
}

}  // namespace
}  // namespace kavro_test
