// The data of a classic-format file checked against its header: where each variable's data lies,
// not where the header's lists are read (netcdf/classic/classic_header.cpp reads them).
#ifndef KAVRO_NETCDF_CLASSIC_DATA_EXTENTS_H
#define KAVRO_NETCDF_CLASSIC_DATA_EXTENTS_H

#include "netcdf/classic/classic_header.h"

namespace kavro::detail::classic {

// Checks that the data of H's variables lies after its header (which ends at H.header_end), in
// the order and without the overlaps the format lays down, and inside the file; sets
// H.recsize. False with the problem in WHY.
[[nodiscard]] bool check_data_extents(Header& h, Problem& why) noexcept;

}  // namespace kavro::detail::classic

#endif  // KAVRO_NETCDF_CLASSIC_DATA_EXTENTS_H
