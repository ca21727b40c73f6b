// Difference maps: the colours of the cells and the picture's layout (the PNG file is read
// back with libpng in the tool's end-to-end tests).
#include "diff_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace brindlewick {
namespace {

// Largest value per cell; the scale runs between the smallest and largest, log when they
// span more than a factor of 10; a cell that only met NaNs is magenta, one never seen grey.
TEST(DifferenceMapTest, CellColours) {
  DifferenceMap map(3, 2);
  map.add(0, 0.5);
  map.add(0, 2.0);  // the larger stays
  map.add(1, 1.0);
  map.add(2, std::numeric_limits<double>::quiet_NaN());
  map.add(4, std::numeric_limits<double>::quiet_NaN());
  map.add(4, 1.5);  // a number wins over a NaN
  EXPECT_EQ(map.differing_cells(), 4u);
  EXPECT_EQ(map.low(), 1.0);
  EXPECT_EQ(map.high(), 2.0);
  EXPECT_FALSE(map.logarithmic());
  EXPECT_EQ(map.colour(0), DifferenceMap::scale_colour(1.0));
  EXPECT_EQ(map.colour(1), DifferenceMap::scale_colour(0.0));
  EXPECT_EQ(map.colour(4), DifferenceMap::scale_colour(0.5));
  EXPECT_EQ(map.colour(2), kNanColour);
  EXPECT_EQ(map.colour(3), kNoDifferenceColour);
  map.add(5, 100.0);
  EXPECT_TRUE(map.logarithmic());
  EXPECT_EQ(map.colour(5), DifferenceMap::scale_colour(1.0));
  EXPECT_EQ(map.colour(0), DifferenceMap::scale_colour(std::log(2.0) / std::log(100.0)));
}

// The scale's ends are its first and last anchors, distinct from the neutral and NaN colours.
TEST(DifferenceMapTest, ScaleEnds) {
  EXPECT_EQ(DifferenceMap::scale_colour(0.0), (Rgb{68, 1, 84}));
  EXPECT_EQ(DifferenceMap::scale_colour(1.0), (Rgb{253, 231, 37}));
  EXPECT_EQ(DifferenceMap::scale_colour(7.0), (Rgb{253, 231, 37}));
}

// The grid's cells are square blocks at a size that fits the picture, north up.
TEST(DifferenceMapTest, LayoutNorthUp) {
  DifferenceMap map(4, 3);
  map.add(0, 1.0);  // column 1, row 1: the bottom-left block
  const MapImage image = render_map(map, "O3 (ppmV)", "1 of 12 cells differ");
  EXPECT_EQ(image.block, 32);
  EXPECT_GE(image.width, 4 * 32);
  EXPECT_EQ(image.rgb.size(), std::size_t(image.width) * std::size_t(image.height) * 3);
  EXPECT_EQ(image.pixel(image.map_x + 16, image.map_y + 2 * 32 + 16), map.colour(0));
  EXPECT_EQ(image.pixel(image.map_x + 16, image.map_y + 16), kNoDifferenceColour);
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
