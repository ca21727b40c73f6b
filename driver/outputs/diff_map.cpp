#include "outputs/diff_map.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <unordered_map>

#include "outputs/number_text.h"

namespace brindlewick {
namespace {

// A 5 x 7 font for printable ASCII (32 to 126): seven rows of five pixels, '#' set.
// clang-format off
constexpr const char* kGlyphs[95] = {
    "..... ..... ..... ..... ..... ..... .....",  // space
    "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",  // !
    ".#.#. .#.#. ..... ..... ..... ..... .....",  // double quote
    ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.",  // #
    "..#.. .#### #.#.. .###. ..#.# ####. ..#..",  // $
    "##... ##..# ...#. ..#.. .#... #..## ...##",  // %
    ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",  // &
    "..#.. ..#.. ..... ..... ..... ..... .....",  // '
    "...#. ..#.. .#... .#... .#... ..#.. ...#.",  // (
    ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",  // )
    "..... ..#.. #.#.# .###. #.#.# ..#.. .....",  // *
    "..... ..#.. ..#.. ##### ..#.. ..#.. .....",  // +
    "..... ..... ..... ..... .##.. ..#.. .#...",  // ,
    "..... ..... ..... ##### ..... ..... .....",  // -
    "..... ..... ..... ..... ..... .##.. .##..",  // .
    "..... ....# ...#. ..#.. .#... #.... .....",  // /
    ".###. #...# #..## #.#.# ##..# #...# .###.",  // 0
    "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",  // 1
    ".###. #...# ....# ...#. ..#.. .#... #####",  // 2
    "##### ...#. ..#.. ...#. ....# #...# .###.",  // 3
    "...#. ..##. .#.#. #..#. ##### ...#. ...#.",  // 4
    "##### #.... ####. ....# ....# #...# .###.",  // 5
    "..##. .#... #.... ####. #...# #...# .###.",  // 6
    "##### ....# ...#. ..#.. .#... .#... .#...",  // 7
    ".###. #...# #...# .###. #...# #...# .###.",  // 8
    ".###. #...# #...# .#### ....# ...#. .##..",  // 9
    "..... .##.. .##.. ..... .##.. .##.. .....",  // :
    "..... .##.. .##.. ..... .##.. ..#.. .#...",  // ;
    "...#. ..#.. .#... #.... .#... ..#.. ...#.",  // <
    "..... ..... ##### ..... ##### ..... .....",  // =
    ".#... ..#.. ...#. ....# ...#. ..#.. .#...",  // >
    ".###. #...# ....# ...#. ..#.. ..... ..#..",  // ?
    ".###. #...# ....# .##.# #.#.# #.#.# .###.",  // @
    ".###. #...# #...# ##### #...# #...# #...#",  // A
    "####. #...# #...# ####. #...# #...# ####.",  // B
    ".###. #...# #.... #.... #.... #...# .###.",  // C
    "###.. #..#. #...# #...# #...# #..#. ###..",  // D
    "##### #.... #.... ####. #.... #.... #####",  // E
    "##### #.... #.... ####. #.... #.... #....",  // F
    ".###. #...# #.... #.### #...# #...# .####",  // G
    "#...# #...# #...# ##### #...# #...# #...#",  // H
    ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",  // I
    "..### ...#. ...#. ...#. ...#. #..#. .##..",  // J
    "#...# #..#. #.#.. ##... #.#.. #..#. #...#",  // K
    "#.... #.... #.... #.... #.... #.... #####",  // L
    "#...# ##.## #.#.# #.#.# #...# #...# #...#",  // M
    "#...# #...# ##..# #.#.# #..## #...# #...#",  // N
    ".###. #...# #...# #...# #...# #...# .###.",  // O
    "####. #...# #...# ####. #.... #.... #....",  // P
    ".###. #...# #...# #...# #.#.# #..#. .##.#",  // Q
    "####. #...# #...# ####. #.#.. #..#. #...#",  // R
    ".#### #.... #.... .###. ....# ....# ####.",  // S
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",  // T
    "#...# #...# #...# #...# #...# #...# .###.",  // U
    "#...# #...# #...# #...# #...# .#.#. ..#..",  // V
    "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",  // W
    "#...# #...# .#.#. ..#.. .#.#. #...# #...#",  // X
    "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",  // Y
    "##### ....# ...#. ..#.. .#... #.... #####",  // Z
    ".###. .#... .#... .#... .#... .#... .###.",  // [
    "..... #.... .#... ..#.. ...#. ....# .....",  // backslash
    ".###. ...#. ...#. ...#. ...#. ...#. .###.",  // ]
    "..#.. .#.#. #...# ..... ..... ..... .....",  // ^
    "..... ..... ..... ..... ..... ..... #####",  // _
    ".#... ..#.. ..... ..... ..... ..... .....",  // `
    "..... ..... .###. ....# .#### #...# .####",  // a
    "#.... #.... #.##. ##..# #...# #...# ####.",  // b
    "..... ..... .###. #.... #.... #...# .###.",  // c
    "....# ....# .##.# #..## #...# #...# .####",  // d
    "..... ..... .###. #...# ##### #.... .###.",  // e
    "..##. .#..# .#... ###.. .#... .#... .#...",  // f
    "..... .#### #...# #...# .#### ....# .###.",  // g
    "#.... #.... #.##. ##..# #...# #...# #...#",  // h
    "..#.. ..... .##.. ..#.. ..#.. ..#.. .###.",  // i
    "...#. ..... ..##. ...#. ...#. #..#. .##..",  // j
    "#.... #.... #..#. #.#.. ##... #.#.. #..#.",  // k
    ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",  // l
    "..... ..... ##.#. #.#.# #.#.# #...# #...#",  // m
    "..... ..... #.##. ##..# #...# #...# #...#",  // n
    "..... ..... .###. #...# #...# #...# .###.",  // o
    "..... ..... ####. #...# ####. #.... #....",  // p
    "..... ..... .##.# #..## .#### ....# ....#",  // q
    "..... ..... #.##. ##..# #.... #.... #....",  // r
    "..... ..... .###. #.... .###. ....# ####.",  // s
    ".#... .#... ###.. .#... .#... .#..# ..##.",  // t
    "..... ..... #...# #...# #...# #..## .##.#",  // u
    "..... ..... #...# #...# #...# .#.#. ..#..",  // v
    "..... ..... #...# #...# #.#.# #.#.# .#.#.",  // w
    "..... ..... #...# .#.#. ..#.. .#.#. #...#",  // x
    "..... ..... #...# #...# .#### ....# .###.",  // y
    "..... ..... ##### ...#. ..#.. .#... #####",  // z
    "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.",  // {
    "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",  // |
    ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#...",  // }
    "..... ..... .#... #.#.# ...#. ..... .....",  // ~
};
// clang-format on
// Any other character is drawn as a box.
constexpr const char* kUnknownGlyph = "##### #...# #...# #...# #...# #...# #####";

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kTextScale = 2;
constexpr int kAdvance = (kGlyphWidth + 1) * kTextScale;
constexpr int kLineHeight = (kGlyphHeight + 4) * kTextScale;
constexpr int kMargin = 10;
constexpr int kBarWidth = 320;
constexpr int kBarHeight = 16;
constexpr int kSwatch = 14;
constexpr int kTick = 4;
// The grid is drawn in about this many pixels along its longer side, each cell a square block
// of 1 to kMaxBlock pixels.
constexpr int kMapTarget = 512;
constexpr int kMaxBlock = 32;
// Edge labels stand at least this far apart.
constexpr int kLabelGap = 110;
constexpr Rgb kTextColour = {0, 0, 0};
constexpr Rgb kFrameColour = {96, 96, 96};
// A magnitude's share of the scale below the smallest non-zero one, on a logarithmic scale.
constexpr double kLinearShare = 0.15;
// Colours of each half of the scale: few enough that a map compresses well.
constexpr double kScaleSteps = 32;

// Anchors of the diverging scale from -1 to 1, evenly spaced: dark blue through near-white at
// 0 to dark red, readable by most colour-blind eyes.
constexpr std::array<Rgb, 7> kScaleAnchors = {{{33, 102, 172},
                                               {103, 169, 207},
                                               {209, 229, 240},
                                               {247, 247, 247},
                                               {253, 219, 199},
                                               {239, 138, 98},
                                               {178, 24, 43}}};

class Canvas {
 public:
  explicit Canvas(MapImage& image) : image_(image) {}
  void set(int x, int y, Rgb c) noexcept {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.width) +
                            static_cast<std::size_t>(x)) *
                           3;
    std::copy(c.begin(), c.end(), image_.rgb.begin() + static_cast<std::ptrdiff_t>(at));
  }
  void fill(int x, int y, int w, int h, Rgb c) noexcept {
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) set(i, j, c);
    }
  }
  void frame(int x, int y, int w, int h, Rgb c) noexcept {
    fill(x - 1, y - 1, w + 2, 1, c);
    fill(x - 1, y + h, w + 2, 1, c);
    fill(x - 1, y, 1, h, c);
    fill(x + w, y, 1, h, c);
  }
  void text(int x, int y, std::string_view s) noexcept {
    for (char ch : s) {
      const int code = static_cast<unsigned char>(ch);
      const char* glyph = code >= 32 && code <= 126 ? kGlyphs[code - 32] : kUnknownGlyph;
      for (int r = 0; r < kGlyphHeight; ++r) {
        for (int c = 0; c < kGlyphWidth; ++c) {
          if (glyph[r * (kGlyphWidth + 1) + c] == '#') {
            fill(x + c * kTextScale, y + r * kTextScale, kTextScale, kTextScale, kTextColour);
          }
        }
      }
      x += kAdvance;
    }
  }

 private:
  MapImage& image_;
};

