#include "run/compare.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace brindlewick {
namespace {

constexpr std::uint32_t byte_reversed(std::uint32_t w) noexcept { return __builtin_bswap32(w); }
constexpr std::uint64_t byte_reversed(std::uint64_t w) noexcept { return __builtin_bswap64(w); }

// The comparison rule on the bits of one value type, in the machine's byte order or with each
// value's bytes reversed (as a big-endian file stores them): the rule looks only at equality
// and at masked fields, so it holds on reversed words with reversed masks, and a buffer read
// as the file stores it is compared without a conversion pass. Every operation is lane-wise,
// so the scans below compile to vector code.
template <typename W, W kAbs, W kExp, bool kReversed>
struct FloatBits {
  using Word = W;
  static constexpr W kE = kReversed ? byte_reversed(kExp) : kExp;
  static constexpr W kM = kReversed ? byte_reversed(W(kAbs & ~kExp)) : W(kAbs & ~kExp);
  static constexpr bool kHasNaN = true;
  static Word native(Word w) noexcept { return kReversed ? byte_reversed(w) : w; }
  static bool differs(Word a, Word b) noexcept {
    bool nan;
    if constexpr (kReversed) {
      nan = (((a & kE) == kE) & ((a & kM) != 0)) | (((b & kE) == kE) & ((b & kM) != 0));
    } else {
      nan = ((a & kAbs) > kExp) | ((b & kAbs) > kExp);
    }
    // Both exponents zero: zeros of either sign and subnormals, all zero under DAZ.
    const bool both_zero = ((a | b) & kE) == 0;
    return nan | ((a != b) & !both_zero);
  }
};
template <bool kReversed>
using RealBits = FloatBits<std::uint32_t, 0x7FFFFFFFu, 0x7F800000u, kReversed>;
template <bool kReversed>
using DoubleBits =
    FloatBits<std::uint64_t, 0x7FFFFFFFFFFFFFFFull, 0x7FF0000000000000ull, kReversed>;

template <bool kReversed>
struct IntBits {
  using Word = std::uint32_t;
  static constexpr bool kHasNaN = false;
  static Word native(Word w) noexcept { return kReversed ? byte_reversed(w) : w; }
  static bool differs(Word a, Word b) noexcept { return a != b; }
};

// Values are read through memcpy: the buffers are raw storage filled by the library.
template <typename Bits>
typename Bits::Word word_at(const unsigned char* p, std::size_t i) noexcept {
  typename Bits::Word w;
  std::memcpy(&w, p + i * sizeof w, sizeof w);
  return w;
}

// Whether some cell of [begin, end) may differ: the cells are not all bit-identical, or one
// has an exponent of all ones (a NaN differs from everything, itself included). Cheaper than
// the rule itself, and exact for the blocks it passes.
template <typename Bits>
[[gnu::always_inline]] inline bool block_may_differ(const unsigned char* a, const unsigned char* b,
                                                    std::size_t begin, std::size_t end) noexcept {
  using Word = typename Bits::Word;
  Word acc = 0;
  for (std::size_t k = begin; k < end; ++k) {
    const Word wa = word_at<Bits>(a, k);
    acc |= wa ^ word_at<Bits>(b, k);
    // A NaN or an infinity (the rule then tells them apart), tested in either byte order
    // without converting the word.
    if constexpr (Bits::kHasNaN) acc |= Word{0} - static_cast<Word>((wa & Bits::kE) == Bits::kE);
  }
  return acc != 0;
}

// The row-major indices of one layer's differing cells, ascending. Bit-identical blocks
// (the common case) cost one vectorised pass; a block holding a difference has its cells
// flagged in a second vectorised pass, and their indices gathered without branches on the data.
template <typename Bits>
[[gnu::always_inline]] inline std::size_t gather_scan(const unsigned char* a,
                                                      const unsigned char* b, std::size_t cells,
                                                      std::size_t* found) noexcept {
  constexpr std::size_t kBlock = 64;
  std::size_t n = 0;
  for (std::size_t i = 0; i < cells; i += kBlock) {
    const std::size_t end = std::min(i + kBlock, cells);
    if (!block_may_differ<Bits>(a, b, i, end)) continue;
    unsigned char differs[kBlock];
    for (std::size_t k = i; k < end; ++k) {
      differs[k - i] =
          static_cast<unsigned char>(Bits::differs(word_at<Bits>(a, k), word_at<Bits>(b, k)));
    }
    for (std::size_t k = i; k < end; ++k) {
      found[n] = k;
      n += differs[k - i];
    }
  }
  return n;
}

// Set by the tests to run the code every processor runs.
bool generic_scan = false;

// The scan is the tool's hot loop: it is built for AVX2 as well as for any x86-64 processor,
// and runs as AVX2 code where the processor has it.
#if defined(__x86_64__)
template <typename Bits>
[[gnu::target("avx2")]] std::size_t gather_avx2(const unsigned char* a, const unsigned char* b,
                                                std::size_t cells, std::size_t* found) noexcept {
  return gather_scan<Bits>(a, b, cells, found);
}

#endif

template <typename Bits>
std::size_t gather_differing(const unsigned char* a, const unsigned char* b, std::size_t cells,
                             std::size_t* found) noexcept {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
  if (avx2 && !generic_scan) return gather_avx2<Bits>(a, b, cells, found);
#endif
  return gather_scan<Bits>(a, b, cells, found);
}

// Puts row-major cell indices into report order, columns outer and rows inner: a counting
// sort by column, stable, so rows stay ascending within a column.
void sort_by_column(const std::size_t* found, std::size_t n, std::size_t ncols,
                    std::size_t* column_starts, std::size_t* sorted) noexcept {
  std::fill(column_starts, column_starts + ncols, std::size_t{0});
  for (std::size_t j = 0; j < n; ++j) ++column_starts[found[j] % ncols];
  std::size_t start = 0;
  for (std::size_t c = 0; c < ncols; ++c) {
    const std::size_t count = column_starts[c];
    column_starts[c] = start;
    start += count;
  }
  for (std::size_t j = 0; j < n; ++j) sorted[column_starts[found[j] % ncols]++] = found[j];
}

char* format_report(char* at, std::size_t i, const GridFrame& grid, const Locations& loc) noexcept {
  // Location arrays are per cell: every layer reports layer-1 location data.
  const auto ncols = static_cast<std::size_t>(grid.ncols);
  return append_report(at, static_cast<int>(i % ncols + 1), static_cast<int>(i / ncols + 1),
                       loc.LATIT[i], loc.LONGI[i], loc.XLOCA[i], loc.YLOCA[i], loc.COL[i],
                       loc.ROW[i], grid_index(loc.XLOCA[i], grid.XORIG3D, grid.XCELL3D),
                       grid_index(loc.YLOCA[i], grid.YORIG3D, grid.YCELL3D));
}

// A report's place among its layer's reports: columns outer, rows inner.
std::size_t report_position(std::size_t i, std::size_t ncols, std::size_t nrows) noexcept {
  return i % ncols * nrows + i / ncols;
}

// The kept text of cell I at report position P, formatted on the cell's first report. A report
// begins with a blank, so a zero byte marks a text not yet formatted.
const char* kept_text(std::size_t i, std::size_t p, const GridFrame& grid, const Locations& loc,
                      KeptTexts& kept) noexcept {
  char* text = kept.texts + p * kReportSize;
  if (text[0] == '\0') {
    format_report(text, i, grid, loc);
    ++kept.formatted;
  }
  return text;
}

void report_cell(std::size_t i, const GridFrame& grid, const Locations& loc, KeptTexts* kept,
                 ReportWriter& out) noexcept {
  char* at = out.reserve();
  if (kept == nullptr) {
    out.commit(format_report(at, i, grid, loc));
    return;
  }
  const auto p = report_position(i, static_cast<std::size_t>(grid.ncols),
                                 static_cast<std::size_t>(grid.nrows));
  std::memcpy(at, kept_text(i, p, grid, loc, *kept), kReportSize);
  out.commit(at + kReportSize);
}

// The reports of a layer's N differing cells, in report order, from the kept texts: each run
// of cells that follow one another in report order goes out as one block.
void report_kept(const std::size_t* sorted, std::size_t n, const GridFrame& grid,
                 const Locations& loc, KeptTexts& kept, ReportWriter& out) noexcept {
  const auto ncols = static_cast<std::size_t>(grid.ncols);
  const auto nrows = static_cast<std::size_t>(grid.nrows);
  for (std::size_t j = 0; j < n;) {
    const std::size_t first = report_position(sorted[j], ncols, nrows);
    std::size_t p = first;
    for (; j < n && report_position(sorted[j], ncols, nrows) == p; ++j, ++p) {
      kept_text(sorted[j], p, grid, loc, kept);
    }
    out.write({kept.texts + first * kReportSize, (p - first) * kReportSize});
  }
}

// A layer whose every cell differs: every kept text, formatted where still needed, in one block.
void report_every_cell(const GridFrame& grid, const Locations& loc, KeptTexts& kept,
                       ReportWriter& out) noexcept {
  const auto ncols = static_cast<std::size_t>(grid.ncols);
  const auto nrows = static_cast<std::size_t>(grid.nrows);
  const std::size_t cells = ncols * nrows;
  for (std::size_t c = 0, p = 0; c < ncols && kept.formatted < cells; ++c) {
    for (std::size_t r = 0; r < nrows; ++r, ++p) kept_text(r * ncols + c, p, grid, loc, kept);
  }
  out.write({kept.texts, cells * kReportSize});
}

// The kept texts serve a layer of N differing cells out of CELLS when the run keeps them for
// every layer, or when most of the layer's cells differ (a sparse layer would spread its
// texts over many pages for one report each).
KeptTexts* kept_for(const CellScratch& scratch, std::size_t n, std::size_t cells) noexcept {
  KeptTexts* kept = scratch.kept;
  if (kept == nullptr || kept->texts == nullptr) return nullptr;
  return kept->every_layer || 2 * n >= cells ? kept : nullptr;
}

// The cells of one layer that the sink accepts, reported in order.
template <typename Bits>
std::size_t report_accepted(const unsigned char* a, const unsigned char* b, std::size_t n,
                            int layer, const GridFrame& grid, const Locations& loc,
                            const CellScratch& scratch, KeptTexts* kept, ReportWriter& out,
                            DifferenceSink& sink) noexcept {
  std::size_t reports = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t i = scratch.sorted[j];
    if (sink.differing_cell(i, layer, Bits::native(word_at<Bits>(a, i)),
                            Bits::native(word_at<Bits>(b, i)))) {
      report_cell(i, grid, loc, kept, out);
      ++reports;
    }
  }
  return reports;
}

