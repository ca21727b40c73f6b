// The JUnit report: the test cases a pair gives, byte for byte, and the run's counts.
#include "outputs/junit_report.h"

#include <gtest/gtest.h>

#include <string>

#include "folder_builders.h"
#include "outputs/folder_text.h"

namespace brindlewick {
namespace {

VariableFigures figures(const char* name, std::uint64_t differing) {
  VariableFigures v;
  v.name = name;
  v.compared = 96;
  v.differing = differing;
  if (differing > 0) {
    v.max_abs = 2.75;
    v.max_place = {2024033, 10000, 1, 10, 3, 41.5, -100.5};
    v.rms = 0.28125;
    v.tolerance_abs = 0.5;
    v.margin = 5.5;
  }
  return v;
}

using brindlewick_test::folder_pair;

const std::string kTempFailure =
    "    <testcase classname=\"a.nc\" name=\"TEMP\">\n"
    "      <failure message=\"2 of 96 cells differ; largest |difference| 2.75 at 2024033:010000, "
    "layer 1, column 10, row 3, lat 41.5, lon -100.5\" type=\"cells\">categories: cells\n"
    "cells compared: 96\ncells differing: 2\nlargest |difference|: 2.75\n"
    "at: 2024033:010000, layer 1, column 10, row 3, lat 41.5, lon -100.5\n"
    "RMS difference: 0.28125\ntolerance: absolute 0.5, relative 0\nmargin: 5.5\n</failure>\n"
    "    </testcase>\n";

struct JunitCase {
  const char* what;
  PairResult pair;
  std::string cases;  // the test cases' lines
  const char* counts;
};

// One row per kind of pair: the cases it gives and how they count.
TEST(JunitTextTest, CasesPerPair) {
  const JunitCase table[] = {
      {"identical: a passing case per variable",
       folder_pair("a.nc", PairVerdict::kIdentical, {}, {figures("O3", 0), figures("TEMP", 0)}),
       "    <testcase classname=\"a.nc\" name=\"O3\"/>\n"
       "    <testcase classname=\"a.nc\" name=\"TEMP\"/>\n",
       " tests=\"2\" failures=\"0\" errors=\"0\""},
      {"differ: the differing variable fails with its place",
       folder_pair("a.nc", PairVerdict::kDiffer, {"cells"}, {figures("O3", 0), figures("TEMP", 2)}),
       "    <testcase classname=\"a.nc\" name=\"O3\"/>\n" + kTempFailure,
       " tests=\"2\" failures=\"1\" errors=\"0\""},
      {"differ beyond the cells: a case for the file as well",
       folder_pair("a.nc", PairVerdict::kDiffer, {"cells", "steps"}, {figures("TEMP", 2)},
                   "steps 2024033:020000 only in DIR2"),
       "    <testcase classname=\"a.nc\" name=\"a.nc\">\n"
       "      <failure message=\"differs in steps: steps 2024033:020000 only in DIR2\" "
       "type=\"steps\"/>\n    </testcase>\n" +
           std::string(kTempFailure)
               .replace(kTempFailure.find("categories: cells"), 17, "categories: cells, steps"),
       " tests=\"2\" failures=\"2\" errors=\"0\""},
      {"failed: one error named for the file",
       folder_pair("sub/b.nc", PairVerdict::kFailed, {}, {}, "Could not open \"sub/b.nc\""),
       "    <testcase classname=\"sub/b.nc\" name=\"sub/b.nc\">\n"
       "      <error message=\"Could not open &quot;sub/b.nc&quot;\" type=\"failed\"/>\n"
       "    </testcase>\n",
       " tests=\"1\" failures=\"0\" errors=\"1\""},
      {"only in the first folder: one failure naming it",
       folder_pair("c.nc", PairVerdict::kOnlyInDir1, {}, {}),
       "    <testcase classname=\"c.nc\" name=\"c.nc\">\n"
       "      <failure message=\"only in run&lt;1&gt;\" type=\"only_in_dir1\"/>\n"
       "    </testcase>\n",
       " tests=\"1\" failures=\"1\" errors=\"0\""},
      {"only in the second folder, with a reason",
       folder_pair("d.nc", PairVerdict::kOnlyInDir2, {}, {}, "only in run2"),
       "    <testcase classname=\"d.nc\" name=\"d.nc\">\n"
       "      <failure message=\"only in run2\" type=\"only_in_dir2\"/>\n"
       "    </testcase>\n",
       " tests=\"1\" failures=\"1\" errors=\"0\""},
      {"no variables: one passing case for the file",
       folder_pair("e.nc", PairVerdict::kIdentical, {}, {}),
       "    <testcase classname=\"e.nc\" name=\"e.nc\"/>\n",
       " tests=\"1\" failures=\"0\" errors=\"0\""},
      {"escaping: markup, quotes, control bytes and bytes that are not UTF-8",
       folder_pair("x&<y>.nc", PairVerdict::kIdentical, {},
                   {figures("it's \"q\"\x01\xff\xc3\xa9", 0)}),
       "    <testcase classname=\"x&amp;&lt;y&gt;.nc\" "
       "name=\"it&#39;s &quot;q&quot;\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9\"/>\n",
       " tests=\"1\" failures=\"0\" errors=\"0\""},
  };
  for (const JunitCase& c : table) {
    FolderResult result;
    result.dir1 = "run<1>";
    result.dir2 = "run2";
    result.pairs.push_back(c.pair);
    const std::string expected =
        std::string(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"brindlewick\"") +
        c.counts + ">\n  <testsuite name=\"brindlewick\"" + c.counts +
        " skipped=\"0\">\n    <properties>\n"
        "      <property name=\"dir1\" value=\"run&lt;1&gt;\"/>\n"
        "      <property name=\"dir2\" value=\"run2\"/>\n    </properties>\n" +
        c.cases + "  </testsuite>\n</testsuites>\n";
    EXPECT_EQ(junit_text(result), expected) << c.what;
  }
}

// The counts add up over the pairs; the file holds the text; a path that cannot be written
// is an error with its message.
TEST(JunitTextTest, CountsAndFile) {
  FolderResult result;
  result.pairs = {
      folder_pair("a.nc", PairVerdict::kDiffer, {"cells"}, {figures("O3", 1), figures("T", 0)}),
      folder_pair("b.nc", PairVerdict::kFailed, {}, {}, "bad"),
      folder_pair("c.nc", PairVerdict::kOnlyInDir2, {}, {})};
  const std::string text = junit_text(result);
  EXPECT_NE(text.find("<testsuites name=\"brindlewick\" tests=\"4\" failures=\"2\" errors=\"1\">"),
            std::string::npos);
  const std::string path = ::testing::TempDir() + "junit_report_test.xml";
  std::string error;
  ASSERT_TRUE(write_junit(result, path, error)) << error;
  std::FILE* file = std::fopen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  std::string back(text.size() + 1, '\0');
  back.resize(std::fread(back.data(), 1, back.size(), file));
  std::fclose(file);
  EXPECT_EQ(back, text);
  EXPECT_FALSE(write_junit(result, "/nonexistent-dir/j.xml", error));
  EXPECT_EQ(error, "Could not write JUnit report \"/nonexistent-dir/j.xml\"");
}

}  // namespace
}  // namespace brindlewick