int text_width(std::string_view s) noexcept { return static_cast<int>(s.size()) * kAdvance; }

std::string scale_label(double v, bool sign) {
  char text[32];
  std::snprintf(text, sizeof text, sign ? "%+.3g" : "%.3g", v);
  return text;
}

std::string step_text(int jdate, int jtime) {
  char text[32];
  std::snprintf(text, sizeof text, "%07d:%06d", jdate, jtime);
  return text;
}

// A latitude or longitude with its hemisphere: "41.5N", "100.25W", "0E".
std::string degrees_text(double v, char positive, char negative) {
  if (!std::isfinite(v)) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::fabs(v));
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s + (v < 0 ? negative : positive);
}

}  // namespace

DifferenceMap::DifferenceMap(int ncols, int nrows)
    : ncols_(std::max(ncols, 0)),
      nrows_(std::max(nrows, 0)),
      largest_(static_cast<std::size_t>(ncols_) * static_cast<std::size_t>(nrows_), 0.0),
      seen_(largest_.size(), 0) {}

void DifferenceMap::add(std::size_t cell, double difference, int layer, int jdate,
                        int jtime) noexcept {
  if (cell >= largest_.size()) return;
  if (seen_[cell] == 0) ++differing_;
  if (steps_.empty()) low_layer_ = high_layer_ = layer;
  // Cells come step by step: the set is asked once per step.
  if (steps_.empty() || last_step_ != std::pair{jdate, jtime}) {
    last_step_ = {jdate, jtime};
    steps_.insert(last_step_);
  }
  low_layer_ = std::min(low_layer_, layer);
  high_layer_ = std::max(high_layer_, layer);
  if (std::isnan(difference)) {
    seen_[cell] = std::max<std::uint8_t>(seen_[cell], 1);
    return;
  }
  if (seen_[cell] < 2 || std::fabs(difference) > std::fabs(largest_[cell])) {
    largest_[cell] = difference;
  }
  seen_[cell] = 2;
  range_known_ = false;
}