template <typename Bits>
std::size_t compare_layers(const unsigned char* a, const unsigned char* b, const GridFrame& grid,
                           const Locations& loc, const CellScratch& scratch, ReportWriter& out,
                           DifferenceSink* sink) noexcept {
  const auto ncols = static_cast<std::size_t>(grid.ncols < 0 ? 0 : grid.ncols);
  const auto nrows = static_cast<std::size_t>(grid.nrows < 0 ? 0 : grid.nrows);
  const auto nlays = static_cast<std::size_t>(grid.nlays < 0 ? 0 : grid.nlays);
  const std::size_t cells = ncols * nrows;
  const std::size_t layer_bytes = cells * sizeof(typename Bits::Word);
  std::size_t reports = 0;
  for (std::size_t k = 0; k < nlays; ++k) {
    const unsigned char* la = a + k * layer_bytes;
    const unsigned char* lb = b + k * layer_bytes;
    const std::size_t n = gather_differing<Bits>(la, lb, cells, scratch.found);
    if (n == 0) continue;
    KeptTexts* kept = kept_for(scratch, n, cells);
    if (kept != nullptr && sink == nullptr && n == cells) {
      report_every_cell(grid, loc, *kept, out);  // report order needs no sort
      reports += n;
      continue;
    }
    sort_by_column(scratch.found, n, ncols, scratch.column_starts, scratch.sorted);
    if (sink != nullptr) {
      reports += report_accepted<Bits>(la, lb, n, static_cast<int>(k) + grid.first_layer, grid, loc,
                                       scratch, kept, out, *sink);
    } else if (kept != nullptr) {
      report_kept(scratch.sorted, n, grid, loc, *kept, out);
      reports += n;
    } else {
      for (std::size_t j = 0; j < n; ++j) report_cell(scratch.sorted[j], grid, loc, nullptr, out);
      reports += n;
    }
  }
  return reports;
}

}  // namespace

