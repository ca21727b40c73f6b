// The direct data path reads what the netCDF library reads, for every shape a classic file can
// give a variable: rank 1 to 5, with and without the record dimension (a record variable alone
// in its record, and among others, so that records are or are not contiguous), every external
// type, read whole, one record, several records and sub-blocks. The files are written here with
// the netCDF C API; each block is read both ways and the bytes compared.
#include <netcdf.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "gridwriter/fixture_writer.h"
#include "netcdf/classic/classic_header.h"
#include "netcdf/classic/direct_read.h"
#include "netcdf/classic/kept_files.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

namespace classic = kavro::detail::classic;

constexpr int kRecords = 3;
constexpr int kFid = 1;
// Dimension lengths, slowest first: the record dimension (when there is one) comes first and
// has kRecords records.
constexpr std::array<std::size_t, 5> kLengths = {3, 4, 2, 5, 3};
constexpr std::array<nc_type, 5> kTypes = {NC_BYTE, NC_SHORT, NC_INT, NC_FLOAT, NC_DOUBLE};

struct Shape {
  int rank;
  bool record;
};

std::string var_name(const Shape& s, nc_type t) {
  return "v" + std::to_string(s.rank) + (s.record ? "r" : "f") + "_t" + std::to_string(t);
}

// Writes one variable per shape and type; the value of element e (C order) is e + 1 wrapped to
// fit a byte, a distinct number in the wider types.
void write_shapes(const std::string& path, const std::vector<Shape>& shapes, int format) {
  int ncid = 0;
  ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER | format, &ncid), NC_NOERR);
  int time = 0;
  ASSERT_EQ(nc_def_dim(ncid, "time", NC_UNLIMITED, &time), NC_NOERR);
  std::array<int, 5> fixed{};
  for (std::size_t i = 0; i < kLengths.size(); ++i) {
    ASSERT_EQ(nc_def_dim(ncid, ("d" + std::to_string(i)).c_str(), kLengths[i], &fixed[i]),
              NC_NOERR);
  }
  for (const Shape& s : shapes) {
    for (nc_type t : kTypes) {
      std::vector<int> dims;
      for (int i = 0; i < s.rank; ++i) {
        dims.push_back(s.record && i == 0 ? time : fixed[static_cast<std::size_t>(i)]);
      }
      int varid = 0;
      ASSERT_EQ(nc_def_var(ncid, var_name(s, t).c_str(), t, s.rank, dims.data(), &varid), NC_NOERR);
    }
  }
  ASSERT_EQ(nc_enddef(ncid), NC_NOERR);
  for (const Shape& s : shapes) {
    std::array<std::size_t, 5> start{}, count{};
    std::size_t n = 1;
    for (int i = 0; i < s.rank; ++i) {
      count[static_cast<std::size_t>(i)] =
          s.record && i == 0 ? kRecords : kLengths[static_cast<std::size_t>(i)];
      n *= count[static_cast<std::size_t>(i)];
    }
    std::vector<double> values(n);
    for (std::size_t e = 0; e < n; ++e) values[e] = static_cast<double>((e + 1) % 120);
    for (nc_type t : kTypes) {
      int varid = 0;
      ASSERT_EQ(nc_inq_varid(ncid, var_name(s, t).c_str(), &varid), NC_NOERR);
      if (t == NC_BYTE) {
        std::vector<signed char> b(values.begin(), values.end());
        ASSERT_EQ(nc_put_vara_schar(ncid, varid, start.data(), count.data(), b.data()), NC_NOERR);
      } else {
        for (std::size_t e = 0; e < n; ++e) values[e] = static_cast<double>(e + 1) * 1.5;
        ASSERT_EQ(nc_put_vara_double(ncid, varid, start.data(), count.data(), values.data()),
                  NC_NOERR);
      }
    }
  }
  ASSERT_EQ(nc_close(ncid), NC_NOERR);
}

std::size_t type_size(nc_type t) {
  std::size_t size = 0;
  nc_inq_type(NC_GLOBAL, t, nullptr, &size);
  return size;
}

