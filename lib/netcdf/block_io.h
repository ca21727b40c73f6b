// The reader's one way into a netCDF variable: a block given 1-based START and COUNT vectors
// ordered fastest dimension first (reversed here for the C interface), delivered as values
// of a given data type code into any address of the caller's buffer.
#ifndef KAVRO_NETCDF_BLOCK_IO_H
#define KAVRO_NETCDF_BLOCK_IO_H

namespace kavro::detail {

// Reads the block of variable VARID of netCDF file NCID whose first RANK entries of START
// and COUNT are given, as values of type code VTYPE (1 byte, 2 char, 3 short, 4 int,
// 5 float, 6 double), into DEST. Values of the variable's own type arrive unconverted.
// DEST need not be aligned for the type. Returns the netCDF status: besides the library's
// own, NC_EBADDIM when the variable's rank is not RANK, NC_EINVALCOORDS for a START below 1,
// NC_EEDGE for a negative COUNT, NC_EBADTYPE for another type code, NC_ENOMEM when the
// staging area for an unaligned destination cannot be had. Nothing is written on failure
// beyond what netCDF itself wrote.
int nc_read_block(int ncid, int varid, int rank, const int* start, const int* count, int vtype,
                  void* dest) noexcept;

// The writer's counterpart: the block from SRC, values of type code VTYPE (INTEGER, REAL or
// DOUBLE PRECISION, the variable's own type, written unconverted). SRC need not be aligned.
// The same statuses; nothing is written when the vectors or the type are refused.
int nc_write_block(int ncid, int varid, int rank, const int* start, const int* count, int vtype,
                   const void* src) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_NETCDF_BLOCK_IO_H
