// OPNLIST3 through OPEN3: a list of netCDF files read as one file in time.
#include <array>
#include <string>
#include <vector>

#include "core/state.h"
#include "read/read.h"
#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

using kavro::FSREAD3;
using kavro::OPEN3;
using kavro::state;

class Opnlist3Test : public OpenFixture {
 protected:
  // A two-record member starting at step K of a common hourly axis from 2024033:000000.
  static FixtureSpec member(int k, int nvars = 2) {
    FixtureSpec s = grid(nvars);
    s.sdate = 2024033;
    s.stime = k * 10000;
    s.records = 2;
    return s;
  }
  // Writes each member as M<i> and points LIST at "LIST:M1,M2,...".
  void members(const std::vector<FixtureSpec>& specs, const std::string& list = "LIST") {
    std::string value = "LIST:";
    for (std::size_t i = 0; i < specs.size(); ++i) {
      const std::string name = "M" + std::to_string(i + 1);
      file_named(name, specs[i], name + ".nc");
      value += (i ? "," : "") + name;
    }
    set_name(list, value);
  }
  // Slots that hold a file (not free).
  static int slots_in_use() {
    int n = 0;
    for (int s = 1; s <= kavro::MXOPEN3; ++s) n += kavro::detail::slot_free(s) ? 0 : 1;
    return n;
  }
};

// Members named out of time order: the list starts at the earliest member, each member is
// placed in the list's record numbering, and the list's record count covers them all.
TEST_F(Opnlist3Test, MembersOutOfOrderArePlacedOnOneAxis) {
  members({member(2), member(0)});
  ASSERT_TRUE(OPEN3("LIST", FSREAD3, "prog")) << log_text();
  const auto& b = state().b;
  const int f = slot_of("LIST");
  EXPECT_EQ(b.NCID3(f), kavro::LISTFIL3);
  EXPECT_EQ(b.SDATE3(f), 2024033);
  EXPECT_EQ(b.STIME3(f), 0);
  EXPECT_EQ(b.LISTCOUNT3(f), 2);
  const int e = b.LISTFIRST3(f);
  EXPECT_EQ(b.MEMBERBEG3(e), 3);
  EXPECT_EQ(b.MEMBEREND3(e), 5);
  EXPECT_EQ(b.MEMBERBEG3(e + 1), 1);
  EXPECT_EQ(b.MEMBEREND3(e + 1), 3);
  EXPECT_EQ(b.MXREC3(f), 4);
  EXPECT_EQ(b.LISTUSED3, 2);
  ASSERT_TRUE(kavro::DESC3("LIST"));
  EXPECT_EQ(kavro::BDESC3.MXREC3D, 4);
  EXPECT_EQ(kavro::CDESC3.UNITS3D[0].trimmed(), "ppmV");
  EXPECT_EQ(kavro::CDESC3.GDNAM3D.trimmed(), "FIXTURE_GRID");
  EXPECT_TRUE(logged("LIST-FILE SEQUENCE opened as READONLY            "));
}

// The record boundary between two contiguous members is read from the later member, and the
// values are those of the member that holds the step.
TEST_F(Opnlist3Test, ReadsEachStepFromItsMember) {
  FixtureSpec second = member(2);
  second.value = [](int var, int rec, int lay, int row, int col) {
    return 5000.0 + default_value(var, rec, lay, row, col);
  };
  members({member(0), second});
  ASSERT_TRUE(OPEN3("LIST", FSREAD3, "prog")) << log_text();
  std::array<float, 4 * 3 * 2> buf{};
  ASSERT_TRUE(kavro::READ3("LIST", "V2", 1, 2024033, 10000, buf.data())) << log_text();
  EXPECT_FLOAT_EQ(buf[0], static_cast<float>(default_value(2, 2, 1, 1, 1)));
  ASSERT_TRUE(kavro::READ3("LIST", "V2", 1, 2024033, 20000, buf.data())) << log_text();
  EXPECT_FLOAT_EQ(buf[0], static_cast<float>(5000.0 + default_value(2, 1, 1, 1, 1)));
  EXPECT_FALSE(kavro::READ3("LIST", "V2", 1, 2024033, 40000, buf.data()));
  EXPECT_TRUE(logged("Variable V2               not available in file-set LIST")) << log_text();
}

// A member that disagrees with the first is reported field by field; the list fails and
// leaves no slot, no netCDF id and no member entry behind.
TEST_F(Opnlist3Test, MismatchingMemberFailsTheListCleanly) {
  FixtureSpec other = member(2, 3);
  other.ncols = 5;
  other.xorig = other.xorig * (1 + 1.0e-4);
  other.vars[1].name = "W2";
  members({member(0), other});
  kavro::INIT3();
  const int before = slots_in_use();
  EXPECT_FALSE(OPEN3("LIST", FSREAD3, "prog"));
  for (const char* what : {"NCOLS", "NVARS", "XORIG"}) {
    EXPECT_TRUE(logged(std::string("Bad ") + what + " for M2               in file list LIST"))
        << what << "\n"
        << log_text();
  }
  EXPECT_TRUE(logged("Bad VNAME for M2               in file list LIST"));
  EXPECT_EQ(slots_in_use(), before);
  EXPECT_EQ(state().b.LISTUSED3, 0);
  EXPECT_EQ(slot_of("M1"), 0);
  EXPECT_EQ(slot_of("LIST"), 0);
}

