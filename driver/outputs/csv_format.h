// The CSV of differences: a header line, then one row per differing cell, in report order;
// and the labelled reports, one line per differing cell, with the same fields.
// Values are written in their own type's shortest round-trip form, so reading them back gives
// the same bits (a NaN reads back as a NaN): REAL as float, DOUBLE as double, INTEGER as an
// integer. The difference is value 2 - value 1 in double precision (exact for INTEGER and
// for REAL values of similar magnitude), subnormals counted as zero as the comparison counts
// them. A variable name holding a comma, a quote or a line break is quoted.
#ifndef BRINDLEWICK_CSV_FORMAT_H
#define BRINDLEWICK_CSV_FORMAT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace brindlewick {

inline constexpr std::string_view kCsvHeader =
    "variable,date,time,layer,column,row,value1,value2,difference,latitude,longitude,x,y\n";

struct CsvCell {
  std::string_view name;  // trimmed
  int jdate = 0;
  int jtime = 0;
  int layer = 0;
  int col = 0;
  int row = 0;
  int vtype = 0;
  std::uint64_t a = 0;  // the values' bits, as the comparison holds them
  std::uint64_t b = 0;
  float lat = 0.0F;
  float lon = 0.0F;
  float x = 0.0F;
  float y = 0.0F;
};

// Appends one row with its '\n'.
void append_csv_row(std::string& out, const CsvCell& c);

// Appends the labelled report of one cell (BRINDLEWICK_FORMAT=labelled), with its '\n':
//   O3 2024033:010000 layer 1 column 3 row 2 latitude 39.730206 longitude -90.491135
//   value1 0.0336 value2 0.0452 difference 0.011600002646446228
// on one line, the numbers as in the CSV row.
void append_labelled_line(std::string& out, const CsvCell& c);

}  // namespace brindlewick

#endif  // BRINDLEWICK_CSV_FORMAT_H
