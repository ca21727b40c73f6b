// CRTFIL3 through OPEN3: new files from the description record, read back through the library
// and through the netCDF C API.
#include <netcdf.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/state.h"
#include "support/desc_builder.h"
#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

using kavro::BATTS3;
using kavro::BDESC3;
using kavro::CATTS3;
using kavro::CDESC3;
using kavro::OPEN3;

class Crtfil3Test : public OpenFixture {
 protected:
  // A small description of file type FTYPE with NVARS REAL variables V1, V2, ...
  static void describe(int ftype, int nvars = 2) {
    DescBuilder()
        .file_type(ftype)
        .cells(5, 4, 2)
        .origin(-30000, -24000)
        .vertical({7, 5000, {1.0F, 0.9F, 0.8F}})
        .grid_name("TESTGRID")
        .file_line(0, "Made by the creation test")
        .variables(DescBuilder::numbered("V", std::vector<int>(std::size_t(nvars), kavro::XQREAL),
                                         "ppmV", "test variable"))
        .fill();
  }
  // LINE with every run of ten or more blanks written as "<N blanks>", for readable CDL.
  static std::string blanks_counted(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
      std::size_t j = i;
      while (j < line.size() && line[j] == ' ') ++j;
      if (j - i >= 10) {
        out += "<" + std::to_string(j - i) + " blanks>";
        i = j;
      } else if (j > i) {
        out.append(j - i, ' ');
        i = j;
      } else {
        out += line[i++];
      }
    }
    return out;
  }
  // ncdump -h of PATH with the run's date, time and the file's path masked.
  static std::string header_of(const std::string& path) {
    const std::string cmd = "ncdump -h '" + path + "'";
    std::FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    std::array<char, 4096> buf{};
    while (p != nullptr && std::fgets(buf.data(), buf.size(), p) != nullptr) out += buf.data();
    if (p != nullptr) pclose(p);
    std::istringstream in(out);
    std::string line, masked;
    while (std::getline(in, line)) {
      for (const char* stamp : {":CDATE = ", ":CTIME = ", ":WDATE = ", ":WTIME = "}) {
        const std::size_t at = line.find(stamp);
        if (at != std::string::npos) line = line.substr(0, at) + stamp + "<run> ;";
      }
      if (line.rfind("netcdf ", 0) == 0) line = "netcdf <file> {";
      masked += blanks_counted(line) + "\n";
    }
    return masked;
  }
  std::string created(const std::string& name = "NEWFILE") {
    const std::string path = dir().file(name + ".nc");
    set_name(name, path);
    EXPECT_TRUE(OPEN3(name, kavro::FSNEW3, "CREATOR")) << log_text();
    return path;
  }
};

// Every file type this layout knows is created, reopened read-only and described with the
// description it was made from.
class Crtfil3TypeTest : public Crtfil3Test, public ::testing::WithParamInterface<int> {};

TEST_P(Crtfil3TypeTest, CreatedFileOpensAndDescribes) {
  const int ftype = GetParam();
  describe(ftype);
  created();
  ASSERT_TRUE(kavro::CLOSE3("NEWFILE"));
  ASSERT_TRUE(OPEN3("NEWFILE", kavro::FSREAD3, "READER")) << log_text();
  ASSERT_TRUE(kavro::DESC3("NEWFILE")) << log_text();
  EXPECT_EQ(BDESC3.FTYPE3D, ftype);
  EXPECT_EQ(BDESC3.NCOLS3D, 5);
  EXPECT_EQ(BDESC3.NROWS3D, 4);
  EXPECT_EQ(BDESC3.NVARS3D, 2);
  EXPECT_EQ(BDESC3.MXREC3D, 0);
  EXPECT_EQ(BDESC3.XORIG3D, -30000);
  EXPECT_EQ(CDESC3.VNAME3D[1].trimmed(), "V2");
  EXPECT_EQ(CDESC3.UPNAM3D.trimmed(), "CREATOR");
  EXPECT_EQ(CDESC3.FDESC3D[0].trimmed(), "Made by the creation test");
  EXPECT_EQ(CDESC3.VDESC3D[0].trimmed(), "test variable");
  EXPECT_EQ(BDESC3.CDATE3D, kavro::state().b.RUNDATE3);
}

