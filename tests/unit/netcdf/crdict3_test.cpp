// CRDICT3: the layout of a new dictionary, checked against ncdump and read back through the
// library.
#include <netcdf.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kavro/desc.h"
#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

using Lines = std::vector<std::string>;

class Crdict3Test : public OpenFixture {
 protected:
  // Creates PATH with the seven common global attributes, left in define mode in slot 1 as
  // the creator hands it on.
  int create(const std::string& path) {
    kavro::INIT3();
    int ncid = -1;
    EXPECT_EQ(nc_create(path.c_str(), NC_NOCLOBBER, &ncid), NC_NOERR);
    const std::string version = "kavro test";
    const std::string exec(80, ' ');
    nc_put_att_text(ncid, NC_GLOBAL, "KAVRO_VERSION", version.size(), version.data());
    nc_put_att_text(ncid, NC_GLOBAL, "EXEC_ID", exec.size(), exec.data());
    const std::array<std::pair<const char*, int>, 5> ints = {{{"FTYPE", 0},
                                                              {"CDATE", 2024100},
                                                              {"CTIME", 123456},
                                                              {"WDATE", 2024100},
                                                              {"WTIME", 123456}}};
    for (const auto& [name, value] : ints) nc_put_att_int(ncid, NC_GLOBAL, name, NC_INT, 1, &value);
    auto& st = kavro::state();
    st.c.FLNAME3(1) = "NEWDICT";
    st.b.NCID3(1) = ncid;
    st.b.LASTFID3 = 1;
    return ncid;
  }
};

// A new dictionary has the layout of tests/data/empty_dictionary.cdl, 26 variables in its
// slot, no entry, and describes and reads through the library like any dictionary.
TEST_F(Crdict3Test, CreatesEmptyDictionary) {
  const std::string path = dir().file("empty_dictionary.nc");
  create(path);
  ASSERT_TRUE(kavro::CRDICT3(1)) << log_text();
  const auto& st = kavro::state();
  EXPECT_EQ(st.b.FTYPE3(1), kavro::DCTNRY3);
  EXPECT_EQ(st.b.NVARS3(1), 26);
  EXPECT_EQ(st.b.MXREC3(1), 0);
  EXPECT_EQ(st.b.TFLAGID3(1), 0);
  EXPECT_EQ(st.c.VLIST3D(1, 1).trimmed(), "FNAME");
  EXPECT_EQ(st.c.VLIST3D(26, 1).trimmed(), "VTYPE");
  EXPECT_EQ(st.b.VARID3(26, 1), 26);
  ASSERT_TRUE(kavro::CLOSE3("NEWDICT"));
  EXPECT_EQ(run_command("ncdump " + path),
            read_file(std::string(KAVRO_TEST_DATA_DIR) + "/empty_dictionary.cdl"));

  set_name("DICT", path);
  ASSERT_TRUE(kavro::OPEN3("DICT", kavro::FSREAD3, "prog")) << log_text();
  const std::size_t before = log_lines().size();
  ASSERT_TRUE(kavro::DESC3("DICT"));
  EXPECT_EQ(kavro::BDESC3.NVARS3D, 26);
  EXPECT_EQ(kavro::CDESC3.VNAME3D[21].trimmed(), "FDESC");
  EXPECT_EQ(kavro::BDESC3.CDATE3D, 2024100);
  std::array<int, 1> buffer{};
  EXPECT_FALSE(kavro::READ3("DICT", "ANY", 1, 0, 0, buffer.data()));
  EXPECT_EQ(log_lines().size(), before);
}

// A failed step reports its block and discards the half-made file.
TEST_F(Crdict3Test, FailureDiscardsFile) {
  const std::string path = dir().file("broken.nc");
  const int ncid = create(path);
  int dimid = -1;
  ASSERT_EQ(nc_def_dim(ncid, "ZINDX", 3, &dimid), NC_NOERR);
  const std::size_t before = log_lines().size();
  EXPECT_FALSE(kavro::CRDICT3(1));
  const Lines all = log_lines();
  EXPECT_EQ(Lines(all.begin() + long(before), all.end()),
            (Lines{"     ", "     ", "     >>> WARNING in subroutine CRDICT3 <<<",
                   "     Error creating netCDF dimension ZINDX", "     File name NEWDICT",
                   "     netCDF error number  -42", "     ", "     "}));
  EXPECT_EQ(kavro::state().b.NCID3(1), kavro::IMISSING3);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace kavro_test
