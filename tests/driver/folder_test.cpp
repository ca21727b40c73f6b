// The folder run: pairs by relative path, one line per pair and the totals on standard output,
// the exit status, the folder's JSON document, and an accept that leaves every file whole
// however it is stopped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "folder/folder_lines.h"
#include "folder/folder_pairs.h"
#include "folder/folder_read.h"
#include "folder/folder_run.h"
#include "folder/pair_worker.h"
#include "tool_run.h"

namespace brindlewick_test {
namespace {

namespace fs = std::filesystem;
using brindlewick::PairResult;
using brindlewick::PairVerdict;
using nlohmann::json;

// Whole values, so differences are exact: a differing file adds 2 at one cell of each of its
// two variables at each of its two steps.
FixtureSpec whole_data(bool differ) {
  FixtureSpec s = data();
  s.value = [differ](int v, int rec, int lay, int row, int col) {
    const double base = v * 1000 + rec * 100 + lay * 10 + row * 4 + col;
    return differ && row == 2 && col == 3 ? base + 2.0 : base;
  };
  return s;
}

class FolderRunTest : public BrindlewickTest {
 protected:
  void put(const std::string& rel, const FixtureSpec& fx) {
    fs::create_directories(fs::path(path(rel)).parent_path());
    write(rel, fx);
  }
  // d1 and d2: an identical, a differing (in a subfolder), an unreadable pair, a file missing
  // from d2 and an extra one in d2.
  void write_folders() {
    put("d1/same.nc", whole_data(false));
    put("d2/same.nc", whole_data(false));
    put("d1/sub/diff.nc", whole_data(false));
    put("d2/sub/diff.nc", whole_data(true));
    put("d1/missing.nc", whole_data(false));
    put("d2/extra.nc", whole_data(false));
    kavro_test::write_file(path("d1/bad.nc"), "not a netCDF file\n");
    kavro_test::write_file(path("d2/bad.nc"), "not a netCDF file\n");
  }
  RunResult folder_run(std::vector<std::string> args, Env env = {}) {
    return run_tool(dir_, env, "", args);
  }
};

// Every line a caller or a script reads, byte for byte, and the status of the worst pair.
TEST_F(FolderRunTest, PrintsOneLinePerPairAndTheTotals) {
  write_folders();
  const RunResult r = folder_run({"d1", "d2", "--jobs", "2"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out,
            "failed        bad.nc  INFILE1 (d1/bad.nc): not a netCDF file\n"
            "only_in_dir2  extra.nc\n"
            "only_in_dir1  missing.nc\n"
            "identical     same.nc\n"
            "differ        sub/diff.nc  cells: 4 cells differ, largest difference 2\n"
            "5 pairs: 1 identical, 1 differ, 1 failed, 1 only in dir1, 1 only in dir2\n");
  EXPECT_EQ(r.err, "");  // not a terminal: no progress line
}

// 0 when every pair is identical, 1 when any differs or a file is on one side only, 2 when a
// pair could not be compared; filters choose the pairs.
TEST_F(FolderRunTest, ExitStatusFollowsTheWorstPair) {
  write_folders();
  const struct {
    std::vector<std::string> filters;
    int status;
    std::string totals;
  } cases[] = {
      {{"--include", "same.nc"},
       0,
       "1 pair: 1 identical, 0 differ, 0 failed, 0 only in dir1, 0 only in dir2\n"},
      {{"--include", "s*"},
       1,
       "2 pairs: 1 identical, 1 differ, 0 failed, 0 only in dir1, 0 only in dir2\n"},
      {{"--include", "*.nc", "--exclude-files", "*diff*", "--exclude-files", "bad.nc"},
       1,
       "3 pairs: 1 identical, 0 differ, 0 failed, 1 only in dir1, 1 only in dir2\n"},
      {{"--exclude-files", "sub/*"},
       2,
       "4 pairs: 1 identical, 0 differ, 1 failed, 1 only in dir1, 1 only in dir2\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"d1", "d2"};
    args.insert(args.end(), c.filters.begin(), c.filters.end());
    const RunResult r = folder_run(args);
    EXPECT_EQ(r.status, c.status) << c.filters.back();
    EXPECT_TRUE(r.out.ends_with(c.totals)) << r.out;
  }
}

// A command line refused, or pairs that cannot be listed: one line on standard error, status 2,
// nothing on standard output.
TEST_F(FolderRunTest, RefusesWithOneLine) {
  write_folders();
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"d1", "d2", "-j", "0"}, "brindlewick: --jobs: Value 0 not in range 1 to 4096\n"},
      {{"d1", "d2", "--note", "x"}, "brindlewick: --note is the note of an --accept\n"},
      {{"d1", "d2/zz*"}, "brindlewick: the pattern \"d2/zz*\" matches no file\n"},
      {{"d1", "d2", "d2/same.nc"},
       "brindlewick: \"d2\" is a folder: list files, or give two folders\n"},
      // The single-pair settings: checked as a single-pair run checks them, before any pair.
      {{"d1", "d2", "--abs-tol", "1e"},
       "brindlewick: --abs-tol: \"1e\" is not a number, 0 or more\n"},
      {{"d1", "d2", "--summary=Q"}, "brindlewick: --summary: \"Q\" is not Y or N\n"},
      {{"d1", "d2", "--steps", "2024033:000000"},
       "brindlewick: --steps: \"2024033:000000\" is not FIRST:LAST, each YYYYDDD:HHMMSS or "
       "YYYY-MM-DD[Thh:mm[:ss]]\n"},
      {{"d1", "d2", "--tolerances", "none.toml"},
       "brindlewick: --tolerances: Tolerance file \"none.toml\" could not be read\n"},
      {{"d1", "d2", "--abs-tol", "1"},
       "brindlewick: BRINDLEWICK_ABS_TOL is set to \"0.5\" in the environment but --abs-tol "
       "gives \"1\"; give one or the other\n"},
      // What the folder run owns.
      {{"d1", "d2", "--csv", "c.csv"},
       "brindlewick: --csv is one pair's file; a folder run writes each pair's reports with "
       "--reports\n"},
      {{"d1", "d2", "--maps", "."},
       "brindlewick: --maps is one pair's folder; a folder run draws the maps into its --html "
       "page\n"},
      {{"d1", "d2", "--exit-on-diff"},
       "brindlewick: --exit-on-diff is always on in a folder run: it ends with status 1 when the "
       "folders differ\n"},
      // An output that exists already, before any pair runs.
      {{"d1", "d2", "--junit", "taken"}, "brindlewick: --junit: \"taken\" already exists\n"},
      {{"d1", "d2", "--html", "taken"}, "brindlewick: --html: \"taken\" already exists\n"},
      {{"d1", "d2", "--json", "taken"}, "brindlewick: --json: \"taken\" already exists\n"},
  };
  kavro_test::write_file(path("taken"), "");
  for (const auto& c : cases) {
    const RunResult r = folder_run(c.args, {{"BRINDLEWICK_ABS_TOL", "0.5"}});
    EXPECT_EQ(r.status, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

// Every single-pair setting given as an option reaches every pair; the line of the pair that
// differs shows it.
TEST_F(FolderRunTest, HandsTheSettingsToEveryPair) {
  write_folders();
  kavro_test::write_file(path("tol.toml"), "[variables]\nV2 = { abs = 2 }\n");
  const std::string four =
      "differ        sub/diff.nc  cells: 4 cells differ, largest difference 2\n";
  const std::string two =
      "differ        sub/diff.nc  cells: 2 cells differ, largest difference 2\n";
  const std::string same = "identical     sub/diff.nc\n";
  const struct {
    std::vector<std::string> settings;
    std::string line;
  } cases[] = {
      {{}, four},
      {{"--abs-tol", "2"}, same},
      {{"--abs-tol=1.5"}, four},
      {{"--rel-tol", "0.1"}, same},
      {{"--tolerances", "tol.toml"}, two},
      {{"--variables", "V1"}, two},
      {{"--exclude", "V1"}, two},
      {{"--steps", "2024033:000000:2024033:000000"}, two},
      {{"--steps", "2024-02-02T01:00/2024-02-02T01:00", "--variables", "V2"},
       "differ        sub/diff.nc  cells: 1 cell differs, largest difference 2\n"},
      {{"--verdict-ignores", "cells"}, same},
      {{"--summary", "--nan-equal", "--only-common", "--ignore-attributes", "ALL", "--format",
        "labelled", "--layers", "1", "--max-reports", "3"},
       four},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"d1", "d2", "--include", "sub/*"};
    args.insert(args.end(), c.settings.begin(), c.settings.end());
    const RunResult r = folder_run(args);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), c.line) << args.back();
    EXPECT_EQ(r.err, "") << args.back();
  }
}

// The second side as files and glob patterns: only the files listed are paired.
TEST_F(FolderRunTest, PairsTheFilesListed) {
  write_folders();
  const RunResult r = folder_run({"d1", "d2/s*.nc", "d2/sub/diff.nc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "identical     same.nc\n"
            "differ        sub/diff.nc  cells: 4 cells differ, largest difference 2\n"
            "2 pairs: 1 identical, 1 differ, 0 failed, 0 only in dir1, 0 only in dir2\n");
}

// The folder's document: its shape, and each compared pair's own single-pair document.
TEST_F(FolderRunTest, WritesTheFolderDocument) {
  write_folders();
  fs::create_directory(path("tmp"));
  // The outputs' options before the folders: their values are not taken for the first folder.
  const RunResult r = folder_run({"--junit", "junit.xml", "--html", "page.html", "d1", "d2",
                                  "--json", "folder.json", "--reports", "reports"},
                                 {{"TMPDIR", path("tmp")}});
  ASSERT_EQ(r.status, 2);
  // The JUnit report and the page, with the map of each of the two differing variables; the
  // maps' temporary folder is gone.
  EXPECT_TRUE(kavro_test::read_file(path("junit.xml")).starts_with("<?xml"));
  const std::string page = kavro_test::read_file(path("page.html"));
  std::size_t maps = 0;
  for (std::size_t at = 0; (at = page.find("src=\"data:image/png;base64,", at)) != page.npos;
       ++at) {
    ++maps;
  }
  EXPECT_EQ(maps, 2U);
  EXPECT_TRUE(fs::is_empty(path("tmp")));
  const json doc = json::parse(kavro_test::read_file(path("folder.json")));
  EXPECT_EQ(doc["schema"], "brindlewick-folders");
  EXPECT_EQ(doc["schema_version"], 1);
  EXPECT_EQ(doc["dir1"], "d1");
  EXPECT_EQ(doc["dir2"], "d2");
  EXPECT_EQ(doc["verdict"], "failed");
  EXPECT_EQ(doc["totals"], json::parse(R"({"pairs": 5, "identical": 1, "differ": 1, "failed": 1,
      "only_in_dir1": 1, "only_in_dir2": 1})"));
  const struct {
    std::string path, file1, file2, verdict;
    std::vector<std::string> categories;
    int exit_status;
    bool result;
  } pairs[] = {
      {"bad.nc", "d1/bad.nc", "d2/bad.nc", "failed", {}, 2, true},
      {"extra.nc", "", "d2/extra.nc", "only_in_dir2", {}, 0, false},
      {"missing.nc", "d1/missing.nc", "", "only_in_dir1", {}, 0, false},
      {"same.nc", "d1/same.nc", "d2/same.nc", "identical", {}, 0, true},
      {"sub/diff.nc", "d1/sub/diff.nc", "d2/sub/diff.nc", "differ", {"cells"}, 1, true},
  };
  ASSERT_EQ(doc["pairs"].size(), std::size(pairs));
  for (std::size_t i = 0; i < std::size(pairs); ++i) {
    const json& p = doc["pairs"][i];
    const std::vector<std::string> keys = {"path",       "file1",  "file2",       "verdict",
                                           "categories", "reason", "exit_status", "result"};
    for (const std::string& k : keys) EXPECT_TRUE(p.contains(k)) << k;
    EXPECT_EQ(p["path"], pairs[i].path);
    EXPECT_EQ(p["file1"], pairs[i].file1);
    EXPECT_EQ(p["file2"], pairs[i].file2);
    EXPECT_EQ(p["verdict"], pairs[i].verdict);
    EXPECT_EQ(p["categories"].get<std::vector<std::string>>(), pairs[i].categories);
    EXPECT_EQ(p["exit_status"], pairs[i].exit_status);
    EXPECT_EQ(p["result"].is_object(), pairs[i].result) << pairs[i].path;
  }
  EXPECT_EQ(doc["pairs"][0]["reason"], "INFILE1 (d1/bad.nc): not a netCDF file");
  EXPECT_EQ(doc["pairs"][4]["result"]["status"], "differ");
  EXPECT_EQ(doc["pairs"][4]["result"]["totals"]["cells_differing"], 4);
  // The reports of each compared pair, at its relative path.
  EXPECT_TRUE(fs::exists(path("reports/sub/diff.nc.txt")));
  EXPECT_TRUE(fs::exists(path("reports/same.nc.txt")));
  EXPECT_FALSE(fs::exists(path("reports/extra.nc.txt")));
  // The JSON file is never overwritten.
  EXPECT_EQ(folder_run({"d1", "d2", "--json", "folder.json"}).status, 2);
  // An output that cannot be written is said, and those after it are still written.
  const RunResult lost = folder_run({"d1", "d2", "--json", "none/2.json", "--html", "2.html"});
  EXPECT_EQ(lost.status, 2);
  EXPECT_EQ(lost.err, "brindlewick: could not create the JSON file \"none/2.json\"\n");
  EXPECT_TRUE(fs::exists(path("2.html")));
}

// One worker compares pair after pair in one process: each pair's document is the one its own
// run of the tool writes, whatever the pairs before it held (other variables, another grid, a
// file refused, differing cells), also past the pairs a worker serves before a fresh one takes
// over.
TEST_F(FolderRunTest, EachPairAsItsOwnRunSeesIt) {
  FixtureSpec fewer = whole_data(false);
  fewer.vars.pop_back();
  FixtureSpec moved = whole_data(false);
  moved.xorig += 1000.0;
  moved.ncols = 5;
  FixtureSpec shifted = whole_data(false);
  shifted.yorig -= 1000.0;
  const struct {
    std::string name;
    FixtureSpec fx1, fx2;
  } pairs[] = {
      {"a.nc", whole_data(false), whole_data(true)},
      {"b.nc", whole_data(false), fewer},
      {"c.nc", moved, moved},
      {"d.nc", whole_data(true), moved},
      {"e.nc", whole_data(false), whole_data(false)},
      {"f.nc", whole_data(true), shifted},
  };
  for (const auto& p : pairs) {
    put("d1/" + p.name, p.fx1);
    put("d2/" + p.name, p.fx2);
  }
  kavro_test::write_file(path("d1/bad.nc"), "not a netCDF file\n");
  kavro_test::write_file(path("d2/bad.nc"), "not a netCDF file\n");
  // More pairs than one worker serves, the differing pair among the last.
  fs::create_directories(path("d1/z"));
  fs::create_directories(path("d2/z"));
  for (int k = 100; k < 230; ++k) {
    const std::string rel = "z/" + std::to_string(k) + ".nc";
    fs::create_hard_link(path("d1/a.nc"), path("d1/" + rel));
    fs::create_hard_link(path(k == 229 ? "d2/a.nc" : "d1/a.nc"), path("d2/" + rel));
  }
  const RunResult r = folder_run({"d1", "d2", "--jobs", "1", "--json", "folder.json"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(
      r.out.ends_with("137 pairs: 131 identical, 4 differ, 2 failed, 0 only in dir1, 0 only in "
                      "dir2\n"))
      << r.out;
  const json doc = json::parse(kavro_test::read_file(path("folder.json")));
  for (const json& pair : doc["pairs"]) {
    const std::string rel = pair["path"];
    if (rel.starts_with("z/") && rel != "z/100.nc" && rel != "z/229.nc") continue;
    const Env alone = {{"LOGFILE", "/dev/null"},
                       {"BRINDLEWICK_JSON", path("alone.json")},
                       {"BRINDLEWICK_EXIT_ON_DIFF", "Y"},
                       {"BRINDLEWICK_MAX_REPORTS", "0"}};
    fs::remove(path("alone.json"));
    const RunResult own = run_tool(dir_, alone, "/dev/null", {"d1/" + rel, "d2/" + rel});
    EXPECT_EQ(pair["exit_status"], own.status) << rel;
    EXPECT_EQ(pair["result"], json::parse(kavro_test::read_file(path("alone.json")))) << rel;
  }
}

// SIGTERM to a folder run: no pair is started after it, the pairs being compared are waited
// for, the workers are gone and the temporary folder removed, and the run says how far it got.
TEST_F(FolderRunTest, StopsOnSigterm) {
  put("d1/a.nc", whole_data(false));
  fs::create_directories(path("d2"));
  fs::create_directories(path("tmp"));
  constexpr int kPairs = 3000;
  for (int k = 1; k < kPairs; ++k) {
    fs::create_hard_link(path("d1/a.nc"), path("d1/p" + std::to_string(k) + ".nc"));
  }
  for (int k = 0; k < kPairs; ++k) {
    fs::create_hard_link(
        path("d1/a.nc"),
        path("d2/" + (k == 0 ? std::string("a") : "p" + std::to_string(k)) + ".nc"));
  }
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const std::string tmpdir = "TMPDIR=" + path("tmp");
  std::vector<std::string> env_texts = {tmpdir};
  for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* v = std::getenv(keep)) env_texts.push_back(std::string(keep) + "=" + v);
  }
  std::vector<char*> envp;
  for (std::string& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir_.path().c_str());
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 2, path("err.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char tool[] = KAVRO_BRINDLEWICK;
  std::string d1 = "d1", d2 = "d2", jobs = "--jobs=2";
  char* argv[] = {tool, d1.data(), d2.data(), jobs.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, tool, &actions, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  // The first pair's line, then the signal; the rest of standard output read to its end.
  std::string text;
  char c = 0;
  while (text.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1) text += c;
  ::kill(pid, SIGTERM);
  std::array<char, 4096> buffer{};
  for (ssize_t n; (n = ::read(out[0], buffer.data(), buffer.size())) > 0;) {
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 2);
  const std::string err = kavro_test::read_file(path("err.txt"));
  EXPECT_TRUE(err.starts_with("brindlewick: stopped by signal 15 (Terminated) after ")) << err;
  EXPECT_TRUE(err.ends_with(" of 3000 pairs\n")) << err;
  const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  EXPECT_GE(lines, 1);
  EXPECT_LT(lines, kPairs);
  EXPECT_TRUE(fs::is_empty(path("tmp")));
}

// An accept stopped after one file, run again and again, leaves every file whole (the old or the
// new one), no temporary file, one log line per file accepted and the replaced file kept; a
// complete accept makes the folders identical, its log and kept files left out of the pairing.
TEST_F(FolderRunTest, AcceptLeavesEveryFileWhole) {
  const std::vector<std::string> names = {"a.nc", "b.nc", "c/d.nc"};
  for (const std::string& n : names) {
    put("d1/" + n, whole_data(false));
    put("d2/" + n, whole_data(true));
  }
  const std::string old_text = kavro_test::read_file(path("d1/a.nc"));
  const std::string new_text = kavro_test::read_file(path("d2/a.nc"));
  for (std::size_t stop = 1; stop <= names.size(); ++stop) {
    const RunResult r =
        folder_run({"d1", "d2", "--accept", "--note", "new\tphysics"},
                   {{"KAVRO_TEST_ACCEPT_STOP_AFTER", "1"}, {"KAVRO_TEST_NOW", "20261208T050000"}});
    if (stop < names.size()) {
      EXPECT_EQ(r.status, 128 + 9) << stop;  // killed before the next file
    }
    for (const std::string& n : names) {
      const std::string text = kavro_test::read_file(path("d1/" + n));
      EXPECT_TRUE(text == old_text || text == new_text) << n;
    }
    for (const auto& e : fs::recursive_directory_iterator(path("d1"))) {
      EXPECT_FALSE(e.path().filename().string().starts_with(".brindlewick-accept."));
    }
    const auto log = kavro_test::read_lines(path("d1/.brindlewick-accepted.log"));
    ASSERT_EQ(log.size(), 1U) << stop;  // each run accepts the first file still differing
    EXPECT_EQ(log[0], "20261208T050000\t" + names[stop - 1] + "\tcells\tnew physics");
    EXPECT_EQ(
        kavro_test::read_file(path("d1/.brindlewick-replaced/20261208T050000/" + names[stop - 1])),
        old_text);
    fs::remove(path("d1/.brindlewick-accepted.log"));
  }
  put("d2/e.nc", whole_data(false));
  const RunResult accepted = folder_run({"d1", "d2", "--accept"});
  EXPECT_EQ(accepted.status, 1);
  EXPECT_EQ(accepted.err, "brindlewick: 1 file accepted into d1\n");
  const RunResult after = folder_run({"d1", "d2"});
  EXPECT_EQ(after.status, 0) << after.out;
  EXPECT_TRUE(
      after.out.ends_with("4 pairs: 4 identical, 0 differ, 0 failed, 0 only in dir1, "
                          "0 only in dir2\n"));
}

// What the pair's line says, byte for byte.
TEST(FolderLine, SaysTheVerdictAndWhatDiffers) {
  PairResult p;
  p.path = "a/b.nc";
  const struct {
    PairVerdict verdict;
    std::vector<std::string> categories;
    std::uint64_t cells;
    double largest;
    std::string reason;
    std::string line;
  } cases[] = {
      {PairVerdict::kIdentical, {}, 0, 0.0, "", "identical     a/b.nc\n"},
      {PairVerdict::kDiffer,
       {"cells"},
       1,
       0.5,
       "",
       "differ        a/b.nc  cells: 1 cell differs, largest difference 0.5\n"},
      {PairVerdict::kDiffer,
       {"header", "steps"},
       0,
       0.0,
       "",
       "differ        a/b.nc  header,steps\n"},
      {PairVerdict::kDiffer, {}, 0, 0.0, "", "differ        a/b.nc  -\n"},
      {PairVerdict::kFailed,
       {},
       0,
       0.0,
       "INFILE2 (x\n): no such file",
       "failed        a/b.nc  INFILE2 (x?): no such file\n"},
      {PairVerdict::kOnlyInDir1, {}, 0, 0.0, "", "only_in_dir1  a/b.nc\n"},
      {PairVerdict::kOnlyInDir2, {}, 0, 0.0, "", "only_in_dir2  a/b.nc\n"},
  };
  for (const auto& c : cases) {
    p.verdict = c.verdict;
    p.categories = c.categories;
    p.reason = c.reason;
    p.variables.assign(1, {});
    p.variables[0].differing = c.cells;
    p.variables[0].max_abs = c.largest;
    EXPECT_EQ(brindlewick::pair_line(p), c.line);
  }
  EXPECT_EQ(brindlewick::progress_line(3, 10, 1), "\r3 of 10 pairs done, 1 differ");
}

// The pair's document read: categories when given, else from its differing cells; the
// per-step series and the variable's own tolerance and margin; the series kept for differing
// variables only; a text without status refused.
TEST(FolderRead, ReadsWhatThePairDocumentHolds) {
  const std::string plain = R"({"status": "differ", "reason": "", "settings": {"abs_tol": 0.5,
      "rel_tol": null}, "variables": [{"name": "V1", "cells_compared": 24,
      "cells_differing": 2, "steps": 2, "rms": 0.25, "largest_abs": {"difference": 2,
      "date": 2024033, "time": 10000, "layer": 1, "column": 3, "row": 2, "latitude": 40.5,
      "longitude": -90.25, "value1": 1000, "value2": 1002}}]})";
  PairResult p;
  std::string error;
  ASSERT_TRUE(brindlewick::read_pair_document(plain, true, p, error)) << error;
  EXPECT_EQ(p.verdict, PairVerdict::kDiffer);
  EXPECT_EQ(p.categories, std::vector<std::string>{"cells"});
  ASSERT_EQ(p.variables.size(), 1U);
  const auto& v = p.variables[0];
  EXPECT_EQ(v.name, "V1");
  EXPECT_EQ(v.differing, 2U);
  EXPECT_EQ(v.max_abs, 2.0);
  EXPECT_EQ(v.margin, 4.0);  // 2 against the absolute tolerance 0.5
  EXPECT_EQ(v.max_place.column, 3);
  EXPECT_EQ(v.max_place.latitude, 40.5);
  EXPECT_TRUE(v.steps.empty());  // a count of steps, not a series
  EXPECT_FALSE(p.pair_json.empty());

  const std::string newer = R"({"schema_version": 2, "status": "differ", "categories":
      ["steps", "cells"], "variables": [{"name": "A", "cells_differing": 1, "steps": 1,
      "tolerance": {"abs": 2, "rel": 0}, "margin": 1.5, "series": [{"date": 2024033, "time": 0,
      "cells_differing": 1, "largest_abs": 3, "rms": 1}]}, {"name": "B", "cells_differing": 0,
      "series": null}]})";
  ASSERT_TRUE(brindlewick::read_pair_document(newer, false, p, error)) << error;
  EXPECT_EQ(p.categories, (std::vector<std::string>{"steps", "cells"}));
  ASSERT_EQ(p.variables.size(), 2U);
  ASSERT_EQ(p.variables[0].steps.size(), 1U);
  EXPECT_EQ(p.variables[0].steps[0].jdate, 2024033);
  EXPECT_EQ(p.variables[0].steps[0].differing, 1U);
  EXPECT_EQ(p.variables[0].steps[0].max_abs, 3.0);
  EXPECT_EQ(p.variables[0].steps[0].rms, 1.0);
  EXPECT_EQ(p.variables[0].tolerance_abs, 2.0);  // the variable's own, and its margin
  EXPECT_EQ(p.variables[0].margin, 1.5);
  EXPECT_TRUE(p.variables[1].steps.empty());
  EXPECT_TRUE(p.pair_json.empty());

  for (const std::string bad : {"", "[]", "{\"status\": 3}", "{\"status\": \"odd\"}"}) {
    EXPECT_FALSE(brindlewick::read_pair_document(bad, false, p, error)) << bad;
  }
}

