// Difference maps: the colours of the cells, the legend and the picture's layout (the PNG file
// is read back with libpng in the tool's end-to-end tests).
#include "outputs/diff_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace brindlewick {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// The signed difference of largest magnitude per cell; the scale is symmetric about 0, from
// -max|d| to +max|d|, symmetric-log when the magnitudes span more than a factor of 10; a cell
// that only met NaNs is magenta, one never seen grey.
TEST(DifferenceMapTest, CellColours) {
  DifferenceMap map(3, 2);
  map.add(0, 0.5, 1, 2024033, 0);
  map.add(0, -2.0, 1, 2024033, 0);  // the larger magnitude stays, with its sign
  map.add(0, 1.0, 1, 2024033, 0);
  map.add(1, 1.0, 1, 2024033, 0);
  map.add(2, kNan, 1, 2024033, 0);
  map.add(4, kNan, 1, 2024033, 0);
  map.add(4, -1.5, 1, 2024033, 0);  // a number wins over a NaN
  EXPECT_EQ(map.differing_cells(), 4u);
  EXPECT_EQ(map.low(), 1.0);
  EXPECT_EQ(map.high(), 2.0);
  EXPECT_FALSE(map.logarithmic());
  EXPECT_EQ(map.colour(0), DifferenceMap::scale_colour(-1.0));
  EXPECT_EQ(map.colour(1), DifferenceMap::scale_colour(0.5));
  EXPECT_EQ(map.colour(4), DifferenceMap::scale_colour(-0.75));
  EXPECT_EQ(map.colour(2), kNanColour);
  EXPECT_EQ(map.colour(3), kNoDifferenceColour);
  double value = 0.0;
  EXPECT_FALSE(map.single_value(value));
  map.add(5, 100.0, 1, 2024033, 0);
  EXPECT_TRUE(map.logarithmic());
  EXPECT_EQ(map.colour(5), DifferenceMap::scale_colour(1.0));
  // The smallest magnitude sits at 0.15 of either half, the largest at the end.
  EXPECT_DOUBLE_EQ(map.position(-1.0), -0.15);
  EXPECT_DOUBLE_EQ(map.position(10.0), 0.15 + 0.85 / 2);
  EXPECT_DOUBLE_EQ(map.position(-100.0), -1.0);
}

// The scale: blue at -1, near-white at 0, red at 1, clamped outside; its halves mirror in
// lightness so that equal magnitudes look alike.
TEST(DifferenceMapTest, ScaleIsDivergingAndCentred) {
  EXPECT_EQ(DifferenceMap::scale_colour(-1.0), (Rgb{33, 102, 172}));
  EXPECT_EQ(DifferenceMap::scale_colour(0.0), (Rgb{247, 247, 247}));
  EXPECT_EQ(DifferenceMap::scale_colour(1.0), (Rgb{178, 24, 43}));
  EXPECT_EQ(DifferenceMap::scale_colour(7.0), (Rgb{178, 24, 43}));
  EXPECT_EQ(DifferenceMap::scale_colour(-7.0), (Rgb{33, 102, 172}));
  EXPECT_NE(DifferenceMap::scale_colour(0.0), kNoDifferenceColour);
}

// The layers and steps of the title, by how many the differences came from.
TEST(DifferenceMapTest, WhereText) {
  DifferenceMap map(2, 1);
  EXPECT_EQ(map.where_text(), "no differing cells");
  map.add(0, 1.0, 2, 2024033, 10000);
  EXPECT_EQ(map.where_text(), "layer 2, 2024033:010000");
  map.add(1, 1.0, 2, 2024033, 10000);
  EXPECT_EQ(map.where_text(), "layer 2, 2024033:010000");
  map.add(1, 1.0, 3, 2024033, 20000);
  map.add(0, kNan, 1, 2024033, 30000);
  EXPECT_EQ(map.where_text(), "layers 1 to 3, 2024033:010000 to 2024033:030000 (3 steps differ)");
}

struct LegendCase {
  const char* what;
  std::vector<double> differences;  // cells 0, 1, ...
  bool single;
  Rgb first;  // the legend's first colour: the bar's left end or the swatch
};