bool cell_differs(float a, float b) noexcept {
  return RealBits<false>::differs(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b));
}

bool cell_differs(double a, double b) noexcept {
  return DoubleBits<false>::differs(std::bit_cast<std::uint64_t>(a),
                                    std::bit_cast<std::uint64_t>(b));
}

bool cell_differs(std::int32_t a, std::int32_t b) noexcept { return a != b; }

bool beyond_tolerance(double a, double b, const Tolerance& tol) noexcept {
  const bool nan_a = std::isnan(a);
  const bool nan_b = std::isnan(b);
  if (nan_a || nan_b) return nan_a != nan_b;
  if (a == b) return false;
  if (std::isinf(a) || std::isinf(b)) return true;
  // Unequal values whose difference rounds to zero (the tool flushes tiny results) still
  // differ by more than nothing.
  if (tol.absolute == 0.0 && tol.relative == 0.0) return true;
  const double d = std::fabs(a - b);
  return d > tol.absolute && d > tol.relative * std::max(std::fabs(a), std::fabs(b));
}

double cell_number(int vtype, std::uint64_t bits) noexcept {
  switch (vtype) {
    case kavro::XQINT:
      return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
    case kavro::XQREAL: {
      auto w = static_cast<std::uint32_t>(bits);
      if ((w & 0x7F800000u) == 0) w &= 0x80000000u;
      // Widening a float is exact; only its subnormals depend on the mode, and there are none.
      return static_cast<double>(std::bit_cast<float>(w));
    }
    default:
      if ((bits & 0x7FF0000000000000ull) == 0) bits &= 0x8000000000000000ull;
      return std::bit_cast<double>(bits);
  }
}

