// The netCDF kind's direct data path: a variable's block read straight from a classic file
// that was opened read-only and not volatile, at the offsets its checked header gives, and
// converted from big-endian in place: one copy from the page cache and one pass, where the
// netCDF library copies twice. It serves only reads the netCDF library would serve the same
// way (the variable's own type, a block inside the variable); every other read, and every
// file not kept for it, goes through the netCDF library as before. The time-step flags and
// header arrays come the same way.
#ifndef KAVRO_NETCDF_DIRECT_READ_H
#define KAVRO_NETCDF_DIRECT_READ_H

namespace kavro::detail {

// The status of a read the direct path does not serve.
inline constexpr int kNotDirect = 1;

// As nc_read_block (netcdf/block_io.h) for variable VARID of slot FID's file: the netCDF status
// (0 when the block was read), or kNotDirect. A file shorter than its header now says (cut
// after it was opened) gives NC_EIO with a log line naming the file and the variable. With
// LEFT_REVERSED given, values wider than a byte may be left as the file stores them (each
// value's bytes reversed), and *LEFT_REVERSED is then set.
int direct_read_block(int fid, int varid, int rank, const int* start, const int* count, int vtype,
                      void* dest, bool* left_reversed = nullptr) noexcept;

// A variable's block of slot FID's file through the direct data path where it serves the read,
// through the netCDF library otherwise: the netCDF status. LEFT_REVERSED as above.
int read_block(int fid, int varid, int rank, const int* start, const int* count, int vtype,
               void* dest, bool* left_reversed = nullptr) noexcept;

}  // namespace kavro::detail

namespace kavro::test_hooks {
// The direct path converts 32 bytes at a time with AVX2 where the processor has it; on, the
// SSE2 code every x86-64 processor runs.
void use_generic_byte_swap(bool on) noexcept;
}  // namespace kavro::test_hooks

#endif  // KAVRO_NETCDF_DIRECT_READ_H
