// make_fuzz_seeds DIR: writes the seed corpora of the fuzz targets into DIR/<target>/, small
// and generated, so nothing binary is kept in the tree: files of every type of the layout in
// CDF-1, CDF-2 and CDF-5, and the damaged files that once crashed the netCDF library or made
// it allocate gigabytes (a dimension count of 0x7f, an attribute count of 0x3fffffff, a file cut
// inside its last record), for the file target and the in-memory header targets; recipes, setting
// values, dates and report values for the others.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gridwriter/fixture_writer.h"
#include "kavro/kavro.h"

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void put(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string be32(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return {char(u >> 24), char(u >> 16), char(u >> 8), char(u)};
}

bool file_seeds(const fs::path& dir) {
  const int types[] = {1, 2, 3, 4, 5, 6, 7, 8, -1, -3, 0};
  int n = 0;
  for (int ftype : types) {
    for (int format = 0; format < 3; ++format) {
      kavro_test::FixtureSpec s;
      s.ftype = ftype;
      s.ncols = 3;
      s.nrows = 2;
      s.nlays = 2;
      s.vars = kavro_test::numbered_vars(2);
      s.vars.push_back(kavro_test::described_var("D", 6, "m", ""));
      s.offset64 = format == 1;
      s.cdf5 = format == 2;
      const fs::path p = dir / ("type" + std::to_string(ftype) + "_cdf" + "125"[format]);
      if (!kavro_test::write_fixture(p.string(), s)) return false;
      ++n;
    }
  }
  // The damaged files of the bad-input catalogue.
  const std::string good = read(dir / "type1_cdf1");
  std::string b = good;
  b[15] = 0x7f;
  put(dir / "regression_dimension_count", b);
  b = good;
  b.replace(good.find("KAVRO_VERSION") + 20, 4, be32(0x3fffffff));
  put(dir / "regression_attribute_count", b);
  put(dir / "regression_cut_header", good.substr(0, good.find("V2") + 100));
  kavro_test::FixtureSpec t;
  t.tstep = INT_MIN;
  t.vars = kavro_test::numbered_vars(1);
  return kavro_test::write_fixture((dir / "regression_tstep_min").string(), t);
}

// Native binary files made by the library itself from small descriptions (header and no
// record, and with two records of two variables), then a few cut and damaged copies.
bool binary_seeds(const fs::path& dir) {
  setenv("LOGFILE", "/dev/null", 1);
  for (int ftype : {kavro::GRDDED3, kavro::BNDARY3, kavro::CUSTOM3}) {
    kavro::BDESC3 = kavro::Bdesc3{};
    kavro::CDESC3 = kavro::Cdesc3{};
    kavro::BDESC3.FTYPE3D = ftype;
    kavro::BDESC3.SDATE3D = 2024033;
    kavro::BDESC3.TSTEP3D = 10000;
    kavro::BDESC3.NCOLS3D = 4;
    kavro::BDESC3.NROWS3D = 3;
    kavro::BDESC3.NLAYS3D = 2;
    kavro::BDESC3.NTHIK3D = 1;
    kavro::BDESC3.NVARS3D = 2;
    kavro::BDESC3.GDTYP3D = 2;
    kavro::BDESC3.VGTYP3D = 7;
    kavro::BDESC3.VGLVS3D[0] = 1.0F;
    kavro::BDESC3.VGLVS3D[1] = 0.5F;
    kavro::BDESC3.VGLVS3D[2] = 0.0F;
    for (int v = 0; v < 2; ++v) {
      kavro::CDESC3.VNAME3D[std::size_t(v)] = v == 0 ? "A" : "B";
      kavro::CDESC3.UNITS3D[std::size_t(v)] = "ppm";
      kavro::BDESC3.VTYPE3D[std::size_t(v)] = v == 0 ? kavro::XQREAL : kavro::XQDBLE;
    }
    const fs::path p = dir / ("type" + std::to_string(ftype + 1));
    fs::remove(p);
    const std::string value = "BIN:" + p.string();
    setenv("SEEDBIN", value.c_str(), 1);
    if (!kavro::OPEN3("SEEDBIN", kavro::FSNEW3, "seeds") || !kavro::SHUT3()) return false;
  }
  const std::string good = read(dir / "type2");
  put(dir / "cut_header", good.substr(0, good.size() / 2));
  std::string b = good;
  for (std::size_t i = 100; i < b.size(); i += 997) b[i] = '\xff';
  put(dir / "damaged", b);
  return true;
}

void text_seeds(const fs::path& dir, const std::vector<std::string>& seeds) {
  int n = 0;
  for (const std::string& s : seeds) put(dir / ("seed" + std::to_string(n++)), s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 1;
  }
  const fs::path root(argv[1]);
  for (const char* t :
       {"fuzz_file", "fuzz_binary", "fuzz_recipe", "fuzz_settings", "fuzz_dates", "fuzz_report"}) {
    fs::create_directories(root / t);
  }
  if (!file_seeds(root / "fuzz_file") || !binary_seeds(root / "fuzz_binary")) return 1;
  // The in-memory header targets start from the same files as the targets that open them.
  fs::copy(root / "fuzz_file", root / "fuzz_classic",
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy(root / "fuzz_binary", root / "fuzz_binary_header",
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  text_seeds(root / "fuzz_recipe", {std::string(24, '\0'), std::string(24, '\1'),
                                    "\x05\x02\x02\x02\x03\x01\x02\x00\x00\x03\x02\x01",
                                    "\x0a\x03\x03\x01\x01\x02\x03\x01\x01\x02\x01\x01\x00\x04"});
  text_seeds(root / "fuzz_settings", {"\x05Y", "\x10.false.", "\x03  42", "\x07x42",
                                      "\x0b"
                                      "1.5e300",
                                      "\x10LIST:A, B,C", "\x01" + std::string(600, 'p'), "\x04 -v",
                                      std::string("\x02") + std::string(520, ' ')});
  text_seeds(root / "fuzz_dates",
             {be32(2024033) + be32(0) + be32(2024001) + be32(120000) + be32(10000),
              be32(INT_MAX) + be32(INT_MAX) + be32(INT_MIN) + be32(INT_MIN) + be32(INT_MIN),
              be32(0) + be32(235959) + be32(9999365) + be32(-1) + be32(-10000)});
  text_seeds(
      root / "fuzz_report",
      {be32(0) + be32(0x3f800000), be32(-1) + be32(0x80000000), be32(INT_MIN) + be32(0x7fc00000),
       be32(INT_MAX) + be32(0x7f800000), be32(7) + be32(0x3dcccccd), be32(8) + be32(0x4b18967f),
       be32(9) + be32(0x00000001), be32(10) + be32(0x4b189680)});
  return 0;
}
