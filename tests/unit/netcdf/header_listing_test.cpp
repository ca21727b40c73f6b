// kavro::header_attributes lists an open netCDF file's attributes from the file the library
// holds open: every global attribute and every variable's, the values as text, the layout's
// own ones marked as described. A name that is not open, or holds no netCDF file, gives false.
#include <string>
#include <vector>

#include "kavro/attributes.h"
#include "kavro/open.h"
#include "unit/open/open_fixture.h"

namespace kavro_test {
namespace {

class HeaderListingTest : public OpenFixture {};

const kavro::HeaderAttribute* find(const std::vector<kavro::HeaderAttribute>& list,
                                   const std::string& name) {
  for (const kavro::HeaderAttribute& a : list) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

TEST_F(HeaderListingTest, ListsEveryAttributeWithItsValue) {
  FixtureSpec fx = grid(2);
  fx.override_attr("source", RawAttr::chars("model B"));
  fx.override_attr("scales", RawAttr::doubles({0.5, 0.25}));
  fx.override_attr("levels", RawAttr::integers(3, {1, -2}));  // NC_SHORT
  file_named("INFILE", fx);
  kavro::HeaderAttributes atts;
  EXPECT_FALSE(kavro::header_attributes("INFILE", atts));  // not open yet
  ASSERT_TRUE(kavro::OPEN3("INFILE", kavro::FSREAD3, "test"));
  ASSERT_TRUE(kavro::header_attributes("INFILE", atts));
  struct Case {
    std::string name, value;
    bool described;
  };
  const std::vector<Case> globals = {{"source", "model B", false},    {"scales", "0.5 0.25", false},
                                     {"levels", "1 -2", false},       {"NCOLS", "4", true},
                                     {"GDNAM", "FIXTURE_GRID", true}, {"VGTOP", "5000", true}};
  for (const Case& c : globals) {
    const kavro::HeaderAttribute* a = find(atts.global, c.name);
    ASSERT_NE(a, nullptr) << c.name;
    EXPECT_EQ(a->value, c.value) << c.name;
    EXPECT_EQ(a->described, c.described) << c.name;
  }
  // TFLAG first, then the data variables, each with the layout's three attributes.
  ASSERT_EQ(atts.variables.size(), 3U);
  EXPECT_EQ(atts.variables[1].variable, "V1");
  const kavro::HeaderAttribute* units = find(atts.variables[1].attributes, "units");
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(units->value, "ppmV");
  EXPECT_TRUE(units->described);
  EXPECT_FALSE(kavro::header_attributes("NOT_OPEN", atts));
  EXPECT_TRUE(atts.global.empty() && atts.variables.empty());
}

}  // namespace
}  // namespace kavro_test
