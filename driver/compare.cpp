#include "compare.h"

#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstring>


namespace brindlewick {
namespace {

// The comparison rule on the bits of one value type. Every operation is lane-wise, so the
// scans below compile to vector code.
template <typename W, W kAbs, W kExp>
struct FloatBits {
  using Word = W;
  static bool differs(Word a, Word b) noexcept {
    const bool nan = ((a & kAbs) > kExp) | ((b & kAbs) > kExp);
    // Both exponents zero: zeros of either sign and subnormals, all zero under DAZ.
    const bool both_zero = ((a | b) & kExp) == 0;
    return nan | ((a != b) & !both_zero);
  }
};
using RealBits = FloatBits<std::uint32_t, 0x7FFFFFFFu, 0x7F800000u>;
using DoubleBits = FloatBits<std::uint64_t, 0x7FFFFFFFFFFFFFFFull, 0x7FF0000000000000ull>;

struct IntBits {
  using Word = std::uint32_t;
  static bool differs(Word a, Word b) noexcept { return a != b; }
};

// Values are read through memcpy: the buffers are raw storage filled by the library.
template <typename Bits>
typename Bits::Word word_at(const unsigned char* p, std::size_t i) noexcept {
  typename Bits::Word w;
  std::memcpy(&w, p + i * sizeof w, sizeof w);
  return w;
}

// The scans are the tool's hot loops: the cost model of -O2 leaves them scalar, so they ask
// for the vectoriser's full cost model.
template <typename Bits>
[[gnu::optimize("vect-cost-model=dynamic")]] bool any_differs(const unsigned char* a, const unsigned char* b, std::size_t count) noexcept {
  // Fixed blocks with no early exit inside keep the loop branch-free and vectorised; one
  // test per block stops the scan soon after the first difference.
  constexpr std::size_t kBlock = 256;
  std::size_t i = 0;
  for (; i + kBlock <= count; i += kBlock) {
    unsigned acc = 0;
    for (std::size_t k = i; k < i + kBlock; ++k) {
      acc |= static_cast<unsigned>(Bits::differs(word_at<Bits>(a, k), word_at<Bits>(b, k)));
    }
    if (acc != 0) return true;
  }
  unsigned acc = 0;
  for (; i < count; ++i) {
    acc |= static_cast<unsigned>(Bits::differs(word_at<Bits>(a, i), word_at<Bits>(b, i)));
  }
  return acc != 0;
}

// Marks the columns of one layer that hold a differing cell, one contiguous pass over the
// rows, so the walk in report order (columns outer) visits only those columns.
template <typename Bits>
[[gnu::optimize("vect-cost-model=dynamic")]] void mark_columns(const unsigned char* a, const unsigned char* b, std::size_t ncols,
                  std::size_t nrows, unsigned char* flags) noexcept {
  std::memset(flags, 0, ncols);
  for (std::size_t r = 0; r < nrows; ++r) {
    const std::size_t base = r * ncols;
    for (std::size_t c = 0; c < ncols; ++c) {
      flags[c] |= static_cast<unsigned char>(
          Bits::differs(word_at<Bits>(a, base + c), word_at<Bits>(b, base + c)));
    }
  }
}

void report_cell(std::size_t c, std::size_t r, const GridFrame& grid, const Locations& loc,
                 ReportWriter& out) noexcept {
  // Location arrays are per cell: every layer reports layer-1 location data.
  const std::size_t i = r * static_cast<std::size_t>(grid.ncols) + c;
  out.commit(append_report(out.reserve(), static_cast<int>(c + 1), static_cast<int>(r + 1),
                           loc.LATIT[i], loc.LONGI[i], loc.XLOCA[i], loc.YLOCA[i], loc.COL[i],
                           loc.ROW[i], grid_index(loc.XLOCA[i], grid.XORIG3D, grid.XCELL3D),
                           grid_index(loc.YLOCA[i], grid.YORIG3D, grid.YCELL3D)));
}

template <typename Bits>
std::size_t compare_layers(const unsigned char* a, const unsigned char* b, const GridFrame& grid,
                           const Locations& loc, std::span<unsigned char> column_flags,
                           ReportWriter& out) noexcept {
  const auto ncols = static_cast<std::size_t>(grid.ncols < 0 ? 0 : grid.ncols);
  const auto nrows = static_cast<std::size_t>(grid.nrows < 0 ? 0 : grid.nrows);
  const auto nlays = static_cast<std::size_t>(grid.nlays < 0 ? 0 : grid.nlays);
  const std::size_t cells = ncols * nrows;
  const std::size_t layer_bytes = cells * sizeof(typename Bits::Word);
  std::size_t reports = 0;
  for (std::size_t k = 0; k < nlays; ++k) {
    const unsigned char* la = a + k * layer_bytes;
    const unsigned char* lb = b + k * layer_bytes;
    if (!any_differs<Bits>(la, lb, cells)) continue;
    mark_columns<Bits>(la, lb, ncols, nrows, column_flags.data());
    for (std::size_t c = 0; c < ncols; ++c) {
      if (column_flags[c] == 0) continue;
      for (std::size_t r = 0; r < nrows; ++r) {
        const std::size_t i = r * ncols + c;
        if (!Bits::differs(word_at<Bits>(la, i), word_at<Bits>(lb, i))) continue;
        report_cell(c, r, grid, loc, out);
        ++reports;
      }
    }
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
    case kavro::XQINT: return "INTEGER";
    case kavro::XQREAL: return "REAL";
    case kavro::XQDBLE: return "DOUBLE";
    default: return "of an unknown type";
  }
}

}  // namespace

bool cell_differs(float a, float b) noexcept {
  return RealBits::differs(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b));
}