void DifferenceMap::find_range() const noexcept {
  if (range_known_) return;
  low_ = 0.0;
  high_ = 0.0;
  for (std::size_t i = 0; i < largest_.size(); ++i) {
    const double d = std::fabs(largest_[i]);
    if (seen_[i] != 2 || !std::isfinite(d)) continue;
    high_ = std::max(high_, d);
    if (d > 0.0) low_ = low_ == 0.0 ? d : std::min(low_, d);
  }
  range_known_ = true;
}

double DifferenceMap::low() const noexcept {
  find_range();
  return low_;
}

double DifferenceMap::high() const noexcept {
  find_range();
  return high_;
}

bool DifferenceMap::logarithmic() const noexcept { return low() > 0.0 && high() > 10.0 * low(); }

bool DifferenceMap::single_value(double& value) const noexcept {
  bool any = false;
  for (std::size_t i = 0; i < largest_.size(); ++i) {
    if (seen_[i] != 2) continue;
    // Compared as bits, so that 0 and -0, or two NaN payloads, stay apart as the files have them.
    if (any && std::memcmp(&value, &largest_[i], sizeof value) != 0) return false;
    value = largest_[i];
    any = true;
  }
  return any;
}

double DifferenceMap::position(double difference) const noexcept {
  find_range();
  if (std::isnan(difference)) return 0.0;
  const double sign = difference < 0 ? -1.0 : 1.0;
  const double m = std::fabs(difference);
  if (!std::isfinite(m) || m >= high_) return high_ > 0.0 || !std::isfinite(m) ? sign : 0.0;
  if (!logarithmic()) return difference / high_;
  if (m < low_) return sign * kLinearShare * m / low_;
  return sign * (kLinearShare + (1.0 - kLinearShare) * std::log(m / low_) / std::log(high_ / low_));
}