class DirectShapesTest : public LibraryTest {
 protected:
  void TearDown() override { close_both(); }
  void close_both() {
    classic::forget_file(kFid);
    if (ncid_ >= 0) nc_close(ncid_);
    ncid_ = -1;
  }
  // Opens PATH both ways: the netCDF library's id, and the kept file of slot kFid.
  void open_both(const std::string& path) {
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid_), NC_NOERR);
    classic::Header h;
    classic::Problem why;
    int fd = -1;
    ASSERT_TRUE(classic::parse_classic_header(path.c_str(), h, why, &fd)) << why.view();
    ASSERT_TRUE(classic::keep_file(kFid, std::move(h), fd));
  }
  // Every block of the table read both ways: the same bytes. START and COUNT are C order,
  // 0-based, as the netCDF library takes them.
  void compare_blocks(const Shape& s, nc_type t) {
    int varid = 0;
    ASSERT_EQ(nc_inq_varid(ncid_, var_name(s, t).c_str(), &varid), NC_NOERR);
    std::array<std::size_t, 5> len{};
    for (int i = 0; i < s.rank; ++i) {
      len[static_cast<std::size_t>(i)] =
          s.record && i == 0 ? kRecords : kLengths[static_cast<std::size_t>(i)];
    }
    // Whole, the last record (or slab) alone, all but the first element of every dimension,
    // one element in the middle.
    struct Block {
      const char* what;
      std::array<std::size_t, 5> start, count;
    };
    std::vector<Block> blocks(4);
    blocks[0].what = "whole";
    blocks[1].what = "last slab";
    blocks[2].what = "sub-block";
    blocks[3].what = "one value";
    for (std::size_t i = 0; i < static_cast<std::size_t>(s.rank); ++i) {
      blocks[0].start[i] = 0, blocks[0].count[i] = len[i];
      blocks[1].start[i] = i == 0 ? len[i] - 1 : 0, blocks[1].count[i] = i == 0 ? 1 : len[i];
      blocks[2].start[i] = len[i] > 1 ? 1 : 0, blocks[2].count[i] = len[i] > 1 ? len[i] - 1 : 1;
      blocks[3].start[i] = len[i] / 2, blocks[3].count[i] = 1;
    }
    const std::size_t size = type_size(t);
    for (const Block& b : blocks) {
      SCOPED_TRACE(var_name(s, t) + " " + b.what);
      std::size_t n = 1;
      // The library's order: fastest first, 1-based.
      std::array<int, 5> start{}, count{};
      for (int i = 0; i < s.rank; ++i) {
        const auto c = static_cast<std::size_t>(i);
        const auto f = static_cast<std::size_t>(s.rank - 1 - i);
        n *= b.count[c];
        start[f] = static_cast<int>(b.start[c]) + 1;
        count[f] = static_cast<int>(b.count[c]);
      }
      std::vector<unsigned char> expected(n * size, 0xAB), direct(n * size, 0xCD);
      ASSERT_EQ(nc_get_vara(ncid_, varid, b.start.data(), b.count.data(), expected.data()),
                NC_NOERR);
      ASSERT_EQ(kavro::detail::direct_read_block(kFid, varid, s.rank, start.data(), count.data(), t,
                                                 direct.data()),
                NC_NOERR);
      EXPECT_TRUE(direct == expected);
    }
  }
  int ncid_ = -1;
};

// Every rank with and without the record dimension, in files of each classic format.
TEST_F(DirectShapesTest, EveryShapeReadsAsTheNetcdfLibraryReads) {
  std::vector<Shape> shapes;
  for (int rank = 1; rank <= 5; ++rank) {
    shapes.push_back({rank, false});
    shapes.push_back({rank, true});
  }
  for (int format : {NC_CLASSIC_MODEL, NC_64BIT_OFFSET, NC_64BIT_DATA}) {
    SCOPED_TRACE(format);
    const std::string path = dir().file("shapes" + std::to_string(format) + ".nc");
    write_shapes(path, shapes, format);
    open_both(path);
    for (const Shape& s : shapes) {
      for (nc_type t : kTypes) compare_blocks(s, t);
    }
    close_both();
  }
}

// A record variable alone in the record: the records follow each other with no gap (a short
// or byte variable is not even padded), so its records are contiguous in the file.
TEST_F(DirectShapesTest, SoleRecordVariableOfEachTypeAndRank) {
  for (nc_type t : kTypes) {
    for (int rank = 1; rank <= 3; ++rank) {
      const Shape s{rank, true};
      const std::string path = dir().file("sole.nc");
      int ncid = 0, time = 0;
      ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER, &ncid), NC_NOERR);
      ASSERT_EQ(nc_def_dim(ncid, "time", NC_UNLIMITED, &time), NC_NOERR);
      std::array<int, 3> dims{time, 0, 0};
      for (int i = 1; i < rank; ++i) {
        ASSERT_EQ(
            nc_def_dim(ncid, ("d" + std::to_string(i)).c_str(),
                       kLengths[static_cast<std::size_t>(i)], &dims[static_cast<std::size_t>(i)]),
            NC_NOERR);
      }
      int varid = 0;
      ASSERT_EQ(nc_def_var(ncid, var_name(s, t).c_str(), t, rank, dims.data(), &varid), NC_NOERR);
      ASSERT_EQ(nc_enddef(ncid), NC_NOERR);
      std::array<std::size_t, 3> start{}, count{kRecords, kLengths[1], kLengths[2]};
      std::vector<double> values(kRecords * kLengths[1] * kLengths[2]);
      for (std::size_t e = 0; e < values.size(); ++e) values[e] = static_cast<double>(e % 100);
      ASSERT_EQ(nc_put_vara_double(ncid, varid, start.data(), count.data(), values.data()),
                NC_NOERR);
      ASSERT_EQ(nc_close(ncid), NC_NOERR);
      open_both(path);
      compare_blocks(s, t);
      close_both();
    }
  }
}

}  // namespace
}  // namespace kavro_test
