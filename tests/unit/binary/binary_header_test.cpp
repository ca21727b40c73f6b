// The native binary header: the bytes at their fixed offsets, the record layout of every
// storable type, the refusal of untrusted headers, and the failure of every system call.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "unit/binary/binary_support.h"

namespace kavro_test {
namespace {

using namespace kavro;

// The example file: header 19884 + 224 = 20108 bytes, records of 304 bytes, variable 2 at
// offset 112, record 3 at 20716, and layer 3 of variable 2 in record 3 at 20924.
TEST_F(BinaryTest, ExampleBytesAtTheirOffsets) {
  const std::string bytes = read_file(example_file(3));
  ASSERT_EQ(bytes.size(), 20108u + 3 * 304u);
  EXPECT_EQ(le_int(bytes, 0), 3);  // MXREC
  EXPECT_EQ(bytes.substr(4, 16), "kavro 3.1       ");
  EXPECT_EQ(bytes.substr(20, 4), std::string("\x00\x01\x02\x03", 4));
  EXPECT_EQ(le_int(bytes, 24), 4);
  EXPECT_EQ(le_int(bytes, 28), 4);
  EXPECT_EQ(le_int(bytes, 32), 8);
  EXPECT_EQ(le_int(bytes, 36), state().b.RUNDATE3);
  EXPECT_EQ(le_int(bytes, 44), state().b.RUNDATE3);
  EXPECT_EQ(le_int(bytes, 52), GRDDED3);
  EXPECT_EQ(le_int(bytes, 64), 3);
  EXPECT_EQ(le_int(bytes, 68), 2);
  EXPECT_EQ(le_int(bytes, 72), 4);
  EXPECT_EQ(le_int(bytes, 80), 2);
  EXPECT_EQ(le_int(bytes, 92), 10000);
  EXPECT_STREQ(bytes.c_str() + 96, "  3.0000000000000000000e+01");
  EXPECT_STREQ(bytes.c_str() + 320, "  1.2000000000000000000e+04");
  EXPECT_STREQ(bytes.c_str() + 348, "5.000000000e+03");
  EXPECT_STREQ(bytes.c_str() + 364 + 16, "7.500000000e-01");
  EXPECT_EQ(le_int(bytes, 1980), XQREAL);
  EXPECT_EQ(le_int(bytes, 1984), XQDBLE);
  EXPECT_EQ(bytes.substr(10172, 16), "EXAMPLE_GRID    ");
  EXPECT_EQ(bytes.substr(10204, 10), "binary run");
  EXPECT_EQ(bytes.substr(15084 + 80, 18), "second update line");
  EXPECT_EQ(bytes.substr(19884, 32), "V1              V2              ");
  EXPECT_EQ(bytes.substr(19916, 4), "ppmV");
  EXPECT_EQ(bytes.substr(19948, 10), "variable 1");
  // Record 3: the flag pairs, variable 1 (REAL) at 16, variable 2 (DOUBLE) at 112.
  EXPECT_EQ(le_int(bytes, 20716), 2024033);
  EXPECT_EQ(le_int(bytes, 20720), 20000);
  EXPECT_EQ(le_int(bytes, 20724), 2024033);
  EXPECT_EQ(raw_value<float>(bytes, 20716 + 16), 1300.0F);
  EXPECT_EQ(raw_value<double>(bytes, 20716 + 112), 2300.0);
  EXPECT_EQ(raw_value<double>(bytes, 20924), 2300.0 + 12);

  // RDBVARS of variable 2, layer 3, step 3 reads those 48 bytes.
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 0, "p"), 1);
  double layer[6];
  ASSERT_EQ(RDBVARS(1, 2, 3, 3, layer), 1);
  EXPECT_EQ(0, std::memcmp(layer, bytes.data() + 20924, sizeof layer));
}

// A version text of 20 characters keeps its first 15 and one blank.
TEST_F(BinaryTest, VersionKeepsFifteenCharacters) {
  ASSERT_EQ(INITBIN3("ABCDEFGHIJKLMNOPQRST", 2024001, 120000), 1);
  describe();
  ASSERT_EQ(create(dir().file("v.bin")), 1);
  ASSERT_EQ(CLOSEBIN3(1), 1);
  const std::string bytes = read_file(dir().file("v.bin"));
  EXPECT_EQ(bytes.substr(4, 16), "ABCDEFGHIJKLMNO ");
  EXPECT_EQ(le_int(bytes, 36), 2024001);
  EXPECT_EQ(le_int(bytes, 48), 120000);
}