std::string DifferenceMap::where_text() const {
  if (steps_.empty()) return "no differing cells";
  std::string s = low_layer_ == high_layer_ ? "layer " + std::to_string(low_layer_)
                                            : "layers " + std::to_string(low_layer_) + " to " +
                                                  std::to_string(high_layer_);
  const auto& [first_date, first_time] = *steps_.begin();
  s += ", " + step_text(first_date, first_time);
  if (steps_.size() > 1) {
    const auto& [last_date, last_time] = *steps_.rbegin();
    s += " to " + step_text(last_date, last_time) + " (" + std::to_string(steps_.size()) +
         " steps differ)";
  }
  return s;
}

Rgb DifferenceMap::scale_colour(double t) noexcept {
  // In steps of 1/kScaleSteps, so that a picture fits a palette of 256 colours.
  t = std::round(std::clamp(std::isnan(t) ? 0.0 : t, -1.0, 1.0) * kScaleSteps) / kScaleSteps;
  t = (t + 1.0) / 2.0 * (kScaleAnchors.size() - 1);
  const auto k = std::min(static_cast<std::size_t>(t), kScaleAnchors.size() - 2);
  const double f = t - static_cast<double>(k);
  Rgb c{};
  for (std::size_t i = 0; i < c.size(); ++i) {
    const double v = kScaleAnchors[k][i] + f * (kScaleAnchors[k + 1][i] - kScaleAnchors[k][i]);
    c[i] = static_cast<std::uint8_t>(std::lround(v));
  }
  return c;
}

Rgb DifferenceMap::colour(std::size_t cell) const noexcept {
  if (seen_[cell] == 0) return kNoDifferenceColour;
  if (seen_[cell] == 1) return kNanColour;
  return scale_colour(position(largest_[cell]));
}

Rgb MapImage::pixel(int x, int y) const noexcept {
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)) *
                         3;
  return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

