// The classic-header reader: every variable's type, shape and data offset read from the bytes
// of CDF-1, CDF-2 and CDF-5 files, and every corrupt or cut file refused with what is wrong,
// before the netCDF library is given it.
#include "netcdf/classic/classic_header.h"

#include <fcntl.h>
#include <netcdf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "gridwriter/fixture_writer.h"
#include "support/test_env.h"

namespace kavro_test {
namespace {

namespace classic = kavro::detail::classic;

using Bytes = std::string;

struct Format {
  const char* name;
  bool offset64;
  bool cdf5;
  int version;
};

class ClassicHeaderTest : public ::testing::TestWithParam<Format> {
 protected:
  FixtureSpec recipe() const {
    FixtureSpec s;
    s.vars = numbered_vars(2);
    s.vars.push_back(described_var("D3", kDouble, "m", ""));
    s.vars.push_back(described_var("I4", kInt, "1", ""));
    s.ncols = 5;  // odd sizes: records padded
    s.nrows = 3;
    s.nlays = 1;
    s.records = 3;
    s.offset64 = GetParam().offset64;
    s.cdf5 = GetParam().cdf5;
    return s;
  }
  Bytes written(const FixtureSpec& s) {
    const std::string path = dir_.file("f.nc");
    EXPECT_TRUE(write_fixture(path, s));
    return read_file(path);
  }
  // The reader's verdict on BYTES, from memory and from a file holding them.
  std::string problem(const Bytes& bytes) {
    classic::Header h;
    classic::Problem why;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const bool mem = classic::parse_classic_header({p, bytes.size()}, h, why);
    const std::string from_memory(why.view());
    const std::string path = dir_.file("corrupt.nc");
    write_file(path, bytes);
    classic::Problem why_file;
    EXPECT_EQ(classic::parse_classic_header(path.c_str(), h, why_file), mem);
    EXPECT_EQ(std::string(why_file.view()), from_memory);
    return mem ? "" : from_memory;
  }
  TempDir dir_;
};

// A 32-bit big-endian number at POS.
void put32(Bytes& b, std::size_t pos, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[pos + std::size_t(i)] = char(v >> (24 - 8 * i));
}
std::uint32_t get32(const Bytes& b, std::size_t pos) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | std::uint8_t(b[pos + std::size_t(i)]);
  return v;
}
std::uint64_t get64(const Bytes& b, std::size_t pos) {
  return std::uint64_t{get32(b, pos)} << 32 | get32(b, pos + 4);
}

// The offsets and sizes read agree with the netCDF library's own reads: every value of every
// variable of every record, decoded from the bytes at the reader's offsets, equals what
// nc_get_var returns.
TEST_P(ClassicHeaderTest, OffsetsAddressTheValuesNetcdfReads) {
  const FixtureSpec s = recipe();
  const Bytes bytes = written(s);
  classic::Header h;
  classic::Problem why;
  ASSERT_TRUE(classic::parse_classic_header(dir_.file("f.nc").c_str(), h, why)) << why.view();
  EXPECT_EQ(h.version, GetParam().version);
  EXPECT_EQ(h.numrecs, 3u);
  EXPECT_EQ(h.file_size, bytes.size());
  ASSERT_NE(h.find("TFLAG"), nullptr);
  EXPECT_EQ(h.find("V"), nullptr);
  int ncid = 0;
  ASSERT_EQ(nc_open(dir_.file("f.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  for (const char* name : {"V1", "V2", "D3", "I4"}) {
    const classic::Variable* v = h.find(name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_TRUE(v->record);
    EXPECT_EQ(v->rank, 4);
    int varid = 0;
    ASSERT_EQ(nc_inq_varid(ncid, name, &varid), NC_NOERR);
    const std::size_t cells = 5 * 3;
    EXPECT_EQ(v->bytes, cells * std::size_t(classic::type_bytes(v->type)));
    std::vector<double> want(3 * cells);
    ASSERT_EQ(nc_get_var_double(ncid, varid, want.data()), NC_NOERR);
    for (std::size_t r = 0; r < 3; ++r) {
      for (std::size_t i = 0; i < cells; ++i) {
        const std::size_t at =
            v->begin + r * h.recsize + i * std::size_t(classic::type_bytes(v->type));
        double got = 0;
        if (v->type == classic::kDouble) {
          const std::uint64_t u = get64(bytes, at);
          std::memcpy(&got, &u, 8);
        } else if (v->type == classic::kFloat) {
          const std::uint32_t u = get32(bytes, at);
          float f = 0;
          std::memcpy(&f, &u, 4);
          got = f;
        } else {
          got = std::int32_t(get32(bytes, at));
        }
        ASSERT_EQ(got, want[r * cells + i]) << name << " record " << r << " value " << i;
      }
    }
  }
  nc_close(ncid);
}

// A one-byte corruption or a cut anywhere is refused with what is wrong, never accepted with
// data the file does not hold.
struct Damage {
  const char* name;
  std::function<void(Bytes&)> apply;
  const char* problem;  // the start of the verdict; empty: any refusal
};

TEST_P(ClassicHeaderTest, RefusesDamagedFiles) {
  const FixtureSpec s = recipe();
  const Bytes good = written(s);
  // The netCDF library leaves bytes after the data: the data end from the header counts.
  classic::Header h;
  classic::Problem ok;
  ASSERT_TRUE(classic::parse_classic_header(dir_.file("f.nc").c_str(), h, ok));
  const classic::Variable& last = *h.find("I4");
  const std::size_t data_end = last.begin + 2 * h.recsize + last.bytes;
  ASSERT_LE(data_end, good.size());
  const bool cdf5 = GetParam().cdf5;
  const std::size_t count = cdf5 ? 8 : 4;  // bytes of a count
  // After the magic and the record count: the dimension tag, then the dimension count.
  const std::size_t ndims_at = 4 + count + 4;
  const std::size_t first_att_len = good.find("KAVRO_VERSION") + 16 + 4;  // name, type, count
  // The first variable's name; before it its length, before that the variable count.
  const std::size_t tflag_at = good.find("TFLAG");
  const Damage cases[] = {
      {"magic", [](Bytes& b) { b[3] = 3; }, "not a netCDF classic file (CDF-1, CDF-2 or CDF-5)"},
      {"empty", [](Bytes& b) { b.clear(); }, "not a netCDF classic file (CDF-1, CDF-2 or CDF-5)"},
      {"hdf5", [](Bytes& b) { b.replace(0, 4, "\x89HDF"); }, "not a netCDF classic file"},
      {"dimension count 0x7f0000", [&](Bytes& b) { put32(b, ndims_at + count - 4, 0x7f0000); },
       "8323072 dimensions cannot fit in the file"},
      {"variable count 0x7ffffff",
       [&](Bytes& b) { put32(b, tflag_at - 2 * count + (cdf5 ? 4 : 0), 0x7ffffff); },
       "134217727 variables cannot fit in the file"},
      {"rank 0x7fffffff", [&](Bytes& b) { put32(b, tflag_at + 8 + (cdf5 ? 4 : 0), 0x7fffffff); },
       "variable TFLAG: rank 2147483647 cannot fit in the file"},
      {"attribute count 0x3fffffff",
       [&](Bytes& b) { put32(b, first_att_len + (cdf5 ? 4 : 0), 0x3fffffff); },
       "global attribute KAVRO_VERSION: 1073741823 bytes of values beyond file size"},
      {"streaming record count", [&](Bytes& b) { b.replace(4, count, std::string(count, '\xff')); },
       "streaming record count"},
      {"records beyond the file", [&](Bytes& b) { b[4 + count - 1] = char(200); },
       "variable TFLAG: data end"},
      {"cut inside the last record", [&](Bytes& b) { b.resize(data_end - 7); },
       "variable I4: data end"},
      {"cut after the header", [&](Bytes& b) { b.resize(h.header_end); },
       "variable TFLAG: data end"},
      {"cut inside the header", [](Bytes& b) { b.resize(200); }, "33 attributes cannot fit"},
      {"cut inside a name", [&](Bytes& b) { b.resize(good.find("VAR-LIST") + 3); },
       "header runs past the end of the file"},
  };
  for (const Damage& d : cases) {
    Bytes b = good;
    d.apply(b);
    const std::string verdict = problem(b);
    EXPECT_FALSE(verdict.empty()) << d.name;
    EXPECT_EQ(verdict.substr(0, std::strlen(d.problem)), d.problem) << d.name << ": " << verdict;
  }
  // The exact wording of a cut record, as a user reads it, with the records still whole.
  Bytes cut = good;
  cut.resize(data_end - 7);
  EXPECT_EQ(problem(cut), "variable I4: data end " + std::to_string(data_end) +
                              " beyond file size " + std::to_string(cut.size()) +
                              " (only 2 of its 3 records are whole)");
}

// A variable whose data offset was corrupted is refused, whichever way it moved.
TEST_P(ClassicHeaderTest, RefusesMovedDataOffsets) {
  const Bytes good = written(recipe());
  classic::Header h;
  classic::Problem why;
  ASSERT_TRUE(classic::parse_classic_header(dir_.file("f.nc").c_str(), h, why));
  const classic::Variable& v2 = *h.find("V2");
  // The offset field ends the variable's entry: find its encoding after the name.
  const bool wide = GetParam().version != 1;
  std::string field(wide ? 8 : 4, '\0');
  for (std::size_t i = 0; i < field.size(); ++i) {
    field[field.size() - 1 - i] = char(v2.begin >> (8 * i));
  }
  const std::size_t at = good.find(field, good.rfind(std::string("\0\0\0\2V2", 6)));
  ASSERT_NE(at, std::string::npos);
  for (std::int64_t delta : {-8, 8, 1 << 20}) {
    Bytes b = good;
    const std::uint64_t moved = v2.begin + std::uint64_t(delta);
    for (std::size_t i = 0; i < field.size(); ++i) {
      b[at + field.size() - 1 - i] = char(moved >> (8 * i));
    }
    // Named by V2 itself or by the variable it now runs into.
    const std::string verdict = problem(b);
    EXPECT_TRUE(verdict.starts_with("variable V2:") || verdict.starts_with("variable D3:"))
        << delta << ": " << verdict;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ClassicHeaderTest,
                         ::testing::Values(Format{"cdf1", false, false, 1},
                                           Format{"cdf2", true, false, 2},
                                           Format{"cdf5", false, true, 5}),
                         [](const auto& p) { return std::string(p.param.name); });

// Only a regular file is read, and nothing blocks: a FIFO, a device, a directory and a missing
// file are refused at once.
TEST(ClassicHeaderFiles, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  classic::Header h;
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
    classic::Problem why;
    EXPECT_FALSE(classic::parse_classic_header(path.c_str(), h, why));
    EXPECT_EQ(why.view(), "not a regular file") << path;
  }
  classic::Problem why;
  EXPECT_FALSE(classic::parse_classic_header(dir.file("none.nc").c_str(), h, why));
  EXPECT_EQ(why.view(), "cannot be opened: No such file or directory");
}

}  // namespace
}  // namespace kavro_test