// Every storable type: the layer size, the record length, and a round trip of flags, data
// and description through a second open.
struct TypeCase {
  int ftype, ncols, nrows, nlays, nvars, nthik;
  int laysize;       // values per layer
  int before_first;  // bytes before variable 1 in a record
};
class BinaryTypeTest : public BinaryTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(BinaryTypeTest, RoundTrip) {
  const TypeCase& c = GetParam();
  describe(c.ftype, c.ncols, c.nrows, c.nlays, c.nvars, c.nthik);
  const std::string path = dir().file("t.bin");
  ASSERT_EQ(create(path), 1);
  EXPECT_EQ(state().b.LAYSIZE3(1), c.laysize);
  write_steps(2);
  ASSERT_EQ(CLOSEBIN3(1), 1);

  const std::string bytes = read_file(path);
  std::size_t data = 0;
  for (int v = 0; v < c.nvars; ++v) {
    data += std::size_t(c.laysize) * std::size_t(c.nlays) *
            (BDESC3.VTYPE3D[std::size_t(v)] == XQDBLE ? 8u : 4u);
  }
  const std::size_t rec = std::size_t(c.before_first) + data;
  ASSERT_EQ(bytes.size(), 19884u + 112u * std::size_t(c.nvars) + 2 * rec);

  state().b.NVARS3(1) = 0;
  ASSERT_EQ(OPNBIN3(path.c_str(), 1, 0, "p"), 1);
  EXPECT_EQ(state().b.FTYPE3(1), c.ftype);
  EXPECT_EQ(state().b.NVARS3(1), c.nvars);
  EXPECT_EQ(state().b.MXREC3(1), 2);
  EXPECT_EQ(state().b.XCELL3(1), 12000.0);
  EXPECT_EQ(state().c.GDNAM3(1).trimmed(), "EXAMPLE_GRID");
  std::vector<int> flags(std::size_t(2 * std::max(c.nvars, 1)));
  ASSERT_EQ(RDBFLAG(1, ALLVAR3, 2, flags.data()), 1);
  EXPECT_EQ(flags[0], 2024033);
  EXPECT_EQ(flags[1], 10000);
  std::vector<unsigned char> got(data);
  ASSERT_EQ(RDBVARS(1, ALLVAR3, ALLAYS3, 2, got.data()), 1);
  EXPECT_EQ(got, record_data(2));

  BDESC3 = Bdesc3{};
  CDESC3 = Cdesc3{};
  ASSERT_EQ(DSCBIN3(1), 1);
  EXPECT_EQ(CDESC3.UPNAM3D.trimmed(), "bintest");
  EXPECT_EQ(CDESC3.FDESC3D[0].trimmed(), "Native binary example");
  EXPECT_EQ(BDESC3.VGTOP3D, 5000.0F);
  EXPECT_EQ(BDESC3.VGLVS3D[std::size_t(c.nlays)], 1.0F - 0.25F * float(c.nlays));
  if (c.nvars > 0) {
    EXPECT_EQ(CDESC3.VDESC3D[0].trimmed(), "variable 1");
  }
}

INSTANTIATE_TEST_SUITE_P(Types, BinaryTypeTest,
                         ::testing::Values(TypeCase{CUSTOM3, 7, 1, 2, 2, 0, 7, 16},
                                           TypeCase{GRDDED3, 3, 2, 4, 2, 0, 6, 16},
                                           TypeCase{GRDDED3, 3, 2, 1, 0, 0, 6,
                                                    8},  // no variables: one flag pair
                                           TypeCase{BNDARY3, 10, 5, 1, 1, 1, 34, 8},
                                           TypeCase{BNDARY3, 10, 5, 1, 1, -1, 26, 8},
                                           TypeCase{IDDATA3, 1, 5, 2, 3, 0, 5, 24 + 24},
                                           TypeCase{PROFIL3, 4, 3, 2, 2, 0, 12, 16 + 7 * 4 + 9 * 8},
                                           TypeCase{SMATRX3, 6, 4, 1, 1, 0, 6, 8 + 10 * 4}));

