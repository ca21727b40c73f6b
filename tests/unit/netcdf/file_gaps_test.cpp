// The survey of what a gridded file lacks: a classic file (CDF-1 or CDF-5) is surveyed from the
// header check's parse, a netCDF-4 copy of it through the netCDF library, and both give the
// same line; a classic file the check refuses is not surveyed at all.
#include "kavro/file_gaps.h"

#include <unistd.h>

#include <functional>
#include <string>

#include "gridwriter/fixture_writer.h"
#include "netcdf/classic/classic_header.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

struct GapCase {
  const char* name;
  std::function<void(FixtureSpec&)> change;
  std::string line;  // "" when nothing is listed
};

class FileGapsTest : public ::testing::TestWithParam<GapCase> {
 protected:
  static std::string line_of(const std::string& path) {
    const std::vector<std::string> gaps = kavro::file_gaps(path);
    return gaps.empty() ? "" : kavro::file_gaps_line("f.nc", gaps);
  }
  FixtureSpec sorting(bool cdf5) const {
    FixtureSpec s;
    s.vars = numbered_vars(2);
    s.cdf5 = cdf5;
    GetParam().change(s);
    return s;
  }
  TempDir dir_;
};

// The classic file in both formats and its netCDF-4 copy: the same line.
TEST_P(FileGapsTest, ClassicAndNetcdf4Agree) {
  for (const bool cdf5 : {false, true}) {
    const std::string path = dir_.file(cdf5 ? "cdf5.nc" : "cdf1.nc");
    ASSERT_TRUE(write_fixture(path, sorting(cdf5)));
    EXPECT_EQ(line_of(path), GetParam().line) << (cdf5 ? "CDF-5" : "CDF-1");
    const std::string copy = dir_.file(cdf5 ? "cdf5.nc4" : "cdf1.nc4");
    run_command(std::string(KAVRO_NCCOPY) + " -k nc4 " + path + " " + copy);
    ASSERT_EQ(access(copy.c_str(), R_OK), 0) << copy;
    EXPECT_EQ(line_of(copy), GetParam().line) << "netCDF-4 copy of " << path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileGapsTest,
    ::testing::Values(
        GapCase{"Complete", [](FixtureSpec&) {}, ""},
        GapCase{"OneAttribute", [](FixtureSpec& s) { s.drop("VGLVLS"); },
                "f.nc lacks the float attribute VGLVLS"},
        GapCase{"WrongType",
                [](FixtureSpec& s) {
                  s.drop("FTYPE");
                  s.override_attr("VGLVLS", RawAttr::doubles({1, 0}));
                },
                "f.nc lacks the int attribute FTYPE and the float attribute VGLVLS"},
        GapCase{"EmptyText", [](FixtureSpec& s) { s.override_attr("GDNAM", RawAttr::chars("")); },
                "f.nc lacks the text attribute GDNAM"},
        GapCase{"NvarsAsShort",
                [](FixtureSpec& s) { s.override_attr("NVARS", RawAttr::integers(3, {2})); }, ""},
        GapCase{"NvarsTwoValues",
                [](FixtureSpec& s) {
                  s.override_attr("NVARS", RawAttr::ints({2, 2}));
                  s.vars[1].has_units = false;
                },
                ""},
        GapCase{"VariableMissing",
                [](FixtureSpec& s) {
                  s.override_attr("VAR-LIST", RawAttr::chars("V1              XX              "));
                },
                "f.nc lacks the variable XX"},
        GapCase{"VarListNotText",
                [](FixtureSpec& s) {
                  s.override_attr("VAR-LIST", RawAttr::ints({1, 2}));
                },
                "f.nc lacks the text attribute VAR-LIST"},
        GapCase{"VarListEndsAtNul",
                [](FixtureSpec& s) {
                  s.override_attr("VAR-LIST",
                                  RawAttr::chars(std::string("V1              V2\0", 19) + "V9"));
                },
                ""},
        GapCase{"UnitsAndDescription",
                [](FixtureSpec& s) {
                  s.vars[0].has_units = false;
                  s.drop("HISTORY");
                },
                "f.nc lacks the text attribute HISTORY and units on V1"}),
    [](const ::testing::TestParamInfo<GapCase>& info) { return std::string(info.param.name); });

// A classic file the header check refuses (its last record cut, which the netCDF library would
// open) has nothing surveyed, however much it lacks: the open's cause says what is wrong.
TEST(FileGapsRefusedTest, RefusedFileIsNotSurveyed) {
  TempDir dir;
  FixtureSpec s;
  s.vars = numbered_vars(2);
  s.drop("VGLVLS");
  const std::string path = dir.file("cut.nc");
  ASSERT_TRUE(write_fixture(path, s));
  EXPECT_EQ(kavro::file_gaps_line("cut.nc", kavro::file_gaps(path)),
            "cut.nc lacks the float attribute VGLVLS");
  kavro::detail::classic::Header h;
  kavro::detail::classic::Problem why;
  ASSERT_TRUE(kavro::detail::classic::parse_classic_header(path.c_str(), h, why)) << why.view();
  const auto& last = h.var(h.nvars() - 1);
  const std::uint64_t end = last.begin + (h.numrecs - 1) * h.recsize + last.bytes;
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(end - 5)), 0);
  ASSERT_FALSE(kavro::detail::classic::parse_classic_header(path.c_str(), h, why));
  EXPECT_TRUE(kavro::file_gaps(path).empty());
}

}  // namespace
}  // namespace kavro_test