namespace {

constexpr std::string_view kNoDifference = "no difference";
constexpr std::string_view kNan = "NaN";

// The legend under the map: the colour bar with its labels and caption, or the one value's
// swatch; then the swatches for cells without a difference and for NaN cells.
struct Legend {
  bool single = false;
  double value = 0.0;
  std::string low, middle, high, caption;
  int width = 0;
};

Legend legend_of(const DifferenceMap& map) {
  Legend legend;
  legend.single = map.single_value(legend.value);
  if (legend.single) {
    legend.caption = "difference " + scale_label(legend.value, true) + " (file 2 - file 1)";
  } else {
    legend.low = scale_label(-map.high(), true);
    legend.middle = "0";
    legend.high = scale_label(map.high(), true);
  }
  const std::string scale = map.logarithmic()
                                ? "difference, log scale beyond +-" + scale_label(map.low(), false)
                                : "difference";
  if (!legend.single) legend.caption = scale + " (file 2 - file 1)";
  const int bar = legend.single ? kSwatch + kAdvance / 2 + text_width(legend.caption) : kBarWidth;
  legend.width = std::max({bar, text_width(legend.caption),
                           kSwatch + kAdvance + text_width(kNoDifference) + 2 * kAdvance + kSwatch +
                               kAdvance + text_width(kNan)});
  return legend;
}

// The edges' labels: latitudes down the left edge, longitudes along the bottom (or the rows'
// and columns' numbers when the run has no locations), at cells spread evenly along the edge.
struct EdgeLabel {
  int cell;  // column or row, from 0
  std::string text;
};

// Cells evenly spaced from the first, at least `gap` pixels apart when drawn.
std::vector<int> tick_cells(int n, int block, int gap) {
  std::vector<int> cells;
  const int step = std::max(1, (gap + block - 1) / std::max(block, 1));
  for (int cell = 0; cell < n; cell += step) cells.push_back(cell);
  return cells;
}

std::vector<EdgeLabel> bottom_labels(const DifferenceMap& map, const MapFrame& frame, int block) {
  std::vector<EdgeLabel> labels;
  for (int col : tick_cells(map.ncols(), block, kLabelGap)) {
    // Along the bottom row (row 1).
    labels.push_back({col, frame.longitude != nullptr ? degrees_text(frame.longitude[col], 'E', 'W')
                                                      : "col " + std::to_string(col + 1)});
  }
  return labels;
}

std::vector<EdgeLabel> left_labels(const DifferenceMap& map, const MapFrame& frame, int block) {
  std::vector<EdgeLabel> labels;
  for (int row : tick_cells(map.nrows(), block, 3 * kLineHeight)) {
    // Down the left column.
    const std::size_t cell = static_cast<std::size_t>(row) * static_cast<std::size_t>(map.ncols());
    labels.push_back({row, frame.latitude != nullptr ? degrees_text(frame.latitude[cell], 'N', 'S')
                                                     : "row " + std::to_string(row + 1)});
  }
  return labels;
}

// North up: row 1, the southernmost, is the bottom row of blocks.
void draw_cells(Canvas& canvas, const DifferenceMap& map, const MapImage& image) noexcept {
  for (int row = 0; row < map.nrows(); ++row) {
    const int y = image.map_y + (map.nrows() - 1 - row) * image.block;
    for (int col = 0; col < map.ncols(); ++col) {
      const std::size_t cell =
          static_cast<std::size_t>(row) * static_cast<std::size_t>(map.ncols()) +
          static_cast<std::size_t>(col);
      canvas.fill(image.map_x + col * image.block, y, image.block, image.block, map.colour(cell));
    }
  }
  canvas.frame(image.map_x, image.map_y, map.ncols() * image.block, map.nrows() * image.block,
               kFrameColour);
}

void draw_edges(Canvas& canvas, const MapImage& image, int nrows,
                const std::vector<EdgeLabel>& bottom, const std::vector<EdgeLabel>& left,
                int map_h) noexcept {
  const int base = image.map_y + map_h + 1;
  for (const EdgeLabel& l : bottom) {
    const int x = image.map_x + l.cell * image.block + image.block / 2;
    canvas.fill(x, base, 1, kTick, kFrameColour);
    const int w = text_width(l.text);
    canvas.text(std::clamp(x - w / 2, 0, std::max(0, image.width - w)), base + kTick + 2, l.text);
  }
  for (const EdgeLabel& l : left) {
    const int y = image.map_y + (nrows - 1 - l.cell) * image.block + image.block / 2;
    canvas.fill(image.map_x - 1 - kTick, y, kTick, 1, kFrameColour);
    const int h = kGlyphHeight * kTextScale;
    canvas.text(image.map_x - 1 - kTick - 4 - text_width(l.text),
                std::clamp(y - h / 2, image.map_y - 2, image.map_y + map_h - h + 2), l.text);
  }
}

void draw_swatch(Canvas& canvas, int x, int y, Rgb colour) noexcept {
  canvas.fill(x, y, kSwatch, kSwatch, colour);
  canvas.frame(x, y, kSwatch, kSwatch, kFrameColour);
}

// Returns the y below the legend.
int draw_legend(Canvas& canvas, const DifferenceMap& map, const Legend& legend, int y) noexcept {
  if (legend.single) {
    draw_swatch(canvas, kMargin, y, DifferenceMap::scale_colour(map.position(legend.value)));
    canvas.text(kMargin + kSwatch + kAdvance / 2, y, legend.caption);
    y += kLineHeight + 4;
  } else {
    for (int i = 0; i < kBarWidth; ++i) {
      const double t = 2.0 * i / (kBarWidth - 1) - 1.0;
      canvas.fill(kMargin + i, y, 1, kBarHeight, DifferenceMap::scale_colour(t));
    }
    canvas.frame(kMargin, y, kBarWidth, kBarHeight, kFrameColour);
    y += kBarHeight + 6;
    canvas.text(kMargin, y, legend.low);
    canvas.text(kMargin + kBarWidth / 2 - text_width(legend.middle) / 2, y, legend.middle);
    canvas.text(kMargin + kBarWidth - text_width(legend.high), y, legend.high);
    y += kLineHeight;
    canvas.text(kMargin, y, legend.caption);
    y += kLineHeight + 4;
  }
  int x = kMargin;
  draw_swatch(canvas, x, y, kNoDifferenceColour);
  x += kSwatch + kAdvance / 2;
  canvas.text(x, y, kNoDifference);
  x += text_width(kNoDifference) + 2 * kAdvance;
  draw_swatch(canvas, x, y, kNanColour);
  canvas.text(x + kSwatch + kAdvance / 2, y, kNan);
  return y + kLineHeight;
}

}  // namespace