// A child's end read: a signal names it, a child without a JSON result is said by its last
// "brindlewick: " line, or by its status when it wrote none.
TEST(FolderPairEnd, SaysWhyAPairFailed) {
  TempDir dir;
  const struct {
    int signal;  // 0: the child exits with `status`
    int status;
    std::string json, err;
    PairVerdict verdict;
    int exit_status;
    std::string reason;
  } cases[] = {
      {SIGKILL, 0, "", "", PairVerdict::kFailed, 137, "the comparison ended by signal 9 (Killed)"},
      // SIGTERM rather than SIGSEGV: a sanitizer build catches the latter and exits with 1.
      {SIGTERM, 0, "", "", PairVerdict::kFailed, 143,
       "the comparison ended by signal 15 (Terminated)"},
      {0, 2, "", "brindlewick: first\nbrindlewick: INFILE2 (b.nc): no such file\nmore\n",
       PairVerdict::kFailed, 2, "INFILE2 (b.nc): no such file"},
      {0, 0, "", "", PairVerdict::kFailed, 0,
       "the comparison ended with status 0 and wrote no JSON result"},
      {0, 1, "{\"status\": \"differ\"}", "", PairVerdict::kDiffer, 1, ""},
      {0, 1, "{\"status\": 1}", "", PairVerdict::kFailed, 1, "no status in the pair's JSON result"},
  };
  for (const auto& c : cases) {
    const std::string json_path = dir.file("pair.json"), err_path = dir.file("pair.err");
    if (!c.json.empty()) kavro_test::write_file(json_path, c.json);
    kavro_test::write_file(err_path, c.err);
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (c.signal != 0) ::raise(c.signal);
      ::_exit(c.status);
    }
    int ws = 0;
    ASSERT_EQ(::waitpid(pid, &ws, 0), pid);
    PairResult p;
    brindlewick::read_pair_end(p, ws, json_path, err_path, false);
    EXPECT_EQ(p.verdict, c.verdict) << c.reason;
    EXPECT_EQ(p.exit_status, c.exit_status) << c.reason;
    EXPECT_EQ(p.reason, c.reason);
    EXPECT_FALSE(fs::exists(json_path));  // read once, then removed
  }
}