INSTANTIATE_TEST_SUITE_P(Types, Crtfil3TypeTest,
                         ::testing::Values(kavro::GRDDED3, kavro::BNDARY3, kavro::IDDATA3,
                                           kavro::PROFIL3, kavro::GRNEST3, kavro::SMATRX3,
                                           kavro::kTypeSeven, kavro::PTRFLY3, kavro::CUSTOM3,
                                           kavro::KFEVNT3));

// The header in the layout's order, against reviewed ncdump -h text (run date and time
// masked, runs of blanks counted).
TEST_F(Crtfil3Test, HeadersMatchReviewedCdl) {
  for (const auto& [ftype, cdl] : {std::pair{kavro::GRDDED3, "created/grid.header"},
                                   std::pair{kavro::KFEVNT3, "created/events.header"},
                                   std::pair{kavro::kTypeSeven, "created/type7.header"}}) {
    describe(ftype);
    if (ftype == kavro::kTypeSeven) {
      BATTS3.NATTS3[0] = 1;
      CATTS3.ATTNAM3[0][0] = "SCALE";
      BATTS3.ATTVAL3[0][0] = 2.5F;
    }
    const std::string name = "T" + std::to_string(ftype + 3);
    const std::string path = created(name);
    ASSERT_TRUE(kavro::CLOSE3(name));
    EXPECT_EQ(header_of(path), read_file(std::string(KAVRO_TEST_DATA_DIR) + "/" + cdl)) << cdl;
  }
}

// NEW never replaces a file: it fails with its message and the file is left as it was.
TEST_F(Crtfil3Test, NewNeverTouchesAnExistingFile) {
  describe(kavro::GRDDED3);
  const std::string path = file_named("OLD", grid(1), "old.nc");
  const std::string before = read_file(path);
  EXPECT_FALSE(OPEN3("OLD", kavro::FSNEW3, "CREATOR"));
  EXPECT_TRUE(logged("File OLD already exists; cannot create it \"NEW\".")) << log_text();
  EXPECT_EQ(read_file(path), before);
  EXPECT_EQ(slot_of("OLD"), 0);
}

// CREATE replaces an existing file; UNKNOWN creates a missing one.
TEST_F(Crtfil3Test, CreateReplacesAndUnknownCreates) {
  describe(kavro::GRDDED3, 3);
  file_named("OLD", grid(1), "old.nc");
  ASSERT_TRUE(OPEN3("OLD", kavro::FSCREA3, "CREATOR")) << log_text();
  EXPECT_EQ(kavro::state().b.NVARS3(slot_of("OLD")), 3);
  set_name("FRESH", dir().file("fresh.nc"));
  ASSERT_TRUE(OPEN3("FRESH", kavro::FSUNKN3, "CREATOR")) << log_text();
  EXPECT_TRUE(log_mentions("\"FRESH\" opened as UNKNOWN(R-W)")) << log_text();
}

// With KAVRO_OFFSET_64 set the run's files have 64-bit offsets; a start of 25:00 is stored
// as 01:00 of the next day.
TEST_F(Crtfil3Test, SixtyFourBitOffsetsAndNormalisedStart) {
  ScopedEnv offset("KAVRO_OFFSET_64", "Y");
  describe(kavro::GRDDED3);
  BDESC3.STIME3D = 250000;
  const std::string path = created();
  const int f = slot_of("NEWFILE");
  EXPECT_EQ(kavro::state().b.SDATE3(f), 2024034);
  EXPECT_EQ(kavro::state().b.STIME3(f), 10000);
  ASSERT_TRUE(kavro::CLOSE3("NEWFILE"));
  int ncid = 0, format = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  EXPECT_EQ(nc_inq_format(ncid, &format), NC_NOERR);
  EXPECT_EQ(format, NC_FORMAT_64BIT_OFFSET);
  nc_close(ncid);
}

