// Native binary records: flags, variables, windows and patches at their offsets, every
// system-call failure with its message, requests outside the file, and the native binary
// kind reached through OPEN3, DESC3, READ3, SYNCFID, CLOSE3 and SHUT3.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "unit/binary/binary_support.h"

namespace kavro_test {
namespace {

using namespace kavro;

// Flags of all variables are 2 x NVARS integers at the record start, those of variable v at
// 8 x (v - 1) into it; a write of all writes the pair once per variable.
TEST_F(BinaryTest, FlagsAtTheRecordStart) {
  describe(GRDDED3, 2, 2, 1, 5);
  const std::string path = dir().file("f.bin");
  ASSERT_EQ(create(path), 1);
  const std::size_t rec = 40 + 2 * 4 * 4 + 2 * 4 * 8 + 4 * 4;  // 5 pairs, REAL/DOUBLE/INT values
  const int pair[2] = {2024034, 30000};
  ASSERT_EQ(WRBFLAG(1, ALLVAR3, 2, pair), 1);
  const int four[2] = {1, 2};
  ASSERT_EQ(WRBFLAG(1, 4, 2, four), 1);
  std::array<int, 10> flags{};
  ASSERT_EQ(RDBFLAG(1, ALLVAR3, 2, flags.data()), 1);
  EXPECT_EQ(flags, (std::array<int, 10>{2024034, 30000, 2024034, 30000, 2024034, 30000, 1, 2,
                                        2024034, 30000}));
  std::array<int, 2> one{};
  ASSERT_EQ(RDBFLAG(1, 4, 2, one.data()), 1);
  EXPECT_EQ(one, (std::array<int, 2>{1, 2}));
  ASSERT_EQ(FLUSHBIN3(1), 1);
  // The flush wrote the stream's buffered bytes: another reader sees them.
  const std::string bytes = read_file(path);
  const std::size_t start = 19884 + 5 * 112 + rec;
  EXPECT_EQ(le_int(bytes, start), 2024034);
  EXPECT_EQ(le_int(bytes, start + 24), 1);
  EXPECT_EQ(le_int(bytes, start + 28), 2);
  EXPECT_EQ(le_int(bytes, 0), 2);
}

// MXREC grows with a flag write beyond it, in the header and the slot; not for a step within.
TEST_F(BinaryTest, FlagWriteBeyondMxrecRecordsIt) {
  example_file(5);
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 1, "p"), 1);
  const int pair[2] = {2024033, 60000};
  ASSERT_EQ(WRBFLAG(1, ALLVAR3, 7, pair), 1);
  EXPECT_EQ(state().b.MXREC3(1), 7);
  ASSERT_EQ(WRBFLAG(1, 1, 3, pair), 1);
  EXPECT_EQ(state().b.MXREC3(1), 7);
  ASSERT_EQ(FLUSHBIN3(1), 1);
  EXPECT_EQ(le_int(read_file(dir().file("example.bin")), 0), 7);
}

// One variable, one layer of all, all of one: each at its computed offset.
TEST_F(BinaryTest, VariablesByVariableAndLayer) {
  const std::string bytes = read_file(example_file(2));
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 0, "p"), 1);
  const std::size_t rec2 = 20108 + 304;
  std::array<unsigned char, 4 * 24 + 8 * 24> buf{};
  ASSERT_EQ(RDBVARS(1, 1, ALLAYS3, 2, buf.data()), 1);
  EXPECT_EQ(0, std::memcmp(buf.data(), bytes.data() + rec2 + 16, 96));
  ASSERT_EQ(RDBVARS(1, ALLVAR3, 2, 2, buf.data()), 1);  // layer 2 of each variable
  EXPECT_EQ(0, std::memcmp(buf.data(), bytes.data() + rec2 + 16 + 24, 24));
  EXPECT_EQ(0, std::memcmp(buf.data() + 24, bytes.data() + rec2 + 112 + 48, 48));
}

