// The file layout: dimension lengths and data-variable shapes per type.
#include "filetype/file_type_model.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace kavro_test {
namespace {

namespace layout = kavro::layout;

// TSTEP is the record dimension for stepped and event files, 1 long for time-independent
// files and 2 long for files that reuse two records.
TEST(LayoutTest, TimeStepDimensionLength) {
  layout::Header h;
  h.ftype = kavro::GRDDED3;
  h.tstep = 10000;
  EXPECT_EQ(layout::tstep_dimension_length(h), 0);
  h.tstep = 0;
  EXPECT_EQ(layout::tstep_dimension_length(h), 1);
  h.tstep = -10000;
  EXPECT_EQ(layout::tstep_dimension_length(h), 2);
  h.ftype = kavro::KFEVNT3;
  EXPECT_EQ(layout::tstep_dimension_length(h), 0);
}

// Nest variables have a layer like profile variables; VAR is at least 1 long.
TEST(LayoutTest, ShapesAndDimensionLengths) {
  const auto nest = layout::data_dimensions(kavro::GRNEST3);
  EXPECT_EQ(std::vector<std::string_view>(nest.begin(), nest.end()),
            (std::vector<std::string_view>{"TSTEP", "LAY", "SITE-NO", "LEVEL"}));
  layout::Header h;
  h.ftype = kavro::SMATRX3;
  h.ncols = 7;
  h.nrows = 3;
  EXPECT_EQ(layout::expected_dimension_length("SP-COEF-NO", h), 7);
  EXPECT_EQ(layout::expected_dimension_length("ROW-NO", h), 3);
  EXPECT_EQ(layout::expected_dimension_length("VAR", h), 1);
  EXPECT_EQ(layout::expected_dimension_length("TSTEP", h), std::nullopt);
  EXPECT_EQ(layout::expected_dimension_length("COL", h), std::nullopt);
  h.ftype = kavro::KFEVNT3;
  EXPECT_EQ(layout::expected_dimension_length("DATE-TIME", h), 5);
}

// One row per type: types 1, 7 and 8 share the gridded transfer; an event file has none; a
// code the layout does not know has no row.
TEST(LayoutTest, TypeRows) {
  for (int t : {kavro::GRDDED3, kavro::kTypeSeven, kavro::PTRFLY3}) {
    ASSERT_NE(layout::type_layout(t), nullptr) << t;
    EXPECT_EQ(layout::type_layout(t)->transfer, kavro::GRDDED3) << t;
  }
  EXPECT_EQ(layout::type_layout(kavro::KFEVNT3)->transfer, 0);
  EXPECT_EQ(layout::type_layout(kavro::DCTNRY3), nullptr);
  EXPECT_EQ(layout::type_layout(9), nullptr);
  // The transfer reads the nest's counts, ids, levels and cells, not its window sizes.
  int read = 0;
  for (const auto& v : layout::structural_variables(kavro::GRNEST3)) {
    if (!v.transfer_failure.empty()) ++read;
  }
  EXPECT_EQ(read, 7);
}

}  // namespace
}  // namespace kavro_test
