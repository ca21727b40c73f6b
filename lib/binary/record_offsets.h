// The record offsets of a native binary file from its header fields: what one layer holds,
// where each variable starts within a time-step record, how long a record and the header are.
// Sizes read from a file are multiplied in checked 64-bit arithmetic.
#ifndef KAVRO_BINARY_RECORD_OFFSETS_H
#define KAVRO_BINARY_RECORD_OFFSETS_H

#include <cstdint>
#include <optional>
#include <span>

#include "binary/binary_format.h"
#include "binary/binary_state.h"

namespace kavro::detail {

// One layer of a storable file type: the values it holds, and the bytes of the per-step
// arrays (counts, ids, coordinates) before the first variable of each record.
struct LayerShape {
  std::int64_t values;
  std::int64_t arrays;
};

// The shape of F's file type, sized by its INTEGER and DOUBLE PRECISION sizes; nullopt for a
// type the format cannot hold (only custom, gridded, boundary, site, profile and
// sparse-matrix files are storable).
std::optional<LayerShape> layer_shape(const Fields& f) noexcept;

// The record layout of the file into ST (sizes, offsets, record and header length), by ST's
// value sizes; the table entries of the slot are not touched. Returns 0 for a type the format
// cannot hold, -1 when a size overflows, -(v + 2) for variable v (from 0) of an invalid type,
// 1 on success.
int compute_record_offsets(BinState& st, const Fields& f, std::span<const int> vtype) noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_BINARY_RECORD_OFFSETS_H
