// WRITE3: what it writes READ3 reads back, for every kind written by date and time, every file
// type with a data layout and every value type; the record, flags and record count after
// writes out of order and with gaps; each refusal's paragraph with the file left byte for
// byte as it was; a volatile file's step seen by a second reader at once; and a netCDF file
// written here read value by value with the raw netCDF C API.
#include <netcdf.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/state.h"
#include "kavro/kavro.h"
#include "kavro/write.h"
#include "read/read.h"
#include "read_support.h"
#include "support/desc_builder.h"
#include "unit/binary/binary_support.h"

namespace kavro_test {
namespace {

using kavro::ALLAYS3;
using kavro::READ3;
using kavro::WRITE3;

constexpr int kSdate = 2024033;

// How a test file is named in the environment: its kind.
enum class Kind { netcdf, netcdf64, binary, memory };

const char* kind_name(Kind k) {
  switch (k) {
    case Kind::netcdf:
      return "netcdf";
    case Kind::netcdf64:
      return "netcdf64";
    case Kind::binary:
      return "binary";
    case Kind::memory:
      return "memory";
  }
  return "?";
}

class Write3Test : public ReadTest {
 protected:
  // Fills the description record: FTYPE, 4 x 3 cells, 2 layers, hourly from kSdate (or
  // TSTEP), one variable per type code in TYPES (named V1, V2, ...).
  static void describe(int ftype, const std::vector<int>& types, int tstep = 10000) {
    DescBuilder()
        .file_type(ftype)
        .start(kSdate)
        .time_step(tstep)
        .projection({.gdtyp = 2})
        .vertical({7, 0.0F, {1.0F, 0.5F, 0.0F}})
        .grid_name("WRITE_GRID")
        .variables(DescBuilder::numbered("V", types, "1", "written by WRITE3"))
        .fill();
  }

  // Creates file NAME of kind K from the description record; its path.
  std::string create(const std::string& name, Kind k, const std::string& suffix = "") {
    const std::string path = dir().file(name + (k == Kind::binary ? ".bin" : ".nc"));
    std::string value = k == Kind::binary ? "BIN:" + path : k == Kind::memory ? "BUFFERED" : path;
    env_.push_back(std::make_unique<ScopedEnv>(name, value + suffix));
    env_.push_back(std::make_unique<ScopedEnv>(
        "KAVRO_OFFSET_64", k == Kind::netcdf64 ? std::optional<std::string>("Y") : std::nullopt));
    EXPECT_TRUE(kavro::OPEN3(name, kavro::FSNEW3, "WRITE3TEST")) << name;
    return path;
  }

  void define(const std::string& name, const std::string& value) {
    env_.push_back(std::make_unique<ScopedEnv>(name, value));
  }

  // Bytes READ3 of VAR, all layers, fills in file NAME.
  static std::size_t bytes_of(const std::string& name, const std::string& var) {
    const int fid = kavro::NAME2FID(name);
    const int vid =
        var == "ALL"
            ? kavro::ALLVAR3
            : kavro::INDEX1(var, kavro::state().b.NVARS3(fid),
                            std::span<const kavro::Name16>(kavro::state().c.VLIST3D.row(fid)));
    return static_cast<std::size_t>(kavro::detail::read3_size_bytes(fid, vid, ALLAYS3));
  }

  // A buffer of N bytes whose 4-byte words hold distinct small numbers as REALs (a double
  // made of two of them is an ordinary number too), from SEED.
  static std::vector<std::byte> pattern(std::size_t n, int seed) {
    std::vector<std::byte> b(n);
    for (std::size_t w = 0; w * 4 < n; ++w) {
      const float f = static_cast<float>(seed) * 1000.0F + static_cast<float>(w) + 0.25F;
      std::memcpy(b.data() + w * 4, &f, 4);
    }
    return b;
  }

