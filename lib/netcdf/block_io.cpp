#include "netcdf/block_io.h"

#include <netcdf.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "kavro/params.h"

namespace kavro::detail {

// The value types the library names (the file-type layout's structural variables, VTYPE3D) are
// stored in files as netCDF's type codes.
static_assert(XQINT == NC_INT && XQREAL == NC_FLOAT && XQDBLE == NC_DOUBLE,
              "the library's value types carry netCDF's type codes");

namespace {

constexpr int kMaxRank = 5;

// Bytes of one value in memory by type code; 0 for a code the reader does not deliver.
std::size_t value_bytes(int vtype) noexcept {
  switch (vtype) {
    case 1:
    case 2:
      return 1;
    case 3:
      return 2;
    case XQINT:
    case XQREAL:
      return 4;
    case XQDBLE:
      return 8;
    default:
      return 0;
  }
}

int get_typed(int ncid, int varid, const std::size_t* st, const std::size_t* ct, int vtype,
              void* dest) noexcept {
  switch (vtype) {
    case 1:
      return nc_get_vara_schar(ncid, varid, st, ct, static_cast<signed char*>(dest));
    case 2:
      return nc_get_vara_text(ncid, varid, st, ct, static_cast<char*>(dest));
    case 3:
      return nc_get_vara_short(ncid, varid, st, ct, static_cast<short*>(dest));
    case XQINT:
      return nc_get_vara_int(ncid, varid, st, ct, static_cast<int*>(dest));
    case XQREAL:
      return nc_get_vara_float(ncid, varid, st, ct, static_cast<float*>(dest));
    case XQDBLE:
      return nc_get_vara_double(ncid, varid, st, ct, static_cast<double*>(dest));
    default:
      return NC_EBADTYPE;
  }
}

// Staging area for blocks whose destination is not aligned for their type (a DOUBLE
// PRECISION array at an odd word of the caller's buffer): grown on demand, kept between
// calls, so a steady run of reads allocates nothing.
struct Staging {
  std::unique_ptr<double[]> data;
  std::size_t capacity = 0;  // in doubles
};
Staging& staging() noexcept {
  static Staging s;
  return s;
}

void* staging_for(std::size_t bytes) noexcept {
  Staging& s = staging();
  const std::size_t doubles = bytes / sizeof(double) + 1;
  if (doubles > s.capacity) {
    s.data.reset();
    s.capacity = 0;
    s.data.reset(new (std::nothrow) double[doubles]);
    if (!s.data) return nullptr;
    s.capacity = doubles;
  }
  return s.data.get();
}

// The status of a block against the variable's dimensions as they are now: NC_NOERR when it
// lies inside, else as netCDF would refuse it. A staging area is thus sized by what the file
// really holds, never by a bad header alone.
int block_status(int ncid, int varid, int rank, const std::size_t* st, const std::size_t* ct) {
  int dimids[kMaxRank];
  if (const int status = nc_inq_vardimid(ncid, varid, dimids); status != NC_NOERR) return status;
  for (int i = 0; i < rank; ++i) {
    std::size_t len = 0;
    if (const int status = nc_inq_dimlen(ncid, dimids[i], &len); status != NC_NOERR) return status;
    if (st[i] >= len && ct[i] > 0) return NC_EINVALCOORDS;
    if (ct[i] > len - st[i]) return NC_EEDGE;
  }
  return NC_NOERR;
}

// START and COUNT in C order (slowest dimension first, 0-based), and the values they cover.
struct Vectors {
  std::size_t st[kMaxRank];
  std::size_t ct[kMaxRank];
  std::uint64_t values = 1;
  bool overflow = false;
};

int c_vectors(int ncid, int varid, int rank, const int* start, const int* count,
              Vectors& v) noexcept {
  if (rank < 1 || rank > kMaxRank) return NC_EBADDIM;
  // A variable of another rank would make netCDF read past our vectors.
  int ndims = 0;
  if (const int status = nc_inq_varndims(ncid, varid, &ndims); status != NC_NOERR) return status;
  if (ndims != rank) return NC_EBADDIM;
  for (int i = 0; i < rank; ++i) {
    const int k = rank - 1 - i;  // C order: slowest dimension first
    if (start[k] < 1) return NC_EINVALCOORDS;
    if (count[k] < 0) return NC_EEDGE;
    v.st[i] = static_cast<std::size_t>(start[k] - 1);
    v.ct[i] = static_cast<std::size_t>(count[k]);
    v.overflow = v.overflow || __builtin_mul_overflow(v.values, v.ct[i], &v.values);
  }
  return NC_NOERR;
}

int put_typed(int ncid, int varid, const std::size_t* st, const std::size_t* ct, int vtype,
              const void* src) noexcept {
  switch (vtype) {
    case XQINT:
      return nc_put_vara_int(ncid, varid, st, ct, static_cast<const int*>(src));
    case XQREAL:
      return nc_put_vara_float(ncid, varid, st, ct, static_cast<const float*>(src));
    case XQDBLE:
      return nc_put_vara_double(ncid, varid, st, ct, static_cast<const double*>(src));
    default:
      return NC_EBADTYPE;
  }
}

}  // namespace

int nc_read_block(int ncid, int varid, int rank, const int* start, const int* count, int vtype,
                  void* dest) noexcept {
  const std::size_t vbytes = value_bytes(vtype);
  if (vbytes == 0) return NC_EBADTYPE;
  Vectors v;
  if (const int status = c_vectors(ncid, varid, rank, start, count, v); status != NC_NOERR) {
    return status;
  }
  const std::size_t* st = v.st;
  const std::size_t* ct = v.ct;
  const std::uint64_t values = v.values;
  const bool overflow = v.overflow;
  if (reinterpret_cast<std::uintptr_t>(dest) % vbytes == 0) {
    return get_typed(ncid, varid, st, ct, vtype, dest);
  }
  std::uint64_t bytes = 0;
  if (overflow || __builtin_mul_overflow(values, vbytes, &bytes)) return NC_EEDGE;
  if (const int status = block_status(ncid, varid, rank, st, ct); status != NC_NOERR) {
    return status;
  }
  void* stage = staging_for(bytes);
  if (stage == nullptr) return NC_ENOMEM;
  const int status = get_typed(ncid, varid, st, ct, vtype, stage);
  if (status == NC_NOERR) std::memcpy(dest, stage, bytes);
  return status;
}

int nc_write_block(int ncid, int varid, int rank, const int* start, const int* count, int vtype,
                   const void* src) noexcept {
  const std::size_t vbytes = value_bytes(vtype);
  if (vtype < XQINT || vtype > XQDBLE) return NC_EBADTYPE;
  Vectors v;
  if (const int status = c_vectors(ncid, varid, rank, start, count, v); status != NC_NOERR) {
    return status;
  }
  if (reinterpret_cast<std::uintptr_t>(src) % vbytes == 0) {
    return put_typed(ncid, varid, v.st, v.ct, vtype, src);
  }
  std::uint64_t bytes = 0;
  if (v.overflow || __builtin_mul_overflow(v.values, vbytes, &bytes)) return NC_EEDGE;
  void* stage = staging_for(bytes);
  if (stage == nullptr) return NC_ENOMEM;
  std::memcpy(stage, src, bytes);
  return put_typed(ncid, varid, v.st, v.ct, vtype, stage);
}

}  // namespace kavro::detail