// One value (one cell, or every cell alike) is one swatch in its colour, not a bar from the
// value to itself; several values are a bar from -max to +max. NaN and the cells without a
// difference have their swatches either way, in their own colours.
TEST(DifferenceMapTest, LegendBySpreadOfValues) {
  const Rgb red = DifferenceMap::scale_colour(1.0), blue = DifferenceMap::scale_colour(-1.0);
  const LegendCase table[] = {
      {"one cell", {1.5}, true, red},
      {"every cell alike", {-1.5, -1.5, -1.5}, true, blue},
      {"one value beside NaNs", {2.75, kNan}, true, red},
      {"two values", {1.5, 0.5}, false, blue},
      {"opposite signs", {1.5, -1.5}, false, blue},
  };
  for (const LegendCase& c : table) {
    DifferenceMap map(4, 3);
    for (std::size_t i = 0; i < c.differences.size(); ++i) {
      map.add(i, c.differences[i], 1, 2024033, 0);
    }
    double value = 0.0;
    EXPECT_EQ(map.single_value(value), c.single) << c.what;
    const MapImage image = render_map(map, "V (ppmV)", "");
    EXPECT_EQ(image.pixel(10, image.legend_y + 6), c.first) << c.what;
    // A bar runs to the other end; a swatch is followed by its text's white ground.
    EXPECT_EQ(image.pixel(10 + 319, image.legend_y + 8) == red, !c.single) << c.what;
    EXPECT_EQ(image.pixel(12, image.swatch_y + 6), kNoDifferenceColour) << c.what;
    bool nan_swatch = false;
    for (int x = 0; x < image.width; ++x)
      nan_swatch |= image.pixel(x, image.swatch_y + 6) == kNanColour;
    EXPECT_TRUE(nan_swatch) << c.what;
  }
}

// The grid's cells are square blocks at a size that fits the picture, north up, right of the
// latitudes' labels and above the longitudes'.
TEST(DifferenceMapTest, LayoutNorthUp) {
  DifferenceMap map(4, 3);
  map.add(0, 1.0, 1, 2024033, 0);  // column 1, row 1: the bottom-left block
  const float lat[12] = {40.25F, 40.25F, 40.25F, 40.25F, 41.F,  41.F,
                         41.F,   41.F,   41.5F,  41.5F,  41.5F, 41.5F};
  const float lon[12] = {-101.F, -100.5F, -100.F, -99.5F,  -101.F, -100.5F,
                         -100.F, -99.5F,  -101.F, -100.5F, -100.F, -99.5F};
  const MapImage plain = render_map(map, "O3 (ppmV)", "1 of 12 cells differ");
  const MapImage framed = render_map(map, "O3 (ppmV)", "1 of 12 cells differ", {lat, lon});
  for (const MapImage* image : {&plain, &framed}) {
    EXPECT_EQ(image->block, 32);
    EXPECT_GE(image->width, 4 * 32);
    EXPECT_EQ(image->rgb.size(), std::size_t(image->width) * std::size_t(image->height) * 3);
    EXPECT_EQ(image->pixel(image->map_x + 16, image->map_y + 2 * 32 + 16), map.colour(0));
    EXPECT_EQ(image->pixel(image->map_x + 16, image->map_y + 16), kNoDifferenceColour);
  }
  // "40.25N" is one character wider than "row 1": the labels set the grid's left edge.
  EXPECT_EQ(framed.map_x - plain.map_x, 12);
}

// A directory that cannot take the file: false, nothing thrown.
TEST(DifferenceMapTest, UnwritablePathFails) {
  const MapImage image = render_map(DifferenceMap(1, 1), "X", "");
  EXPECT_FALSE(write_png("/nonexistent-dir/x.png", image, "X", ""));
}

TEST(MapFileNameTest, KeepsSafeCharacters) {
  EXPECT_EQ(map_file_name("O3"), "O3.png");
  EXPECT_EQ(map_file_name("NO2/NOX ratio"), "NO2_NOX_ratio.png");
  EXPECT_EQ(map_file_name(".."), "_...png");
  EXPECT_EQ(map_file_name("a-b_c.d"), "a-b_c.d.png");
}

}  // namespace
}  // namespace brindlewick
