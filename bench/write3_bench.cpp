// WRITE3 against the netCDF calls it stands for: one step of a 100 x 100 x 10 REAL gridded
// variable and its flag pair, into a netCDF file created once per run, steps appended. The
// difference is what the checks, the record computation and the kind table cost.
#include <benchmark/benchmark.h>
#include <netcdf.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "kavro/kavro.h"

namespace {

constexpr int kCols = 100, kRows = 100, kLays = 10;
constexpr int kSdate = 2024001;

std::string bench_path(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/kavro_write3_bench_" + name + ".nc";
}

// The library's file, created through OPEN3 from the description record.
void create_with_library(const std::string& path) {
  using namespace kavro;
  setenv("LOGFILE", "/dev/null", 0);
  setenv("BENCHOUT", path.c_str(), 1);
  INIT3();
  BDESC3 = Bdesc3{};
  CDESC3 = Cdesc3{};
  BDESC3.FTYPE3D = GRDDED3;
  BDESC3.SDATE3D = kSdate;
  BDESC3.TSTEP3D = 10000;
  BDESC3.NCOLS3D = kCols;
  BDESC3.NROWS3D = kRows;
  BDESC3.NLAYS3D = kLays;
  BDESC3.NVARS3D = 1;
  BDESC3.GDTYP3D = 1;
  BDESC3.VGTYP3D = 7;
  for (int l = 0; l <= kLays; ++l)
    BDESC3.VGLVS3D[static_cast<std::size_t>(l)] = 1.0F - 0.1F * static_cast<float>(l);
  CDESC3.GDNAM3D = "BENCH";
  CDESC3.VNAME3D[0] = "T";
  CDESC3.UNITS3D[0] = "K";
  BDESC3.VTYPE3D[0] = XQREAL;
  if (!OPEN3("BENCHOUT", FSCREA3, "WRITE3BENCH")) std::abort();
}

void BM_Write3(benchmark::State& st) {
  const std::string path = bench_path("write3");
  create_with_library(path);
  std::vector<float> values(std::size_t{kCols} * kRows * kLays, 280.5F);
  int date = kSdate, time = 0;
  for (auto _ : st) {
    if (!kavro::WRITE3("BENCHOUT", "T", date, time, values.data(), values.size() * 4)) std::abort();
    kavro::NEXTIME(date, time, 10000);
  }
  st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                       static_cast<std::int64_t>(values.size() * 4));
  (void)kavro::CLOSE3("BENCHOUT");
  std::remove(path.c_str());
}
BENCHMARK(BM_Write3)->Unit(benchmark::kMicrosecond);

// The same file layout, the same values and flag pair, with nothing but two netCDF calls.
void BM_RawNetcdfPut(benchmark::State& st) {
  const std::string path = bench_path("raw");
  int ncid = -1, tdim = -1, ldim = -1, rdim = -1, cdim = -1, vdim = -1, dtdim = -1;
  int var = -1, tflag = -1;
  nc_create(path.c_str(), NC_CLOBBER, &ncid);
  nc_def_dim(ncid, "TSTEP", NC_UNLIMITED, &tdim);
  nc_def_dim(ncid, "DATE-TIME", 2, &dtdim);
  nc_def_dim(ncid, "LAY", kLays, &ldim);
  nc_def_dim(ncid, "VAR", 1, &vdim);
  nc_def_dim(ncid, "ROW", kRows, &rdim);
  nc_def_dim(ncid, "COL", kCols, &cdim);
  const int fdims[3] = {tdim, vdim, dtdim};
  const int vdims[4] = {tdim, ldim, rdim, cdim};
  nc_def_var(ncid, "TFLAG", NC_INT, 3, fdims, &tflag);
  nc_def_var(ncid, "T", NC_FLOAT, 4, vdims, &var);
  nc_enddef(ncid);
  std::vector<float> values(std::size_t{kCols} * kRows * kLays, 280.5F);
  std::size_t rec = 0;
  for (auto _ : st) {
    const std::size_t vs[4] = {rec, 0, 0, 0}, vc[4] = {1, kLays, kRows, kCols};
    const std::size_t fs[3] = {rec, 0, 0}, fc[3] = {1, 1, 2};
    const int pair[2] = {kSdate, static_cast<int>(rec)};
    if (nc_put_vara_float(ncid, var, vs, vc, values.data()) != NC_NOERR ||
        nc_put_vara_int(ncid, tflag, fs, fc, pair) != NC_NOERR) {
      std::abort();
    }
    ++rec;
  }
  st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                       static_cast<std::int64_t>(values.size() * 4));
  nc_close(ncid);
  std::remove(path.c_str());
}
BENCHMARK(BM_RawNetcdfPut)->Unit(benchmark::kMicrosecond);

}  // namespace