// An illegal data type writes its block and leaves no file; 2049 variables are refused before
// any file is made.
TEST_F(Crtfil3Test, RefusedDescriptionsLeaveNothingBehind) {
  describe(kavro::GRDDED3);
  BDESC3.VTYPE3D[1] = 3;
  const std::string path = dir().file("bad.nc");
  set_name("BAD", path);
  EXPECT_FALSE(OPEN3("BAD", kavro::FSNEW3, "CREATOR"));
  const auto lines = log_lines();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(
      std::vector<std::string>(lines.end() - 7, lines.end() - 2),
      (std::vector<std::string>{"     ", "     ", "     >>> WARNING in subroutine CRTFIL3 <<<",
                                "     Error creating netCDF variable V2              for file BAD",
                                "     Illegal data type    3"}));
  EXPECT_FALSE(std::ifstream(path).good());
  EXPECT_EQ(slot_of("BAD"), 0);
  describe(kavro::GRDDED3);
  BDESC3.NVARS3D = 2049;
  EXPECT_FALSE(OPEN3("BAD", kavro::FSNEW3, "CREATOR"));
  EXPECT_TRUE(logged("Error:   bad file description in FDESC"));
  // CRTFIL3 itself refuses the count too, for a caller that reaches it directly.
  kavro::state().c.FLNAME3(1) = "BAD";
  kavro::state().b.NCID3(1) = 0;
  EXPECT_FALSE(kavro::CRTFIL3(path, 1, "CREATOR"));
  EXPECT_TRUE(logged("Max NVARS for this build exceeded"));
  EXPECT_FALSE(std::ifstream(path).good());
}

// An event file's KFCOUNT is zero everywhere, written in pieces of 8192 columns.
TEST_F(Crtfil3Test, EventCountsStartAtZero) {
  describe(kavro::KFEVNT3, 1);
  BDESC3.NCOLS3D = 10000;
  BDESC3.NROWS3D = 2;
  const std::string path = created();
  ASSERT_TRUE(kavro::CLOSE3("NEWFILE"));
  int ncid = 0, varid = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(ncid, "KFCOUNT", &varid), NC_NOERR);
  std::vector<int> counts(20000, -1);
  ASSERT_EQ(nc_get_var_int(ncid, varid, counts.data()), NC_NOERR);
  nc_close(ncid);
  EXPECT_EQ(std::count(counts.begin(), counts.end(), 0), 20000);
}

// UNKNOWN on an existing file opens it when the description matches and refuses it, with the
// description checks' block, when it does not.
TEST_F(Crtfil3Test, UnknownMatchesTheExistingFile) {
  describe(kavro::GRDDED3);
  created();
  ASSERT_TRUE(kavro::CLOSE3("NEWFILE"));
  EXPECT_TRUE(OPEN3("NEWFILE", kavro::FSUNKN3, "UPDATER")) << log_text();
  ASSERT_TRUE(kavro::CLOSE3("NEWFILE"));
  BDESC3.NCOLS3D = 6;
  EXPECT_FALSE(OPEN3("NEWFILE", kavro::FSUNKN3, "UPDATER"));
  EXPECT_TRUE(logged("Inconsistent file attribute NCOLS for file NEWFILE")) << log_text();
  EXPECT_EQ(slot_of("NEWFILE"), 0);
}

// A "BIN:" name is created as a native binary file through the same OPEN3 path, and opens and
// describes again.
TEST_F(Crtfil3Test, NativeBinaryThroughOpen) {
  describe(kavro::GRDDED3);
  set_name("BINFILE", "BIN:" + dir().file("made.bin"));
  ASSERT_TRUE(OPEN3("BINFILE", kavro::FSNEW3, "CREATOR")) << log_text();
  ASSERT_TRUE(kavro::CLOSE3("BINFILE"));
  BDESC3 = kavro::Bdesc3{};
  ASSERT_TRUE(OPEN3("BINFILE", kavro::FSREAD3, "READER")) << log_text();
  ASSERT_TRUE(kavro::DESC3("BINFILE")) << log_text();
  EXPECT_EQ(BDESC3.FTYPE3D, kavro::GRDDED3);
  EXPECT_EQ(BDESC3.NCOLS3D, 5);
  EXPECT_EQ(BDESC3.NVARS3D, 2);
}

// A dictionary is created through OPEN3 like any file, and opens and describes again.
TEST_F(Crtfil3Test, DictionaryThroughOpen) {
  describe(kavro::DCTNRY3);
  created();
  ASSERT_TRUE(kavro::CLOSE3("NEWFILE"));
  ASSERT_TRUE(OPEN3("NEWFILE", kavro::FSREAD3, "READER")) << log_text();
  ASSERT_TRUE(kavro::DESC3("NEWFILE")) << log_text();
  EXPECT_EQ(BDESC3.FTYPE3D, kavro::DCTNRY3);
  EXPECT_EQ(BDESC3.NVARS3D, 26);
}

}  // namespace
}  // namespace kavro_test
