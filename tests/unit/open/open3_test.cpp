// OPEN3 and NAME2FID: slots, logical names, value forms and the dispatch by open mode.
#include <filesystem>

#include "open_fixture.h"

namespace kavro_test {
namespace {

using kavro::FSREAD3;
using kavro::OPEN3;
using kavro::state;

class Open3Test : public OpenFixture {};

// The first open of a run initialises the library, says so, and opens normally.
TEST_F(Open3Test, InitialisesTheLibraryOnFirstUse) {
  file_named("INFILE1", grid());
  EXPECT_TRUE(OPEN3("INFILE1", FSREAD3, "prog"));
  EXPECT_TRUE(logged("KAVRO not yet initialized"));
  EXPECT_EQ(slot_of("INFILE1"), 1);
  EXPECT_GE(state().b.NCID3(1), 0);
  EXPECT_TRUE(state().b.READONLY3(1));
  EXPECT_FALSE(state().b.VOLATILE3(1));
}

// After slots 1, 2 and 3 are taken and 2 is closed, the next open takes slot 2 and
// LASTFID3 stays 3.
TEST_F(Open3Test, ReusesLowestFreeSlot) {
  const std::string path = write(grid());
  for (const char* n : {"A", "B", "C", "D"}) set_name(n, path);
  ASSERT_TRUE(OPEN3("A", FSREAD3, "prog"));
  ASSERT_TRUE(OPEN3("B", FSREAD3, "prog"));
  ASSERT_TRUE(OPEN3("C", FSREAD3, "prog"));
  ASSERT_TRUE(kavro::CLOSE3("B"));
  ASSERT_TRUE(OPEN3("D", FSREAD3, "prog"));
  EXPECT_EQ(slot_of("D"), 2);
  EXPECT_EQ(state().b.LASTFID3, 3);
}

// With all 200 slots taken the next new name is refused; a name already open still opens.
TEST_F(Open3Test, RefusesTheTwoHundredAndFirstFile) {
  const std::string path = write(grid(1));
  for (int i = 1; i <= kavro::MXOPEN3; ++i) {
    std::string n = "F";  // appended, not "F" + ...: GCC 12 misreads that as an overlap
    n += std::to_string(i);
    set_name(n, path);
    ASSERT_TRUE(OPEN3(n, FSREAD3, "prog")) << n;
  }
  set_name("ONEMORE", path);
  EXPECT_FALSE(OPEN3("ONEMORE", FSREAD3, "prog"));
  EXPECT_TRUE(logged("Could not open ONEMOREMaximum number of files already have been opened."));
  EXPECT_EQ(kavro::last_file_failure().cause, "the file table is full (200 files open)");
  EXPECT_EQ(kavro::last_file_failure().path, path);
  EXPECT_TRUE(OPEN3("F7", FSREAD3, "prog"));
  EXPECT_EQ(state().b.LASTFID3, kavro::MXOPEN3);
}

// Opening the same name twice read-only gives true without a second slot or report.
TEST_F(Open3Test, SecondOpenOfSameNameTouchesNothing) {
  file_named("INFILE1", grid());
  ASSERT_TRUE(OPEN3("INFILE1", FSREAD3, "prog"));
  const int ncid = state().b.NCID3(1);
  const auto before = log_lines().size();
  EXPECT_TRUE(OPEN3("INFILE1          ", FSREAD3, "prog"));
  EXPECT_EQ(log_lines().size(), before);
  EXPECT_EQ(state().b.NCID3(1), ncid);
  EXPECT_TRUE(kavro::detail::slot_free(2));
}

// A blank and -v or -V mark the file volatile; the marker and what follows are dropped.
TEST_F(Open3Test, VolatileMarker) {
  const std::string path = write(grid());
  set_name("LOWER", path + " -v");
  set_name("UPPER", path + " -V trailing words");
  ASSERT_TRUE(OPEN3("LOWER", FSREAD3, "prog"));
  ASSERT_TRUE(OPEN3("UPPER", FSREAD3, "prog"));
  EXPECT_TRUE(state().b.VOLATILE3(1));
  EXPECT_TRUE(state().b.VOLATILE3(2));
  EXPECT_TRUE(logged("File name \"" + path + "\""));
}

// A logical name that is not set stands for the path itself.
TEST_F(Open3Test, UnsetNameIsThePath) {
  const std::string path = write(grid(), "plain.nc");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir().path());
  EXPECT_TRUE(OPEN3("plain.nc", FSREAD3, "prog"));
  std::filesystem::current_path(cwd);
  EXPECT_EQ(slot_of("plain.nc"), 1);
}

// A missing file is "not available" and leaves no slot taken.
TEST_F(Open3Test, MissingFileIsNotAvailable) {
  set_name("INFILE1", dir().file("absent.nc"));
  EXPECT_FALSE(OPEN3("INFILE1", FSREAD3, "prog"));
  EXPECT_TRUE(logged("INFILE1:" + dir().file("absent.nc")));
  EXPECT_TRUE(logged("File not available."));
  EXPECT_EQ(slot_of("INFILE1"), 0);
  EXPECT_EQ(state().b.LASTFID3, 0);
}

// FSTATUS 0 or 6 is illegal for a new name and harmless for a name already open.
TEST_F(Open3Test, IllegalOpenMode) {
  file_named("INFILE1", grid());
  file_named("INFILE2", grid(), "second.nc");
  ASSERT_TRUE(OPEN3("INFILE1", FSREAD3, "prog"));
  for (int mode : {0, 6}) {
    EXPECT_FALSE(OPEN3("INFILE2", mode, "prog"));
    EXPECT_TRUE(OPEN3("INFILE1", mode, "prog"));
  }
  EXPECT_TRUE(logged("File opening error:  illegal FSTATUS argument."));
  EXPECT_TRUE(logged("Legal values: 1-READONLY, 2-READ/WRITE, 3-NEW, 4-UNKNOWN"));
  EXPECT_TRUE(logged("Value supplied by caller: 6"));
  EXPECT_EQ(slot_of("INFILE2"), 0);
}

// A name open read-only refuses the modes that would write it, each with its cause.
TEST_F(Open3Test, ReadOnlyFileRefusesWritingModes) {
  const std::string path = file_named("INFILE1", grid());
  ASSERT_TRUE(OPEN3("INFILE1", FSREAD3, "prog"));
  EXPECT_FALSE(OPEN3("INFILE1", kavro::FSRDWR3, "prog"));
  EXPECT_TRUE(
      logged("File INFILE1 already opened READONLY; cannot subsequently open it for "
             "READ/WRITE."));
  EXPECT_EQ(kavro::last_file_failure().cause,
            "already open read-only: cannot open it for READ/WRITE");
  EXPECT_EQ(kavro::last_file_failure().path, path);
  EXPECT_FALSE(OPEN3("INFILE1", kavro::FSNEW3, "prog"));
  EXPECT_TRUE(logged("File INFILE1 already opened; cannot subsequently create it \"NEW\"."));
  EXPECT_EQ(kavro::last_file_failure().cause, "already open: cannot create it \"NEW\"");
  EXPECT_FALSE(OPEN3("INFILE1", kavro::FSUNKN3, "prog"));
  EXPECT_TRUE(
      logged("File INFILE1 already opened READONLY; Cannot subsequently open it "
             "\"UNKNOWN\"."));
  EXPECT_EQ(kavro::last_file_failure().cause, "already open read-only: cannot open it \"UNKNOWN\"");
}

// Value forms in any letter case: VIRTUAL is refused, the others reach their own opener. Each
// refusal is noted with its short cause, under the name and its value.
struct KindCase {
  const char* value;
  int fstatus;
  const char* warning;
  const char* cause;
};
class Open3KindTest : public Open3Test, public ::testing::WithParamInterface<KindCase> {};

TEST_P(Open3KindTest, ReachesItsOpener) {
  set_name("SPECIAL", GetParam().value);
  EXPECT_FALSE(OPEN3("SPECIAL", GetParam().fstatus, "prog"));
  EXPECT_TRUE(logged(GetParam().warning)) << log_text();
  EXPECT_EQ(slot_of("SPECIAL"), 0);
  const kavro::FileFailure f = kavro::last_file_failure();
  EXPECT_TRUE(f.noted);
  EXPECT_EQ(f.lname, "SPECIAL");
  EXPECT_EQ(f.path, GetParam().value);
  EXPECT_EQ(f.cause, GetParam().cause);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Open3KindTest,
    ::testing::Values(
        KindCase{"virtual", FSREAD3, "VIRTUAL files not implemented in this KAVRO version",
                 "VIRTUAL files are not implemented"},
        KindCase{"Buffered", FSREAD3, "ILLEGAL FILE TYPE.    0",
                 "a BUFFERED file cannot hold file type 0 (FDESC)"},
        KindCase{"list:A,B", FSREAD3, "File not available.", "member A: no such file"},
        KindCase{"LIST:A,B", kavro::FSRDWR3, "LIST-File not readonly.",
                 "a file list opens read-only only"},
        KindCase{"bin:/dev/null", FSREAD3, "OPNBIN3:  fread( HEADER ) failure",
                 "unexpected end of file"}));

// A name longer than 16 characters is no slot at all.
TEST_F(Open3Test, OverlongNameIsRefused) {
  ASSERT_TRUE(kavro::INIT3() >= 0);
  EXPECT_EQ(kavro::NAME2FID("ABCDEFGHIJKLMNOPQ   "), -1);
  EXPECT_TRUE(logged("Bad file name length for \"ABCDEFGHIJKLMNOPQ\":  max length 16 actual 17"));
  EXPECT_FALSE(OPEN3("ABCDEFGHIJKLMNOPQ", FSREAD3, "prog"));
  EXPECT_EQ(kavro::last_file_failure().cause, "logical name longer than 16 characters");
}

}  // namespace
}  // namespace kavro_test