MapImage render_map(const DifferenceMap& map, std::string_view title, std::string_view subtitle,
                    const MapFrame& frame) {
  MapImage image;
  const int longer = std::max({map.ncols(), map.nrows(), 1});
  image.block = std::clamp(kMapTarget / longer, 1, kMaxBlock);
  const int map_w = map.ncols() * image.block;
  const int map_h = map.nrows() * image.block;
  const Legend legend = legend_of(map);
  const std::string where = map.where_text();
  const std::vector<EdgeLabel> bottom = bottom_labels(map, frame, image.block);
  const std::vector<EdgeLabel> left = left_labels(map, frame, image.block);
  int left_w = 0;
  for (const EdgeLabel& l : left) left_w = std::max(left_w, text_width(l.text));
  int right_overhang = 0;
  for (const EdgeLabel& l : bottom)
    right_overhang = std::max(right_overhang, text_width(l.text) / 2);
  image.map_x = kMargin + left_w + kTick + 6;
  image.map_y = kMargin + 3 * kLineHeight + 4;
  image.width = std::max(
      {image.map_x + map_w + std::max(kMargin, right_overhang + 2), 2 * kMargin + legend.width,
       2 * kMargin + std::max({text_width(title), text_width(where), text_width(subtitle)})});
  const int legend_y = image.map_y + map_h + 1 + kTick + 2 + kLineHeight + 6;
  image.height = legend_y +
                 (legend.single ? kLineHeight + 4 : kBarHeight + 6 + 2 * kLineHeight + 4) +
                 kLineHeight + kMargin;
  image.rgb.assign(
      static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3, 0);
  Canvas canvas(image);
  canvas.fill(0, 0, image.width, image.height, kBackgroundColour);
  canvas.text(kMargin, kMargin, title);
  canvas.text(kMargin, kMargin + kLineHeight, where);
  canvas.text(kMargin, kMargin + 2 * kLineHeight, subtitle);
  draw_cells(canvas, map, image);
  draw_edges(canvas, image, map.nrows(), bottom, left, map_h);
  image.legend_y = legend_y;
  image.swatch_y = draw_legend(canvas, map, legend, legend_y) - kLineHeight;
  return image;
}