// What is paired: fnmatch on the relative path ('*' crosses '/'), never the accept's files.
// A worker answers each pair with the status its own run leaves with and stays for the next;
// one that dies in a pair is reaped, its end told as waitpid gives it, and a new one starts.
TEST(PairWorker, EndsAsItsProcessEnded) {
  const TempDir dir;
  EXPECT_TRUE(kavro_test::write_fixture(dir.file("a.nc"), whole_data(false)));
  EXPECT_TRUE(kavro_test::write_fixture(dir.file("b.nc"), whole_data(true)));
  brindlewick::PairWorker worker;
  std::string error;
  ASSERT_TRUE(worker.start({}, {}, error)) << error;
  const brindlewick::PairRequest same{
      dir.file("a.nc"), dir.file("a.nc"), dir.file("1.json"), dir.file("err"), "", ""};
  brindlewick::PairRequest differ = same;
  differ.file2 = dir.file("b.nc");
  differ.json = dir.file("2.json");
  const struct {
    const brindlewick::PairRequest* request;
    bool kill;
    int exited;  // -1: ended by SIGKILL
  } cases[] = {{&differ, false, 1}, {&same, false, 0}, {&differ, true, -1}, {&same, false, 0}};
  for (const auto& c : cases) {
    if (!worker.alive()) ASSERT_TRUE(worker.start({}, {}, error)) << error;
    if (c.kill) ::kill(worker.pid(), SIGKILL);
    static_cast<void>(worker.send(*c.request));
    const int status = worker.end();
    if (c.exited >= 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exited) << status;
      EXPECT_TRUE(worker.alive());
      EXPECT_TRUE(fs::exists(c.request->json));
      fs::remove(c.request->json);
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
      EXPECT_FALSE(worker.alive());
    }
  }
  EXPECT_EQ(worker.served(), 1U);
}

TEST(FolderPairs, FiltersTheRelativePaths) {
  const brindlewick::PairFilter none;
  const brindlewick::PairFilter nc{{"*.nc"}, {"tmp/*"}};
  const struct {
    std::string rel;
    bool plain, filtered;
  } cases[] = {
      {"a.nc", true, true},
      {"day1/a.nc", true, true},
      {"tmp/a.nc", true, false},
      {"a.txt", true, false},
      {".brindlewick-accepted.log", false, false},
      {".brindlewick-replaced/20261208T050000/a.nc", false, false},
      {"day1/.brindlewick-accept.Ab12Cd", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(brindlewick::paired_path(c.rel, none), c.plain) << c.rel;
    EXPECT_EQ(brindlewick::paired_path(c.rel, nc), c.filtered) << c.rel;
  }
}

}  // namespace
}  // namespace brindlewick_test