// A whole-grid window equals the layers read one by one; a smaller window is packed.
TEST_F(BinaryTest, ExtractionWindow) {
  example_file(1);
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 0, "p"), 1);
  std::array<double, 24> all{};
  ASSERT_EQ(XTRBIN3(1, 2, 1, 4, 1, 2, 1, 3, 1, all.data()), 1);
  for (int l = 1; l <= 4; ++l) {
    std::array<double, 6> layer{};
    ASSERT_EQ(RDBVARS(1, 2, l, 1, layer.data()), 1);
    EXPECT_EQ(0, std::memcmp(layer.data(), all.data() + 6 * (l - 1), sizeof layer));
  }
  std::array<float, 4> win{};
  ASSERT_EQ(XTRBIN3(1, 1, 2, 3, 2, 2, 2, 3, 1, win.data()), 1);
  // Variable 1, value k = (lay - 1) * 6 + (row - 1) * 3 + col - 1.
  EXPECT_EQ(win, (std::array<float, 4>{1100 + 10, 1100 + 11, 1100 + 16, 1100 + 17}));
  std::array<unsigned char, 6 * 4 + 6 * 8> both{};
  ASSERT_EQ(XTRBIN3(1, 0, 1, 1, 1, 2, 1, 3, 1, both.data()), 1);
  EXPECT_EQ(raw_value<double>(std::string(both.begin(), both.end()), 24), 2100.0);
}

// A patch lands at its cells of every layer; all-variable patches are refused.
TEST_F(BinaryTest, PatchWritesItsCells) {
  example_file(1);
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 1, "p"), 1);
  const int origin[2] = {2, 1};
  const int size[2] = {2, 2};
  std::array<float, 16> patch{};
  for (std::size_t i = 0; i < patch.size(); ++i) patch[i] = -float(i);
  ASSERT_EQ(WRBPATCH(1, 1, origin, size, 1, patch.data()), 1);
  std::array<float, 6> layer{};
  ASSERT_EQ(RDBVARS(1, 1, 3, 1, layer.data()), 1);
  EXPECT_EQ(layer, (std::array<float, 6>{1112, -8, -9, 1115, -10, -11}));
  EXPECT_EQ(WRBPATCH(1, ALLVAR3, origin, size, 1, patch.data()), 0);
  EXPECT_TRUE(logged("WRBPATCH:  ALLVARS write is not supported"));
  const int far[2] = {3, 1};
  EXPECT_EQ(WRBPATCH(1, 1, far, size, 1, patch.data()), 0);
  EXPECT_TRUE(logged("WRBPATCH:  patch outside the grid"));
}

// Requests the file cannot answer are refused before any offset is computed.
TEST_F(BinaryTest, RequestsOutsideTheFile) {
  example_file(1);
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 0, "p"), 1);
  std::array<double, 32> buf{};
  EXPECT_EQ(RDBVARS(1, 3, 1, 1, buf.data()), 0);
  EXPECT_TRUE(logged("RDBVARS:  bad variable 3"));
  EXPECT_EQ(RDBVARS(1, 1, 5, 1, buf.data()), 0);
  EXPECT_TRUE(logged("RDBVARS:  bad layer 5"));
  EXPECT_EQ(RDBFLAG(1, 1, 0, reinterpret_cast<int*>(buf.data())), 0);
  EXPECT_TRUE(logged("RDBFLAG:  bad time step 0"));
  EXPECT_EQ(RDBVARS(1, 1, 1, 2, buf.data()), 0);  // beyond the end: a short read is no data
  EXPECT_TRUE(logged("RDBVARS:  fread( TIMESTEP ) failure"));
  EXPECT_TRUE(logged("unexpected end of file"));
  EXPECT_EQ(XTRBIN3(1, 1, 1, 5, 1, 1, 1, 1, 1, buf.data()), 0);
  EXPECT_TRUE(logged("XTRBIN3:  window outside the grid"));
}

