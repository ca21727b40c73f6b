#include "compare.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <initializer_list>

#include "number_text.h"

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

// Whether any cell of [begin, end) differs: one vectorised pass, inlined into the scan below.
template <typename Bits>
[[gnu::always_inline]] inline bool block_differs(const unsigned char* a, const unsigned char* b,
                                                 std::size_t begin, std::size_t end) noexcept {
  unsigned acc = 0;
  for (std::size_t k = begin; k < end; ++k) {
    acc |= static_cast<unsigned>(Bits::differs(word_at<Bits>(a, k), word_at<Bits>(b, k)));
  }
  return acc != 0;
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
// (the common case) cost one vectorised pass; only a block holding a difference is walked
// cell by cell, without branches on the data.
template <typename Bits>
[[gnu::always_inline]] inline std::size_t gather_scan(const unsigned char* a,
                                                      const unsigned char* b, std::size_t cells,
                                                      std::size_t* found) noexcept {
  constexpr std::size_t kBlock = 64;
  constexpr std::size_t kGroup = 16;
  std::size_t n = 0;
  for (std::size_t i = 0; i < cells; i += kBlock) {
    const std::size_t end = std::min(i + kBlock, cells);
    if (!block_may_differ<Bits>(a, b, i, end)) continue;
    // Differences are usually few: only the groups of a block that hold one are walked.
    for (std::size_t g = i; g < end; g += kGroup) {
      const std::size_t group_end = std::min(g + kGroup, end);
      if (!block_differs<Bits>(a, b, g, group_end)) continue;
      for (std::size_t k = g; k < group_end; ++k) {
        found[n] = k;
        n += static_cast<std::size_t>(Bits::differs(word_at<Bits>(a, k), word_at<Bits>(b, k)));
      }
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

void report_cell(std::size_t i, const GridFrame& grid, const Locations& loc, char* texts,
                 ReportWriter& out) noexcept {
  char* at = out.reserve();
  if (texts == nullptr) {
    out.commit(format_report(at, i, grid, loc));
    return;
  }
  // A report begins with a blank, so a zero byte marks a text not yet formatted.
  char* kept = texts + i * kReportSize;
  if (kept[0] == '\0') format_report(kept, i, grid, loc);
  std::memcpy(at, kept, kReportSize);
  out.commit(at + kReportSize);
}

// The cells of one layer that the sink accepts, reported in order.
template <typename Bits>
std::size_t report_accepted(const unsigned char* a, const unsigned char* b, std::size_t n,
                            int layer, const GridFrame& grid, const Locations& loc,
                            const CellScratch& scratch, ReportWriter& out,
                            DifferenceSink& sink) noexcept {
  std::size_t reports = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t i = scratch.sorted[j];
    if (sink.differing_cell(i, layer, Bits::native(word_at<Bits>(a, i)),
                            Bits::native(word_at<Bits>(b, i)))) {
      report_cell(i, grid, loc, scratch.report_texts, out);
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
    sort_by_column(scratch.found, n, ncols, scratch.column_starts, scratch.sorted);
    if (sink != nullptr) {
      reports +=
          report_accepted<Bits>(la, lb, n, static_cast<int>(k + 1), grid, loc, scratch, out, *sink);
      continue;
    }
    for (std::size_t j = 0; j < n; ++j) {
      report_cell(scratch.sorted[j], grid, loc, scratch.report_texts, out);
    }
    reports += n;
  }
  return reports;
}

[[gnu::format(printf, 2, 3)]] void format_mesg(Mesg& mesg, const char* format, ...) noexcept {
  char text[Mesg::size() + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  mesg.assign(text);
}

int width(std::string_view s) noexcept { return static_cast<int>(s.size()); }

// A type's name in messages.
const char* type_text(int vtype) noexcept {
  switch (vtype) {
    case kavro::XQINT:
      return "INTEGER";
    case kavro::XQREAL:
      return "REAL";
    case kavro::XQDBLE:
      return "DOUBLE";
    default:
      return "of an unknown type";
  }
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

bool array_bytes(int ncols, int nrows, int nlays, std::size_t per_cell,
                 std::size_t& bytes) noexcept {
  const auto extent = [](int n) { return static_cast<std::size_t>(n < 0 ? 0 : n); };
  std::size_t n = per_cell;
  return !__builtin_mul_overflow(n, extent(ncols), &n) &&
         !__builtin_mul_overflow(n, extent(nrows), &n) &&
         !__builtin_mul_overflow(n, extent(nlays), &bytes);
}

bool check_gridded(std::string_view lname, const FileShape& shape, Mesg& mesg) noexcept {
  if (is_gridded(shape.ftype)) return true;
  const std::string_view name = kavro::trimmed(lname);
  format_mesg(mesg, "File \"%.*s\" is not a gridded file: file type %d", width(name), name.data(),
              shape.ftype);
  return false;
}

bool check_same_grid(const FileShape& stack, const FileShape& infile1, const FileShape& infile2,
                     Mesg& mesg) noexcept {
  const bool same = stack.ncols == infile2.ncols && stack.nrows == infile2.nrows &&
                    infile1.ncols == infile2.ncols && infile1.nrows == infile2.nrows;
  if (same) return true;
  format_mesg(mesg,
              "Grids differ (columns x rows): \"STACK1\" %d x %d, \"INFILE1\" %d x %d, "
              "\"INFILE2\" %d x %d",
              stack.ncols, stack.nrows, infile1.ncols, infile1.nrows, infile2.ncols, infile2.nrows);
  return false;
}

bool check_same_layers(const FileShape& infile1, const FileShape& infile2, Mesg& mesg) noexcept {
  if (infile1.nlays == infile2.nlays) return true;
  format_mesg(mesg, "Layers differ: \"INFILE1\" has %d, \"INFILE2\" has %d", infile1.nlays,
              infile2.nlays);
  return false;
}

namespace {

// "(a, b, ...)" of the shortest round-trip numbers.
std::string number_list(std::initializer_list<double> values) {
  std::string text = "(";
  for (const double v : values) {
    if (text.size() > 1) text += ", ";
    append_shortest(text, v);
  }
  return text + ")";
}

std::string number_pair(double a, double b) { return number_list({a, b}); }

std::string projection_text(const GridPlace& g) {
  std::string text = "type ";
  append_integer(text, g.GDTYP3D);
  return text + " angles " + number_list({g.P_ALP3D, g.P_BET3D, g.P_GAM3D}) + " centre " +
         number_pair(g.XCENT3D, g.YCENT3D);
}

// Built by appending: GCC 12 at -O3 warns (-Wrestrict) on "literal" + std::string&&.
std::string quoted(std::string_view text) {
  std::string q = "\"";
  q.append(text);
  q += '"';
  return q;
}

}  // namespace

std::vector<std::string> grid_differences(std::string_view lname1, const GridPlace& a,
                                          std::string_view lname2, const GridPlace& b) {
  struct Item {
    const char* what;
    bool differs;
    std::string first, second;
  };
  const Item items[] = {
      {"origin", a.XORIG3D != b.XORIG3D || a.YORIG3D != b.YORIG3D,
       number_pair(a.XORIG3D, a.YORIG3D), number_pair(b.XORIG3D, b.YORIG3D)},
      {"cell size", a.XCELL3D != b.XCELL3D || a.YCELL3D != b.YCELL3D,
       number_pair(a.XCELL3D, a.YCELL3D), number_pair(b.XCELL3D, b.YCELL3D)},
      {"projection",
       a.GDTYP3D != b.GDTYP3D || a.P_ALP3D != b.P_ALP3D || a.P_BET3D != b.P_BET3D ||
           a.P_GAM3D != b.P_GAM3D || a.XCENT3D != b.XCENT3D || a.YCENT3D != b.YCENT3D,
       projection_text(a), projection_text(b)},
      {"name", a.GDNAM3D.trimmed() != b.GDNAM3D.trimmed(), quoted(a.GDNAM3D.trimmed()),
       quoted(b.GDNAM3D.trimmed())},
  };
  const std::string one(kavro::trimmed(lname1));
  const std::string two(kavro::trimmed(lname2));
  std::vector<std::string> lines;
  for (const Item& item : items) {
    if (!item.differs) continue;
    lines.push_back(std::string("Grid ") + item.what + " differs: \"" + one + "\" " + item.first +
                    ", \"" + two + "\" " + item.second);
  }
  return lines;
}

bool check_location_type(std::string_view vname, int expected, int vtype, Mesg& mesg) noexcept {
  if (vtype == expected) return true;
  const std::string_view name = kavro::trimmed(vname);
  format_mesg(mesg, "Variable \"%.*s\" of \"STACK1\" must be %s but is %s", width(name),
              name.data(), type_text(expected), type_text(vtype));
  return false;
}

bool check_variable_types(std::string_view vname, int vtype1, int vtype2, Mesg& mesg) noexcept {
  const std::string_view name = kavro::trimmed(vname);
  if (value_bytes(vtype2) == 0) {
    format_mesg(mesg,
                "Variable \"%.*s\" of \"INFILE2\" has data type %d: only INTEGER, REAL "
                "and DOUBLE are compared",
                width(name), name.data(), vtype2);
    return false;
  }
  if (vtype1 == vtype2) return true;
  format_mesg(mesg, "Variable \"%.*s\" is %s in \"INFILE1\" but %s in \"INFILE2\"", width(name),
              name.data(), type_text(vtype1), type_text(vtype2));
  return false;
}

Mesg open_failure_message(std::string_view lname) noexcept {
  const std::string_view name = kavro::trimmed(lname);
  Mesg mesg;
  format_mesg(mesg, "Could not open file \"%.*s\" for input", width(name), name.data());
  return mesg;
}

Mesg read_failure_message(std::string_view lname) noexcept {
  const std::string_view name = kavro::trimmed(lname);
  Mesg mesg;
  format_mesg(mesg, "Could not read from \"%.*s\"", width(name), name.data());
  return mesg;
}

std::int32_t grid_index(float loc, double orig, double cell) noexcept {
  if (cell == 0.0) return kavro::IMISSING3;
  const double q = (static_cast<double>(loc) - orig) / cell;
  // Truncation toward zero is defined only for quotients whose integer part fits.
  if (!(q > -2147483649.0 && q < 2147483648.0)) return kavro::IMISSING3;
  return static_cast<std::int32_t>(q);
}

char* ReportWriter::reserve() noexcept {
  if (kBufferBytes - used_ < kReportSize) write_out();
  return buffer_ + used_;
}

void ReportWriter::write(std::string_view text) noexcept {
  while (!text.empty()) {
    if (used_ == kBufferBytes) write_out();
    const std::size_t n = std::min(text.size(), kBufferBytes - used_);
    std::memcpy(buffer_ + used_, text.data(), n);
    used_ += n;
    text.remove_prefix(n);
  }
}

bool ReportWriter::write_out() noexcept {
  if (used_ > 0) {
    if (!kavro::write_stream(out_, buffer_, used_)) failed_ = true;
    unflushed_ = true;
  }
  used_ = 0;
  return !failed_;
}

bool ReportWriter::flush() noexcept {
  write_out();
  // Only a stream that received reports is flushed: a step without differences costs nothing.
  if (unflushed_ && !kavro::flush_stream(out_)) failed_ = true;
  unflushed_ = false;
  return !failed_;
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
