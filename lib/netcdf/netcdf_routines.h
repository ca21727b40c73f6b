// The netCDF kind's routines that others call by name: the header checks of a file just
// opened, and the dictionary files (a netCDF file type of their own) created and read, with
// the entry names RDDICT3 keeps.
#ifndef KAVRO_NETCDF_NETCDF_ROUTINES_H
#define KAVRO_NETCDF_NETCDF_ROUTINES_H

#include <span>
#include <string_view>

#include "kavro/fixed_string.h"

namespace kavro {

// Header checks of the file just opened in slot FID, when KAVRO_CHECK_HEADERS is set.
bool CKFILE3(int fid);

// The layout of a new dictionary in slot FID, whose netCDF file is created, in define mode,
// with its common global attributes written: dimensions, FLAG, NVARS and VAR-LIST, the 26
// schema variables; the slot's FTYPE3, NVARS3, VLIST3D, VARID3, VTYPE3, UNITS3, TFLAGID3 and
// MXREC3 (0) as the opener sets them. True: the file is in data mode. False: the failure was
// reported, the file discarded (nc_abort) and NCID3 is IMISSING3.
bool CRDICT3(int fid);

// Dictionary file: the entry VNAME into the description record.
bool RDDICT3(int fid, std::string_view vname);

namespace detail {
// Forgets the entry names RDDICT3 keeps when they are those of the dictionary in slot FID.
void forget_dictionary_names(int fid) noexcept;
}  // namespace detail

namespace test_hooks {
// Makes the next CKFILE3 read KAVRO_CHECK_HEADERS afresh.
void reset_header_checks();
// The slot whose dictionary's entry names RDDICT3 keeps (-1: none), and the names, in record
// order.
int dictionary_names_slot() noexcept;
std::span<Name16> dictionary_names() noexcept;
}  // namespace test_hooks

}  // namespace kavro

#endif  // KAVRO_NETCDF_NETCDF_ROUTINES_H