// Every routine without a file: "file not yet open"; after a failed close: "bad FID". A
// second close fails.
TEST_F(BinaryTest, RoutinesWithoutAFile) {
  int flags[2] = {0, 0};
  const std::vector<std::pair<std::function<int()>, std::string>> cases = {
      {[&] { return RDBFLAG(9, 1, 1, flags); }, "RDBFLAG"},
      {[&] { return WRBFLAG(9, 1, 1, flags); }, "WRBFLAG"},
      {[&] { return RDBVARS(9, 1, 1, 1, flags); }, "RDBVARS"},
      {[&] { return WRBVARS(9, 1, 1, flags); }, "WRBVARS"},
      {[&] { return XTRBIN3(9, 1, 1, 1, 1, 1, 1, 1, 1, flags); }, "XTRBIN3"},
      {[&] { return WRBPATCH(9, 1, flags, flags, 1, flags); }, "WRBPATCH"},
      {[&] { return FLUSHBIN3(9); }, "FLUSHBIN3"},
      {[&] { return CLOSEBIN3(9); }, "CLOSEBIN3"}};
  for (const auto& [call, name] : cases) {
    EXPECT_EQ(call(), 0) << name;
    EXPECT_TRUE(logged(name + ":  file not yet open")) << name;
  }
  example_file(1);
  EXPECT_EQ(CLOSEBIN3(1), 0);
  EXPECT_TRUE(logged("CLOSEBIN3:  file not yet open"));

  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 0, "p"), 1);
  test_hooks::fail_call(Op::kAny, 1);
  EXPECT_EQ(CLOSEBIN3(1), 0);
  EXPECT_TRUE(logged("CLOSEBIN3:  fclose() failure"));
  EXPECT_EQ(streams_open(), 0);
  EXPECT_EQ(RDBFLAG(1, 1, 1, flags), 0);
  EXPECT_TRUE(logged("RDBFLAG:  bad FID"));
}

// Each system call of a record routine fails in turn: its message, the result 0, the file
// still open; past the last call the routine succeeds.
struct RecordCase {
  const char* name;
  std::function<int()> run;
  std::vector<std::string> messages;
};
class BinaryRecordFaultTest : public BinaryTest,
                              public ::testing::WithParamInterface<RecordCase> {};

std::array<unsigned char, 1024> scratch{};

// MESSAGES, TIMES times over: a routine that repeats its calls per variable or row.
std::vector<std::string> repeated(const std::vector<std::string>& messages, int times) {
  std::vector<std::string> all;
  for (int i = 0; i < times; ++i) all.insert(all.end(), messages.begin(), messages.end());
  return all;
}
const int kPair[2] = {2024033, 0};
const int kOrigin[2] = {1, 1};
const int kSize[2] = {2, 2};

