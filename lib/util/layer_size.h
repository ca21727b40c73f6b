// Values in one layer of one variable, by file type: the one rule every kind (netCDF, native
// binary, memory-resident) sizes its layers by. Which types a kind can hold is the kind's own
// business; how many values a layer of a type holds is decided here.
#ifndef KAVRO_UTIL_LAYER_SIZE_H
#define KAVRO_UTIL_LAYER_SIZE_H

#include <cstdint>
#include <optional>

namespace kavro::detail {

// The boundary perimeter: 2 |NTHIK| (NCOLS + NROWS + 2 NTHIK), the leading factor without the
// thickness's sign, the inner one with it; saturated at the ends of 64 bits, never wrapped.
std::int64_t perimeter(std::int64_t ncols, std::int64_t nrows, std::int64_t nthik) noexcept;

// Values in one layer of one variable (LAYSIZE3) of file type FTYPE, in saturating 64-bit
// arithmetic: NCOLS x NROWS for gridded, type 7, butterfly, profile and nest files, the
// perimeter for boundary files, NROWS for site (IDDATA3) and event files, NCOLS for custom and
// sparse-matrix files. nullopt for a type without a layer size (dictionary, directed graph,
// illegal codes). The counts are not checked: a negative or saturated result is the caller's
// to refuse.
std::optional<std::int64_t> layer_size(int ftype, std::int64_t ncols, std::int64_t nrows,
                                       std::int64_t nthik) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_UTIL_LAYER_SIZE_H
