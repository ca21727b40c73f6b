// Running the built tool in a child process on files from the fixture writer: its standard
// output, its log and its exit status; the fixture and the small files the tool's tests share.
#ifndef KAVRO_TESTS_DRIVER_TOOL_RUN_H
#define KAVRO_TESTS_DRIVER_TOOL_RUN_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gridwriter/fixture_writer.h"
#include "support/test_env.h"

namespace brindlewick_test {

using kavro_test::FixtureSpec;
using kavro_test::FixtureVar;
using kavro_test::TempDir;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> log;
};

using Env = std::map<std::string, std::optional<std::string>>;

// Runs the tool in `dir` with only the given variables set (plus the sanitizers' options) and
// the given arguments.
inline RunResult run_tool(const TempDir& dir, const Env& env, const std::string& stdout_path = "",
                          const std::vector<std::string>& args = {}) {
  std::vector<std::string> vars;
  for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    const char* v = std::getenv(keep);
    if (v != nullptr && env.count(keep) == 0) vars.push_back(std::string(keep) + "=" + v);
  }
  for (const auto& [name, value] : env) {
    if (value) vars.push_back(name + "=" + *value);
  }
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);

  const std::string out = stdout_path.empty() ? dir.file("stdout.txt") : stdout_path;
  const std::string err = dir.file("stderr.txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  char tool[] = KAVRO_BRINDLEWICK;
  std::vector<std::string> arg_texts = args;
  std::vector<char*> argv = {tool};
  for (std::string& a : arg_texts) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  RunResult r;
  if (posix_spawn(&pid, tool, &actions, nullptr, argv.data(), envp.data()) == 0) {
    int ws = 0;
    waitpid(pid, &ws, 0);
    r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
  }
  posix_spawn_file_actions_destroy(&actions);
  if (stdout_path.empty()) r.out = kavro_test::read_file(out);
  r.err = kavro_test::read_file(err);
  const auto it = env.find("LOGFILE");
  if (it != env.end() && it->second && *it->second != "/dev/null") {
    r.log = kavro_test::read_lines(*it->second);
  }
  return r;
}

// The last n lines of the log.
inline std::vector<std::string> tail(const std::vector<std::string>& lines, std::size_t n) {
  return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
}

inline const std::vector<std::string> kNormalEnd = {
    "     ", "     --->> Normal Completion of program Brindlewick", "     ", "     "};

inline std::vector<std::string> abort_end(const std::string& mesg) {
  return {"     ", "     *** ERROR ABORT in subroutine Brindlewick", "     " + mesg, "     "};
}

// A 4 x 3 grid of 1 km cells whose origin is at (-2000, -1500).
inline FixtureSpec grid(int ncols = 4, int nrows = 3, int nlays = 1) {
  FixtureSpec s;
  s.ncols = ncols;
  s.nrows = nrows;
  s.nlays = nlays;
  s.xorig = -2000.0;
  s.yorig = -1500.0;
  s.xcell = 1000.0;
  s.ycell = 1000.0;
  return s;
}

inline FixtureVar variable(const std::string& name, int type) {
  FixtureVar v;
  v.name = name;
  v.type = type;
  return v;
}

// Location data: cell centres, so the grid column printed is col - 1 and the grid row row - 1.
inline FixtureSpec stack(int ncols = 4, int nrows = 3) {
  FixtureSpec s = grid(ncols, nrows, 1);
  s.tstep = 0;  // time-independent: flags (0, 0) at date 0, time 0
  s.sdate = 0;
  s.vars = {variable("LATITUDE", kavro_test::kReal), variable("LONGITUDE", kavro_test::kReal),
            variable("COL", kavro_test::kInt),       variable("ROW", kavro_test::kInt),
            variable("XLOCA", kavro_test::kReal),    variable("YLOCA", kavro_test::kReal)};
  s.value = [](int v, int, int, int row, int col) {
    switch (v) {
      case 1:
        return 40.0 + 0.5 * row;
      case 2:
        return -100.0 - 0.25 * col;
      case 3:
        return double(col);
      case 4:
        return double(row);
      case 5:
        return -2000.0 + (col - 0.5) * 1000.0;
      default:
        return -1500.0 + (row - 0.5) * 1000.0;
    }
  };
  return s;
}

// Two steps of two REAL variables, V1 and V2, from the writer's formula.
inline FixtureSpec data(int ncols = 4, int nrows = 3, int nlays = 1) {
  FixtureSpec s = grid(ncols, nrows, nlays);
  s.vars = kavro_test::numbered_vars(2);
  return s;
}

class BrindlewickTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.file(name); }
  void write(const std::string& name, const FixtureSpec& fx) {
    ASSERT_TRUE(kavro_test::write_fixture(path(name), fx)) << name;
  }
  // STACK1, INFILE1 and INFILE2 as written, the log in its own file.
  RunResult run(Env extra = {}, const std::string& stdout_path = "",
                const std::vector<std::string>& args = {}) {
    Env env = {{"STACK1", path("stack.nc")},
               {"INFILE1", path("run1.nc")},
               {"INFILE2", path("run2.nc")},
               {"LOGFILE", path("run.log")}};
    for (auto& [k, v] : extra) env[k] = v;
    return run_tool(dir_, env, stdout_path, args);
  }
  // Standard output after the banner: the reports.
  std::string reports(const RunResult& r) {
    const std::string& b = banner();
    EXPECT_EQ(r.out.substr(0, b.size()), b);
    return r.out.size() >= b.size() ? r.out.substr(b.size()) : std::string();
  }
  // The banner INIT3 writes to standard output when the log is a file.
  static const std::string& banner() {
    static const std::string text = [] {
      TempDir d;
      kavro_test::write_fixture(d.file("stack.nc"), stack());
      return run_tool(d, {{"STACK1", d.file("stack.nc")},
                          {"INFILE1", d.file("stack.nc")},
                          {"INFILE2", d.file("stack.nc")},
                          {"LOGFILE", "/dev/null"}})
          .out;
    }();
    return text;
  }
  // (column, row) of every report.
  static std::vector<std::pair<int, int>> cells(const std::string& reports) {
    std::vector<std::pair<int, int>> out;
    for (std::size_t p = 0; p < reports.size();) {
      out.emplace_back(std::stoi(reports.substr(p, 12)), std::stoi(reports.substr(p + 12, 12)));
      p = reports.find('\n', reports.find('\n', p) + 1) + 1;
    }
    return out;
  }

  TempDir dir_;
};

}  // namespace brindlewick_test

#endif  // KAVRO_TESTS_DRIVER_TOOL_RUN_H