TEST_P(BinaryRecordFaultTest, EveryCallFails) {
  example_file(1);
  take_slot(1, "BINFILE");
  ASSERT_EQ(OPNBIN3(dir().file("example.bin").c_str(), 1, 1, "p"), 1);
  expect_failures(walk_of([this] { return GetParam().run() == 1; }), GetParam().messages);
  EXPECT_EQ(streams_open(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Routines, BinaryRecordFaultTest,
    ::testing::Values(
        RecordCase{"RDBFLAG",
                   [] { return RDBFLAG(1, ALLVAR3, 1, reinterpret_cast<int*>(scratch.data())); },
                   {"RDBFLAG:  fseeko( TIMESTEP HEADER ) failure",
                    "RDBFLAG:  fread( TIMESTEP HEADER ) failure"}},
        RecordCase{"WRBFLAG",
                   [] { return WRBFLAG(1, ALLVAR3, 2, kPair); },
                   {"RDBFLAG:  fseeko( TIMESTEP HEADER ) failure",
                    "WRBFLAG:  fwrite( TIMESTEP HEADER ) failure",
                    "WRBFLAG:  fseeko( MXREC ) failure", "RDBFLAG:  fwrite( MXREC ) failure"}},
        RecordCase{"RDBVARS",
                   [] { return RDBVARS(1, 2, 3, 1, scratch.data()); },
                   {"RDBVARS:  fseeko( TIMESTEP ) failure", "RDBVARS:  fread( TIMESTEP ) failure"}},
        RecordCase{"RDBVARSLayerOfAll", [] { return RDBVARS(1, ALLVAR3, 1, 1, scratch.data()); },
                   repeated({"RDBVARS:  fseeko( V-TIMESTEP ) failure",
                             "RDBVARS:  fread( V-TIMESTEP ) failure"},
                            2)},  // one seek and one read per variable
        RecordCase{
            "WRBVARS",
            [] { return WRBVARS(1, 1, 1, scratch.data()); },
            {"WRBVARS:  fseeko( TIMESTEP ) failure", "WRBVARS:  fwrite( TIMESTEP ) failure"}},
        RecordCase{"XTRBIN3",
                   [] { return XTRBIN3(1, 1, 1, 2, 1, 2, 1, 3, 1, scratch.data()); },
                   {"XTRBIN3:  malloc() failure", "XTRBIN3:  fseeko( TIMESTEP ) failure",
                    "XTRBIN3:  fread( TIMESTEP ) failure"}},
        RecordCase{"WRBPATCH", [] { return WRBPATCH(1, 1, kOrigin, kSize, 1, scratch.data()); },
                   repeated({"WRBPATCH:  single-vble fseeko() failure",
                             "WRBPATCH:  single-vble fwrite() failure"},
                            8)},  // one seek and one write per row of the patch and layer
        RecordCase{"FLUSHBIN3", [] { return FLUSHBIN3(1); }, {"FLUSHBIN3:  fsync() failure"}}),
    [](const auto& p) { return std::string(p.param.name); });

// The kind through the kind-neutral routines: OPEN3 of "BIN:", the open report, DESC3 with
// the record count of now, READ3 with its flags, SYNCFID, CLOSE3 and SHUT3.
TEST_F(BinaryTest, ThroughTheLibrary) {
  const std::string path = example_file(2);
  ScopedEnv name("BINDATA", "BIN:" + path);
  ASSERT_TRUE(OPEN3("BINDATA", FSREAD3, "prog"));
  EXPECT_TRUE(logged("Native-binary file opened as READONLY"));
  const int fid = NAME2FID("BINDATA");
  ASSERT_TRUE(DESC3("BINDATA"));
  EXPECT_EQ(BDESC3.MXREC3D, 2);
  EXPECT_EQ(BDESC3.NCOLS3D, 3);
  EXPECT_EQ(CDESC3.VNAME3D[1].trimmed(), "V2");
  EXPECT_EQ(CDESC3.VDESC3D[1].trimmed(), "variable 2");

  // Another writer adds step 3: the next description counts it at once.
  take_slot(fid + 1, "WRITER");
  ASSERT_EQ(OPNBIN3(path.c_str(), fid + 1, 1, "p"), 1);
  const int pair[2] = {2024033, 20000};
  ASSERT_EQ(WRBVARS(fid + 1, ALLVAR3, 3, record_data(3).data()), 1);
  ASSERT_EQ(WRBFLAG(fid + 1, ALLVAR3, 3, pair), 1);
  ASSERT_EQ(FLUSHBIN3(fid + 1), 1);
  ASSERT_TRUE(DESC3("BINDATA"));
  EXPECT_EQ(BDESC3.MXREC3D, 3);

  std::array<double, 24> v2{};
  ASSERT_TRUE(READ3("BINDATA", "V2", ALLAYS3, 2024033, 20000, v2.data()));
  EXPECT_EQ(v2[0], 2300.0);
  EXPECT_EQ(v2[23], 2323.0);
  std::array<float, 6> v1{};
  ASSERT_TRUE(READ3("BINDATA", "V1", 2, 2024033, 10000, v1.data()));
  EXPECT_EQ(v1[0], 1206.0F);
  EXPECT_FALSE(READ3("BINDATA", "V1", 2, 2024033, 30000, v1.data()));
  EXPECT_TRUE(SYNCFID(fid));
  EXPECT_TRUE(CLOSE3("BINDATA"));
  EXPECT_EQ(streams_open(), 1);  // the writer's
  state().b.LASTFID3 = fid + 1;
  EXPECT_TRUE(SHUT3());
  EXPECT_EQ(streams_open(), 0);
  EXPECT_EQ(blocks_held(), 0);
}

// A flag read that fails is the reading's warning; a close that fails at shutdown is its
// block.
TEST_F(BinaryTest, FailuresThroughTheLibrary) {
  const std::string path = example_file(1);
  ScopedEnv name("BINDATA", "BIN:" + path);
  ASSERT_TRUE(OPEN3("BINDATA", FSREAD3, "prog"));
  std::array<float, 6> v1{};
  test_hooks::fail_call(Op::kAny, 2);
  EXPECT_FALSE(READ3("BINDATA", "V1", 1, 2024033, 0, v1.data()));
  EXPECT_TRUE(logged("Error reading time-flags for BINIO3 file BINDATA"));
  test_hooks::fail_call(Op::kAny, 1);
  EXPECT_FALSE(SHUT3());
  EXPECT_TRUE(logged(">>> WARNING in subroutine SHUT3 <<<"));
  EXPECT_TRUE(logged("Error closing BINFIL3 file"));
  EXPECT_TRUE(logged("File name:  BINDATA"));
  EXPECT_EQ(streams_open(), 0);
  EXPECT_EQ(blocks_held(), 0);
}

}  // namespace
}  // namespace kavro_test