namespace {

template <bool kReversed>
std::size_t compare_in_order(int vtype, const unsigned char* a, const unsigned char* b,
                             const GridFrame& grid, const Locations& loc,
                             const CellScratch& scratch, ReportWriter& out,
                             DifferenceSink* sink) noexcept {
  switch (vtype) {
    case kavro::XQINT:
      return compare_layers<IntBits<kReversed>>(a, b, grid, loc, scratch, out, sink);
    case kavro::XQREAL:
      return compare_layers<RealBits<kReversed>>(a, b, grid, loc, scratch, out, sink);
    case kavro::XQDBLE:
      return compare_layers<DoubleBits<kReversed>>(a, b, grid, loc, scratch, out, sink);
    default:
      return 0;
  }
}

}  // namespace

void reverse_value_bytes(void* values, std::size_t bytes, int vtype) noexcept {
  auto* p = static_cast<unsigned char*>(values);
  const std::size_t size = value_bytes(vtype);
  if (size == 4) {
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
      std::uint32_t w;
      std::memcpy(&w, p + i, 4);
      w = byte_reversed(w);
      std::memcpy(p + i, &w, 4);
    }
  } else if (size == 8) {
    for (std::size_t i = 0; i + 8 <= bytes; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      w = byte_reversed(w);
      std::memcpy(p + i, &w, 8);
    }
  }
}

namespace test_hooks {
void use_generic_scan(bool on) noexcept { generic_scan = on; }
}  // namespace test_hooks

std::size_t compare_step(int vtype, const void* INCONC, const void* ALTCONC, const GridFrame& grid,
                         const Locations& loc, const CellScratch& scratch, ReportWriter& out,
                         DifferenceSink* sink, kavro::ValueOrder order) noexcept {
  const auto* a = static_cast<const unsigned char*>(INCONC);
  const auto* b = static_cast<const unsigned char*>(ALTCONC);
  if (order == kavro::ValueOrder::reversed) {
    return compare_in_order<true>(vtype, a, b, grid, loc, scratch, out, sink);
  }
  return compare_in_order<false>(vtype, a, b, grid, loc, scratch, out, sink);
}

}  // namespace brindlewick
