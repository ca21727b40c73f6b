// Difference maps: the colours of the cells, the picture's layout, and the PNG file read back
// with libpng.
#include "diff_map.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace brindlewick {
namespace {

// A PNG read back with libpng's simplified API, as 8-bit RGB.
struct ReadBack {
  bool ok = false;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  Rgb pixel(int x, int y) const {
    const std::size_t at = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
  }
};

ReadBack read_png(const std::string& path) {
  ReadBack r;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return r;
  image.format = PNG_FORMAT_RGB;
  r.rgb.resize(PNG_IMAGE_SIZE(image));
  r.ok = png_image_finish_read(&image, nullptr, r.rgb.data(), 0, nullptr) != 0;
  r.width = int(image.width);
  r.height = int(image.height);
  return r;
}

// The centre pixel of grid cell (col, row), 1-based.
std::pair<int, int> centre(const MapImage& image, int nrows, int col, int row) {
  return {image.map_x + (col - 1) * image.block + image.block / 2,
          image.map_y + (nrows - row) * image.block + image.block / 2};
}

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

// Written and read back: the picture's size, north up (row 1 at the bottom), the colours of
// a differing and a non-differing cell, and the legend's neutral swatch.
TEST(DifferenceMapTest, PngReadsBackWithLibpng) {
  kavro_test::TempDir dir;
  DifferenceMap map(4, 3);
  map.add(1 * 4 + 2, 0.25);  // column 3, row 2
  map.add(0, 1.0);           // column 1, row 1
  const MapImage image = render_map(map, "O3 (ppmV)", "2 of 12 cells differ");
  EXPECT_EQ(image.block, 32);
  EXPECT_GE(image.width, 4 * 32);
  const std::string path = dir.file("O3.png");
  ASSERT_TRUE(write_png(path, image, "O3 (ppmV)", "2 of 12 cells differ"));
  const ReadBack png = read_png(path);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, image.width);
  EXPECT_EQ(png.height, image.height);
  EXPECT_EQ(png.rgb, image.rgb);
  const auto [x1, y1] = centre(image, 3, 1, 1);
  const auto [x2, y2] = centre(image, 3, 3, 2);
  const auto [x3, y3] = centre(image, 3, 2, 3);
  EXPECT_EQ(png.pixel(x1, y1), DifferenceMap::scale_colour(1.0));
  EXPECT_EQ(png.pixel(x2, y2), DifferenceMap::scale_colour(0.0));
  EXPECT_EQ(png.pixel(x3, y3), kNoDifferenceColour);
  EXPECT_GT(y1, y2);  // row 1 lies south of row 2
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