// Tolerance: a relative difference of 1E-6 passes; XORIG 0 against 1E-4 does not.
TEST_F(Opnlist3Test, GridValuesWithinTolerance) {
  FixtureSpec a = member(0), b = member(2);
  b.xcell = a.xcell * (1 + 1.0e-6);
  members({a, b});
  EXPECT_TRUE(OPEN3("LIST", FSREAD3, "prog")) << log_text();
  FixtureSpec c = member(0), d = member(2);
  c.xorig = 0;
  d.xorig = 1.0e-4;
  members({c, d}, "LIST2");
  EXPECT_FALSE(OPEN3("LIST2", FSREAD3, "prog"));
  EXPECT_TRUE(log_mentions("Bad XORIG for M2"));
}

// A missing member and a bad list string: "File not available." and "Bad FILE_LIST.".
TEST_F(Opnlist3Test, MissingMemberAndBadListString) {
  members({member(0)});
  set_name("LIST2", "LIST:M1,NOSUCH");
  EXPECT_FALSE(OPEN3("LIST2", FSREAD3, "prog"));
  EXPECT_TRUE(logged("NOSUCH          :NOSUCH"));
  EXPECT_TRUE(logged("File not available."));
  set_name("LIST3", "LIST:M1,,M1");
  EXPECT_FALSE(OPEN3("LIST3", FSREAD3, "prog"));
  EXPECT_TRUE(logged("LIST3           :LIST:M1,,M1")) << log_text();
  EXPECT_TRUE(logged("Bad FILE_LIST."));
  EXPECT_EQ(slot_of("M1"), 0);
}

// A member whose start is off the list's time steps is refused, naming it.
TEST_F(Opnlist3Test, MemberOffTheTimeStepsIsRefused) {
  FixtureSpec off = member(2);
  off.stime = 23000;
  members({member(0), off});
  EXPECT_FALSE(OPEN3("LIST", FSREAD3, "prog"));
  EXPECT_TRUE(logged("Start of M2               not on the time steps of file list LIST"))
      << log_text();
}

// A value naming an existing file as written is that file, even with "-v" in its path; only
// otherwise is the marker blanked, making the member volatile.
TEST_F(Opnlist3Test, VolatileMarkerNeverBreaksARealPath) {
  const std::string real = write(member(0), "run-v2.nc");
  set_name("M1", real);
  set_name("LIST", "LIST:M1");
  ASSERT_TRUE(OPEN3("LIST", FSREAD3, "prog")) << log_text();
  EXPECT_FALSE(state().b.VOLATILE3(slot_of("M1")));
  kavro::SHUT3();
  const std::string plain = write(member(0), "plain.nc");
  set_name("M1", plain + "-v");
  ASSERT_TRUE(OPEN3("LIST", FSREAD3, "prog")) << log_text();
  EXPECT_TRUE(state().b.VOLATILE3(slot_of("M1")));
}

// The member-entry table holds 200 entries between shut-downs; a list that does not fit is
// refused and nothing is written past the table.
TEST_F(Opnlist3Test, FullEntryTableRefusesTheList) {
  members({member(0)});
  kavro::INIT3();
  state().b.LISTUSED3 = kavro::MXOPEN3;
  EXPECT_FALSE(OPEN3("LIST", FSREAD3, "prog"));
  EXPECT_TRUE(log_mentions("the table of list members is full"));
  EXPECT_TRUE(logged("Bad FILE_LIST."));
  EXPECT_EQ(state().b.LISTUSED3, kavro::MXOPEN3);
}

// A value longer than the path field is refused instead of opening a cut path.
TEST_F(Opnlist3Test, OverlongValueIsRefused) {
  const std::string real = write(member(0), "a.nc");
  set_name("M1", real + std::string(600, ' ') + "x");
  set_name("LIST", "LIST:M1");
  EXPECT_FALSE(OPEN3("LIST", FSREAD3, "prog"));
  EXPECT_TRUE(log_mentions("Value of M1 longer than 512 characters"));
  set_name("SINGLE", real + std::string(600, ' ') + "x");
  EXPECT_FALSE(OPEN3("SINGLE", FSREAD3, "prog"));
  EXPECT_TRUE(log_mentions("Value of logical name SINGLE longer than 512 characters: not opened"));
}

}  // namespace
}  // namespace kavro_test