bool cell_differs(double a, double b) noexcept {
  return DoubleBits::differs(std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b));
}

bool cell_differs(std::int32_t a, std::int32_t b) noexcept { return a != b; }

bool any_cell_differs(int vtype, const void* a, const void* b, std::size_t count) noexcept {
  const auto* pa = static_cast<const unsigned char*>(a);
  const auto* pb = static_cast<const unsigned char*>(b);
  switch (vtype) {
    case kavro::XQINT: return any_differs<IntBits>(pa, pb, count);
    case kavro::XQREAL: return any_differs<RealBits>(pa, pb, count);
    case kavro::XQDBLE: return any_differs<DoubleBits>(pa, pb, count);
    default: return false;
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
              stack.ncols, stack.nrows, infile1.ncols, infile1.nrows, infile2.ncols,
              infile2.nrows);
  return false;
}

bool check_same_layers(const FileShape& infile1, const FileShape& infile2, Mesg& mesg) noexcept {
  if (infile1.nlays == infile2.nlays) return true;
  format_mesg(mesg, "Layers differ: \"INFILE1\" has %d, \"INFILE2\" has %d", infile1.nlays,
              infile2.nlays);
  return false;
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
    format_mesg(mesg, "Variable \"%.*s\" of \"INFILE2\" has data type %d: only INTEGER, REAL "
                "and DOUBLE are compared", width(name), name.data(), vtype2);
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

bool ReportWriter::write_out() noexcept {
  if (used_ > 0) {
    if (std::fwrite(buffer_, 1, used_, out_) != used_) failed_ = true;
    unflushed_ = true;
  }
  used_ = 0;
  return !failed_;
}

bool ReportWriter::flush() noexcept {
  write_out();
  // Only a stream that received reports is flushed: a step without differences costs nothing.
  if (unflushed_ && std::fflush(out_) != 0) failed_ = true;
  unflushed_ = false;
  return !failed_;
}

std::size_t compare_step(int vtype, const void* INCONC, const void* ALTCONC,
                         const GridFrame& grid, const Locations& loc,
                         std::span<unsigned char> column_flags, ReportWriter& out) noexcept {
  const auto* a = static_cast<const unsigned char*>(INCONC);
  const auto* b = static_cast<const unsigned char*>(ALTCONC);
  switch (vtype) {
    case kavro::XQINT: return compare_layers<IntBits>(a, b, grid, loc, column_flags, out);
    case kavro::XQREAL: return compare_layers<RealBits>(a, b, grid, loc, column_flags, out);
    case kavro::XQDBLE: return compare_layers<DoubleBits>(a, b, grid, loc, column_flags, out);
    default: return 0;
  }
}

}  // namespace brindlewick