  std::vector<std::string> log_after(std::size_t before) const { return log_from(before); }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// ---- Round trips -------------------------------------------------------------------------

struct RoundTrip {
  Kind kind;
  int ftype;
};

class Write3RoundTrip : public Write3Test, public ::testing::WithParamInterface<RoundTrip> {};

// One variable of each value type written at a step and every variable ("ALL") at another,
// then read back through READ3 byte for byte, for each kind and file type it holds.
TEST_P(Write3RoundTrip, ReadsBackWhatWasWritten) {
  const RoundTrip p = GetParam();
  // Memory-resident files hold no DOUBLE PRECISION, and give "ALL" of REAL variables only.
  const bool memory = p.kind == Kind::memory;
  const std::vector<int> types = memory
                                     ? std::vector<int>{kavro::XQREAL, kavro::XQREAL}
                                     : std::vector<int>{kavro::XQINT, kavro::XQREAL, kavro::XQDBLE};
  describe(p.ftype, types);
  create("OUT", p.kind);
  for (std::size_t v = 1; v <= types.size(); ++v) {
    const std::string var = numbered("V", static_cast<int>(v));
    const std::vector<std::byte> in = pattern(bytes_of("OUT", var), static_cast<int>(v));
    ASSERT_TRUE(WRITE3("OUT", var, kSdate, 10000, in.data(), in.size())) << var;
    std::vector<std::byte> out(in.size());
    ASSERT_TRUE(READ3("OUT", var, ALLAYS3, kSdate, 10000, out.data(), out.size())) << var;
    EXPECT_EQ(out, in) << var;
  }
  const std::vector<std::byte> all = pattern(bytes_of("OUT", "ALL"), 7);
  ASSERT_TRUE(WRITE3("OUT", "ALL", kSdate, 20000, all.data(), all.size()));
  std::vector<std::byte> back(all.size());
  ASSERT_TRUE(READ3("OUT", "ALL", ALLAYS3, kSdate, 20000, back.data(), back.size()));
  EXPECT_EQ(back, all);
}

std::vector<RoundTrip> round_trips() {
  std::vector<RoundTrip> out;
  for (Kind k : {Kind::netcdf, Kind::netcdf64}) {
    for (int t : {kavro::GRDDED3, kavro::BNDARY3, kavro::IDDATA3, kavro::PROFIL3, kavro::GRNEST3,
                  kavro::SMATRX3, kavro::CUSTOM3, kavro::kTypeSeven, kavro::PTRFLY3}) {
      out.push_back({k, t});
    }
  }
  // The native binary layout holds these types only.
  for (int t : {kavro::GRDDED3, kavro::BNDARY3, kavro::IDDATA3, kavro::PROFIL3, kavro::SMATRX3,
                kavro::CUSTOM3}) {
    out.push_back({Kind::binary, t});
  }
  for (int t : {kavro::GRDDED3, kavro::BNDARY3, kavro::CUSTOM3}) out.push_back({Kind::memory, t});
  return out;
}

INSTANTIATE_TEST_SUITE_P(KindsAndTypes, Write3RoundTrip, ::testing::ValuesIn(round_trips()),
                         [](const ::testing::TestParamInfo<RoundTrip>& i) {
                           return std::string(kind_name(i.param.kind)) + "_type" +
                                  std::to_string(i.param.ftype + 1);
                         });

// ---- Records, flags and the record count -------------------------------------------------

// Steps written out of order and with a gap: each lands in the record READ3 reads it from,
// the record count is the highest record written, and the step never written still fails
// with "Time step not available". On disk: the netCDF record dimension and the native binary
// header's record count at offset 0.
TEST_F(Write3Test, RecordsAndCountAfterWritesOutOfOrderAndGaps) {
  for (Kind k : {Kind::netcdf, Kind::binary}) {
    SCOPED_TRACE(kind_name(k));
    describe(kavro::GRDDED3, {kavro::XQREAL});
    const std::string name = k == Kind::netcdf ? "NCOUT" : "BINOUT";
    const std::string path = create(name, k);
    const int fid = kavro::NAME2FID(name);
    const std::vector<std::byte> four = pattern(bytes_of(name, "V1"), 4);
    const std::vector<std::byte> one = pattern(bytes_of(name, "V1"), 1);
    ASSERT_TRUE(WRITE3(name, "V1", kSdate, 30000, four.data(), four.size()));  // record 4
    EXPECT_EQ(kavro::state().b.MXREC3(fid), 4);
    ASSERT_TRUE(WRITE3(name, "V1", kSdate, 0, one.data(), one.size()));  // record 1
    EXPECT_EQ(kavro::state().b.MXREC3(fid), 4);
    std::vector<std::byte> out(four.size());
    ASSERT_TRUE(READ3(name, "V1", ALLAYS3, kSdate, 30000, out.data(), out.size()));
    EXPECT_EQ(out, four);
    ASSERT_TRUE(READ3(name, "V1", ALLAYS3, kSdate, 0, out.data(), out.size()));
    EXPECT_EQ(out, one);
    const std::size_t before = log_lines().size();
    EXPECT_FALSE(READ3(name, "V1", ALLAYS3, kSdate, 20000, out.data(), out.size()));
    const std::vector<std::string> got = log_after(before);
    ASSERT_GE(got.size(), 3U);
    std::string padded_name = name;
    padded_name.resize(16, ' ');
    EXPECT_EQ(got[2], "     Time step not available in file " + padded_name + " for variable V1");
    ASSERT_TRUE(kavro::CLOSE3(name));
    if (k == Kind::netcdf) {
      int ncid = -1;
      int unlimited = -1;
      std::size_t len = 0;
      ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
      ASSERT_EQ(nc_inq_unlimdim(ncid, &unlimited), NC_NOERR);
      ASSERT_EQ(nc_inq_dimlen(ncid, unlimited, &len), NC_NOERR);
      nc_close(ncid);
      EXPECT_EQ(len, 4U);
    } else {
      EXPECT_EQ(le_int(read_file(path), 0), 4);
    }
  }
}

// A time-independent file has one record, whatever the date and time, flagged (0, 0); a file
// with a negative time step reuses records 1 and 2, so step 3 replaces step 1.
TEST_F(Write3Test, TimeIndependentAndTwoRecordFiles) {
  describe(kavro::GRDDED3, {kavro::XQREAL}, 0);
  create("STATIC", Kind::netcdf);
  const std::vector<std::byte> a = pattern(bytes_of("STATIC", "V1"), 1);
  ASSERT_TRUE(WRITE3("STATIC", "V1", 2030001, 120000, a.data(), a.size()));
  std::vector<std::byte> out(a.size());
  ASSERT_TRUE(READ3("STATIC", "V1", ALLAYS3, 0, 0, out.data(), out.size()));
  EXPECT_EQ(out, a);
  EXPECT_EQ(kavro::state().b.MXREC3(kavro::NAME2FID("STATIC")), 1);

  describe(kavro::GRDDED3, {kavro::XQREAL}, -10000);
  create("TWO", Kind::netcdf);
  const std::vector<std::byte> s1 = pattern(bytes_of("TWO", "V1"), 1);
  const std::vector<std::byte> s3 = pattern(bytes_of("TWO", "V1"), 3);
  ASSERT_TRUE(WRITE3("TWO", "V1", kSdate, 0, s1.data(), s1.size()));
  ASSERT_TRUE(READ3("TWO", "V1", ALLAYS3, kSdate, 0, out.data(), out.size()));
  ASSERT_TRUE(WRITE3("TWO", "V1", kSdate, 20000, s3.data(), s3.size()));
  ASSERT_TRUE(READ3("TWO", "V1", ALLAYS3, kSdate, 20000, out.data(), out.size()));
  EXPECT_EQ(out, s3);
  EXPECT_FALSE(READ3("TWO", "V1", ALLAYS3, kSdate, 0, out.data(), out.size()));
  EXPECT_EQ(kavro::state().b.MXREC3(kavro::NAME2FID("TWO")), 1);
}

// ---- Refusals ----------------------------------------------------------------------------

// Every refusal is a warning paragraph of WRITE3 (after the lines READ3 would log for the
// same mistake) and false, and leaves the file's bytes as they were.
TEST_F(Write3Test, RefusalsWarnAndLeaveFileUnchanged) {
  describe(kavro::GRDDED3, {kavro::XQREAL, kavro::XQINT});
  const std::string path = create("OUT", Kind::netcdf);
  const std::vector<std::byte> ok = pattern(bytes_of("OUT", "V1"), 1);
  ASSERT_TRUE(WRITE3("OUT", "V1", kSdate, 0, ok.data(), ok.size()));
  ASSERT_TRUE(kavro::CLOSE3("OUT"));
  ASSERT_TRUE(kavro::OPEN3("OUT", kavro::FSRDWR3, "WRITE3TEST"));
  define("RO", path);
  ASSERT_TRUE(kavro::OPEN3("RO", kavro::FSREAD3, "WRITE3TEST"));
  FixtureSpec day;
  day.vars = numbered_vars(1);
  ASSERT_TRUE(write_fixture(dir().file("day.nc"), day));
  define("DAY", dir().file("day.nc"));
  define("LIST", "LIST:DAY");
  ASSERT_TRUE(kavro::OPEN3("LIST", kavro::FSREAD3, "WRITE3TEST"));
  const std::string bytes = read_file(path);

  const std::string dt = "     XQWARN:  DTBUF 1:00:00   Feb. 2, 2024";
  auto warning = [&](const std::string& text) {
    return std::vector<std::string>{"     ", "     >>--->> WARNING in subroutine WRITE3",
                                    "     " + text, dt};
  };
  auto cat = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    std::string file, var;
    int date, time;
    std::size_t nbytes;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"OUT", "ABCDEFGHIJKLMNOPQ", kSdate, 10000, ok.size(),
       cat({"     Max vble name length 16; actual:        17",
            "     File \"OUT\" Variable \"ABCDEFGHIJKLMNOPQ\""},
           warning("Invalid variable or file name arguments"))},
      {"NOTOPEN", "V1", kSdate, 10000, ok.size(),
       cat({"     File \"NOTOPEN\" Variable \"V1\""},
           warning("Invalid variable or file name arguments"))},
      {"RO", "V1", kSdate, 10000, ok.size(), warning("File opened read-only:  RO")},
      {"LIST", "V1", kSdate, 10000, ok.size(),
       warning("File:  LIST is not written by date and time")},
      {"OUT", "NO2", kSdate, 10000, ok.size(),
       cat({"     File OUT contains vbles", "     \"V1              \"    \"V2              \""},
           warning("Requested variable \"NO2\" not available"))},
      {"OUT", "V1", kSdate, 1500, ok.size(),
       cat({"     Requested date & time:      2024033:001500",
            "     File starting date & time:  2024033:000000",
            "     File time step:           010000"},
           {"     ", "     >>--->> WARNING in subroutine WRITE3",
            "     Time step error for file:  OUT", "     XQWARN:  DTBUF 0:15:00   Feb. 2, 2024"})},
      {"OUT", "V2", kSdate, 10000, ok.size() - 1,
       warning("Buffer too small for variable V2 of file OUT: 96 bytes needed, 95 given")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log.back());
    const std::size_t before = log_lines().size();
    EXPECT_FALSE(WRITE3(c.file, c.var, c.date, c.time, ok.data(), c.nbytes));
    EXPECT_EQ(log_after(before), c.log);
    EXPECT_EQ(read_file(path), bytes);
  }
}

// A dictionary opened for writing is refused like a list; a failed netCDF call is reported
// through the netCDF funnel (the caller's text, the status, netCDF's own text), then warned,
// and the step stays unreadable.
TEST_F(Write3Test, DictionaryAndFailedNetcdfCall) {
  FixtureSpec dict;
  dict.ftype = kDctnry;
  ASSERT_TRUE(write_fixture(dir().file("dict.nc"), dict));
  define("DICT", dir().file("dict.nc"));
  ASSERT_TRUE(kavro::OPEN3("DICT", kavro::FSRDWR3, "WRITE3TEST"));
  std::vector<std::byte> buf(4096);
  std::size_t before = log_lines().size();
  EXPECT_FALSE(WRITE3("DICT", "V1", kSdate, 0, buf.data(), buf.size()));
  EXPECT_EQ(log_after(before),
            (std::vector<std::string>{"     ", "     >>--->> WARNING in subroutine WRITE3",
                                      "     File:  DICT is not written by date and time",
                                      "     XQWARN:  DTBUF 0:00:00   Feb. 2, 2024"}));

  describe(kavro::GRDDED3, {kavro::XQREAL});
  create("OUT", Kind::netcdf);
  const int fid = kavro::NAME2FID("OUT");
  kavro::state().b.VARID3(1, fid) = 99;  // no such variable in the file
  const std::vector<std::byte> in = pattern(bytes_of("OUT", "V1"), 1);
  before = log_lines().size();
  EXPECT_FALSE(WRITE3("OUT", "V1", kSdate, 0, in.data(), in.size()));
  EXPECT_EQ(log_after(before),
            (std::vector<std::string>{"     Error writing variable \"V1\"",
                                      "     netCDF error number  -49  processing file \"OUT\"",
                                      "     NetCDF: Variable not found", "     ",
                                      "     >>--->> WARNING in subroutine WRITE3",
                                      "     Could not write variable \"V1\" to file OUT",
                                      "     XQWARN:  DTBUF 0:00:00   Feb. 2, 2024"}));
  EXPECT_EQ(kavro::state().b.MXREC3(fid), 0);
}

// ---- Volatile files ----------------------------------------------------------------------

// A step written to a volatile file is on disk when WRITE3 returns: a reader that opened the
// file before the write (volatile too, so it looks again before each read) finds it.
TEST_F(Write3Test, VolatileWriteSeenBySecondReader) {
  describe(kavro::GRDDED3, {kavro::XQREAL});
  const std::string path = create("WRITER", Kind::netcdf, " -v");
  const std::vector<std::byte> first = pattern(bytes_of("WRITER", "V1"), 1);
  ASSERT_TRUE(WRITE3("WRITER", "V1", kSdate, 0, first.data(), first.size()));
  define("READER", path + " -v");
  ASSERT_TRUE(kavro::OPEN3("READER", kavro::FSREAD3, "WRITE3TEST"));
  const std::vector<std::byte> second = pattern(bytes_of("WRITER", "V1"), 2);
  ASSERT_TRUE(WRITE3("WRITER", "V1", kSdate, 10000, second.data(), second.size()));
  std::vector<std::byte> out(second.size());
  ASSERT_TRUE(READ3("READER", "V1", ALLAYS3, kSdate, 10000, out.data(), out.size()));
  EXPECT_EQ(out, second);
}

// ---- Read by the netCDF C API --------------------------------------------------------------

// Values written through WRITE3 are the values the netCDF library finds in the variables,
// one by one, in each type, with TFLAG holding the step's date and time.
TEST_F(Write3Test, WrittenFileReadValueByValueWithNetcdf) {
  describe(kavro::GRDDED3, {kavro::XQINT, kavro::XQREAL, kavro::XQDBLE});
  const std::string path = create("OUT", Kind::netcdf);
  const std::size_t n = 4 * 3 * 2;
  auto value = [](int v, int rec, std::size_t i) {
    return v * 1000 + rec * 100 + static_cast<double>(i) * 0.5;
  };
  for (int rec = 1; rec <= 2; ++rec) {
    std::vector<std::int32_t> iv(n);
    std::vector<float> fv(n);
    std::vector<double> dv(n);
    for (std::size_t i = 0; i < n; ++i) {
      iv[i] = static_cast<std::int32_t>(value(1, rec, i * 2));
      fv[i] = static_cast<float>(value(2, rec, i));
      dv[i] = value(3, rec, i) + 1e-9;
    }
    const int time = (rec - 1) * 10000;
    ASSERT_TRUE(WRITE3("OUT", "V1", kSdate, time, iv.data(), iv.size() * 4));
    ASSERT_TRUE(WRITE3("OUT", "V2", kSdate, time, fv.data(), fv.size() * 4));
    ASSERT_TRUE(WRITE3("OUT", "V3", kSdate, time, dv.data(), dv.size() * 8));
  }
  ASSERT_TRUE(kavro::CLOSE3("OUT"));

  int ncid = -1;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  for (int rec = 1; rec <= 2; ++rec) {
    const std::size_t start[4] = {static_cast<std::size_t>(rec - 1), 0, 0, 0};
    const std::size_t count[4] = {1, 2, 3, 4};
    std::vector<int> iv(n);
    std::vector<float> fv(n);
    std::vector<double> dv(n);
    ASSERT_EQ(nc_get_vara_int(ncid, varid(ncid, "V1"), start, count, iv.data()), NC_NOERR);
    ASSERT_EQ(nc_get_vara_float(ncid, varid(ncid, "V2"), start, count, fv.data()), NC_NOERR);
    ASSERT_EQ(nc_get_vara_double(ncid, varid(ncid, "V3"), start, count, dv.data()), NC_NOERR);
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(iv[i], static_cast<int>(value(1, rec, i * 2)));
      EXPECT_EQ(fv[i], static_cast<float>(value(2, rec, i)));
      EXPECT_EQ(dv[i], value(3, rec, i) + 1e-9);
    }
    const std::size_t fstart[3] = {static_cast<std::size_t>(rec - 1), 0, 0};
    const std::size_t fcount[3] = {1, 3, 2};
    int flags[6] = {};
    ASSERT_EQ(nc_get_vara_int(ncid, varid(ncid, "TFLAG"), fstart, fcount, flags), NC_NOERR);
    for (int v = 0; v < 3; ++v) {
      EXPECT_EQ(flags[2 * v], kSdate);
      EXPECT_EQ(flags[2 * v + 1], (rec - 1) * 10000);
    }
  }
  nc_close(ncid);
}

}  // namespace
}  // namespace kavro_test
