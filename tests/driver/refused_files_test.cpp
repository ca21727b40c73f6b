// Files the open refuses, as the person at the terminal meets them: the mistakes of a file
// written by hand, each named with its fix, a file cut short, and the value forms the open
// refuses, every one with its cause on standard error, byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "support/classic_end.h"
#include "tool_run.h"

namespace brindlewick_test {
namespace {

using kavro_test::RawAttr;

struct RefusedCase {
  const char* name;
  // Writes run2.nc (INFILE2) in DIR, or names INFILE2 otherwise: the variables to set.
  std::function<Env(const std::string& dir)> setup;
  // Standard error, from DIR.
  std::function<std::string(const std::string& dir)> err;
  int status = 2;
};

// run2.nc: the data file of the run, changed by CHANGE.
Env write_run2(const std::string& dir, const std::function<void(FixtureSpec&)>& change) {
  FixtureSpec fx = data();
  change(fx);
  EXPECT_TRUE(kavro_test::write_fixture(dir + "/run2.nc", fx));
  return {};
}

// TEXT with DIR for "{dir}".
std::function<std::string(const std::string&)> text(std::string text) {
  return [text](const std::string& dir) {
    std::string t = text;
    for (std::size_t p = 0; (p = t.find("{dir}", p)) != std::string::npos; p += dir.size()) {
      t.replace(p, 5, dir);
    }
    return t;
  };
}

class RefusedFileTest : public BrindlewickTest,
                        public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedFileTest, CauseOnStandardError) {
  write("stack.nc", stack());
  write("run1.nc", data());
  const std::string dir = dir_.path();
  const RunResult r = run(GetParam().setup(dir));
  EXPECT_EQ(r.status, GetParam().status) << r.err;
  EXPECT_EQ(r.err, GetParam().err(dir));
}

const std::string kRun2 = "brindlewick: INFILE2 ({dir}/run2.nc): ";

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedFileTest,
    ::testing::Values(
        // Hand-written mistakes, each with its fix.
        RefusedCase{"SdateAsYearMonthDay",
                    [](const std::string& d) {
                      return write_run2(d,
                                        [](FixtureSpec& f) { f.override_int("SDATE", 20240701); });
                    },
                    text(kRun2 + "SDATE 20240701 is not a YYYYDDD date (2024-07-01 is 2024183)\n")},
        RefusedCase{
            "TstepInSeconds",
            [](const std::string& d) {
              return write_run2(d, [](FixtureSpec& f) { f.override_int("TSTEP", 3600); });
            },
            text(kRun2 + "TSTEP 3600 is in seconds, TFLAG steps by 010000: write TSTEP 10000\n")},
        RefusedCase{
            "NvarsOverNames",
            [](const std::string& d) {
              return write_run2(d, [](FixtureSpec& f) { f.override_int("NVARS", 3); });
            },
            text(kRun2 +
                 "NVARS 3 does not match the 2 names of VAR-LIST (V1, V2): write NVARS 2\n")},
        RefusedCase{
            "NamesNotPadded",
            [](const std::string& d) {
              return write_run2(
                  d, [](FixtureSpec& f) { f.override_attr("VAR-LIST", RawAttr::chars("V1 V2")); });
            },
            text(kRun2 + "NVARS 2 does not match the 1 name of VAR-LIST (V1 V2): pad each name "
                         "to 16 characters\n")},
        // A last name shorter than 16 characters is padded, as the README promises.
        RefusedCase{"LastNameShortIsPadded",
                    [](const std::string& d) {
                      return write_run2(d, [](FixtureSpec& f) {
                        f.override_attr("VAR-LIST", RawAttr::chars("V1              V2"));
                      });
                    },
                    text(""), 0},
        RefusedCase{"FloatForDouble",
                    [](const std::string& d) {
                      return write_run2(d, [](FixtureSpec& f) {
                        f.override_attr("P_ALP", RawAttr::floats({30.0}));
                      });
                    },
                    text("brindlewick: {dir}/run2.nc lacks the double attribute P_ALP\n" + kRun2 +
                         "P_ALP is float, must be double\n")},
        RefusedCase{"SwappedDimensions",
                    [](const std::string& d) {
                      const std::string cmd = "ncgen -o " + d +
                                              "/run2.nc " KAVRO_TEST_DATA_DIR
                                              "/swapped_dimensions.cdl";
                      EXPECT_EQ(std::system(cmd.c_str()), 0);
                      return Env{};
                    },
                    text(kRun2 + "variable O3 has dimensions (TSTEP, LAY, COL, ROW), needs (TSTEP, "
                                 "LAY, ROW, COL)\n")},
        // The last 100 bytes of the data cut: of its two records of 112 bytes (TFLAG 16, V1
        // and V2 48 each), the second lacks all but TFLAG's first 12 bytes.
        RefusedCase{
            "LastHundredBytesOfDataCut",
            [](const std::string& d) {
              write_run2(d, [](FixtureSpec&) {});
              const std::string p = d + "/run2.nc";
              EXPECT_EQ(
                  ::truncate(p.c_str(), static_cast<off_t>(kavro_test::classic_data_end(p) - 100)),
                  0);
              return Env{};
            },
            [](const std::string& d) {
              struct stat st {};
              EXPECT_EQ(::stat((d + "/run2.nc").c_str(), &st), 0);
              return text(kRun2 + "variable TFLAG: data end " + std::to_string(st.st_size + 4) +
                          " beyond file size " + std::to_string(st.st_size) +
                          " (only 1 of its 2 records are whole)\n")(d);
            }},
        // The netCDF library leaves zeros past the data of the fixture writer's files: a cut
        // there loses nothing, and the file opens and compares.
        RefusedCase{"BytesPastTheDataCut",
                    [](const std::string& d) {
                      write_run2(d, [](FixtureSpec&) {});
                      const std::string p = d + "/run2.nc";
                      struct stat st {};
                      EXPECT_EQ(::stat(p.c_str(), &st), 0);
                      EXPECT_GT(static_cast<std::uint64_t>(st.st_size),
                                kavro_test::classic_data_end(p) + 100);
                      EXPECT_EQ(::truncate(p.c_str(), st.st_size - 100), 0);
                      return Env{};
                    },
                    text(""), 0},
        // Value forms the open refuses.
        RefusedCase{
            "Virtual",
            [](const std::string&) {
              return Env{{"INFILE2", "VIRTUAL run2"}};
            },
            text("brindlewick: INFILE2 (VIRTUAL run2): VIRTUAL files are not implemented\n")},
        RefusedCase{"ListWithMissingMember",
                    [](const std::string& d) {
                      write_run2(d, [](FixtureSpec&) {});
                      return Env{{"INFILE2", "LIST:M1,NOSUCH"}, {"M1", d + "/run2.nc"}};
                    },
                    text("brindlewick: INFILE2 (LIST:M1,NOSUCH): member NOSUCH: no such file\n")},
        RefusedCase{
            "ListOfDifferentGrids",
            [](const std::string& d) {
              write_run2(d, [](FixtureSpec&) {});
              FixtureSpec wide = data(5, 3);
              wide.stime = 20000;
              EXPECT_TRUE(kavro_test::write_fixture(d + "/wide.nc", wide));
              return Env{{"INFILE2", "LIST:M1,M2"}, {"M1", d + "/run2.nc"}, {"M2", d + "/wide.nc"}};
            },
            text("brindlewick: INFILE2 (LIST:M1,M2): member M2: NCOLS differs from the "
                 "first member's\n")}),
    [](const ::testing::TestParamInfo<RefusedCase>& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace brindlewick_test