namespace {

// The picture as at most 256 colours: a palette and one index per pixel, a third of the bytes
// of RGB before compression. False when it has more colours.
bool to_palette(const MapImage& image, std::vector<png_color>& palette,
                std::vector<std::uint8_t>& indexed) {
  std::unordered_map<std::uint32_t, std::uint8_t> index_of;
  indexed.resize(image.rgb.size() / 3);
  std::uint32_t last = 0xFFFFFFFF;
  std::uint8_t last_index = 0;
  for (std::size_t i = 0; i < indexed.size(); ++i) {
    const std::uint32_t key = std::uint32_t{image.rgb[3 * i]} << 16 |
                              std::uint32_t{image.rgb[3 * i + 1]} << 8 | image.rgb[3 * i + 2];
    if (key != last) {
      const auto found = index_of.find(key);
      if (found != index_of.end()) {
        last_index = found->second;
      } else {
        if (palette.size() == 256) return false;
        last_index = static_cast<std::uint8_t>(palette.size());
        index_of.emplace(key, last_index);
        palette.push_back({image.rgb[3 * i], image.rgb[3 * i + 1], image.rgb[3 * i + 2]});
      }
      last = key;
    }
    indexed[i] = last_index;
  }
  return true;
}

// libpng reports errors by longjmp: nothing with a destructor lives in this frame. With a
// palette, `pixels` holds one index per pixel, else RGB.
bool write_png_file(std::FILE* file, const MapImage& image, const std::uint8_t* pixels,
                    const std::vector<png_color>* palette, png_text* texts, int ntexts) noexcept {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8,
               palette != nullptr ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette != nullptr) {
    png_set_PLTE(png, info, palette->data(), static_cast<int>(palette->size()));
  }
  png_set_text(png, info, texts, ntexts);
  png_write_info(png, info);
  const std::size_t stride = static_cast<std::size_t>(image.width) * (palette != nullptr ? 1 : 3);
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, pixels + static_cast<std::size_t>(y) * stride);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_png(const std::string& path, const MapImage& image, const std::string& title,
               const std::string& description) noexcept {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::string keys[2] = {"Title", "Description"};
  std::string values[2] = {title, description};
  png_text texts[2] = {};
  for (int i = 0; i < 2; ++i) {
    texts[i].compression = PNG_TEXT_COMPRESSION_NONE;
    texts[i].key = keys[i].data();
    texts[i].text = values[i].data();
  }
  std::vector<png_color> palette;
  std::vector<std::uint8_t> indexed;
  bool paletted = false;
  try {
    paletted = to_palette(image, palette, indexed);
  } catch (const std::bad_alloc&) {
    // RGB needs nothing more.
  }
  const bool written = paletted ? write_png_file(file, image, indexed.data(), &palette, texts, 2)
                                : write_png_file(file, image, image.rgb.data(), nullptr, texts, 2);
  return std::fclose(file) == 0 && written;
}

std::string map_file_name(std::string_view vname) {
  // A name of dots alone would name a directory.
  std::string name = vname.find_first_not_of('.') == std::string_view::npos ? "_" : "";
  name += vname;
  for (char& c : name) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
    if (!keep) c = '_';
  }
  name += ".png";
  return name;
}

}  // namespace brindlewick
