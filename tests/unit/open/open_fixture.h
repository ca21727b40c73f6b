// Shared fixture of the opening tests: files from the fixture writer, logical names pointing
// at them, and the log to assert on.
#ifndef KAVRO_TESTS_UNIT_OPEN_OPEN_FIXTURE_H
#define KAVRO_TESTS_UNIT_OPEN_OPEN_FIXTURE_H

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "gridwriter/fixture_writer.h"
#include "kavro/kavro.h"
#include "netcdf/netcdf_routines.h"
#include "open/open.h"
#include "support/test_env.h"

namespace kavro_test {

class OpenFixture : public LibraryTest {
 protected:
  void SetUp() override { kavro::test_hooks::reset_header_checks(); }
  void TearDown() override {
    if (kavro::state().b.INITDONE3) kavro::SHUT3();
  }

  // Writes the file and returns its path.
  std::string write(const FixtureSpec& fx, const std::string& file = "data.nc") {
    const std::string path = dir().file(file);
    EXPECT_TRUE(write_fixture(path, fx)) << path;
    return path;
  }
  // Sets the logical name LNAME to VALUE for the test.
  void set_name(const std::string& lname, const std::string& value) {
    env_.push_back(std::make_unique<ScopedEnv>(lname, value));
  }
  // Writes the file and points LNAME at it.
  std::string file_named(const std::string& lname, const FixtureSpec& fx,
                         const std::string& file = "data.nc") {
    const std::string path = write(fx, file);
    set_name(lname, path);
    return path;
  }
  static FixtureSpec grid(int nvars = 3) {
    FixtureSpec s;
    s.vars = numbered_vars(nvars);
    return s;
  }
  // Whether the log holds the log line of TEXT (five blanks, then the text).
  bool logged(const std::string& text) const {
    const auto lines = log_lines();
    return std::find(lines.begin(), lines.end(), "     " + text) != lines.end();
  }
  // Whether any log line contains TEXT.
  bool log_mentions(const std::string& text) const {
    return log_text().find(text) != std::string::npos;
  }
  // The slot holding LNAME (0 when none).
  static int slot_of(const std::string& lname) { return kavro::NAME2FID(lname); }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

}  // namespace kavro_test

#endif  // KAVRO_TESTS_UNIT_OPEN_OPEN_FIXTURE_H
