// The CSV rows: exact text, and values that read back to the same bits.
#include "outputs/csv_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "kavro/kavro.h"

namespace brindlewick {
namespace {

std::uint64_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }
std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

CsvCell cell(int vtype, std::uint64_t a, std::uint64_t b) {
  return {"O3", 2024033, 10000, 2, 3, 4, vtype, a, b, 39.73021f, -90.49113f, -42000.0f, 0.1f};
}

std::vector<std::string> fields(const std::string& row) {
  std::vector<std::string> out;
  std::stringstream in(row.substr(0, row.size() - 1));
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  return out;
}

TEST(CsvRowTest, HeaderAndRowText) {
  EXPECT_EQ(
      kCsvHeader,
      "variable,date,time,layer,column,row,value1,value2,difference,latitude,longitude,x,y\n");
  std::string out;
  append_csv_row(out, cell(kavro::XQREAL, bits(0.5f), bits(0.75f)));
  append_csv_row(out, cell(kavro::XQINT, std::uint32_t(-7), 5));
  append_csv_row(out,
                 cell(kavro::XQDBLE, bits(1.0), bits(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(out,
            "O3,2024033,010000,2,3,4,0.5,0.75,0.25,39.73021,-90.49113,-42000,0.1\n"
            "O3,2024033,010000,2,3,4,-7,5,12,39.73021,-90.49113,-42000,0.1\n"
            "O3,2024033,010000,2,3,4,1,nan,nan,39.73021,-90.49113,-42000,0.1\n");
}

// REAL values read back with strtof, DOUBLE values with strtod, give the bits written, for
// values whose shortest form is long or unusual; the difference is exact in double.
TEST(CsvRowTest, ValuesReadBackBitExact) {
  const float reals[] = {0.1f,
                         1.0f / 3.0f,
                         std::numeric_limits<float>::max(),
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::min(),
                         -0.0f,
                         16777217.0f,
                         -std::numeric_limits<float>::infinity(),
                         3.4028233e38f};
  for (float a : reals) {
    const float b = std::nextafter(a, 1.0f);
    std::string row;
    append_csv_row(row, cell(kavro::XQREAL, bits(a), bits(b)));
    const std::vector<std::string> f = fields(row);
    ASSERT_EQ(f.size(), 13u) << row;
    EXPECT_EQ(bits(std::strtof(f[6].c_str(), nullptr)), bits(a)) << row;
    EXPECT_EQ(bits(std::strtof(f[7].c_str(), nullptr)), bits(b)) << row;
    EXPECT_EQ(bits(std::strtof(f[9].c_str(), nullptr)), bits(39.73021f)) << row;
  }
  const double doubles[] = {0.1,
                            1.0 / 3.0,
                            std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::min(),
                            1e-300,
                            -123456789.123456789};
  for (double a : doubles) {
    const double b = a * 1.5;
    std::string row;
    append_csv_row(row, cell(kavro::XQDBLE, bits(a), bits(b)));
    const std::vector<std::string> f = fields(row);
    EXPECT_EQ(bits(std::strtod(f[6].c_str(), nullptr)), bits(a)) << row;
    EXPECT_EQ(bits(std::strtod(f[7].c_str(), nullptr)), bits(b)) << row;
    EXPECT_EQ(std::strtod(f[8].c_str(), nullptr), b - a) << row;
  }
}

// A name that would break the columns is quoted, its quotes doubled.
TEST(CsvRowTest, QuotesAwkwardNames) {
  std::string out;
  CsvCell c = cell(kavro::XQINT, 1, 2);
  c.name = "A,\"B\"";
  append_csv_row(out, c);
  EXPECT_EQ(out.substr(0, 9), "\"A,\"\"B\"\"\"");
}

}  // namespace
}  // namespace brindlewick