// A type the format cannot hold, and a variable of an invalid type, refuse the creation.
TEST_F(BinaryTest, CreationRefusesWhatTheFormatCannotHold) {
  describe(GRNEST3);
  EXPECT_EQ(create(dir().file("n.bin")), 0);
  EXPECT_TRUE(logged("CRTBIN3():  unsupported FTYPE 5")) << log_text();
  EXPECT_TRUE(logged("CRTBIN3:  invalid file specification"));
  describe();
  BDESC3.VTYPE3D[0] = 3;
  EXPECT_EQ(create(dir().file("t.bin")), 0);
  EXPECT_TRUE(logged("Variable 0:  invalid type 3"));
  describe(GRDDED3, 3, 2, 101);
  EXPECT_EQ(create(dir().file("l.bin")), 0);
  EXPECT_TRUE(logged("CRTBIN3:  invalid header field NLAYS = 101 in file " + dir().file("l.bin")));
  EXPECT_EQ(streams_open(), 0);
  EXPECT_EQ(blocks_held(), 0);
}

// An untrusted header: every field a layout depends on is checked before anything is sized
// or read, and the refusal names the field and the file.
struct BadHeader {
  const char* name;
  std::function<void(std::string&)> spoil;
  std::vector<std::string> lines;  // "%s" stands for the path
};
class BinaryBadHeaderTest : public BinaryTest, public ::testing::WithParamInterface<BadHeader> {};

TEST_P(BinaryBadHeaderTest, IsRefused) {
  std::string bytes = read_file(example_file(1));
  GetParam().spoil(bytes);
  const std::string path = dir().file("bad.bin");
  write_file(path, bytes);
  take_slot(2, "BAD");
  EXPECT_EQ(OPNBIN3(path.c_str(), 2, 0, "p"), 0);
  for (std::string line : GetParam().lines) {
    const std::size_t at = line.find("%s");
    if (at != std::string::npos) line.replace(at, 2, path);
    EXPECT_TRUE(logged(line)) << line << "\n" << log_text();
  }
  EXPECT_EQ(streams_open(), 0);
  EXPECT_EQ(blocks_held(), 0);
  EXPECT_EQ(RDBFLAG(2, 1, 1, nullptr), 0);  // no state is left for the slot
}

auto field(std::size_t at, int value) {
  return [at, value](std::string& b) { set_le_int(b, at, value); };
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BinaryBadHeaderTest,
    ::testing::Values(
        BadHeader{"NvarsBeyondTable",
                  field(80, 2049),
                  {"CRTBIN3:  max NVARS exceeded for this build",
                   "OPNBIN3:  invalid header field NVARS = 2049 in file %s"}},
        BadHeader{"NegativeNvars",
                  field(80, -1),
                  {"OPNBIN3:  invalid header field NVARS = -1 in file %s"}},
        BadHeader{"NlaysBeyondLevels",
                  field(72, 101),
                  {"OPNBIN3:  invalid header field NLAYS = 101 in file %s"}},
        BadHeader{"NegativeNcols",
                  field(64, -3),
                  {"OPNBIN3:  invalid header field NCOLS = -3 in file %s"}},
        BadHeader{"IntegerSize",
                  field(24, 2),
                  {"OPNBIN3:  invalid header field INTEGER size = 2 in file %s"}},
        BadHeader{
            "RealSize", field(28, 8), {"OPNBIN3:  invalid header field REAL size = 8 in file %s"}},
        BadHeader{"DoubleSize",
                  field(32, 4),
                  {"OPNBIN3:  invalid header field DOUBLE size = 4 in file %s"}},
        BadHeader{"NestType",
                  field(52, GRNEST3),
                  {"CRTBIN3():  unsupported FTYPE 5",
                   "OPNBIN3:  invalid header field FTYPE = 5 in file %s"}},
        BadHeader{"MxrecBeyondLength",
                  field(0, 3),
                  {"OPNBIN3:  invalid header field MXREC = 3 in file %s"}},
        BadHeader{"NegativeMxrec",
                  field(0, -1),
                  {"OPNBIN3:  invalid header field MXREC = -1 in file %s"}},
        BadHeader{"SizesOverflow",
                  [](std::string& b) {
                    set_le_int(b, 64, 2147483647);
                    set_le_int(b, 68, 2147483647);
                  },
                  {"OPNBIN3:  invalid header field NCOLS x NROWS x NLAYS in file %s"}},
        BadHeader{"BoundaryPerimeterOverflow",
                  [](std::string& b) {
                    set_le_int(b, 52, BNDARY3);
                    for (std::size_t at : {64u, 68u, 76u}) set_le_int(b, at, 2147483647);
                  },
                  {"OPNBIN3:  invalid header field NCOLS x NROWS x NLAYS in file %s"}},
        BadHeader{"GridTextWithoutNul",
                  [](std::string& b) { b.replace(292, 28, std::string(28, '1')); },
                  {"OPNBIN3:  invalid header field XCELL (no NUL in its text) in file %s"}},
        BadHeader{"LevelTextWithoutNul",
                  [](std::string& b) { b.replace(364 + 4 * 16, 16, std::string(16, '2')); },
                  {"OPNBIN3:  invalid header field VGLVS(5) (no NUL in its text) in file %s"}},
        BadHeader{"ShorterThanItsVariableTable",
                  [](std::string& b) { b.resize(19884 + 100); },
                  {"OPNBIN3:  file shorter than its header: %s"}},
        BadHeader{"ShorterThanTheFixedHeader",
                  [](std::string& b) { b.resize(100); },
                  {"OPNBIN3:  fread( HEADER ) failure", "unexpected end of file"}},
        BadHeader{"ForeignByteOrder",
                  [](std::string& b) { b.replace(20, 4, std::string("\x03\x02\x01\x00", 4)); },
                  {">>--->> WARNING in subroutine OPNBIN3", "Byte-order mismatch",
                   "OPNBIN3:  invalid file specification"}}),
    [](const auto& p) { return std::string(p.param.name); });

