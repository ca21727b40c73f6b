// The header check stops only what cannot be read safely: a valid classic file with many
// dimensions, attributes or variables, or a variable of high rank, passes it whatever this
// library's own files use, and the open's own checks decide: a file the layout can describe
// opens, one it cannot is refused with the layout's message.
#include <netcdf.h>

#include <functional>
#include <string>
#include <vector>

#include "netcdf/classic/classic_header.h"
#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

namespace classic = kavro::detail::classic;

// Adds to the file at PATH through the netCDF library: EXTEND runs in define mode.
void extend(const std::string& path, const std::function<void(int ncid)>& define) {
  int ncid = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_WRITE, &ncid), NC_NOERR);
  ASSERT_EQ(nc_redef(ncid), NC_NOERR);
  define(ncid);
  ASSERT_EQ(nc_close(ncid), NC_NOERR);
}

int def_dim(int ncid, const std::string& name, std::size_t len) {
  int id = -1;
  EXPECT_EQ(nc_def_dim(ncid, name.c_str(), len, &id), NC_NOERR) << name;
  return id;
}

int def_var(int ncid, const std::string& name, const std::vector<int>& dims) {
  int id = -1;
  EXPECT_EQ(
      nc_def_var(ncid, name.c_str(), NC_FLOAT, static_cast<int>(dims.size()), dims.data(), &id),
      NC_NOERR)
      << name;
  return id;
}

void put_atts(int ncid, int varid, int n) {
  for (int i = 0; i < n; ++i) {
    const int v = i;
    ASSERT_EQ(nc_put_att_int(ncid, varid, ("a" + std::to_string(i)).c_str(), NC_INT, 1, &v),
              NC_NOERR);
  }
}

struct CapCase {
  const char* what;
  int nvars;                             // data variables of the fixture
  std::function<void(int ncid)> define;  // added to it; null: nothing
  const char* refusal;                   // the open's own message; null: the file opens
};

class HeaderCapsTest : public OpenFixture {};

TEST_F(HeaderCapsTest, PassesTheCheckAndMeetsTheOpensOwnChecks) {
  const CapCase cases[] = {
      {"100 dimensions", 2,
       [](int ncid) {
         for (int i = 0; i < 100; ++i) def_dim(ncid, "X" + std::to_string(i), std::size_t(i + 1));
       },
       nullptr},
      {"5000 global attributes", 2, [](int ncid) { put_atts(ncid, NC_GLOBAL, 5000); }, nullptr},
      {"5000 attributes of a variable", 2,
       [](int ncid) {
         int v = 0;
         ASSERT_EQ(nc_inq_varid(ncid, "V1", &v), NC_NOERR);
         put_atts(ncid, v, 5000);
       },
       nullptr},
      {"3000 variables besides the data", 2,
       [](int ncid) {
         const int d = def_dim(ncid, "EXTRA", 2);
         for (int i = 0; i < 3000; ++i) def_var(ncid, "E" + std::to_string(i), {d});
       },
       nullptr},
      {"rank 8", 2,
       [](int ncid) {
         std::vector<int> dims;
         for (int i = 0; i < 8; ++i) dims.push_back(def_dim(ncid, "R" + std::to_string(i), 2));
         def_var(ncid, "RANK8", dims);
       },
       nullptr},
      {"3000 data variables", 3000, nullptr,
       "Max value of attribute NVARS exceeded for this build"},
  };
  for (const CapCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir().file(std::string(c.what).substr(0, 4) + ".nc");
    FixtureSpec s = grid(c.nvars);
    s.write_data = c.nvars < 100;
    ASSERT_TRUE(write_fixture(path, s));
    if (c.define) extend(path, c.define);
    classic::Header h;
    classic::Problem why;
    EXPECT_TRUE(classic::parse_classic_header(path.c_str(), h, why)) << why.view();
    set_name("CAPS", path);
    EXPECT_EQ(kavro::OPEN3("CAPS", kavro::FSREAD3, "test"), c.refusal == nullptr) << log_text();
    if (c.refusal != nullptr) {
      EXPECT_TRUE(log_mentions(c.refusal)) << log_text();
    } else {
      EXPECT_TRUE(kavro::DESC3("CAPS")) << log_text();
      EXPECT_EQ(kavro::BDESC3.NVARS3D, c.nvars);
      EXPECT_TRUE(kavro::CLOSE3("CAPS"));
    }
  }
}

}  // namespace
}  // namespace kavro_test
