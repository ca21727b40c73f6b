#include <cstdarg>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "outputs/number_text.h"
#include "run/compare.h"

namespace brindlewick {
namespace {

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

std::vector<GridDifference> grid_difference_items(const GridPlace& a, const GridPlace& b) {
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
  std::vector<GridDifference> out;
  for (const Item& item : items) {
    if (item.differs) out.push_back({item.what, item.first, item.second});
  }
  return out;
}

std::vector<std::string> grid_differences(std::string_view lname1, const GridPlace& a,
                                          std::string_view lname2, const GridPlace& b) {
  const std::string one(kavro::trimmed(lname1));
  const std::string two(kavro::trimmed(lname2));
  std::vector<std::string> lines;
  for (const GridDifference& d : grid_difference_items(a, b)) {
    lines.push_back("Grid " + d.what + " differs: \"" + one + "\" " + d.first + ", \"" + two +
                    "\" " + d.second);
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

}  // namespace brindlewick
