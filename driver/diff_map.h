// Difference maps: for one variable, a picture of the grid (one block of pixels per cell,
// north up, row 1 at the bottom) coloured by the largest |difference| the cell showed at any
// step and layer, with the variable's name and units, the count of differing cells and a
// legend of the colour scale. Cells that never differ are light grey, cells that differ only
// by a NaN magenta. The scale runs from the smallest to the largest |difference| among the
// differing cells, logarithmic when they span more than a factor of 10.
//
// DifferenceMap and render_map are pure; write_png hands the pixels to libpng.
#ifndef BRINDLEWICK_DIFF_MAP_H
#define BRINDLEWICK_DIFF_MAP_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindlewick {

using Rgb = std::array<std::uint8_t, 3>;
inline constexpr Rgb kNoDifferenceColour = {220, 220, 220};
inline constexpr Rgb kNanColour = {255, 0, 255};
inline constexpr Rgb kBackgroundColour = {255, 255, 255};

// The largest |difference| of every cell of a columns x rows grid over the steps and layers
// of one variable.
class DifferenceMap {
 public:
  DifferenceMap(int ncols, int nrows);
  // A differing cell (row-major index): |difference|, or a NaN when a NaN is involved.
  void add(std::size_t cell, double magnitude) noexcept;
  int ncols() const noexcept { return ncols_; }
  int nrows() const noexcept { return nrows_; }
  std::uint64_t differing_cells() const noexcept { return differing_; }
  // The cell's colour on the map's scale.
  Rgb colour(std::size_t cell) const noexcept;
  // The scale's ends: the smallest and largest of the cells' finite largest |difference|
  // (0 and 0 when there is none).
  double low() const noexcept;
  double high() const noexcept;
  bool logarithmic() const noexcept;
  // The scale's colour at t in [0, 1].
  static Rgb scale_colour(double t) noexcept;

 private:
  int ncols_;
  int nrows_;
  std::vector<double> largest_;  // -1: never differs
  std::vector<std::uint8_t> nan_;
  std::uint64_t differing_ = 0;
  // The scale's ends, found when first asked for after the last add.
  void find_range() const noexcept;
  mutable bool range_known_ = false;
  mutable double low_ = 0.0;
  mutable double high_ = 0.0;
};

struct MapImage {
  int width = 0;
  int height = 0;
  int block = 0;  // pixels per cell side
  int map_x = 0;  // the grid's top-left corner in the picture
  int map_y = 0;
  std::vector<std::uint8_t> rgb;  // width x height x 3, rows top down

  Rgb pixel(int x, int y) const noexcept;
};

// The picture: `title` (the variable's name and units) and `subtitle` above the grid, the
// legend below it.
MapImage render_map(const DifferenceMap& map, std::string_view title, std::string_view subtitle);

// Writes the picture as an 8-bit RGB PNG with `title` and `description` as text chunks.
// False when the file cannot be written.
bool write_png(const std::string& path, const MapImage& image, const std::string& title,
               const std::string& description) noexcept;

// A file name for a variable's map: the name with every character other than a letter, a
// digit, '-', '_' and '.' replaced by '_', then ".png".
std::string map_file_name(std::string_view vname);

}  // namespace brindlewick

#endif  // BRINDLEWICK_DIFF_MAP_H
