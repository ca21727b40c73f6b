#include "diff_map.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>

#include "number_text.h"

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
constexpr int kBarWidth = 256;
constexpr int kBarHeight = 16;
constexpr int kSwatch = 14;
// The grid is drawn in about this many pixels along its longer side, each cell a square block
// of 1 to kMaxBlock pixels.
constexpr int kMapTarget = 512;
constexpr int kMaxBlock = 32;
constexpr Rgb kTextColour = {0, 0, 0};
constexpr Rgb kFrameColour = {96, 96, 96};

// Anchors of the colour scale, evenly spaced from the smallest difference to the largest:
// dark blue through teal and green to yellow, readable in grey and by most colour-blind eyes.
constexpr std::array<Rgb, 5> kScaleAnchors = {
    {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};

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

std::string scale_label(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

}  // namespace

DifferenceMap::DifferenceMap(int ncols, int nrows)
    : ncols_(std::max(ncols, 0)),
      nrows_(std::max(nrows, 0)),
      largest_(static_cast<std::size_t>(ncols_) * static_cast<std::size_t>(nrows_), -1.0),
      nan_(largest_.size(), 0) {}

void DifferenceMap::add(std::size_t cell, double magnitude) noexcept {
  if (cell >= largest_.size()) return;
  if (largest_[cell] < 0.0 && nan_[cell] == 0) ++differing_;
  if (std::isnan(magnitude)) {
    nan_[cell] = 1;
    return;
  }
  largest_[cell] = std::max(largest_[cell], magnitude);
  range_known_ = false;
}

void DifferenceMap::find_range() const noexcept {
  if (range_known_) return;
  bool any = false;
  low_ = 0.0;
  high_ = 0.0;
  for (double d : largest_) {
    if (d < 0.0 || !std::isfinite(d)) continue;
    low_ = any ? std::min(low_, d) : d;
    high_ = any ? std::max(high_, d) : d;
    any = true;
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

Rgb DifferenceMap::scale_colour(double t) noexcept {
  t = std::clamp(std::isnan(t) ? 1.0 : t, 0.0, 1.0) * (kScaleAnchors.size() - 1);
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
  const double d = largest_[cell];
  if (d < 0.0) return nan_[cell] != 0 ? kNanColour : kNoDifferenceColour;
  find_range();
  if (!std::isfinite(d) || high_ <= low_) return scale_colour(1.0);
  if (logarithmic()) {
    return scale_colour((std::log(std::max(d, low_)) - std::log(low_)) /
                        (std::log(high_) - std::log(low_)));
  }
  return scale_colour((d - low_) / (high_ - low_));
}

Rgb MapImage::pixel(int x, int y) const noexcept {
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)) *
                         3;
  return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

namespace {

// The legend under the map: the colour bar with its end labels and the scale's name, then the
// swatches for cells without a difference and for NaN cells.
struct Legend {
  std::string low, high, scale_name;
  int bar_y = 0, labels_y = 0, swatch_y = 0;
};

constexpr std::string_view kNoDifference = "no difference";
constexpr std::string_view kNan = "NaN";

Legend legend_of(const DifferenceMap& map) {
  Legend legend;
  legend.low = scale_label(map.low());
  legend.high = scale_label(map.high());
  legend.scale_name = map.logarithmic() ? "|difference|, log scale" : "|difference|";
  return legend;
}

int legend_width(const Legend& legend) noexcept {
  return std::max({kBarWidth, text_width(legend.low) + text_width(legend.high) + kAdvance,
                   text_width(legend.scale_name),
                   kSwatch + kAdvance + text_width(kNoDifference) + 2 * kAdvance + kSwatch +
                       kAdvance + text_width(kNan)});
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

void draw_scale(Canvas& canvas, const Legend& legend, int width) noexcept {
  for (int i = 0; i < kBarWidth; ++i) {
    canvas.fill(kMargin + i, legend.bar_y, 1, kBarHeight,
                DifferenceMap::scale_colour(static_cast<double>(i) / (kBarWidth - 1)));
  }
  canvas.frame(kMargin, legend.bar_y, kBarWidth, kBarHeight, kFrameColour);
  canvas.text(kMargin, legend.labels_y, legend.low);
  canvas.text(kMargin + std::max(kBarWidth, width) - text_width(legend.high), legend.labels_y,
              legend.high);
  canvas.text(kMargin, legend.labels_y + kLineHeight, legend.scale_name);
}

void draw_swatches(Canvas& canvas, int swatch_y) noexcept {
  int x = kMargin;
  canvas.fill(x, swatch_y, kSwatch, kSwatch, kNoDifferenceColour);
  canvas.frame(x, swatch_y, kSwatch, kSwatch, kFrameColour);
  x += kSwatch + kAdvance / 2;
  canvas.text(x, swatch_y, kNoDifference);
  x += text_width(kNoDifference) + 2 * kAdvance;
  canvas.fill(x, swatch_y, kSwatch, kSwatch, kNanColour);
  canvas.frame(x, swatch_y, kSwatch, kSwatch, kFrameColour);
  canvas.text(x + kSwatch + kAdvance / 2, swatch_y, kNan);
}

}  // namespace

MapImage render_map(const DifferenceMap& map, std::string_view title, std::string_view subtitle) {
  MapImage image;
  const int longer = std::max({map.ncols(), map.nrows(), 1});
  image.block = std::clamp(kMapTarget / longer, 1, kMaxBlock);
  const int map_w = map.ncols() * image.block;
  const int map_h = map.nrows() * image.block;
  Legend legend = legend_of(map);
  const int legend_w = legend_width(legend);
  image.width = 2 * kMargin + std::max({map_w, legend_w, text_width(title), text_width(subtitle)});
  image.map_x = kMargin;
  image.map_y = kMargin + 2 * kLineHeight;
  legend.bar_y = image.map_y + map_h + kMargin + 2;
  legend.labels_y = legend.bar_y + kBarHeight + 6;
  legend.swatch_y = legend.labels_y + 2 * kLineHeight;
  image.height = legend.swatch_y + kLineHeight + kMargin;
  image.rgb.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height),
                   0);
  image.rgb.resize(image.rgb.size() * 3);
  Canvas canvas(image);
  canvas.fill(0, 0, image.width, image.height, kBackgroundColour);
  canvas.text(kMargin, kMargin, title);
  canvas.text(kMargin, kMargin + kLineHeight, subtitle);
  draw_cells(canvas, map, image);
  draw_scale(canvas, legend, legend_w);
  draw_swatches(canvas, legend.swatch_y);
  return image;
}

namespace {

// libpng reports errors by longjmp: nothing with a destructor lives in this frame.
bool write_png_file(std::FILE* file, const MapImage& image, png_text* texts, int ntexts) noexcept {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_text(png, info, texts, ntexts);
  png_write_info(png, info);
  const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.rgb.data() + static_cast<std::size_t>(y) * stride);
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
  const bool written = write_png_file(file, image, texts, 2);
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
