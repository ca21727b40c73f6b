#include "outputs/csv_format.h"

#include <bit>
#include <cmath>
#include <utility>

#include "outputs/number_text.h"
#include "run/compare.h"

namespace brindlewick {
namespace {

void append_name(std::string& out, std::string_view name) {
  if (name.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += name;
    return;
  }
  out += '"';
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// HHMMSS with its leading zeros, as the log writes times.
void append_six_digits(std::string& out, int v) {
  if (v < 0 || v > 999999) {
    append_integer(out, v);
    return;
  }
  char digits[6];
  for (char* p = digits + 6; p != digits; v /= 10) *--p = static_cast<char>('0' + v % 10);
  out.append(digits, 6);
}

void append_value(std::string& out, int vtype, std::uint64_t bits) {
  switch (vtype) {
    case kavro::XQINT:
      append_integer(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
      break;
    case kavro::XQREAL:
      append_shortest(out, std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
      break;
    default:
      append_shortest(out, std::bit_cast<double>(bits));
      break;
  }
}

void append_difference(std::string& out, const CsvCell& c) {
  const double d = cell_number(c.vtype, c.b) - cell_number(c.vtype, c.a);
  if (c.vtype == kavro::XQINT) {
    append_integer(out, static_cast<std::int64_t>(d));
  } else {
    append_shortest(out, d);
  }
}

}  // namespace

void append_csv_row(std::string& out, const CsvCell& c) {
  append_name(out, c.name);
  out += ',';
  append_integer(out, c.jdate);
  out += ',';
  append_six_digits(out, c.jtime);
  for (int v : {c.layer, c.col, c.row}) {
    out += ',';
    append_integer(out, v);
  }
  out += ',';
  append_value(out, c.vtype, c.a);
  out += ',';
  append_value(out, c.vtype, c.b);
  out += ',';
  append_difference(out, c);
  for (float v : {c.lat, c.lon, c.x, c.y}) {
    out += ',';
    append_shortest(out, v);
  }
  out += '\n';
}

void append_labelled_line(std::string& out, const CsvCell& c) {
  out += c.name;
  out += ' ';
  append_integer(out, c.jdate);
  out += ':';
  append_six_digits(out, c.jtime);
  for (const auto& [label, v] :
       {std::pair{" layer ", c.layer}, {" column ", c.col}, {" row ", c.row}}) {
    out += label;
    append_integer(out, v);
  }
  for (const auto& [label, v] : {std::pair{" latitude ", c.lat}, {" longitude ", c.lon}}) {
    out += label;
    append_shortest(out, v);
  }
  for (const auto& [label, v] : {std::pair{" value1 ", c.a}, {" value2 ", c.b}}) {
    out += label;
    append_value(out, c.vtype, v);
  }
  out += " difference ";
  append_difference(out, c);
  out += '\n';
}

}  // namespace brindlewick
