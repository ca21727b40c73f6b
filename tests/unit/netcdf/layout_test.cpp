// The file layout: layer sizes, dimension lengths and data-variable shapes per type.
#include "netcdf/layout.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace kavro_test {
namespace {

namespace layout = kavro::layout;

// The boundary perimeter takes the thickness unsigned in the leading factor, signed inside.
TEST(LayoutTest, BoundaryLayerSize) {
  EXPECT_EQ(layout::layer_size(kavro::BNDARY3, 10, 20, 1), 64);
  EXPECT_EQ(layout::layer_size(kavro::BNDARY3, 10, 20, -1), 56);
  EXPECT_EQ(layout::layer_size(kavro::DCTNRY3, 10, 20, 1), std::nullopt);
  EXPECT_EQ(layout::layer_size(kavro::DGRAPH3, 10, 20, 1), std::nullopt);
}

// Layer sizes are computed in 64 bits: a grid beyond 32-bit counts is seen as such.
TEST(LayoutTest, LayerSizeDoesNotOverflow) {
  EXPECT_EQ(layout::layer_size(kavro::GRDDED3, 100000, 100000, 0), 10000000000LL);
}

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

// A thickness at the ends of the 32-bit range is computed without overflow: exact where 64
// bits hold it (a negative size, which the opener refuses), saturated where they do not.
TEST(LayoutTest, PerimeterAtTheEndsOfTheRange) {
  EXPECT_EQ(layout::perimeter(10, 20, 1), 64);
  EXPECT_EQ(layout::perimeter(2147483647, 2147483647, -2147483648LL), -8589934592LL);
  EXPECT_EQ(layout::perimeter(2147483647, 2147483647, 2147483647), INT64_MAX);
  // A product beyond 64 bits saturates on its own side: negative, never wrapped.
  EXPECT_EQ(layout::layer_size(kavro::BNDARY3, 10, 20, -2147483648LL), INT64_MIN);
}

}  // namespace
}  // namespace kavro_test
