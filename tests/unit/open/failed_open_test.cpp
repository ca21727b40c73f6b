// OPEN3 that fails gives back everything it took: after any refused open the process holds the
// same descriptors, netCDF ids, slots and list entries as before, however often it is retried.
#include <functional>
#include <string>
#include <vector>

#include "core/state.h"
#include "open_fixture.h"
#include "support/holdings.h"

namespace kavro_test {
namespace {

using kavro::FSREAD3;
using kavro::OPEN3;

constexpr int kRetries = 100;

class FailedOpenTest;

struct FailureCase {
  const char* what;
  const char* lname;
  // Writes the files and sets the names.
  std::function<void(FailedOpenTest&)> setup;
  // A line of the log that says why the open failed (empty: not checked).
  std::string logged;
  // The short cause noted for the name, as the tool and the bindings give it.
  std::string cause;
  int fstatus = FSREAD3;
};

class FailedOpenTest : public OpenFixture {
 protected:
  // A two-record member starting at step K of an hourly axis.
  static FixtureSpec member(int k) {
    FixtureSpec s = grid(2);
    s.stime = k * 10000;
    s.records = 2;
    return s;
  }
  // M1 a good member, M2 as given, LIST naming both.
  void list_with(const FixtureSpec& second) {
    file_named("M1", member(0), "m1.nc");
    file_named("M2", second, "m2.nc");
    set_name("LIST", "LIST:M1,M2");
  }
  // A file holding exactly TEXT, named by LNAME through VALUE_PREFIX + its path.
  void raw_file(const std::string& lname, const std::string& text,
                const std::string& value_prefix = "") {
    const std::string path = dir().file(lname + ".raw");
    write_file(path, text);
    set_name(lname, value_prefix + path);
  }
  static FailureCase mismatch(const char* field, std::function<void(FixtureSpec&)> change);
  // Every way OPEN3 can fail.
  static std::vector<FailureCase> failure_cases();
};

// A member that differs from the first member in FIELD.
FailureCase FailedOpenTest::mismatch(const char* field, std::function<void(FixtureSpec&)> change) {
  return {field, "LIST",
          [change](FailedOpenTest& t) {
            FixtureSpec s = FailedOpenTest::member(2);
            change(s);
            t.list_with(s);
          },
          std::string("Bad ") + field + " for M2               in file list LIST",
          std::string("member M2: ") + field + " differs from the first member's"};
}

std::vector<FailureCase> FailedOpenTest::failure_cases() {
  std::vector<FailureCase> cases = {
      mismatch("TSTEP", [](FixtureSpec& s) { s.tstep = 20000; }),
      mismatch("FTYPE", [](FixtureSpec& s) { s.ftype = kBndary; }),
      mismatch("GDTYP", [](FixtureSpec& s) { s.gdtyp = 1; }),
      mismatch("NCOLS", [](FixtureSpec& s) { s.ncols = 5; }),
      mismatch("NROWS", [](FixtureSpec& s) { s.nrows = 4; }),
      mismatch("NLAYS", [](FixtureSpec& s) { s.nlays = 3; }),
      mismatch("NTHIK", [](FixtureSpec& s) { s.nthik = 2; }),
      mismatch("NVARS", [](FixtureSpec& s) { s.vars = numbered_vars(3); }),
      mismatch("P_ALP", [](FixtureSpec& s) { s.p_alp = 31; }),
      mismatch("P_BET", [](FixtureSpec& s) { s.p_bet = 61; }),
      mismatch("P_GAM", [](FixtureSpec& s) { s.p_gam = -91; }),
      mismatch("XORIG", [](FixtureSpec& s) { s.xorig = 0; }),
      mismatch("YORIG", [](FixtureSpec& s) { s.yorig = 0; }),
      mismatch("XCENT", [](FixtureSpec& s) { s.xcent = -91; }),
      mismatch("YCENT", [](FixtureSpec& s) { s.ycent = 41; }),
      mismatch("XCELL", [](FixtureSpec& s) { s.xcell = 4000; }),
      mismatch("YCELL", [](FixtureSpec& s) { s.ycell = 4000; }),
      mismatch("VNAME", [](FixtureSpec& s) { s.vars[1].name = "W2"; }),
      {"a member off the time steps", "LIST",
       [](FailedOpenTest& t) {
         FixtureSpec s = FailedOpenTest::member(2);
         s.stime = 23000;
         t.list_with(s);
       },
       "Start of M2               not on the time steps of file list LIST",
       "member M2: its start is not on the list's time steps"},
      {"a missing member", "LIST",
       [](FailedOpenTest& t) {
         t.file_named("M1", FailedOpenTest::member(0), "m1.nc");
         t.set_name("LIST", "LIST:M1,NOSUCH");
       },
       "File not available.", "member NOSUCH: no such file"},
      {"a member the header reader refuses", "LIST",
       [](FailedOpenTest& t) {
         t.file_named("M1", FailedOpenTest::member(0), "m1.nc");
         t.raw_file("M2", std::string("CDF\x01\x00\x00\x00", 7));
         t.set_name("LIST", "LIST:M1,M2");
       },
       "", "member M2: header runs past the end of the file (7 bytes)"},
      {"a full member table", "LIST",
       [](FailedOpenTest& t) {
         t.list_with(FailedOpenTest::member(2));
         kavro::state().b.LISTUSED3 = kavro::MXOPEN3 - 1;
       },
       "Bad FILE_LIST.", "the table of list members is full"},
      {"a list that is not read-only", "LIST",
       [](FailedOpenTest& t) { t.list_with(FailedOpenTest::member(2)); }, "LIST-File not readonly.",
       "a file list opens read-only only", kavro::FSRDWR3},
      {"a VIRTUAL file", "INFILE", [](FailedOpenTest& t) { t.set_name("INFILE", "VIRTUAL in"); },
       "VIRTUAL files not implemented in this KAVRO version", "VIRTUAL files are not implemented"},
      {"a bad description to create from", "INFILE",
       [](FailedOpenTest& t) {
         t.set_name("INFILE", t.dir().file("new.nc"));
         kavro::BDESC3.NVARS3D = -1;
       },
       "Error:   bad file description in FDESC", "bad file description in FDESC", kavro::FSNEW3},
      {"an existing file created NEW", "INFILE",
       [](FailedOpenTest& t) {
         t.file_named("INFILE", grid(), "in.nc");
         kavro::BDESC3 = kavro::Bdesc3{};
       },
       "File INFILE already exists; cannot create it \"NEW\".",
       "already exists: cannot create it \"NEW\"", kavro::FSNEW3},
      {"an illegal open mode", "INFILE",
       [](FailedOpenTest& t) { t.file_named("INFILE", grid(), "in.nc"); },
       "File opening error:  illegal FSTATUS argument.", "illegal FSTATUS 7", 7},
      {"a netCDF file without the global attributes", "INFILE",
       [](FailedOpenTest& t) { t.file_named("INFILE", grid().drop("NCOLS"), "in.nc"); }, "",
       "Error reading file attribute NCOLS: Attribute not found"},
      {"a refused classic header", "INFILE",
       [](FailedOpenTest& t) { t.raw_file("INFILE", std::string("CDF\x01\x00\x00\x00", 7)); }, "",
       "header runs past the end of the file (7 bytes)"},
      {"a file that is not netCDF", "INFILE",
       [](FailedOpenTest& t) { t.raw_file("INFILE", "not a gridded file\n"); }, "",
       "not a netCDF file"},
      {"a refused native binary header", "INFILE",
       [](FailedOpenTest& t) { t.raw_file("INFILE", std::string(200, '\x7f'), "BIN:"); }, "",
       "unexpected end of file"},
      {"a missing file", "INFILE",
       [](FailedOpenTest& t) { t.set_name("INFILE", t.dir().file("absent.nc")); },
       "File not available.", "no such file"},
  };
  return cases;
}

// Every failure path of OPEN3, each tried 100 times: the open fails, says why in the log and
// in its short cause, and leaves no descriptor, netCDF id, slot or list entry behind.
TEST_F(FailedOpenTest, GivesBackEverythingItTook) {
  for (const FailureCase& c : failure_cases()) {
    SCOPED_TRACE(c.what);
    ASSERT_GE(kavro::INIT3(), 0);
    c.setup(*this);
    // Hold a good file meanwhile, so that a leak cannot hide behind a reused lowest slot.
    file_named("HELD", grid(1), "held.nc");
    ASSERT_TRUE(OPEN3("HELD", FSREAD3, "prog")) << log_text();
    const Holdings before = holdings();
    for (int i = 0; i < kRetries; ++i) {
      kavro::clear_file_failure();
      ASSERT_FALSE(OPEN3(c.lname, c.fstatus, "prog")) << "attempt " << i;
      const kavro::FileFailure f = kavro::last_file_failure();
      ASSERT_TRUE(f.noted);
      EXPECT_EQ(f.lname, c.lname);
      ASSERT_EQ(f.cause, c.cause) << log_text();
    }
    EXPECT_EQ(holdings(), before);
    EXPECT_EQ(slot_of(c.lname), 0);
    EXPECT_EQ(slot_of("M1"), 0);
    if (!c.logged.empty()) EXPECT_TRUE(logged(c.logged)) << log_text();
    kavro::SHUT3();
  }
}

// CLOSE3 and SHUT3 give back what an open took, the kept descriptor of the direct read path
// included, however often a file or a list is opened and closed.
TEST_F(FailedOpenTest, CloseAndShutGiveBackWhatAnOpenTook) {
  list_with(member(2));
  file_named("INFILE", grid(), "in.nc");
  ASSERT_GE(kavro::INIT3(), 0);
  const Holdings before = holdings();
  for (int i = 0; i < kRetries; ++i) {
    ASSERT_TRUE(OPEN3("INFILE", FSREAD3, "prog")) << log_text();
    ASSERT_TRUE(kavro::CLOSE3("INFILE"));
  }
  EXPECT_EQ(holdings(), before);
  for (int i = 0; i < kRetries; ++i) {
    ASSERT_TRUE(OPEN3("LIST", FSREAD3, "prog")) << log_text();
    ASSERT_TRUE(OPEN3("INFILE", FSREAD3, "prog")) << log_text();
    ASSERT_TRUE(kavro::SHUT3());
    ASSERT_GE(kavro::INIT3(), 0);
  }
  EXPECT_EQ(holdings(), before);
}

}  // namespace
}  // namespace kavro_test
