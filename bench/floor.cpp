// bench_floor FILE1 FILE2: the least any comparison of two gridded files must do. Reads every
// data variable of FILE2 and the same variable of FILE1 record by record with the netCDF C API,
// compares the single-precision values with a plain loop (NaN differs from everything, +0
// equals -0) and prints the number of differing cells. Nothing is checked but the reads.
#include <netcdf.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool ok(int status, const char* what) {
  if (status == NC_NOERR) return true;
  std::fprintf(stderr, "bench_floor: %s: %s\n", what, nc_strerror(status));
  return false;
}

// The shape of one record of a variable: count = (1, the lengths of its other dimensions), and
// the number of records (the length of its first dimension, TSTEP).
bool record_shape(int ncid, int varid, std::vector<std::size_t>& count, std::size_t& records) {
  int ndims = 0;
  int dims[NC_MAX_VAR_DIMS];
  if (!ok(nc_inq_varndims(ncid, varid, &ndims), "nc_inq_varndims") ||
      !ok(nc_inq_vardimid(ncid, varid, dims), "nc_inq_vardimid")) {
    return false;
  }
  count.assign(std::size_t(ndims), 1);
  if (ndims < 1 || !ok(nc_inq_dimlen(ncid, dims[0], &records), "nc_inq_dimlen")) return false;
  for (int k = 1; k < ndims; ++k) {
    if (!ok(nc_inq_dimlen(ncid, dims[k], &count[std::size_t(k)]), "nc_inq_dimlen")) return false;
  }
  return true;
}

bool compare(int nc1, int nc2, long long& differing) {
  int nvars = 0;
  if (!ok(nc_inq_nvars(nc2, &nvars), "nc_inq_nvars")) return false;
  std::vector<float> a, b;
  for (int v2 = 0; v2 < nvars; ++v2) {
    char name[NC_MAX_NAME + 1];
    int v1 = -1;
    std::vector<std::size_t> count;
    std::size_t records = 0;
    if (!ok(nc_inq_varname(nc2, v2, name), "nc_inq_varname")) return false;
    if (std::strcmp(name, "TFLAG") == 0) continue;
    if (!record_shape(nc2, v2, count, records) || !ok(nc_inq_varid(nc1, name, &v1), name))
      return false;
    std::size_t size = 1;
    for (std::size_t k = 1; k < count.size(); ++k) size *= count[k];
    std::vector<std::size_t> start(count.size(), 0);
    a.resize(size);
    b.resize(size);
    for (std::size_t r = 0; r < records; ++r) {
      start[0] = r;
      if (!ok(nc_get_vara_float(nc1, v1, start.data(), count.data(), a.data()), name) ||
          !ok(nc_get_vara_float(nc2, v2, start.data(), count.data(), b.data()), name)) {
        return false;
      }
      for (std::size_t i = 0; i < size; ++i) {
        if (!(a[i] == b[i])) ++differing;
      }
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_floor FILE1 FILE2\n");
    return 1;
  }
  int nc1 = -1, nc2 = -1;
  long long differing = 0;
  if (!ok(nc_open(argv[1], NC_NOWRITE, &nc1), argv[1]) ||
      !ok(nc_open(argv[2], NC_NOWRITE, &nc2), argv[2]) || !compare(nc1, nc2, differing)) {
    return 1;
  }
  nc_close(nc1);
  nc_close(nc2);
  std::printf("%lld\n", differing);
  return 0;
}
