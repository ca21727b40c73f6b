// Difference maps: for one variable, a picture of the grid (one block of pixels per cell,
// north up, row 1 at the bottom) coloured by the cell's signed difference (INFILE2 - INFILE1)
// of largest magnitude at any step and layer, with the variable's name and units, the layers
// and steps the differences come from, the count of differing cells, the latitudes and
// longitudes along the grid's left and bottom edges, and a legend. The scale is diverging and
// centred on 0, from -max|difference| (blue) to +max|difference| (red), symmetric-logarithmic
// when the magnitudes span more than a factor of 10. When every differing cell holds the same
// value the legend is that one swatch and its value. Cells that never differ are grey, cells
// that differ only by a NaN magenta; both are in the legend.
//
// DifferenceMap and render_map are pure; write_png hands the pixels to libpng.
#ifndef BRINDLEWICK_DIFF_MAP_H
#define BRINDLEWICK_DIFF_MAP_H

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindlewick {

using Rgb = std::array<std::uint8_t, 3>;
inline constexpr Rgb kNoDifferenceColour = {200, 200, 200};
inline constexpr Rgb kNanColour = {255, 0, 255};
inline constexpr Rgb kBackgroundColour = {255, 255, 255};

// The signed difference of largest magnitude of every cell of a columns x rows grid over the
// steps and layers of one variable, and the layers and steps they came from.
class DifferenceMap {
 public:
  DifferenceMap(int ncols, int nrows);
  // A differing cell (row-major index) at a layer and step: INFILE2 - INFILE1, or a NaN when a
  // NaN is involved.
  void add(std::size_t cell, double difference, int layer, int jdate, int jtime) noexcept;
  int ncols() const noexcept { return ncols_; }
  int nrows() const noexcept { return nrows_; }
  std::uint64_t differing_cells() const noexcept { return differing_; }
  // The cell's colour on the map's scale.
  Rgb colour(std::size_t cell) const noexcept;
  // The scale's half-width: the largest finite |difference| (0 when there is none); and the
  // smallest non-zero one, where a logarithmic scale starts.
  double high() const noexcept;
  double low() const noexcept;
  bool logarithmic() const noexcept;
  // True when every cell with a number holds the same one, which is then `value`.
  bool single_value(double& value) const noexcept;
  // The position of a difference on the scale, in [-1, 1].
  double position(double difference) const noexcept;
  // "layer 2, 2024033:010000", or "layers 1 to 3, 2024033:000000 to 2024033:020000 (3 steps
  // differ)".
  std::string where_text() const;
  // The scale's colour at t in [-1, 1]: blue below 0, near-white at 0, red above.
  static Rgb scale_colour(double t) noexcept;

 private:
  int ncols_;
  int nrows_;
  std::vector<double> largest_;
  std::vector<std::uint8_t> seen_;  // 0: never differs; 1: by NaNs only; 2: by a number
  std::uint64_t differing_ = 0;
  int low_layer_ = 0, high_layer_ = 0;
  std::set<std::pair<int, int>> steps_;  // (date, time) of the differing cells
  std::pair<int, int> last_step_;
  // The scale's ends, found when first asked for after the last add.
  void find_range() const noexcept;
  mutable bool range_known_ = false;
  mutable double low_ = 0.0;
  mutable double high_ = 0.0;
};

// Where the cells lie: ncols x rows latitudes and longitudes, row-major like the cells; null
// when the run has none (the edges are then labelled by column and row).
struct MapFrame {
  const float* latitude = nullptr;
  const float* longitude = nullptr;
};

struct MapImage {
  int width = 0;
  int height = 0;
  int block = 0;  // pixels per cell side
  int map_x = 0;  // the grid's top-left corner in the picture
  int map_y = 0;
  int legend_y = 0;               // the top of the colour bar, or of the one value's swatch
  int swatch_y = 0;               // the top of the "no difference" and NaN swatches
  std::vector<std::uint8_t> rgb;  // width x height x 3, rows top down

  Rgb pixel(int x, int y) const noexcept;
};

// The picture: `title` (the variable's name and units), the layers and steps, and `subtitle`
// above the grid, the frame's latitudes and longitudes on its edges, the legend below it.
MapImage render_map(const DifferenceMap& map, std::string_view title, std::string_view subtitle,
                    const MapFrame& frame = {});

// Writes the picture as an 8-bit RGB PNG with `title` and `description` as text chunks.
// False when the file cannot be written.
bool write_png(const std::string& path, const MapImage& image, const std::string& title,
               const std::string& description) noexcept;

// A file name for a variable's map: the name with every character other than a letter, a
// digit, '-', '_' and '.' replaced by '_', then ".png".
std::string map_file_name(std::string_view vname);

}  // namespace brindlewick

#endif  // BRINDLEWICK_DIFF_MAP_H
