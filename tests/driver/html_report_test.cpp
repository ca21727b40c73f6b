// The HTML page: its rows in order, one row byte for byte, the pictures inlined, nothing
// fetched from elsewhere. The browser test (tests/browser) checks the rendered page.
#include "outputs/html_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "folder_builders.h"

namespace brindlewick {
namespace {

TEST(Base64Test, Rfc4648Vectors) {
  const std::pair<std::string, std::string> table[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xff\x00\xfe", 3), "/wD+"},
  };
  for (const auto& [bytes, text] : table) EXPECT_EQ(base64(bytes), text) << bytes;
}

VariableFigures figures(const char* name, std::uint64_t differing, int steps = 0) {
  VariableFigures v;
  v.name = name;
  v.compared = 12;
  v.differing = differing;
  if (differing > 0) {
    v.max_abs = 0.5;
    v.max_place = {2024033, 0, 2, 2, 3, 41.5, -100.5};
    v.rms = 0.125;
    v.margin = 2.5;
    for (int s = 0; s < steps; ++s) v.steps.push_back({2024033, 10000 * s, 1, 0.5, 0.125});
  }
  return v;
}

using brindlewick_test::folder_pair;

// "verdict path variable" of each row, from its data- attributes, in the page's order.
std::vector<std::string> row_keys(const std::string& page) {
  std::vector<std::string> keys;
  const auto attribute = [&](std::size_t at, const std::string& name) {
    const std::size_t start = page.find(" data-" + name + "=\"", at) + name.size() + 8;
    return page.substr(start, page.find('"', start) - start);
  };
  for (std::size_t at = page.find("<tr class="); at != std::string::npos;
       at = page.find("<tr class=", at + 1)) {
    keys.push_back(attribute(at, "verdict") + " " + attribute(at, "path") + " " +
                   attribute(at, "variable"));
  }
  return keys;
}

// Differing rows first (a pair's own row before its variables), then the identical ones, each
// group in the run's order.
TEST(HtmlTextTest, RowsDifferingFirst) {
  FolderResult result;
  result.dir1 = "one";
  result.dir2 = "two";
  result.pairs = {
      folder_pair("a.nc", PairVerdict::kDiffer, {"cells"}, {figures("O3", 0), figures("T", 2)}),
      folder_pair("b.nc", PairVerdict::kIdentical, {}, {figures("O3", 0)}),
      folder_pair("c.nc", PairVerdict::kFailed, {}, {}, "bad"),
      folder_pair("d&<e>.nc", PairVerdict::kDiffer, {"grid", "cells"}, {figures("X", 1)}),
      folder_pair("f.nc", PairVerdict::kOnlyInDir2, {}, {}),
      folder_pair("g.nc", PairVerdict::kIdentical, {}, {}),
  };
  const std::string page = html_text(result, {"", "", "", ""});
  EXPECT_EQ(row_keys(page), (std::vector<std::string>{
                                "differ a.nc T", "failed c.nc ", "differ d&amp;&lt;e&gt;.nc ",
                                "differ d&amp;&lt;e&gt;.nc X", "only_in_dir2 f.nc ",
                                "identical a.nc O3", "identical b.nc O3", "identical g.nc "}));
  // A differing variable's row, as a script or a reader takes it.
  EXPECT_NE(
      page.find(
          "<tr class=\"differ\" data-order=\"1\" data-path=\"a.nc\" data-variable=\"T\" "
          "data-verdict=\"differ\" data-categories=\"cells\" data-compared=\"12\" "
          "data-differing=\"2\" data-max_abs=\"0.5\" data-place=\"2024033:000000, layer 2, "
          "column 2, row 3, lat 41.5, lon -100.5\" data-rms=\"0.125\" data-margin=\"2.5\">"
          "<td class=\"num\">1</td><td>a.nc</td><td><a href=\"#detail-0\">T</a></td>"
          "<td>differ</td><td>cells</td><td class=\"num\">12</td><td class=\"num\">2</td>"
          "<td class=\"num\">0.5</td><td>2024033:000000, layer 2, column 2, row 3, lat "
          "41.5, lon -100.5</td><td class=\"num\">0.125</td><td class=\"num\">2.5</td></tr>\n"),
      std::string::npos);
  EXPECT_NE(page.find("<td>differs in grid</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>only in two</td>"), std::string::npos);
  EXPECT_NE(page.find("<p id=\"totals\">6 files: 2 identical, 2 differ, 1 failed, 0 only in one, "
                      "1 only in two</p>"),
            std::string::npos);
}

// Each differing variable has a section with its map inlined as a data: address (its size in
// the tag when the bytes are a PNG's) and a step plot when it has steps; the page fetches
// nothing from elsewhere.
TEST(HtmlTextTest, SectionsSelfContained) {
  FolderResult result;
  result.pairs = {folder_pair("a.nc", PairVerdict::kDiffer, {"cells"},
                              {figures("O3", 1, 3), figures("T", 0), figures("X", 1, 0)})};
  // X's "map" is a PNG's first 24 bytes: its size goes into the tag.
  const std::string header("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x02\x70\0\0\x02\x69", 24);
  const std::string page = html_text(result, {"PNGDATA", "", header});
  EXPECT_NE(page.find("<section class=\"detail\" id=\"detail-0\"><h3>a.nc: O3</h3>"),
            std::string::npos);
  EXPECT_NE(page.find("<img alt=\"difference map of a.nc: O3\" decoding=\"async\" "
                      "src=\"data:image/png;base64,"
                      "UE5HREFUQQ==\">"),
            std::string::npos);
  EXPECT_NE(page.find("<section class=\"detail\" id=\"detail-1\"><h3>a.nc: X</h3>"),
            std::string::npos);
  EXPECT_NE(page.find("<img alt=\"difference map of a.nc: X\" width=\"624\" height=\"617\" "
                      "decoding=\"async\" src=\"data:image/png;base64," +
                      base64(header) + "\">"),
            std::string::npos);
  std::size_t plots = 0;
  for (std::size_t at = page.find("<svg"); at != std::string::npos;
       at = page.find("<svg", at + 1)) {
    ++plots;
  }
  EXPECT_EQ(plots, 1u);
  for (const char* attribute : {"src=\"", "href=\""}) {
    for (std::size_t at = page.find(attribute); at != std::string::npos;
         at = page.find(attribute, at + 1)) {
      const std::string target = page.substr(at + std::strlen(attribute), 5);
      EXPECT_TRUE(target == "data:" || target[0] == '#') << target;
    }
  }
  EXPECT_EQ(page.find("url("), std::string::npos);
}

}  // namespace
}  // namespace brindlewick