// ACCESS 1 opens "r+": a file without write permission is refused.
TEST_F(BinaryTest, ReadWriteNeedsWritePermission) {
  const std::string path = example_file(1);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  take_slot(1, "BINFILE");
  if (::geteuid() != 0) {
    EXPECT_EQ(OPNBIN3(path.c_str(), 1, 1, "p"), 0);
    EXPECT_TRUE(logged("OPNBIN3:  fopen() failure"));
    EXPECT_TRUE(logged("Permission denied"));
  }
  EXPECT_EQ(OPNBIN3(path.c_str(), 1, 0, "p"), 1);
}

// Each system call of a set-up fails in turn: the routine's message, the result 0, nothing
// left open or allocated; past the last call the set-up succeeds.
struct SetupCase {
  const char* name;
  bool create;
  std::vector<std::string> messages;
};
class BinarySetupFaultTest : public BinaryTest, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(BinarySetupFaultTest, EveryCallFailsCleanly) {
  const std::string path = GetParam().create ? dir().file("new.bin") : example_file(1);
  describe();
  take_slot(1, "BINFILE");
  state().b.VOLATILE3(1) = true;
  auto run = [&] {
    return GetParam().create ? CRTBIN3(path.c_str(), 1, "p") : OPNBIN3(path.c_str(), 1, 0, "p");
  };
  expect_failures(walk_of([&] { return run() == 1; }), GetParam().messages);
  EXPECT_EQ(streams_open(), 1);
  EXPECT_EQ(CLOSEBIN3(1), 1);
  EXPECT_EQ(blocks_held(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Routines, BinarySetupFaultTest,
    ::testing::Values(
        SetupCase{
            "CRTBIN3",
            true,
            {"CRTBIN3:  malloc( BIN_STATE ) failure", "CRTBIN3:  fopen() failure",
             "CRTBIN3:  fwrite( HEADER ) failure", "CRTBIN3:  fwrite( HEADER VNAME ) failure",
             "CRTBIN3:  fwrite( HEADER UNITS ) failure", "CRTBIN3:  fwrite( HEADER VDESC ) failure",
             "CRTBIN3:  fsync( HEADER VDESC ) failure"}},
        SetupCase{"OPNBIN3",
                  false,
                  {"OPNBIN3:  malloc( BIN_STATE ) failure", "OPNBIN3:  fopen() failure",
                   "OPNBIN3:  fread( HEADER ) failure", "OPNBIN3:  fstat() failure",
                   "CRTBIN3:  fread( HEADER VNAME ) failure"}}),
    [](const auto& p) { return std::string(p.param.name); });

// DSCBIN3: each of its calls fails in turn; the file stays open and describable.
TEST_F(BinaryTest, DescribeFailsCallByCall) {
  const std::string path = example_file(1);
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(path.c_str(), 1, 0, "p"), 1);
  expect_failures(
      walk_of([] { return DSCBIN3(1) == 1; }),
      {"DSCBIN3:  fseeko( HEADER ) failure", "DSCBIN3:  fread( HEADER ) failure",
       "DSCBIN3:  fread( HEADER VNAME ) failure", "DSCBIN3:  fread( HEADER UNITS ) failure",
       "DSCBIN3:  fread( HEADER VDESC ) failure"});
  EXPECT_EQ(CDESC3.VNAME3D[1].trimmed(), "V2");
  EXPECT_EQ(DSCBIN3(2), 0);
  EXPECT_TRUE(logged("DSCBIN3:  file not yet open"));
}

}  // namespace
}  // namespace kavro_test
